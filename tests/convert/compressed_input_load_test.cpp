// WMA and MP3 inputs through the loader: decoding, the decoder-program questions, and
// failures that must leave the previous input in place.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstring>
#include <filesystem>
#include <fstream>

#include "convert/input_loader.h"
#include "platform/command_output.h"
#include "platform/dialogs.h"
#include "platform/message.h"
#include "platform/temp_folder.h"

namespace kvt {
namespace {

namespace fs = std::filesystem;

constexpr const char* kAskDecoder = "MP3をWAVファイルに変換するための外部プログラムを指定してください。";
constexpr const char* kNoSuchFileText = "指定されたファイルが存在しません。";
constexpr const char* kMp3FailedText = "MP3の変換に失敗しました。MP3のエンコーダの指定をクリアしますか？";
constexpr const char* kUnplayable =
    "変換中にエラーが発生しました。\nWMAファイルの場合は、著作権情報が入っている可能性があります。\n"
    "ＣＤからＷＡＶとして抽出して変換してください。";

class CompressedLoad : public ::testing::Test {
protected:
    void SetUp() override { settings_.workFolder = folder_.Path(); }

    std::string Path(const std::string& name) const { return folder_.File(name); }

    static int Run(const std::string& command) { return std::system((command + " >/dev/null 2>&1").c_str()); }

    std::string MakeAudio(const std::string& name, const std::string& codec, int rate, int channels, double seconds) {
        std::string out = Path(name);
        std::string layout = channels == 1 ? "mono" : "stereo";
        EXPECT_EQ(
            Run("ffmpeg -y -f lavfi -i 'aevalsrc=0.5*sin(2*PI*330*t)+0.2*sin(2*PI*2000*t):s=" + std::to_string(rate) +
                ":d=" + std::to_string(seconds) + ":c=" + layout + "' -c:a " + codec + " '" + out + "'"),
            0);
        return out;
    }

    std::vector<uint8_t> ReferencePcm(const std::string& path) {
        const auto decoded = ::kvt::testing::FfmpegDecodeRaw(path, "-f s16le");
        EXPECT_TRUE(decoded) << "ffmpeg cannot decode " << path;
        return decoded.value_or(std::vector<uint8_t>{});
    }

    std::string Script(const std::string& name, const std::string& body) {
        std::string path = Path(name);
        std::ofstream(path) << "#!/bin/sh\n" << body << "\n";
        chmod(path.c_str(), 0755);
        return path;
    }

    // A loaded WAV input that a failing load must leave alone.
    void LoadPrevious() {
        std::string wav = MakeAudio("previous.wav", "pcm_s16le", 8000, 1, 0.25);
        ASSERT_TRUE(LoadInputFile(wav, input_, settings_));
        previous_ = input_.pcm;
    }

    void ExpectPreviousKept() {
        EXPECT_TRUE(input_.isLoaded);
        EXPECT_EQ(input_.inputPath, Path("previous.wav"));
        EXPECT_EQ(input_.pcm, previous_);
    }

    ::kvt::testing::TempFolder folder_;
    Settings settings_;
    LoadedInput input_;
    std::vector<uint8_t> previous_;
};

TEST_F(CompressedLoad, WmaLoadsAsTheWholeDecodedInput) {
    for (int channels : {1, 2}) {
        std::string wma = MakeAudio("song.wma", "wmav2", 22050, channels, 1.0);
        MessageRecorder recorder;
        ASSERT_TRUE(LoadInputFile(wma, input_, settings_));
        EXPECT_TRUE(recorder.Texts().empty());
        EXPECT_EQ(input_.format.channels, channels);
        EXPECT_EQ(input_.format.sampleRate, 22050u);
        EXPECT_EQ(input_.pcm, ReferencePcm(wma));
        EXPECT_EQ(input_.totalFrames, input_.pcm.size() / (2u * channels));
        EXPECT_EQ(input_.startFrame, 0u);
        EXPECT_EQ(input_.endFrame, input_.totalFrames);
        EXPECT_FALSE(fs::exists(Path("sample.wav")));  // decoded into memory
        EXPECT_TRUE(fs::exists(Path("tempkvt.wav")));
        EXPECT_EQ(::kvt::testing::ReadWholeFile(Path("tempkvt.wav")).size(), 44 + input_.pcm.size());
    }
}

// With no decoder program chosen, MP3 decodes in-process as FLAC and the rest do: no
// question, no box, the samples FFmpeg's own decoding gives.
TEST_F(CompressedLoad, Mp3AndNewKindsLoadInProcessWithoutAQuestion) {
    const std::pair<const char*, const char*> kinds[] = {
        {"song.mp3", "libmp3lame"}, {"song.flac", "flac"},    {"song.m4a", "alac"},
        {"song.ogg", "libvorbis"},  {"song.opus", "libopus"}, {"song.aiff", "pcm_s16be"},
    };
    for (const auto& [name, codec] : kinds) {
        SCOPED_TRACE(name);
        std::string path = MakeAudio(name, codec, 48000, 2, 0.5);
        ScriptedDialogs dialogs;
        ScopedDialogs scoped(dialogs);
        MessageRecorder recorder;
        ASSERT_TRUE(LoadInputFile(path, input_, settings_));
        EXPECT_TRUE(recorder.Texts().empty());
        EXPECT_TRUE(dialogs.Requests().empty());
        EXPECT_TRUE(settings_.mp3DecoderPath.empty());
        EXPECT_EQ(input_.format.channels, 2);
        EXPECT_EQ(input_.format.sampleRate, 48000u);
        EXPECT_EQ(input_.pcm, ReferencePcm(path));
    }
}

// A ".wav" that is really an MP3, FLAC or Ogg file loads as what it is after the box that
// says it is not RIFF; one that is no audio at all then says it cannot be converted.
TEST_F(CompressedLoad, MislabelledWavIsReadByWhatItReallyIs) {
    const std::string notRiff = "不明なタグが検出されました。処理は継続可能です。 [RIFF]";
    for (const char* codec : {"libmp3lame -f mp3", "flac -f flac", "libvorbis -f ogg"}) {
        SCOPED_TRACE(codec);
        std::string path = MakeAudio("download.wav", codec, 44100, 1, 0.5);
        MessageRecorder recorder;
        ASSERT_TRUE(LoadInputFile(path, input_, settings_));
        EXPECT_EQ(recorder.Texts(), std::vector<std::string>{notRiff});
        EXPECT_EQ(input_.format.channels, 1);
        EXPECT_EQ(input_.pcm, ReferencePcm(path));
    }
    LoadPrevious();
    std::string text = Path("notes.wav");
    std::ofstream(text) << "just some text, not audio at all\n";
    MessageRecorder recorder;
    EXPECT_FALSE(LoadInputFile(text, input_, settings_));
    EXPECT_EQ(recorder.Texts(), (std::vector<std::string>{notRiff, "このファイルは変換できません。"}));
    ExpectPreviousKept();
}

TEST_F(CompressedLoad, CorruptWmaKeepsThePreviousInput) {
    LoadPrevious();
    std::string bad = Path("broken.wma");
    std::ofstream(bad, std::ios::binary) << std::string(3000, '\x30');
    MessageRecorder recorder;
    EXPECT_FALSE(LoadInputFile(bad, input_, settings_));
    EXPECT_EQ(recorder.Texts(), std::vector<std::string>{kUnplayable});
    ExpectPreviousKept();
}

TEST_F(CompressedLoad, Mp3ThroughLame) {
    std::string wav = MakeAudio("src.wav", "pcm_s16le", 44100, 2, 1.0);
    std::string mp3 = Path("my song \"live\".mp3");
    ASSERT_EQ(Run("lame --quiet '" + wav + "' '" + mp3 + "'"), 0);
    settings_.mp3DecoderPath = "/usr/bin/lame";
    MessageRecorder recorder;
    ASSERT_TRUE(LoadInputFile(mp3, input_, settings_));
    EXPECT_TRUE(recorder.Texts().empty());
    EXPECT_EQ(input_.format.channels, 2);
    EXPECT_EQ(input_.format.sampleRate, 44100u);
    // lame pads the start and end; the length is the input's give or take a few frames.
    EXPECT_NEAR(static_cast<double>(input_.totalFrames), 44100.0, 3000.0);
}

TEST_F(CompressedLoad, Mp3WithoutDecoderAsksForOneAndStopsWhenCancelled) {
    LoadPrevious();
    std::string mp3 = Path("a.mp3");
    std::ofstream(mp3) << "x";
    ScriptedDialogs dialogs;
    dialogs.QueueOpenFile(std::nullopt);
    ScopedDialogs scoped(dialogs);
    MessageRecorder recorder;
    EXPECT_FALSE(LoadInputFile(mp3, input_, settings_));
    EXPECT_EQ(recorder.Texts(), (std::vector<std::string>{kAskDecoder, kNoSuchFileText}));
    for (const auto& request : recorder.Requests()) EXPECT_TRUE(request.systemModal);
    ASSERT_EQ(dialogs.Requests().size(), 1u);
    EXPECT_EQ(dialogs.Requests()[0].kind, ScriptedDialogs::Request::Kind::ChooseProgram);
    EXPECT_TRUE(settings_.mp3DecoderPath.empty());
    ExpectPreviousKept();
}

// Asked only when the in-process decoder finds no audio: the program chosen then is used
// and kept.
TEST_F(CompressedLoad, Mp3DecoderChosenInTheDialogIsUsedAndKept) {
    std::string wav = MakeAudio("src.wav", "pcm_s16le", 22050, 1, 0.5);
    std::string mp3 = Path("b.mp3");
    std::ofstream(mp3) << "no MP3 frame in here";
    std::string decoder = Script("decoder", "cp " + ::kvt::testing::Quote(wav) + " \"$3\"");
    ScriptedDialogs dialogs;
    dialogs.QueueOpenFile(decoder);
    ScopedDialogs scoped(dialogs);
    MessageRecorder recorder;
    ASSERT_TRUE(LoadInputFile(mp3, input_, settings_));
    EXPECT_EQ(recorder.Texts(), std::vector<std::string>{kAskDecoder});
    EXPECT_EQ(dialogs.Requests().size(), 1u);
    EXPECT_EQ(settings_.mp3DecoderPath, decoder);
    EXPECT_EQ(input_.totalFrames, 11025u);
}

TEST_F(CompressedLoad, FailedMp3DecodeAsksWhetherToClearTheDecoder) {
    LoadPrevious();
    std::string mp3 = Path("c.mp3");
    std::ofstream(mp3) << "not really";
    // A stale sample.wav from an earlier input must not be taken for this one.
    std::ofstream(Path("sample.wav")) << "stale";
    std::string silent = Script("decoder", "exit 1");
    for (MessageAnswer answer : {MessageAnswer::Cancel, MessageAnswer::Ok}) {
        settings_.mp3DecoderPath = silent;
        MessageRecorder recorder({answer});
        EXPECT_FALSE(LoadInputFile(mp3, input_, settings_));
        auto requests = recorder.Requests();
        ASSERT_EQ(requests.size(), 1u);
        EXPECT_EQ(requests[0].text, kMp3FailedText);
        EXPECT_EQ(requests[0].buttons, MessageButtons::OkCancel);
        EXPECT_EQ(settings_.mp3DecoderPath, answer == MessageAnswer::Ok ? "" : silent);
        EXPECT_FALSE(fs::exists(Path("sample.wav")));
        ExpectPreviousKept();
    }
}

TEST_F(CompressedLoad, TruncatedMp3FromLameLoadsWhatWasDecoded) {
    std::string wav = MakeAudio("src.wav", "pcm_s16le", 44100, 1, 2.0);
    std::string whole = Path("whole.mp3");
    ASSERT_EQ(Run("lame --quiet '" + wav + "' '" + whole + "'"), 0);
    std::string cut = Path("cut.mp3");
    fs::copy_file(whole, cut);
    fs::resize_file(cut, fs::file_size(whole) / 2);
    settings_.mp3DecoderPath = "/usr/bin/lame";
    MessageRecorder recorder;
    ASSERT_TRUE(LoadInputFile(cut, input_, settings_));
    EXPECT_GT(input_.totalFrames, 30000u);
    EXPECT_LT(input_.totalFrames, 70000u);
}

}  // namespace
}  // namespace kvt
