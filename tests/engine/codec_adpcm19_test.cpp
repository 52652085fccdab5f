// 19-step ADPCM: the lead-in, golden codes worked out by hand and a decoding round trip.

#include <gtest/gtest.h>

#include <algorithm>

#include "codec_test_signals.h"
#include "engine/sample_codecs.h"

namespace kvt {
namespace {

TEST(Adpcm19Step, LeadInAndGoldenCodes) {
    struct Case {
        const char* fault;
        std::vector<int16_t> samples;
        std::vector<uint8_t> bytes;
    };
    const std::vector<int16_t> tail(8, 9999);  // coded into the four bytes that fall away
    auto with = [&](std::vector<int16_t> head) {
        head.insert(head.end(), tail.begin(), tail.end());
        return head;
    };
    const Case cases[] = {
        // 1000 -> x 31, predictor 4, step 4: 4|2|1 = 7, predictor 11, index 8 (step 12);
        // -1000 -> x -31, d -42: 15. First code high.
        {"four zero bytes, then the first pair", with({1000, -1000}), {0, 0, 0, 0, 0x7F}},
        // 0 against the initial predictor 4: d -4 -> 8|4 = 12, predictor 0, step 5; 0 -> 0.
        {"the predictor starts at the first step", with({0, 0}), {0, 0, 0, 0, 0xC0}},
        // -31 / 32 is 0 (toward zero), the same as 0; a shift would give -1 and code 13.
        {"input divided toward zero", with({-31, 0}), {0, 0, 0, 0, 0xC0}},
        {"fewer than ten samples: lead-in only", {1000, -1000, 5, 5, 5, 5, 5}, {0, 0, 0}},
        {"one sample", {1000}, {}},
    };
    for (const auto& c : cases) EXPECT_EQ(EncodeAdpcm19Step(c.samples), c.bytes) << c.fault;
}

// Decoder written from the format; the codes start after the lead-in.
std::vector<int16_t> Decode19Step(const std::vector<uint8_t>& bytes) {
    constexpr int kIndexShift[8] = {-1, -1, -1, -1, 1, 2, 4, 8};
    int predictor = 4;
    int index = 0;
    std::vector<int16_t> out;
    for (size_t i = 4; i < bytes.size(); ++i) {
        for (int code : {bytes[i] >> 4, bytes[i] & 0x0F}) {
            const int step = index + 4;
            const int delta =
                step / 8 + ((code & 1) ? step / 4 : 0) + ((code & 2) ? step / 2 : 0) + ((code & 4) ? step : 0);
            predictor = std::clamp(predictor + ((code & 8) ? -delta : delta), -15000, 15000);
            index = std::clamp(index + kIndexShift[code & 7], 0, 18);
            out.push_back(static_cast<int16_t>(predictor * 32));
        }
    }
    return out;
}

TEST(Adpcm19Step, DecodesBackToTheSignal) {
    struct Case {
        const char* name;
        std::vector<int16_t> samples;
        double minimumDb;  // a little under the measured figure
    };
    const Case cases[] = {
        // The largest step moves at most 1280 a sample: louder signals overload the slope.
        {"eighth-scale 200 Hz sine", testing::Sine(8000, 4096, 200.0 / 8000), 38.0},
        {"quiet speech-like", testing::SpeechLike(16000, 1000), 27.0},
    };
    for (const auto& c : cases) {
        const auto codes = EncodeAdpcm19Step(c.samples);
        ASSERT_EQ(codes.size(), c.samples.size() / 2) << c.name;
        const double snr = testing::SignalToNoiseDb(c.samples, Decode19Step(codes));
        EXPECT_GT(snr, c.minimumDb) << c.name << ": " << snr << " dB";
    }
}

}  // namespace
}  // namespace kvt
