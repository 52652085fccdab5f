#include "iso/external_encoder.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "aac_test_support.h"
#include "box_test_support.h"
#include "engine/byte_order.h"
#include "engine/pcm_operations.h"
#include "iso/encoder_3gp.h"
#include "iso/esds_bit_rates.h"
#include "iso/file_3gp_splice.h"
#include "iso/side_files.h"
#include "platform/message.h"

namespace kvt {
namespace {

namespace fs = std::filesystem;

const std::string kFallback(kExternalFallbackText);

std::vector<uint8_t> BoxBytes(const std::vector<uint8_t>& file, std::initializer_list<std::string_view> path) {
    const auto offset = testing::BoxOffset(file, path);
    if (!offset) {
        return {};
    }
    const auto box = std::span(file).subspan(*offset);
    return {box.begin(), box.begin() + GetBe32(box)};
}

std::vector<uint8_t> StsdBytes(const std::vector<uint8_t>& file) {
    return BoxBytes(file, {"moov", "trak", "mdia", "minf", "stbl", "stsd"});
}

class ExternalEncoder : public ::testing::Test {
protected:
    void SetUp() override {
        samples_ = testing::MusicLike(kRate, 2, 1.5);
        testing::WriteWav(scratch_, samples_, kRate, 2);
        clip_ = SourceClip(dir_.File("song.wav"), FormatBlock::Pcm16(2, kRate), SamplesToBytes(samples_));
    }

    // A program made of a shell script; its arguments are $1 -br, $2 N, $3 -he, $4 -if,
    // $5 input, $6 -of, $7 output.
    std::string Script(const std::string& name, const std::string& body) {
        const std::string path = dir_.File(name);
        std::ofstream(path) << "#!/bin/sh\n" << body << "\n";
        chmod(path.c_str(), 0755);
        return path;
    }

    int Convert(int kind, int channels, std::string& program, int streaming = 0,
                std::chrono::milliseconds wait = kExternalEncoderWait, int rate = kRate) {
        Encoder3gp encoder(clip_);
        encoder.path = dir_.File("song.wav");
        encoder.externalEncoderWait = wait;
        return encoder.Convert3gp(kind, 64000, rate, channels, streaming, 0, 0, "", scratch_, 1, program);
    }

    // Files left in the folder besides the scratch WAV and the scripts.
    std::vector<std::string> Leftovers(std::initializer_list<std::string> expected) {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(dir_.Path())) {
            const std::string name = entry.path().filename().string();
            if (std::find(expected.begin(), expected.end(), name) == expected.end()) {
                names.push_back(name);
            }
        }
        std::sort(names.begin(), names.end());
        return names;
    }

    static constexpr int kRate = 22050;
    testing::TempFolder dir_;
    MessageRecorder messages_;
    std::string scratch_ = dir_.File("tempkvt.wav");
    std::vector<int16_t> samples_;
    SourceClip clip_;
};

TEST(ExternalEncoderNames, DeriveFromTheScratchWavPath) {
    struct Case {
        const char* scratch;
        const char* input;
        const char* output;
    };
    const Case cases[] = {
        {"/work/tempkvt.wav", "/work/tempkvt.wav.tmp", "/work/tempkvt.m4a"},
        {"tempkvt.wav", "tempkvt.wav.tmp", "tempkvt.m4a"},
        {"/a.b/tempkvt", "/a.b/tempkvt.tmp", "/a.b/tempkvt.m4a"},
        {"/w/x.y.wav", "/w/x.y.wav.tmp", "/w/x.y.m4a"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ExternalInputPath(c.scratch), c.input);
        EXPECT_EQ(ExternalOutputPath(c.scratch), c.output);
    }
}

TEST(ExternalEncoderArguments, OneArgumentPerFieldWithTheRateAfterBr) {
    EXPECT_EQ(ExternalEncoderArguments(8000, "/my music/in \"x\".tmp", "/o;rm -rf $HOME.m4a"),
              (std::vector<std::string>{"-br", "8000", "-he", "-if", "/my music/in \"x\".tmp", "-of",
                                        "/o;rm -rf $HOME.m4a"}));
}

TEST_F(ExternalEncoder, SplicesTheProgramsBoxesAndCleansUp) {
    for (int streaming : {0, 1}) {
        SCOPED_TRACE(::testing::Message() << "streaming " << streaming);
        std::string program = KVT_FAKE_AAC_ENCODER;
        ASSERT_EQ(Convert(1, 2, program, streaming), 1);
        EXPECT_EQ(program, KVT_FAKE_AAC_ENCODER);
        EXPECT_TRUE(messages_.Texts().empty());
        // Side files and the program input are gone; the program output stays.
        EXPECT_EQ(Leftovers({"tempkvt.wav"}), (std::vector<std::string>{"song.3gp", "tempkvt.m4a"}));

        const auto file = testing::ReadFileBytes(dir_.File("song.3gp"));
        const auto m4a = testing::ReadFileBytes(dir_.File("tempkvt.m4a"));
        ASSERT_GE(file.size(), 12u);
        EXPECT_EQ(std::string(file.begin() + 8, file.begin() + 12), streaming ? "mmp4" : "3gp5");
        if (streaming == 0) {
            // The program's sample description (with its extra btrt box) replaced ours; only
            // its esds and btrt bit rates are the ones measured from the frames.
            auto stsd = StsdBytes(file);
            const auto theirs = StsdBytes(m4a);
            const std::optional<size_t> rates = FindEsdsBitRates(stsd);
            ASSERT_TRUE(rates.has_value());
            ASSERT_EQ(rates, FindEsdsBitRates(theirs));
            EXPECT_GT(GetBe32(std::span(stsd).subspan(*rates + 3)), GetBe32(std::span(theirs).subspan(*rates + 3)))
                << "the program's maximum is its average";
            const std::optional<size_t> btrt = FindBtrtBitRates(stsd);
            ASSERT_TRUE(btrt.has_value());
            EXPECT_EQ(GetBe32(std::span(stsd).subspan(*btrt + 4)), GetBe32(std::span(stsd).subspan(*rates + 3)))
                << "btrt and esds declare the same maximum";
            std::copy_n(theirs.begin() + static_cast<long>(*rates), kEsdsBitRateBytes,
                        stsd.begin() + static_cast<long>(*rates));
            std::copy_n(theirs.begin() + static_cast<long>(*btrt), kBtrtBytes, stsd.begin() + static_cast<long>(*btrt));
            EXPECT_EQ(stsd, theirs);
            EXPECT_EQ(BoxBytes(file, {"moov", "mvhd"}), BoxBytes(m4a, {"moov", "mvhd"}));
        }
        auto probe = testing::ProbeAudio(dir_.File("song.3gp"));
        EXPECT_EQ(probe["codec_name"], "aac");
        EXPECT_EQ(probe["profile"], "LC");
        EXPECT_EQ(probe["channels"], "2");
        const auto decoded = testing::DecodeWithFfmpeg(dir_.File("song.3gp"));
        ASSERT_TRUE(decoded) << "ffmpeg reported an error";
        const testing::Alignment match = testing::AlignAndCompare(samples_, *decoded, 2);
        EXPECT_GT(match.correlation, 0.95);
        fs::remove(dir_.File("song.3gp"));
    }
}

TEST_F(ExternalEncoder, FallsBackToTheBuiltInEncoder) {
    struct Case {
        const char* name;
        std::string program;
        std::vector<std::string> messages;
        std::chrono::milliseconds wait;
    };
    const std::string notFound(kEncoderNotFoundText);
    std::string plainFile = dir_.File("not-executable");
    std::ofstream(plainFile) << "data";
    const Case cases[] = {
        {"missing program", dir_.File("no-such-encoder"), {notFound, kFallback}, kExternalEncoderWait},
        {"empty path", "", {notFound, kFallback}, kExternalEncoderWait},
        {"folder as program", dir_.Path(), {notFound, kFallback}, kExternalEncoderWait},
        {"program writes nothing", Script("silent", "exit 0"), {kFallback}, kExternalEncoderWait},
        {"program fails", Script("failing", "exit 3"), {kFallback}, kExternalEncoderWait},
        {"not executable", plainFile, {kFallback}, kExternalEncoderWait},
        {"outlives the wait", KVT_FAKE_AAC_ENCODER, {kFallback}, std::chrono::milliseconds(100)},
    };
    setenv("KVT_FAKE_AAC_DELAY_MS", "3000", 1);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        messages_.Clear();
        std::string program = c.program;
        const auto start = std::chrono::steady_clock::now();
        ASSERT_EQ(Convert(1, 2, program, 0, c.wait), 1);
        if (c.wait < kExternalEncoderWait) {
            EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(2500));
        }
        EXPECT_EQ(messages_.Texts(), c.messages);
        EXPECT_EQ(program, "");
        const auto requests = messages_.Requests();
        EXPECT_EQ(requests.front().systemModal, c.messages.size() == 2);
        EXPECT_EQ(Leftovers({"tempkvt.wav", "silent", "failing", "not-executable"}),
                  std::vector<std::string>{"song.3gp"});
        // Written by the built-in encoder: its own brand.
        const auto file = testing::ReadFileBytes(dir_.File("song.3gp"));
        EXPECT_EQ(std::string(file.begin() + 8, file.begin() + 12), "mmp4");
        EXPECT_TRUE(testing::DecodeWithFfmpeg(dir_.File("song.3gp")));
        fs::remove(dir_.File("song.3gp"));
    }
    unsetenv("KVT_FAKE_AAC_DELAY_MS");
}

TEST_F(ExternalEncoder, MissingWorkFileRunsNoProgram) {
    const std::string marker = dir_.File("ran");
    std::string program = Script("marker", "touch \"" + marker + "\"");
    fs::remove(scratch_);
    ASSERT_EQ(Convert(1, 2, program), 1);
    EXPECT_FALSE(fs::exists(marker));
    EXPECT_EQ(messages_.Texts(), std::vector<std::string>{kFallback});
    EXPECT_EQ(program, "");
    EXPECT_EQ(Leftovers({"marker"}), std::vector<std::string>{"song.3gp"});
}

TEST_F(ExternalEncoder, ProgramGetsTheConvertedClipAndItsRateAfterBr) {
    // The work file is the whole input; the clip is what the user selected.
    testing::WriteWav(scratch_, testing::MusicLike(kRate, 2, 4.0), kRate, 2);
    struct Case {
        int channels;
        int rate;
    };
    const Case cases[] = {{2, kRate}, {1, kRate}, {1, 8000}, {2, 16000}};
    const std::string program = Script(
        "recorder", "cp \"$5\" \"" + dir_.File("seen.wav") + "\"\necho \"$2\" > \"" + dir_.File("br.txt") + "\"");
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.channels << " channels at " << c.rate);
        std::string path = program;
        ASSERT_EQ(Convert(1, c.channels, path, 0, kExternalEncoderWait, c.rate), 1);
        const auto seen = testing::ReadFileBytes(dir_.File("seen.wav"));
        ASSERT_GT(seen.size(), 46u);
        EXPECT_EQ(GetLe16(std::span(seen).subspan(22)), c.channels);
        EXPECT_EQ(GetLe32(std::span(seen).subspan(24)), static_cast<uint32_t>(c.rate));
        // The selection and its silent tail, nothing of the rest of the work file.
        const double seconds = static_cast<double>(GetLe32(std::span(seen).subspan(42))) / (2 * c.channels) / c.rate;
        EXPECT_NEAR(seconds, 1.5 + SilentTailMilliseconds(c.rate) / 1000.0, 0.01);
        std::ifstream br(dir_.File("br.txt"));
        std::string rate;
        br >> rate;
        EXPECT_EQ(rate, std::to_string(c.rate));
        EXPECT_FALSE(fs::exists(ExternalInputPath(scratch_)));
    }
}

TEST_F(ExternalEncoder, MovieAndTrackDurationsAgreeForASelectionAndARateChange) {
    // A 4 s work file of which a 0.5 s selection is converted.
    testing::WriteWav(scratch_, testing::MusicLike(kRate, 2, 4.0), kRate, 2);
    samples_ = testing::MusicLike(kRate, 2, 0.5);
    clip_ = SourceClip(dir_.File("song.wav"), FormatBlock::Pcm16(2, kRate), SamplesToBytes(samples_));
    for (const int rate : {kRate, 8000}) {
        SCOPED_TRACE(rate);
        std::string program = KVT_FAKE_AAC_ENCODER;
        ASSERT_EQ(Convert(1, 2, program, 0, kExternalEncoderWait, rate), 1);
        EXPECT_TRUE(messages_.Texts().empty());
        const std::string file = dir_.File("song.3gp");
        auto stream = ::kvt::testing::ProbeAudioStream(file, "duration,sample_rate,time_base");
        const std::string movie =
            ::kvt::testing::RunCommand("ffprobe -v error -show_entries format=duration -of csv=p=0 '" + file + "'")
                .output;
        ASSERT_FALSE(stream["duration"].empty());
        ASSERT_FALSE(movie.empty());
        EXPECT_NEAR(std::stod(stream["duration"]), std::stod(movie), 1024.0 / rate)
            << "track " << stream["duration"] << " s, movie " << movie;
        EXPECT_EQ(stream["sample_rate"], std::to_string(rate));
        EXPECT_EQ(stream["time_base"], "1/" + std::to_string(rate));
        fs::remove(file);
    }
}

TEST_F(ExternalEncoder, UnreadableProgramOutputKeepsTheWritersOwnBoxes) {
    std::string program = Script("garbage", "printf 'not an mp4 file' > \"$7\"");
    ASSERT_EQ(Convert(1, 2, program), 1);
    const auto texts = messages_.Texts();
    EXPECT_EQ(std::count(texts.begin(), texts.end(), std::string(kMissingBoxText)), 8);
    EXPECT_EQ(Leftovers({"tempkvt.wav", "garbage"}), (std::vector<std::string>{"song.3gp", "tempkvt.m4a"}));
    const auto decoded = testing::DecodeWithFfmpeg(dir_.File("song.3gp"));
    ASSERT_TRUE(decoded);
    EXPECT_GT(testing::AlignAndCompare(samples_, *decoded, 2).correlation, 0.98);
}

TEST_F(ExternalEncoder, ThreeG2NeverRunsTheProgram) {
    const std::string marker = dir_.File("ran");
    std::string program = Script("marker", "touch \"" + marker + "\"");
    const std::string given = program;
    ASSERT_EQ(Convert(2, 2, program), 1);
    EXPECT_EQ(program, given);
    EXPECT_FALSE(fs::exists(marker));
    EXPECT_TRUE(messages_.Texts().empty());
    EXPECT_TRUE(fs::exists(dir_.File("song.3g2")));
}

}  // namespace
}  // namespace kvt
