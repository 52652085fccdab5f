// 25-step ADPCM on 12-bit samples: the silence fill, golden codes worked out by hand and a
// decoding round trip.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>

#include "codec_test_signals.h"
#include "engine/sample_codecs.h"

namespace kvt {
namespace {

TEST(Adpcm25Step, SilenceFillRewritesQuietPairs) {
    struct Case {
        const char* fault;
        std::vector<int16_t> before;
        std::vector<int16_t> after;
    };
    const Case cases[] = {
        {"all zeros: pairs filled by index mod 4, last pair left pending",
         {0, 0, 0, 0, 0, 0, 0, 0},
         {64, 80, 96, 112, 64, 80, 0, 0}},
        {"odd count of zeros: the last one stays", {0, 0, 0}, {64, 80, 0}},
        {"a pair is filled only when a further sample is looked at", {0, 0}, {0, 0}},
        {"quiet means |s| < 16 (s / 16 == 0), truncating toward zero",
         {15, -15, 16, -16, 0, 0, 1},
         {64, 80, 16, -16, 64, 80, 1}},
        {"a loud sample ends a single quiet sample's run", {0, 500, 0, 500, 0}, {0, 500, 0, 500, 0}},
        {"the fill pattern follows the absolute index", {0, 0, 500, 0, 0, 0}, {64, 80, 500, 112, 64, 0}},
        {"a quiet sample right after a fill starts a new run", {3, 3, 3, 3, 3}, {64, 80, 96, 112, 3}},
        {"empty input", {}, {}},
    };
    for (const auto& c : cases) {
        std::vector<int16_t> samples = c.before;
        EncodeAdpcm25Step(samples);
        EXPECT_EQ(samples, c.after) << c.fault;
    }
}

TEST(Adpcm25Step, CodesTheFilledSamplesNotTheOriginalOnes) {
    std::vector<int16_t> silence(1001);
    const auto codes = EncodeAdpcm25Step(silence);  // `silence` now holds the fill
    std::vector<int16_t> filled = silence;
    EXPECT_EQ(EncodeAdpcm25Step(filled), codes);
    EXPECT_EQ(filled, silence) << "filled values are loud enough not to be filled again";
}

TEST(Adpcm25Step, GoldenCodes) {
    struct Case {
        const char* fault;
        std::vector<int16_t> samples;
        std::vector<uint8_t> bytes;
    };
    const Case cases[] = {
        // 1000 -> x 62, step 16: 4|2|1 = 7, predictor 30, index 8 (step 34);
        // -1000 -> x -62, d -92: 8|4|2|1 = 15. First code high.
        {"all comparisons taken, index +8, high nibble first", {1000, -1000}, {0x7F}},
        // 16 -> x 1: code 0, predictor 2; 0 is a lone quiet sample: d -2 -> code 8.
        {"sign with no magnitude bits", {16, 0}, {0x08}},
        // -16 -> code 8, predictor -2; 2000 -> x 125, d 127 -> code 7.
        {"negative first code", {-16, 2000}, {0x87}},
        {"an unpaired last sample is dropped", {1000, -1000, 1000}, {0x7F}},
    };
    for (const auto& c : cases) {
        std::vector<int16_t> samples = c.samples;
        EXPECT_EQ(EncodeAdpcm25Step(samples), c.bytes) << c.fault;
    }
}

// Decoder written from the format: the same step table, predictor and index rules.
std::vector<int16_t> Decode25Step(const std::vector<uint8_t>& bytes) {
    constexpr std::array<int, 25> kSteps = {16, 17, 19, 21, 23, 25, 28, 31,  34,  37,  41,  45, 50,
                                            55, 60, 66, 73, 80, 88, 97, 107, 118, 130, 143, 157};
    constexpr std::array<int, 8> kIndexShift = {-1, -1, -1, -1, 2, 4, 6, 8};
    int predictor = 0;
    int index = 0;
    std::vector<int16_t> out;
    for (uint8_t byte : bytes) {
        for (int code : {byte >> 4, byte & 0x0F}) {
            const int step = kSteps[index];
            int delta = step / 8 + ((code & 1) ? step / 4 : 0) + ((code & 2) ? step / 2 : 0) + ((code & 4) ? step : 0);
            predictor = std::clamp(predictor + ((code & 8) ? -delta : delta), -2048, 2048);
            index = std::clamp(index + kIndexShift[code & 7], 0, 24);
            out.push_back(static_cast<int16_t>(predictor * 16));
        }
    }
    return out;
}

TEST(Adpcm25Step, DecodesBackToTheSignal) {
    struct Case {
        const char* name;
        std::vector<int16_t> samples;
        double minimumDb;  // a little under the measured figure
    };
    const Case cases[] = {
        {"half-scale 440 Hz sine", testing::Sine(8000, 16384, 440.0 / 8000), 20.0},
        {"speech-like", testing::SpeechLike(16000), 18.0},
        {"quiet speech-like", testing::SpeechLike(16000, 2000), 28.5},
    };
    for (const auto& c : cases) {
        std::vector<int16_t> samples = c.samples;
        const double snr = testing::SignalToNoiseDb(samples, Decode25Step(EncodeAdpcm25Step(samples)));
        EXPECT_GT(snr, c.minimumDb) << c.name << ": " << snr << " dB";
    }
}

}  // namespace
}  // namespace kvt
