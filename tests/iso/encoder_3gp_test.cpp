#include "iso/encoder_3gp.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <thread>

#include "aac_test_support.h"
#include "box_test_support.h"
#include "engine/pcm_operations.h"
#include "iso/aac_encoder.h"
#include "iso/file_3gp.h"
#include "platform/message.h"
#include "platform/spare_threads.h"

namespace kvt {
namespace {

SourceClip MakeClip(const std::string& path, const std::vector<int16_t>& samples, int rate, int channels) {
    const std::vector<uint8_t> bytes = SamplesToBytes(samples);
    return SourceClip(path, FormatBlock::Pcm16(static_cast<uint16_t>(channels), static_cast<uint32_t>(rate)), bytes);
}

size_t ExpectedFrames(uint32_t paddedBytes, int channels) {
    const size_t callBytes = 2048u * channels;
    return (paddedBytes + callBytes - 1) / callBytes - 1;  // the first call is look-ahead
}

class Encoder3gpFixture : public ::testing::Test {
protected:
    int Convert(Encoder3gp& encoder, int kind, int bitRate, int rate, int channels, int streaming = 0,
                int longBlocksOnly = 0) {
        std::string noProgram;
        return encoder.Convert3gp(kind, bitRate, rate, channels, streaming, 0, longBlocksOnly, "", "", 0, noProgram);
    }

    testing::TempFolder dir_;
    MessageRecorder messages_;
};

TEST(SilentTail, FollowsTheRequestedRate) {
    const std::pair<int, int> cases[] = {
        {0, 400},    {8000, 400}, {8001, 200}, {16000, 200}, {16001, 100}, {22050, 100}, {24000, 100},
        {24001, 80}, {32000, 80}, {32001, 60}, {44100, 60},  {44101, 30},  {48000, 30},
    };
    for (const auto& [rate, milliseconds] : cases) {
        EXPECT_EQ(SilentTailMilliseconds(rate), milliseconds) << rate;
    }
}

TEST(Output3gpPath, ReplacesTheExtensionOfTheFileNameOnly) {
    EXPECT_EQ(Output3gpPath("/music/song.wav", 1), "/music/song.3gp");
    EXPECT_EQ(Output3gpPath("/music/song.live.mp3", 2), "/music/song.live.3g2");
    EXPECT_EQ(Output3gpPath("song.wav", 2), "song.3g2");
    EXPECT_EQ(Output3gpPath("/music/song", 1), std::nullopt);
    EXPECT_EQ(Output3gpPath("/music.d/song", 1), std::nullopt);
}

TEST_F(Encoder3gpFixture, PadsTheClipWithSilenceThatCarriesItsEndOut) {
    struct Case {
        int clipRate;
        int channels;
        int requestedRate;
        uint32_t paddedBytes;
    };
    const Case cases[] = {
        {8000, 1, 8000, 16000 + 6400},      // 400 ms: 16000 bytes become 22400
        {8000, 1, 0, 16000 + 6400},         // 0 keeps the clip's rate and counts as 8000
        {44100, 2, 44100, 176400 + 10584},  // 60 ms of 16-bit stereo
        {16000, 1, 16000, 32000 + 6400},    // 200 ms
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.clipRate << " Hz -> " << c.requestedRate);
        const auto samples = testing::MusicLike(c.clipRate, c.channels, 1.0);
        const SourceClip clip = MakeClip(dir_.File("song.wav"), samples, c.clipRate, c.channels);
        Encoder3gp encoder(clip);
        ASSERT_EQ(Convert(encoder, 1, 64000, c.requestedRate, 0), 1);
        EXPECT_EQ(encoder.data.size(), c.paddedBytes);
        EXPECT_TRUE(messages_.Texts().empty());

        const std::string file = dir_.File("song.3gp");
        auto probe = testing::ProbeAudio(file);
        EXPECT_EQ(probe["nb_frames"], std::to_string(ExpectedFrames(c.paddedBytes, c.channels)));
        // The whole clip comes out of the encoder although it is never flushed.
        const auto decoded = testing::DecodeWithFfmpeg(file);
        ASSERT_TRUE(decoded);
        const testing::Alignment match = testing::AlignAndCompare(samples, *decoded, c.channels);
        EXPECT_LE((match.delay + samples.size() / c.channels) * c.channels, decoded->size());
        EXPECT_GT(match.correlation, 0.98);
    }
}

TEST_F(Encoder3gpFixture, FilesReadByFfprobeAndDecodeToTheConvertedClip) {
    struct Case {
        int kind;
        int clipRate;
        int clipChannels;
        int rate;
        int channels;
        int bitRate;
    };
    const Case cases[] = {
        {1, 8000, 1, 8000, 1, 32000},   {2, 16000, 2, 16000, 2, 48000}, {1, 44100, 2, 44100, 2, 128000},
        {2, 22050, 1, 22050, 1, 64000}, {1, 44100, 2, 22050, 1, 64000}, {2, 8000, 1, 16000, 2, 32000},
        {1, 22050, 1, 32000, 1, 96000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << "kind " << c.kind << ", " << c.clipRate << "/" << c.clipChannels << " -> "
                                          << c.rate << "/" << c.channels);
        const auto samples = testing::MusicLike(c.clipRate, c.clipChannels, 1.5);
        const SourceClip clip = MakeClip(dir_.File("tone.wav"), samples, c.clipRate, c.clipChannels);
        Encoder3gp encoder(clip);
        ASSERT_EQ(Convert(encoder, c.kind, c.bitRate, c.rate, c.channels), 1);
        const std::string file = dir_.File(c.kind == 1 ? "tone.3gp" : "tone.3g2");
        ASSERT_TRUE(std::filesystem::exists(file));

        auto probe = testing::ProbeAudio(file);
        EXPECT_EQ(probe["codec_name"], "aac");
        EXPECT_EQ(probe["profile"], "LC");
        EXPECT_EQ(probe["sample_rate"], std::to_string(c.rate));
        EXPECT_EQ(probe["channels"], std::to_string(c.channels));
        const size_t frames = ExpectedFrames(encoder.data.size(), c.channels);
        EXPECT_EQ(probe["nb_frames"], std::to_string(frames));
        EXPECT_NEAR(std::stod(probe["duration"].empty() ? "0" : probe["duration"]), frames * 1024.0 / c.rate, 1e-3);

        // The reference: the clip through the engine's own conversions.
        EngineFile reference(clip);
        ASSERT_EQ(ConvertChannels(reference, c.channels), 1);
        ASSERT_EQ(Resample(reference, static_cast<uint32_t>(c.rate), ResamplerKind::BandLimited), 1);
        const auto expected = BytesToSamples(reference.data);
        const auto decoded = testing::DecodeWithFfmpeg(file);
        ASSERT_TRUE(decoded) << "ffmpeg reported an error";
        const testing::Alignment match = testing::AlignAndCompare(expected, *decoded, c.channels);
        EXPECT_EQ(match.delay, 1024u);
        EXPECT_GT(match.correlation, 0.98);
        EXPECT_GT(match.snrDb, 15.0);
        std::filesystem::remove(file);
    }
    EXPECT_TRUE(messages_.Texts().empty());
}

// The media data box of a written file.
std::vector<uint8_t> MediaData(const std::string& file) {
    const std::vector<uint8_t> image = testing::ReadFileBytes(file);
    for (const auto& box : testing::TopLevelBoxes(image))
        if (box.type == "mdat") return {image.begin() + box.offset, image.begin() + box.offset + box.size};
    return {};
}

// A 3G2 file after a 3GP file of the same settings reuses the coded frames; other settings
// code again.
TEST_F(Encoder3gpFixture, SecondFileOfTheSameSettingsHoldsTheSameFrames) {
    const auto samples = testing::MusicLike(22050, 2, 2.0);
    const SourceClip clip = MakeClip(dir_.File("song.wav"), samples, 22050, 2);
    struct Setting {
        int bitRate;
        int rate;
        int channels;
    };
    for (const Setting& setting : {Setting{32000, 8000, 1}, Setting{64000, 16000, 2}}) {
        Encoder3gp shared(clip);
        ASSERT_EQ(Convert(shared, 1, 32000, 8000, 1), 1);
        ASSERT_EQ(Convert(shared, 2, setting.bitRate, setting.rate, setting.channels), 1);
        const std::vector<uint8_t> reused = MediaData(dir_.File("song.3g2"));
        Encoder3gp fresh(clip);
        ASSERT_EQ(Convert(fresh, 2, setting.bitRate, setting.rate, setting.channels), 1);
        const std::vector<uint8_t> coded = MediaData(dir_.File("song.3g2"));
        ASSERT_GT(coded.size(), 1000u);
        EXPECT_EQ(reused, coded) << setting.rate;
        EXPECT_EQ(shared.data.size(), fresh.data.size());
    }
    EXPECT_TRUE(messages_.Texts().empty());
}

// A call of the same coding takes the converted clip of the last one, but not after a
// refused call has replaced it with the bare clip.
TEST_F(Encoder3gpFixture, ConvertedClipIsTakenAgainOnlyWhileItIsTheCodedOne) {
    const SourceClip clip = MakeClip(dir_.File("song.wav"), testing::MusicLike(22050, 2, 1.0), 22050, 2);
    Encoder3gp fresh(clip);
    ASSERT_EQ(Convert(fresh, 2, 32000, 8000, 1), 1);
    const std::vector<uint8_t> expected = MediaData(dir_.File("song.3g2"));
    for (const bool refusedBetween : {false, true}) {
        Encoder3gp encoder(clip);
        ASSERT_EQ(Convert(encoder, 1, 32000, 8000, 1), 1);
        if (refusedBetween) {
            encoder.path = dir_.File("no_extension");
            ASSERT_EQ(Convert(encoder, 2, 32000, 16000, 1), 0);
            encoder.path = clip.path;
        }
        ASSERT_EQ(Convert(encoder, 2, 32000, 8000, 1), 1);
        EXPECT_EQ(MediaData(dir_.File("song.3g2")), expected) << refusedBetween;
        EXPECT_EQ(encoder.data.size(), fresh.data.size());
        EXPECT_EQ(encoder.format, fresh.format);
    }
    EXPECT_TRUE(messages_.Texts().empty());
}

// Coding started ahead on a spare thread must leave the file as coding in place makes it.
TEST_F(Encoder3gpFixture, CodingAheadWritesTheFramesOfCodingInPlace) {
    SetSpareThreads(1);
    const SourceClip clip = MakeClip(dir_.File("song.wav"), testing::MusicLike(22050, 2, 1.5), 22050, 2);
    struct Case {
        int kind, bitRate, rate, channels;
    };
    for (const Case& c : {Case{1, 32000, 8000, 1}, Case{2, 128000, 44100, 2}, Case{1, 64000, 16000, 0}}) {
        SCOPED_TRACE(::testing::Message() << c.kind << " " << c.rate << "/" << c.channels);
        const std::string file = dir_.File(c.kind == 1 ? "song.3gp" : "song.3g2");
        Encoder3gp inPlace(clip);
        ASSERT_EQ(Convert(inPlace, c.kind, c.bitRate, c.rate, c.channels), 1);
        const std::vector<uint8_t> expected = MediaData(file);
        const uintmax_t expectedSize = std::filesystem::file_size(file);

        Encoder3gp ahead(clip);
        Aac3gpRequest request;
        request.kind = c.kind;
        request.bitRate = c.bitRate;
        request.samplingRate = c.rate;
        request.channels = c.channels;
        ahead.CodeAhead(request);
        std::string noProgram;
        ASSERT_EQ(ahead.Write(request, noProgram), OutputResult::Written);
        EXPECT_EQ(MediaData(file), expected);
        EXPECT_EQ(std::filesystem::file_size(file), expectedSize);
        EXPECT_EQ(ahead.data.size(), inPlace.data.size());
    }
    EXPECT_TRUE(messages_.Texts().empty());
}

// What goes wrong on the spare thread is said once, by Write, on the caller's thread.
TEST_F(Encoder3gpFixture, FailureAheadIsShownByWriteOnItsThread) {
    SetSpareThreads(1);
    std::vector<std::thread::id> shownOn;
    MessageSink recorder = SetMessageSink([&](const MessageRequest&) {
        shownOn.push_back(std::this_thread::get_id());
        return MessageAnswer::Ok;
    });
    const SourceClip clip = MakeClip(dir_.File("song.wav"), testing::MusicLike(8000, 1, 0.3), 8000, 1);
    for (const int rate : {11000, 48000}) {
        Aac3gpRequest request;
        request.samplingRate = rate;
        request.channels = 1;
        shownOn.clear();
        Encoder3gp encoder(clip);
        encoder.CodeAhead(request);
        std::string noProgram;
        EXPECT_NE(encoder.Write(request, noProgram), OutputResult::Written);
        EXPECT_EQ(shownOn, std::vector<std::thread::id>{std::this_thread::get_id()}) << request.samplingRate;
    }
    SetMessageSink(std::move(recorder));
    EXPECT_TRUE(std::filesystem::is_empty(dir_.Path()));
}

TEST_F(Encoder3gpFixture, RefusesRatesAbove44100AndAccepts44100) {
    const SourceClip clip = MakeClip(dir_.File("song.wav"), testing::MusicLike(44100, 2, 0.3), 44100, 2);
    Encoder3gp encoder(clip);
    EXPECT_EQ(Convert(encoder, 1, 64000, 48000, 2), 0);
    EXPECT_EQ(messages_.Texts(), std::vector<std::string>{"samplerate:44100"});
    EXPECT_FALSE(std::filesystem::exists(dir_.File("song.3gp")));

    messages_.Clear();
    EXPECT_EQ(Convert(encoder, 1, 64000, 44100, 2), 1);
    EXPECT_TRUE(messages_.Texts().empty());
    EXPECT_TRUE(std::filesystem::exists(dir_.File("song.3gp")));
}

TEST_F(Encoder3gpFixture, OutputPathWithoutExtensionIsRefusedSilently) {
    const SourceClip clip = MakeClip(dir_.File("song"), testing::MusicLike(8000, 1, 0.2), 8000, 1);
    Encoder3gp encoder(clip);
    EXPECT_EQ(Convert(encoder, 1, 32000, 8000, 1), 0);
    EXPECT_TRUE(messages_.Texts().empty());
    EXPECT_TRUE(std::filesystem::is_empty(dir_.Path()));
}

TEST_F(Encoder3gpFixture, ClipOfMoreThanTwoChannelsIsRefusedWithOneMessage) {
    FormatBlock format = FormatBlock::Pcm16(3, 8000);
    const std::vector<uint8_t> bytes(8000 * 6, 0);
    const SourceClip clip(dir_.File("surround.wav"), format, bytes);
    Encoder3gp encoder(clip);
    EXPECT_EQ(Convert(encoder, 1, 32000, 8000, 0), 0);
    EXPECT_EQ(messages_.Texts(), std::vector<std::string>{"error channel"});
    EXPECT_FALSE(std::filesystem::exists(dir_.File("surround.3gp")));
}

TEST_F(Encoder3gpFixture, EncoderFailuresShowAMessageAndWriteNoFile) {
    struct Case {
        const char* name;
        int rate;
        int bitRate;
        int longBlocksOnly;
        std::string message;
    };
    const Case cases[] = {
        {"rate the encoder cannot code", 11000, 32000, 0, "aacエンコーダを開けませんでした。(11000 Hz, 1チャンネル)"},
        {"no bit rate", 8000, 0, 0, std::string(kAacParametersText)},
        {"long blocks only", 8000, 32000, 1, std::string(kAacParametersText)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        messages_.Clear();
        const SourceClip clip = MakeClip(dir_.File("song.wav"), testing::MusicLike(8000, 1, 0.3), 8000, 1);
        Encoder3gp encoder(clip);
        EXPECT_EQ(Convert(encoder, 1, c.bitRate, c.rate, 1, 0, c.longBlocksOnly), 1);
        EXPECT_EQ(messages_.Texts(), std::vector<std::string>{c.message});
        EXPECT_TRUE(std::filesystem::is_empty(dir_.Path()));
    }
}

TEST_F(Encoder3gpFixture, StreamLongerThanTheFrameTableIsRefusedBeforeCoding) {
    // 8000 Hz mono with its 6400-byte tail: one call more than 65531 frames need.
    const std::vector<uint8_t> bytes((kMaxAacFrames + 1) * 2048 - 6400 + 1, 0);
    const SourceClip clip(dir_.File("long.wav"), FormatBlock::Pcm16(1, 8000), bytes);
    Encoder3gp encoder(clip);
    EXPECT_EQ(Convert(encoder, 1, 32000, 8000, 1), 1);
    EXPECT_EQ(messages_.Texts(), std::vector<std::string>{std::string(kTooManyFramesText)});
    EXPECT_TRUE(std::filesystem::is_empty(dir_.Path()));
}

TEST_F(Encoder3gpFixture, EveryCallStartsAgainFromTheClip) {
    const SourceClip clip = MakeClip(dir_.File("song.wav"), testing::MusicLike(16000, 1, 1.0), 16000, 1);
    Encoder3gp encoder(clip);
    ASSERT_EQ(Convert(encoder, 1, 32000, 8000, 2), 1);
    ASSERT_EQ(Convert(encoder, 2, 32000, 16000, 1), 1);
    EXPECT_EQ(encoder.data.size(), 32000u + 6400u);  // 200 ms tail at 16000 Hz mono
    EXPECT_EQ(encoder.format.channels, 1);
    EXPECT_EQ(testing::ProbeAudio(dir_.File("song.3gp"))["channels"], "2");
    EXPECT_EQ(testing::ProbeAudio(dir_.File("song.3g2"))["channels"], "1");
}

}  // namespace
}  // namespace kvt
