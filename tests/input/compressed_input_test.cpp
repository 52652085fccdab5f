#include "input/compressed_input.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <vector>

#include "input/pcm_decoder.h"
#include "input/wave_file.h"
#include "platform/command_output.h"
#include "platform/message.h"
#include "platform/temp_folder.h"

namespace kvt {
namespace {

namespace fs = std::filesystem;

constexpr const char* kUnplayable =
    "変換中にエラーが発生しました。\nWMAファイルの場合は、著作権情報が入っている可能性があります。\n"
    "ＣＤからＷＡＶとして抽出して変換してください。";

class CompressedInput : public ::testing::Test {
protected:
    std::string Path(const std::string& name) const { return folder_.File(name); }

    // Runs a fixed command line of our own making; the paths are temp paths we chose.
    static int Run(const std::string& command) { return std::system((command + " >/dev/null 2>&1").c_str()); }

    // A few seconds of two tones with an envelope, so every codec has something to do.
    std::string MakeSource(int rate, int channels, double seconds) {
        std::string wav = Path("source.wav");
        std::string expr = "0.4*sin(2*PI*440*t)*(1-exp(-8*t))+0.2*sin(2*PI*1250*t)";
        std::string layout = channels == 1 ? "mono" : channels == 2 ? "stereo" : "5.1";
        int result = Run("ffmpeg -y -f lavfi -i 'aevalsrc=" + expr + ":s=" + std::to_string(rate) +
                         ":d=" + std::to_string(seconds) + ":c=" + layout + "' -c:a pcm_s16le '" + wav + "'");
        EXPECT_EQ(result, 0);
        return wav;
    }

    std::string Encode(const std::string& source, const std::string& name, const std::string& codec) {
        std::string out = Path(name);
        EXPECT_EQ(Run("ffmpeg -y -i '" + source + "' -c:a " + codec + " '" + out + "'"), 0);
        return out;
    }

    // What FFmpeg's own command line decodes the file to, as 16-bit samples.
    std::vector<int16_t> ReferenceDecode(const std::string& path, int channels) {
        const auto decoded = ::kvt::testing::FfmpegDecodeRaw(path, "-ac " + std::to_string(channels) + " -f s16le");
        EXPECT_TRUE(decoded) << "ffmpeg cannot decode " << path;
        const std::vector<uint8_t> bytes = decoded.value_or(std::vector<uint8_t>{});
        std::vector<int16_t> samples(bytes.size() / 2);
        std::memcpy(samples.data(), bytes.data(), samples.size() * 2);
        return samples;
    }

    static std::vector<int16_t> SamplesOf(const WaveFile& wave) {
        std::vector<int16_t> samples(wave.Samples().size() / 2);
        std::memcpy(samples.data(), wave.Samples().data(), samples.size() * 2);
        return samples;
    }

    ::kvt::testing::TempFolder folder_;
};

struct WmaCase {
    const char* codec;
    int rate;
    int channels;
};

class WmaDecoding : public CompressedInput, public ::testing::WithParamInterface<WmaCase> {};

TEST_P(WmaDecoding, MatchesFfmpegSampleForSample) {
    const WmaCase& c = GetParam();
    std::string wma = Encode(MakeSource(c.rate, c.channels, 1.5), "in.wma", c.codec);
    std::string out = Path("sample.wav");
    MessageRecorder recorder;
    ASSERT_EQ(DecodeWithGraph(wma, out), 1);
    EXPECT_TRUE(recorder.Texts().empty());

    WaveFile wave;
    ASSERT_TRUE(wave.Load(out));
    EXPECT_EQ(wave.sampleRate, static_cast<uint32_t>(c.rate));
    EXPECT_EQ(wave.channels, c.channels);
    EXPECT_EQ(wave.bitsPerSample, 16);

    std::vector<int16_t> ours = SamplesOf(wave);
    std::vector<int16_t> reference = ReferenceDecode(wma, c.channels);
    ASSERT_EQ(ours.size(), reference.size());
    EXPECT_EQ(ours, reference);
}

INSTANTIATE_TEST_SUITE_P(Wma, WmaDecoding,
                         ::testing::Values(WmaCase{"wmav1", 22050, 1}, WmaCase{"wmav2", 22050, 2},
                                           WmaCase{"wmav1", 44100, 2}, WmaCase{"wmav2", 44100, 1}),
                         [](const ::testing::TestParamInfo<WmaCase>& info) {
                             return std::string(info.param.codec) + "_" + std::to_string(info.param.rate) + "_" +
                                    std::to_string(info.param.channels) + "ch";
                         });

TEST_F(CompressedInput, MoreThanTwoChannelsAreMixedToStereo) {
    std::string flac = Encode(MakeSource(44100, 6, 0.5), "six.flac", "flac");
    std::string out = Path("sample.wav");
    ASSERT_EQ(DecodeWithGraph(flac, out), 1);
    WaveFile wave;
    ASSERT_TRUE(wave.Load(out));
    EXPECT_EQ(wave.channels, 2);
    EXPECT_EQ(SamplesOf(wave), ReferenceDecode(flac, 2));
}

TEST_F(CompressedInput, UndecodableFilesShowTheThreeLineMessageAndWriteNothing) {
    std::string wma = Encode(MakeSource(22050, 1, 1.0), "whole.wma", "wmav2");
    std::ifstream whole(wma, std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(whole)), std::istreambuf_iterator<char>());

    std::vector<std::pair<std::string, std::vector<char>>> inputs = {
        {"empty.wma", {}},
        {"garbage.wma", std::vector<char>(4096, '\x5A')},
        {"header-only.wma", std::vector<char>(bytes.begin(), bytes.begin() + 200)},
    };
    for (const auto& [name, content] : inputs) {
        std::ofstream(Path(name), std::ios::binary).write(content.data(), content.size());
        std::string out = Path("sample-" + name + ".wav");
        MessageRecorder recorder;
        EXPECT_EQ(DecodeWithGraph(Path(name), out), 0) << name;
        EXPECT_EQ(recorder.Texts(), std::vector<std::string>{kUnplayable}) << name;
        EXPECT_FALSE(fs::exists(out)) << name;
    }
    MessageRecorder recorder;
    EXPECT_EQ(DecodeWithGraph(Path("missing.wma"), Path("x.wav")), 0);
    EXPECT_EQ(recorder.Texts(), std::vector<std::string>{kUnplayable});
}

TEST_F(CompressedInput, TruncatedWmaDecodesWhatIsThere) {
    std::string wma = Encode(MakeSource(22050, 2, 2.0), "whole.wma", "wmav2");
    std::ifstream whole(wma, std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(whole)), std::istreambuf_iterator<char>());
    bytes.resize(bytes.size() / 2 + 37);
    std::ofstream(Path("cut.wma"), std::ios::binary).write(bytes.data(), bytes.size());
    MessageRecorder recorder;
    std::string out = Path("sample.wav");
    ASSERT_EQ(DecodeWithGraph(Path("cut.wma"), out), 1);
    WaveFile wave;
    ASSERT_TRUE(wave.Load(out));
    size_t samples = SamplesOf(wave).size();
    EXPECT_GT(samples, 22050u);      // more than half a second of stereo
    EXPECT_LT(samples, 2 * 88200u);  // less than the whole two seconds
}

TEST_F(CompressedInput, UnwritableOutputFolderIsAFailure) {
    std::string wma = Encode(MakeSource(22050, 1, 0.5), "in.wma", "wmav2");
    MessageRecorder recorder;
    EXPECT_EQ(DecodeWithGraph(wma, Path("no/such/folder/sample.wav")), 0);
    EXPECT_EQ(recorder.Texts().size(), 1u);
}

// External decoder: Debian's lame takes "--decode IN OUT".
TEST_F(CompressedInput, Mp3ThroughLameWithAwkwardNames) {
    std::string wav = MakeSource(44100, 2, 1.0);
    std::string mp3 = Path("a \"quoted\"; $(touch pwned) name.mp3");
    ASSERT_EQ(Run("lame --quiet '" + wav + "' '" + mp3 + "'"), 0);
    std::string decoder = "/usr/bin/lame";
    std::string out = Path("sample out.wav");
    MessageRecorder recorder;
    ASSERT_EQ(DecodeWithExternalProgram(decoder, mp3, out), 1);
    EXPECT_EQ(decoder, "/usr/bin/lame");
    EXPECT_TRUE(recorder.Texts().empty());
    EXPECT_GT(fs::file_size(out), 44u + 44100u * 2 * 2 / 2);
    EXPECT_FALSE(fs::exists("pwned"));
    EXPECT_FALSE(fs::exists(Path("pwned")));
}

// A relative name that looks like an option ("-V9" sets lame's quality) must reach the
// decoder as a file.
TEST_F(CompressedInput, OptionLikeRelativeNamesReachTheDecoderAsFiles) {
    std::string wav = MakeSource(22050, 1, 0.5);
    ASSERT_EQ(Run("lame --quiet '" + wav + "' '" + Path("-V9.mp3") + "'"), 0);
    const fs::path previous = fs::current_path();
    fs::current_path(folder_.Path());
    std::string decoder = "/usr/bin/lame";
    int result = DecodeWithExternalProgram(decoder, "-V9.mp3", "-o.wav");
    fs::current_path(previous);
    EXPECT_EQ(result, 1);
    WaveFile wave;
    EXPECT_TRUE(wave.Load(Path("-o.wav")));
    EXPECT_GT(wave.SampleBytes(), 20000u);
}

TEST_F(CompressedInput, MissingDecoderIsClearedWithASystemModalMessage) {
    std::string mp3 = Path("in.mp3");
    std::ofstream(mp3) << "x";
    for (std::string decoder : {std::string(), Path("no-such-decoder")}) {
        MessageRecorder recorder;
        EXPECT_EQ(DecodeWithExternalProgram(decoder, mp3, Path("out.wav")), 0);
        EXPECT_TRUE(decoder.empty());
        auto requests = recorder.Requests();
        ASSERT_EQ(requests.size(), 1u);
        EXPECT_EQ(requests[0].text, "エンコーダが見つかりませんでした。");
        EXPECT_TRUE(requests[0].systemModal);
    }
}

class FakeDecoder : public CompressedInput {
protected:
    std::string Script(const std::string& name, const std::string& body) {
        std::string path = Path(name);
        std::ofstream(path) << "#!/bin/sh\n" << body << "\n";
        chmod(path.c_str(), 0755);
        return path;
    }
};

TEST_F(FakeDecoder, ProgramThatWritesNothingFails) {
    std::string input = Path("in.mp3");
    std::ofstream(input) << "x";
    std::string decoder = Script("silent", "exit 0");
    MessageRecorder recorder;
    EXPECT_EQ(DecodeWithExternalProgram(decoder, input, Path("out.wav")), 0);
    EXPECT_EQ(decoder, Script("silent", "exit 0"));  // a failed run keeps the setting
    EXPECT_TRUE(recorder.Texts().empty());
}

TEST_F(FakeDecoder, MissingInputFailsWithoutRunningTheProgram) {
    std::string marker = Path("ran");
    std::string decoder = Script("marker", "touch '" + marker + "'");
    EXPECT_EQ(DecodeWithExternalProgram(decoder, Path("absent.mp3"), Path("out.wav")), 0);
    EXPECT_FALSE(fs::exists(marker));
}

TEST_F(FakeDecoder, HangingProgramYieldsWhatExistsAfterTheWait) {
    std::string input = Path("in.mp3");
    std::ofstream(input) << "x";
    std::string partial = Script("partial", "printf RIFF > \"$3\"; sleep 3");
    std::string hanging = Script("hanging", "sleep 3");
    EXPECT_EQ(DecodeWithExternalProgram(partial, input, Path("p.wav"), std::chrono::milliseconds(500)), 1);
    EXPECT_EQ(DecodeWithExternalProgram(hanging, input, Path("h.wav"), std::chrono::milliseconds(300)), 0);
}

TEST_F(FakeDecoder, ArgumentsArriveAsTheDecodeTemplateSays) {
    std::string input = Path("in put \"x\".mp3");
    std::ofstream(input) << "x";
    std::string args = Path("args.txt");
    std::string decoder = Script("echoer", "for a in \"$@\"; do echo \"[$a]\"; done > '" + args + "'; : > \"$3\"");
    std::string out = Path("out $(x).wav");
    ASSERT_EQ(DecodeWithExternalProgram(decoder, input, out), 1);
    EXPECT_EQ(::kvt::testing::ReadWholeFile(args), "[--decode]\n[" + input + "]\n[" + out + "]\n");
}

}  // namespace
}  // namespace kvt
