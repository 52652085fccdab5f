// 4-bit ADPCM with the IMA step and index tables, low nibble first. The code is the
// difference in quarter steps and the predictor moves by an odd number of eighths.

#include <algorithm>
#include <array>
#include <cstdlib>

#include "engine/codec_packing.h"
#include "engine/sample_codecs.h"

namespace kvt {
namespace {

constexpr std::array<int32_t, 89> kImaSteps = {
    7,    8,     9,     10,    11,    12,    13,    14,    16,    17,    19,    21,    23,    25,   28,
    31,   34,    37,    41,    45,    50,    55,    60,    66,    73,    80,    88,    97,    107,  118,
    130,  143,   157,   173,   190,   209,   230,   253,   279,   307,   337,   371,   408,   449,  494,
    544,  598,   658,   724,   796,   876,   963,   1060,  1166,  1282,  1411,  1552,  1707,  1878, 2066,
    2272, 2499,  2749,  3024,  3327,  3660,  4026,  4428,  4871,  5358,  5894,  6484,  7132,  7845, 8630,
    9493, 10442, 11487, 12635, 13899, 15289, 16818, 18500, 20350, 22385, 24623, 27086, 29794, 32767};
constexpr std::array<int32_t, 16> kImaIndexShift = {-1, -1, -1, -1, 2, 4, 6, 8, -1, -1, -1, -1, 2, 4, 6, 8};
// Reconstruction multipliers in eighths of a step, by code (bit 3 = negative).
constexpr std::array<int32_t, 16> kDiffLookup = {1, 3, 5, 7, 9, 11, 13, 15, -1, -3, -5, -7, -9, -11, -13, -15};

struct ImaTableCoder {
    int32_t predictor = 0;
    int32_t index = 0;

    unsigned operator()(int16_t sample) {
        const int32_t d = sample - predictor;
        const int32_t step = kImaSteps[index];
        const int32_t magnitude = std::min(std::abs(d) * 4 / step, 7);
        const unsigned code = static_cast<unsigned>(magnitude) + (d < 0 ? 8u : 0u);
        predictor = std::clamp(predictor + kDiffLookup[code] * step / 8, -32768, 32767);
        index = std::clamp(index + kImaIndexShift[code], 0, 88);
        return code;
    }

    int16_t Reconstructed() const { return static_cast<int16_t>(predictor); }
};

}  // namespace

std::vector<uint8_t> EncodeImaTableAdpcm(std::span<const int16_t> samples) {
    return PackNibblePairs<NibbleOrder::LowFirst>(samples, ImaTableCoder{});
}

std::vector<int16_t> ReconstructImaTableAdpcm(std::span<const int16_t> samples) {
    return ReconstructSamples(samples, samples.size() / 2 * 2, ImaTableCoder{});
}

}  // namespace kvt
