// Yamaha-type adaptive 4-bit ADPCM: the step grows or shrinks by a factor chosen by the
// magnitude of each code.

#include <algorithm>
#include <array>
#include <cstdlib>

#include "engine/codec_packing.h"
#include "engine/sample_codecs.h"

namespace kvt {
namespace {

// Reconstruction multipliers in eighths of a step, by code (bit 3 = negative).
constexpr std::array<int32_t, 16> kDiffLookup = {1, 3, 5, 7, 9, 11, 13, 15, -1, -3, -5, -7, -9, -11, -13, -15};
// Step factor in 1/256, by code magnitude.
constexpr std::array<int32_t, 8> kStepScale = {230, 230, 230, 230, 307, 409, 512, 614};

constexpr int32_t kMinStep = 127;
constexpr int32_t kMaxStep = 24576;

struct YamahaCoder {
    int32_t predictor = 0;
    int32_t step = kMinStep;

    unsigned operator()(int16_t sample) {
        const int32_t q = ((sample - predictor) * 8) / step;
        const int32_t magnitude = std::min(std::abs(q) / 2, 7);
        const unsigned code = static_cast<unsigned>(magnitude) + (q < 0 ? 8u : 0u);
        predictor = std::clamp(predictor + kDiffLookup[code] * step / 8, -32768, 32767);
        step = std::clamp((kStepScale[magnitude] * step) >> 8, kMinStep, kMaxStep);
        return code;
    }

    int16_t Reconstructed() const { return static_cast<int16_t>(predictor); }
};

}  // namespace

std::vector<uint8_t> EncodeYamahaAdpcm(std::span<const int16_t> samples) {
    return PackNibblePairs<NibbleOrder::LowFirst>(samples, YamahaCoder{});
}

std::vector<int16_t> ReconstructYamahaAdpcm(std::span<const int16_t> samples) {
    return ReconstructSamples(samples, samples.size() / 2 * 2, YamahaCoder{});
}

}  // namespace kvt
