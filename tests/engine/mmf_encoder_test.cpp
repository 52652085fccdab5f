#include "engine/mmf_encoder.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <numbers>
#include <string>
#include <vector>

#include "engine/format_block.h"
#include "engine/pcm_operations.h"
#include "engine_test_support.h"
#include "ffmpeg_yamaha_decoder.h"
#include "mmf_test_support.h"
#include "platform/message.h"

namespace kvt {
namespace {

constexpr const char* kTooLong = "MMFに変換できるのは262秒までです。範囲を短くしてください。";

// Left: 440 Hz and 1250 Hz; right: 660 Hz. Different channels show up a swap.
std::vector<int16_t> Tone(size_t frames, int channels, uint32_t rate) {
    std::vector<int16_t> samples;
    samples.reserve(frames * channels);
    const double w = 2 * std::numbers::pi / rate;
    for (size_t i = 0; i < frames; ++i) {
        samples.push_back(static_cast<int16_t>(6000 * std::sin(w * 440 * i) + 3000 * std::sin(w * 1250 * i)));
        if (channels == 2) {
            samples.push_back(static_cast<int16_t>(9000 * std::sin(w * 660 * i + 1)));
        }
    }
    return samples;
}

// The clip as the encoder should code it: channel count and rate converted, nothing else.
std::vector<int16_t> Converted(const SourceClip& clip, int channels, uint32_t rate) {
    EngineFile pcm;
    EXPECT_EQ(pcm.CopyPcmFrom(clip), 1);
    EXPECT_EQ(ConvertChannels(pcm, channels), 1);
    EXPECT_EQ(Resample(pcm, rate, ResamplerKind::BandLimited), 1);
    return BytesToSamples(pcm.data);
}

// Reads a written file and checks its framing and its CRC.
struct WrittenMmf {
    std::vector<uint8_t> bytes;
    testing::MmfParts parts;
};
std::optional<WrittenMmf> ReadMmf(const std::string& path) {
    WrittenMmf file{testing::ReadFileBytes(path), {}};
    auto parts = testing::ParseMmf(file.bytes);
    if (!parts) {
        ADD_FAILURE() << path << " is not a well-formed MMF file";
        return std::nullopt;
    }
    EXPECT_EQ(parts->storedCrc, parts->computedCrc) << path;
    file.parts = *parts;
    return file;
}

// One channel's codes of a stereo wave (left in the high nibble) as a mono code stream.
std::vector<uint8_t> ChannelCodes(std::span<const uint8_t> wave, bool left) {
    std::vector<uint8_t> codes((wave.size() + 1) / 2);
    for (size_t i = 0; i < wave.size(); ++i) {
        const uint8_t code = left ? wave[i] >> 4 : wave[i] & 0x0F;
        codes[i / 2] |= static_cast<uint8_t>(code << (4 * (i % 2)));
    }
    return codes;
}

double SnrDb(const std::vector<int16_t>& reference, const std::vector<int16_t>& decoded, size_t count) {
    double signal = 0, noise = 0;
    for (size_t i = 0; i < count; ++i) {
        const double r = reference[i], e = r - decoded[i];
        signal += r * r;
        noise += e * e;
    }
    return 10 * std::log10(signal / std::max(noise, 1.0));
}

// A clip in a folder of its own, its encoder, and the messages the encoder shows.
struct MmfRun {
    MmfRun(const std::string& name, const FormatBlock& format, std::span<const uint8_t> bytes)
        : clip(folder.File(name), format, bytes), encoder(clip) {}
    // A tone of `frames` frames (see Tone).
    MmfRun(const std::string& name, int channels, uint32_t rate, size_t frames)
        : MmfRun(name, FormatBlock::Pcm16(static_cast<uint16_t>(channels), rate),
                 SamplesToBytes(Tone(frames, channels, rate))) {}
    MmfRun(const MmfRun&) = delete;
    MmfRun& operator=(const MmfRun&) = delete;

    std::string Output() const { return MmfOutputPath(clip.path).value_or(""); }
    std::optional<WrittenMmf> Written() const { return ReadMmf(Output()); }

    testing::TempFolder folder;
    MessageRecorder messages;
    SourceClip clip;
    MmfEncoder encoder;
};

TEST(MmfEncoder, MonoEightThousandSamplesWithoutTitle) {
    MmfRun run("song.wav", 1, 8000, 8000);

    ASSERT_EQ(run.encoder.ConvertMmf(0, 0), 1);
    EXPECT_TRUE(run.messages.Texts().empty());
    auto file = run.Written();
    ASSERT_TRUE(file.has_value());
    EXPECT_EQ(file->bytes.size(), 4165u);
    EXPECT_EQ(file->parts.mmmdLength, 4155u);
    EXPECT_EQ(file->parts.opda.size(), 20u);
    EXPECT_EQ(std::string(file->parts.opda.end() - 8, file->parts.opda.end()), "Untitled");
    EXPECT_EQ(file->parts.mtsu.size(), 17u);
    ASSERT_EQ(file->parts.mtsq.size(), 32u);
    EXPECT_EQ(file->parts.mtsq[25], 0x81);  // gate time 251
    EXPECT_EQ(file->parts.mtsq[26], 0x7B);
    EXPECT_EQ(file->parts.wave.size(), 4000u);
    EXPECT_EQ(file->parts.sampleRate, 8000);
    EXPECT_EQ(file->parts.waveType, 0x20);
    EXPECT_EQ(file->parts.cnti[1], 0x32);
    EXPECT_EQ(file->parts.trackType, 0x05);
}

TEST(MmfEncoder, MonoWaveDecodesWithFfmpegToTheResampledInput) {
    MmfRun run("mix.wav", 2, 22050, 11025);
    ASSERT_EQ(run.encoder.ConvertMmf(8000, 0), 1);
    auto file = run.Written();
    ASSERT_TRUE(file.has_value());

    const std::vector<int16_t> reference = Converted(run.clip, 1, 8000);
    const std::vector<int16_t> decoded = testing::DecodeYamahaWithFfmpeg(file->parts.wave, 8000);
    EXPECT_EQ(file->parts.wave.size(), reference.size() / 2);
    ASSERT_EQ(decoded.size(), reference.size() / 2 * 2);
    EXPECT_GT(SnrDb(reference, decoded, decoded.size()), 20.0);
}

TEST(MmfEncoder, StereoChannelsDecodeSeparatelyWithFfmpeg) {
    // An odd frame count: the last frame needs a code of its own in both nibbles.
    MmfRun run("duet.wav", 2, 16000, 8001);
    ASSERT_EQ(run.encoder.ConvertMmf(0, 1), 1);
    auto file = run.Written();
    ASSERT_TRUE(file.has_value());
    ASSERT_EQ(file->parts.wave.size(), 8001u);

    const std::vector<int16_t> reference = Converted(run.clip, 2, 16000);
    for (int channel = 0; channel < 2; ++channel) {
        const std::vector<int16_t> expected = testing::StereoChannel(reference, static_cast<size_t>(channel));
        const std::vector<int16_t> decoded =
            testing::DecodeYamahaWithFfmpeg(ChannelCodes(file->parts.wave, channel == 0), 16000);
        ASSERT_GE(decoded.size(), expected.size()) << channel;
        EXPECT_GT(SnrDb(expected, decoded, expected.size()), 20.0) << "channel " << channel;
        // The last frame is coded, not left to a filler code.
        EXPECT_LT(std::abs(decoded[8000] - expected[8000]), 1500) << channel;
    }
}

TEST(MmfEncoder, StereoSixteenKilohertzTypeBytesAndOptionalData) {
    MmfRun run("ring.wav", 1, 8000, 800);
    // A mono file first: the stereo call must start again from the clip.
    ASSERT_EQ(run.encoder.ConvertMmf(0, 0), 1);
    ASSERT_EQ(run.encoder.ConvertMmf(16000, 1), 1);
    EXPECT_TRUE(run.messages.Texts().empty());
    auto file = run.Written();
    ASSERT_TRUE(file.has_value());

    EXPECT_EQ(file->parts.cnti[1], 0x34);
    EXPECT_EQ(file->parts.trackType, 0x06);
    EXPECT_EQ(file->parts.waveType, 0xA0);
    const size_t rateAt = file->bytes.size() - 4 - file->parts.wave.size() - 2;
    EXPECT_EQ(file->bytes[rateAt], 0x3E);
    EXPECT_EQ(file->bytes[rateAt + 1], 0x80);
    // 800 mono samples at 8000 Hz: 1600 stereo frames at 16000 Hz, 6400 PCM bytes.
    EXPECT_EQ(file->parts.wave.size(), 1600u);
    ASSERT_EQ(file->parts.opda.size(), 53u);
    EXPECT_EQ(GetBe32(file->parts.opda.subspan(49)), 26u);  // 6400 × 250 / 64000 + 1
    EXPECT_EQ(file->parts.mtsq[25], 26);

    MmfEncoder fresh(run.clip);
    ASSERT_EQ(fresh.ConvertMmf(16000, 1), 1);
    EXPECT_EQ(testing::ReadFileBytes(run.Output()), file->bytes);
}

TEST(MmfEncoder, SampleRateLimit) {
    struct Case {
        uint32_t sourceRate;
        int requested;
        int result;
        uint16_t writtenRate;  // 0: refused with "samplerate:24000", no file
    };
    const Case cases[] = {
        {8000, 24000, 1, 24000}, {8000, 24001, 0, 0},      {22050, 0, 1, 22050},  // 0 keeps the clip's rate
        {32000, 0, 0, 0},        {48000, 16000, 1, 16000}, {8000, -8000, 0, 0},
    };
    for (const Case& c : cases) {
        MmfRun run("tone.wav", 1, c.sourceRate, c.sourceRate / 10);
        const std::string label = std::to_string(c.sourceRate) + " -> " + std::to_string(c.requested);
        EXPECT_EQ(run.encoder.ConvertMmf(c.requested, 0), c.result) << label;
        if (c.writtenRate == 0) {
            EXPECT_EQ(run.messages.Texts(), std::vector<std::string>{"samplerate:24000"}) << label;
            EXPECT_FALSE(std::filesystem::exists(run.Output())) << label;
            continue;
        }
        EXPECT_TRUE(run.messages.Texts().empty()) << label;
        auto file = run.Written();
        ASSERT_TRUE(file.has_value()) << label;
        EXPECT_EQ(file->parts.sampleRate, c.writtenRate) << label;
    }
}

TEST(MmfEncoder, DurationThatWouldWrapTheTickFieldsIsRefused) {
    // At 4000 Hz mono (8000 bytes a second) 1048544 samples make 65535 ticks, 16 more make
    // 65536, which the 16-bit fields cannot hold.
    struct Case {
        size_t samples;
        bool accepted;
    };
    for (const Case& c : {Case{1048544, true}, Case{1048560, false}}) {
        MmfRun run("long.wav", 1, 4000, c.samples);
        EXPECT_EQ(run.encoder.ConvertMmf(0, 0), c.accepted ? 1 : 0) << c.samples;
        if (!c.accepted) {
            EXPECT_EQ(run.messages.Texts(), std::vector<std::string>{kTooLong});
            EXPECT_FALSE(std::filesystem::exists(run.Output()));
            continue;
        }
        EXPECT_TRUE(run.messages.Texts().empty());
        auto file = run.Written();
        ASSERT_TRUE(file.has_value());
        ASSERT_EQ(file->parts.mtsq.size(), 34u);
        EXPECT_EQ(std::vector<uint8_t>(file->parts.mtsq.begin() + 25, file->parts.mtsq.begin() + 31),
                  (std::vector<uint8_t>{0x83, 0xFF, 0x7F, 0x83, 0xFF, 0x7F}));
    }
}

TEST(MmfEncoder, OutputPathReplacesTheExtensionOfTheFileName) {
    struct Case {
        std::string path;
        std::optional<std::string> output;
    };
    const Case cases[] = {
        {"/music/song.wav", "/music/song.mmf"},
        {"/music/a.b.mp3", "/music/a.b.mmf"},
        {"/music/song", std::nullopt},
        {"/music.d/song", std::nullopt},  // a dot in a folder name is no extension
        {"song.wav", "song.mmf"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(MmfOutputPath(c.path), c.output) << c.path;
    }
}

TEST(MmfEncoder, PathWithoutExtensionEndsSilently) {
    MmfRun run("noext", 1, 8000, 100);
    EXPECT_EQ(run.encoder.ConvertMmf(0, 0), 0);
    EXPECT_TRUE(run.messages.Texts().empty());
    EXPECT_TRUE(std::filesystem::is_empty(run.folder.Path()));
}

TEST(MmfEncoder, UnwritableFolderIsReportedAfterBuilding) {
    MmfRun run("missing/song.wav", 1, 8000, 100);
    EXPECT_EQ(run.encoder.ConvertMmf(0, 0), 1);
    EXPECT_EQ(run.messages.Texts(), std::vector<std::string>{"ファイルが書き込めませんでした。"});
}

TEST(MmfEncoder, TitleIsWrittenInCp932) {
    MmfRun run("t.wav", 1, 8000, 100);
    run.encoder.title = "着信";
    ASSERT_EQ(run.encoder.ConvertMmf(0, 0), 1);
    auto file = run.Written();
    ASSERT_TRUE(file.has_value());
    const std::vector<uint8_t> expected = {'D', 'c', 'h', 0x80, 0, 0, 0, 8, 'S', 'T', 0, 4, 0x92, 0x85, 0x90, 0x4D};
    EXPECT_EQ(std::vector<uint8_t>(file->parts.opda.begin(), file->parts.opda.end()), expected);
}

TEST(MmfEncoder, TitleLongerThanItsFieldIsCutBetweenCharacters) {
    MmfRun run("t.wav", 1, 8000, 100);
    run.encoder.title = "a";
    for (int i = 0; i < 32768; ++i) {
        run.encoder.title += "あ";  // two bytes in CP932: 65537 bytes in all
    }
    ASSERT_EQ(run.encoder.ConvertMmf(0, 0), 1);
    auto file = run.Written();
    ASSERT_TRUE(file.has_value());
    EXPECT_EQ(GetBe16(file->parts.opda.subspan(10)), 65535);
    EXPECT_EQ(file->parts.opda[12], 'a');
    EXPECT_EQ(file->parts.opda.size(), 12u + 65535);
    EXPECT_EQ(file->parts.opda.back(), 0xA0);  // second byte of the last whole "あ" (82 A0)
}

TEST(MmfEncoder, ClipsTheCoderCannotTakeAreRefused) {
    struct Case {
        const char* name;
        uint16_t channels;
        uint32_t rate;
        uint16_t bits;
        int requestedRate;
        const char* message;
    };
    const Case cases[] = {
        {"8-bit samples", 1, 8000, 8, 0, "対応していないビット数です。"},
        {"three channels", 3, 8000, 16, 0, "tarrow function"},
        {"no rate, kept", 1, 0, 16, 0, "samplerate:24000"},
        {"no rate, resampled", 1, 0, 16, 8000, "tarrow function"},
    };
    for (const Case& c : cases) {
        FormatBlock format = FormatBlock::Pcm16(c.channels, c.rate);
        format.bitsPerSample = c.bits;
        MmfRun run("odd.wav", format, std::vector<uint8_t>(1200, 0x40));
        EXPECT_EQ(run.encoder.ConvertMmf(c.requestedRate, 0), 0) << c.name;
        EXPECT_EQ(run.messages.Texts(), std::vector<std::string>{c.message}) << c.name;
        EXPECT_FALSE(std::filesystem::exists(run.Output())) << c.name;
    }
}

}  // namespace
}  // namespace kvt
