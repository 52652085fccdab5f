// Yamaha-type ADPCM: golden codes worked out by hand, and decoding by FFmpeg's own Yamaha
// ADPCM decoder (an independent implementation) for the signal-to-noise ratio.

#include <gtest/gtest.h>

#include <string>

#include "codec_test_signals.h"
#include "engine/sample_codecs.h"
#include "ffmpeg_yamaha_decoder.h"

namespace kvt {
namespace {

struct GoldenCase {
    const char* fault;
    std::vector<int16_t> samples;
    std::vector<uint8_t> bytes;
};

TEST(YamahaAdpcm, GoldenCodes) {
    const GoldenCase cases[] = {
        {"the worked example: codes 0 and 7, first code low", {0, 1000}, {0x70}},
        // -1000: q = -62 -> code 15, predictor -238, step 304; 0: q = 6 -> code 3.
        {"negative code and the largest step factor", {-1000, 0}, {0x3F}},
        // 100 -> code 3, predictor 111, step 127 (floor); -100: q = -13 -> code 14.
        {"step stays at its floor of 127", {100, -100}, {0xE3}},
        // -10: q = -80/127 = 0 -> code 0 (no sign without a quotient); then q = -1 -> code 8.
        {"sign comes from the quotient, not from the difference", {-10, -10}, {0x80}},
        {"an unpaired last sample is dropped", {0, 1000, 5000}, {0x70}},
    };
    for (const auto& c : cases) EXPECT_EQ(EncodeYamahaAdpcm(c.samples), c.bytes) << c.fault;
}

struct SnrCase {
    const char* name;
    std::vector<int16_t> samples;
    double minimumDb;  // a little under the measured figure
};

TEST(YamahaAdpcm, FfmpegDecoderReproducesTheSignal) {
    const SnrCase cases[] = {
        {"half-scale 440 Hz sine", testing::Sine(8000, 16384, 440.0 / 8000), 28.0},
        {"speech-like", testing::SpeechLike(16000), 28.0},
        {"full-scale square (predictor and step at their limits)", testing::FullScaleSquare(4001, 400), 10.0},
    };
    for (const auto& c : cases) {
        const auto codes = EncodeYamahaAdpcm(c.samples);
        const auto decoded = testing::DecodeYamahaWithFfmpeg(codes, 8000);
        ASSERT_EQ(decoded.size(), c.samples.size() / 2 * 2) << c.name;
        const double snr = testing::SignalToNoiseDb(c.samples, decoded);
        RecordProperty(c.name, std::to_string(snr));
        EXPECT_GT(snr, c.minimumDb) << c.name << ": " << snr << " dB";
    }
}

}  // namespace
}  // namespace kvt
