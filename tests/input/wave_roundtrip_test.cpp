// Files written here are read back by FFmpeg, and files FFmpeg writes are read here: the
// two sides must agree on format, rate, channel count, length and every sample.

#include <gtest/gtest.h>

#include "input/wave_file.h"
#include "input/wave_test_support.h"
#include "input/wave_writer.h"
#include "platform/message.h"

namespace kvt {
namespace {

using Texts = std::vector<std::string>;

class WaveRoundTrip : public ::testing::Test {
protected:
    // FFmpeg's own decoding of `path` as raw bytes of `format` (s16le, u8, ...).
    std::optional<std::vector<uint8_t>> FfmpegRaw(const std::string& path, const std::string& format) {
        return ::kvt::testing::FfmpegDecodeRaw(path, "-f " + format);
    }

    // A two-tone stereo test signal written by FFmpeg in the given sample format.
    std::string FfmpegWav(const std::string& name, const std::string& codec, int rate, double seconds) {
        const std::string path = folder.File(name);
        const std::string source = "sine=f=440:r=" + std::to_string(rate) + ":d=" + std::to_string(seconds);
        const std::string other = "sine=f=1250:r=" + std::to_string(rate) + ":d=" + std::to_string(seconds);
        EXPECT_TRUE(testing::CommandOutput("ffmpeg -v error -y -f lavfi -i " + source + " -f lavfi -i " + other +
                                           " -filter_complex amerge=inputs=2,volume=0.9 -c:a " + codec + " '" + path +
                                           "'"));
        return path;
    }

    testing::TempFolder folder;
};

std::vector<uint8_t> Bytes(std::span<const uint8_t> span) {
    return {span.begin(), span.end()};
}

TEST_F(WaveRoundTrip, FfmpegFilesNormaliseLikeFfmpegsOwnConversion) {
    struct Case {
        const char* codec;
        int bits;
        int formatTag;
    };
    // FFmpeg stores 24-bit audio with a 40-byte "fmt " chunk, and a "LIST" chunk in both:
    // skipped without a word.
    // Float is compared with FFmpeg's own rounding and clipping of it.
    for (const Case& c : {Case{"pcm_u8", 8, 1}, Case{"pcm_s24le", 24, 1}, Case{"pcm_s32le", 32, 1},
                          Case{"pcm_f32le", 32, 3}, Case{"pcm_f64le", 64, 3}}) {
        SCOPED_TRACE(c.codec);
        const std::string input = FfmpegWav(std::string(c.codec) + ".wav", c.codec, 22050, 0.25);
        MessageRecorder recorder;
        WaveFile wave;
        ASSERT_TRUE(wave.Load(input));
        EXPECT_TRUE(recorder.Texts().empty());
        EXPECT_EQ(wave.bitsPerSample, c.bits);
        EXPECT_EQ(wave.fmtSize, c.bits > 16 ? 40u : 16u);
        EXPECT_EQ(wave.formatTag, c.formatTag);  // behind the extensible format's tag
        ASSERT_TRUE(NormalizeTo16Bits(wave));
        auto reference = FfmpegRaw(input, "s16le");
        ASSERT_TRUE(reference);
        EXPECT_EQ(Bytes(wave.Samples()), *reference);

        const std::string saved = folder.File("saved.wav");
        ASSERT_TRUE(wave.Save(saved));
        auto probe = testing::ProbeStream(saved);
        EXPECT_EQ(probe["codec_name"], "pcm_s16le");
        EXPECT_EQ(probe["sample_rate"], "22050");
        EXPECT_EQ(probe["channels"], "2");
        const size_t frames = wave.SampleBytes() / 4;
        EXPECT_NEAR(static_cast<double>(frames), 22050 * 0.25, 1.0);
        EXPECT_EQ(probe["duration_ts"], std::to_string(frames));
        char duration[32];
        std::snprintf(duration, sizeof duration, "%.6f", static_cast<double>(frames) / 22050);
        EXPECT_EQ(probe["duration"], duration);
        EXPECT_EQ(FfmpegRaw(saved, "s16le"), Bytes(wave.Samples()));
    }
}

TEST_F(WaveRoundTrip, MixedDownFileIsMonoForFfmpeg) {
    const std::string input = FfmpegWav("stereo.wav", "pcm_s16le", 8000, 0.5);
    MessageRecorder recorder;
    WaveFile wave;
    ASSERT_TRUE(wave.Load(input));
    auto stereo = testing::Int16Samples(wave.Samples());
    wave.MixToMono();
    const std::string saved = folder.File("mono.wav");
    ASSERT_TRUE(wave.Save(saved));

    auto probe = testing::ProbeStream(saved);
    EXPECT_EQ(probe["channels"], "1");
    EXPECT_EQ(probe["sample_rate"], "8000");
    EXPECT_EQ(probe["duration_ts"], std::to_string(stereo.size() / 2));
    EXPECT_EQ(stereo.size(), 8000u);
    auto mono = FfmpegRaw(saved, "s16le");
    ASSERT_TRUE(mono);
    auto samples = testing::Int16Samples(*mono);
    ASSERT_EQ(samples.size() * 2, stereo.size());
    for (size_t i = 0; i < samples.size(); ++i) ASSERT_EQ(samples[i], (stereo[2 * i] + stereo[2 * i + 1]) / 2) << i;
}

TEST_F(WaveRoundTrip, WriterOutputReadsBackEverywhere) {
    struct Case {
        uint32_t rate;
        uint16_t bits;
        uint16_t channels;
        size_t frames;
        const char* codec;
        const char* raw;
    };
    const Case cases[] = {
        {44100, 16, 2, 44100, "pcm_s16le", "s16le"},  // a ripped second of CD audio
        {8000, 8, 1, 8001, "pcm_u8", "u8"},           // odd data: a pad byte follows
        {22050, 16, 1, 1234, "pcm_s16le", "s16le"},
        {48000, 24, 2, 480, "pcm_s24le", "s24le"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.rate);
        const size_t bytes = c.frames * c.channels * c.bits / 8;
        std::vector<uint8_t> samples(bytes);
        for (size_t i = 0; i < bytes; ++i) samples[i] = static_cast<uint8_t>((i * 37) ^ (i >> 3));
        const std::string path = folder.File("written.wav");
        MessageRecorder recorder;
        WaveWriter writer;
        ASSERT_EQ(writer.Open(path, c.rate, c.bits, c.channels).code, 0);
        ASSERT_TRUE(writer.Write(samples.data(), bytes / 2).Ok());
        ASSERT_TRUE(writer.Write(samples.data() + bytes / 2, bytes - bytes / 2).Ok());
        ASSERT_EQ(writer.Close().code, 0);

        auto probe = testing::ProbeStream(path);
        EXPECT_EQ(probe["codec_name"], c.codec);
        EXPECT_EQ(probe["sample_rate"], std::to_string(c.rate));
        EXPECT_EQ(probe["channels"], std::to_string(c.channels));
        EXPECT_EQ(probe["duration_ts"], std::to_string(c.frames));
        EXPECT_EQ(FfmpegRaw(path, c.raw), samples);

        WaveFile wave;
        ASSERT_TRUE(wave.Load(path));
        EXPECT_EQ(Bytes(wave.Samples()), samples);
        EXPECT_EQ(wave.sampleRate, c.rate);
        EXPECT_EQ(wave.channels, c.channels);
        EXPECT_EQ(wave.bitsPerSample, c.bits);
        EXPECT_TRUE(recorder.Texts().empty());
    }
}

}  // namespace
}  // namespace kvt
