// IMA-table ADPCM: golden codes worked out by hand and a decoding round trip.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>

#include "codec_test_signals.h"
#include "engine/sample_codecs.h"

namespace kvt {
namespace {

TEST(ImaTableAdpcm, GoldenCodes) {
    struct Case {
        const char* fault;
        std::vector<int16_t> samples;
        std::vector<uint8_t> bytes;
    };
    const Case cases[] = {
        // 1000, step 7: 4000/7 -> 7, predictor 13, index 8 (step 16); -1000: d -1013 -> 15.
        {"magnitude capped at 7, low nibble first", {1000, -1000}, {0xF7}},
        // 3: 12/7 = 1, predictor += 21/8 = 2, index back to 0; -2: d -4, 16/7 = 2 -> 10.
        {"quarter-step quotient truncated", {3, -2}, {0xA1}},
        // -1: code 8, predictor += -7/8 = 0 (toward zero); 0: d 0 -> code 0.
        {"reconstruction divides toward zero", {-1, 0}, {0x08}},
        {"an unpaired last sample is dropped", {3, -2, 3000}, {0xA1}},
    };
    for (const auto& c : cases) EXPECT_EQ(EncodeImaTableAdpcm(c.samples), c.bytes) << c.fault;
}

// Decoder written from the format: IMA steps, reconstruction in odd eighths of a step.
std::vector<int16_t> DecodeImaTable(const std::vector<uint8_t>& bytes) {
    constexpr std::array<int, 89> kSteps = {
        7,    8,     9,     10,    11,    12,    13,    14,    16,    17,    19,    21,    23,    25,   28,
        31,   34,    37,    41,    45,    50,    55,    60,    66,    73,    80,    88,    97,    107,  118,
        130,  143,   157,   173,   190,   209,   230,   253,   279,   307,   337,   371,   408,   449,  494,
        544,  598,   658,   724,   796,   876,   963,   1060,  1166,  1282,  1411,  1552,  1707,  1878, 2066,
        2272, 2499,  2749,  3024,  3327,  3660,  4026,  4428,  4871,  5358,  5894,  6484,  7132,  7845, 8630,
        9493, 10442, 11487, 12635, 13899, 15289, 16818, 18500, 20350, 22385, 24623, 27086, 29794, 32767};
    constexpr std::array<int, 8> kIndexShift = {-1, -1, -1, -1, 2, 4, 6, 8};
    int predictor = 0;
    int index = 0;
    std::vector<int16_t> out;
    for (uint8_t byte : bytes) {
        for (int code : {byte & 0x0F, byte >> 4}) {
            const int multiplier = 2 * (code & 7) + 1;
            const int step = kSteps[index];
            predictor = std::clamp(predictor + ((code & 8) ? -multiplier : multiplier) * step / 8, -32768, 32767);
            index = std::clamp(index + kIndexShift[code & 7], 0, 88);
            out.push_back(static_cast<int16_t>(predictor));
        }
    }
    return out;
}

TEST(ImaTableAdpcm, DecodesBackToTheSignal) {
    struct Case {
        const char* name;
        std::vector<int16_t> samples;
        double minimumDb;  // a little under the measured figure
    };
    const Case cases[] = {
        {"half-scale 440 Hz sine", testing::Sine(8000, 16384, 440.0 / 8000), 26.5},
        {"speech-like", testing::SpeechLike(16000), 29.5},
        {"full-scale square (predictor clamped, largest steps)", testing::FullScaleSquare(4000, 400), 7.5},
    };
    for (const auto& c : cases) {
        const double snr = testing::SignalToNoiseDb(c.samples, DecodeImaTable(EncodeImaTableAdpcm(c.samples)));
        EXPECT_GT(snr, c.minimumDb) << c.name << ": " << snr << " dB";
    }
}

}  // namespace
}  // namespace kvt
