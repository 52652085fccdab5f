#include "convert/input_loader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>
#include <chrono>
#include <filesystem>
#include <future>

#include "platform/dialogs.h"
#include "platform/message.h"
#include "platform/temp_folder.h"
#include "wav_bytes.h"

namespace kvt {
namespace {

using testing::TempFolder;
using testing::WavBytes;
using testing::WavHeader;

class InputLoader : public ::testing::Test {
protected:
    void SetUp() override {
        settings.workFolder = folder / "work";
        std::filesystem::create_directory(settings.workFolder);
    }

    int16_t Sample(size_t index) const {
        return static_cast<int16_t>(input.pcm.at(2 * index) | (input.pcm.at(2 * index + 1) << 8));
    }

    // A loaded earlier input that a failed load must leave in place.
    void LoadPrevious() {
        std::string path = folder.Write("previous.wav", WavBytes({}, testing::SineData(100, 1, 8000)));
        ASSERT_TRUE(LoadInputFile(path, input, settings));
        messages.Clear();
    }
    void ExpectPreviousKept() {
        EXPECT_TRUE(input.isLoaded);
        EXPECT_EQ(input.inputPath, folder / "previous.wav");
        EXPECT_EQ(input.totalFrames, 100u);
    }

    TempFolder folder;
    Settings settings;
    LoadedInput input;
    MessageRecorder messages;
};

TEST_F(InputLoader, EverySampleFormatArrivesAs16BitPcmWithTheWholeSelection) {
    struct Case {
        const char* name;
        WavHeader header;
        std::string data;
        uint16_t channels;
        std::vector<int16_t> samples;
    };
    const Case cases[] = {
        {"8-bit", {1, 1, 8000, 8}, std::string("\x00\x80\xff", 3), 1, {-32768, 0, 32512}},
        {"16-bit stereo", {1, 2, 11025, 16}, std::string("\x01\x00\xff\xff", 4), 2, {1, -1}},
        {"24-bit", {1, 1, 8000, 24}, std::string("\xff\x34\x12", 3), 1, {0x1234}},
        {"20-bit", {1, 1, 8000, 20}, std::string("\x00\x00\x80", 3), 1, {-32768}},
        {"24-bit extensible",
         {0xFFFE, 2, 48000, 24, 40},
         std::string("\x00\x34\x12\x00\xcc\xed", 6),
         2,
         {0x1234, -0x1234}},
        {"mu-law", {7, 1, 8000, 8}, std::string("\xff\x00", 2), 1, {0, -32124}},
        {"A-law stereo", {6, 2, 8000, 8}, std::string("\xd5\x2a", 2), 2, {8, -32256}},
        {"lowest rate", {1, 1, 1000, 16}, std::string("\x07\x00", 2), 1, {7}},
        {"highest rate", {1, 1, 384000, 16}, std::string("\x07\x00", 2), 1, {7}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string path = folder.Write(std::string(c.name) + ".wav", WavBytes(c.header, c.data));
        ASSERT_TRUE(LoadInputFile(path, input, settings));
        EXPECT_EQ(input.inputPath, path);
        EXPECT_EQ(input.format.formatTag, 1);
        EXPECT_EQ(input.format.bitsPerSample, 16);
        EXPECT_EQ(input.format.channels, c.channels);
        EXPECT_EQ(input.format.sampleRate, c.header.rate);
        EXPECT_EQ(input.format.blockAlign, 2 * c.channels);
        EXPECT_EQ(input.format.byteRate, 2u * c.channels * c.header.rate);
        ASSERT_EQ(input.pcm.size(), 2 * c.samples.size());
        for (size_t i = 0; i < c.samples.size(); ++i) EXPECT_EQ(Sample(i), c.samples[i]) << i;
        EXPECT_EQ(input.totalFrames, c.samples.size() / c.channels);
        EXPECT_EQ(input.startFrame, 0u);
        EXPECT_EQ(input.endFrame, input.totalFrames);
        // The scratch copy the external encoder reads is 16-bit linear PCM too.
        const std::string scratch = testing::ReadWholeFile(ScratchWavPath(settings.workFolder));
        ASSERT_EQ(scratch.size(), 44 + input.pcm.size());
        EXPECT_EQ(scratch.substr(20, 2), std::string("\x01\x00", 2));  // format tag
        EXPECT_EQ(scratch.substr(34, 2), std::string("\x10\x00", 2));  // bits per sample
        EXPECT_EQ(scratch.substr(44), std::string(input.pcm.begin(), input.pcm.end()));

        // Without the copy on disk the same samples arrive, and no file is left behind.
        std::filesystem::remove(ScratchWavPath(settings.workFolder));
        LoadedInput inMemory;
        ASSERT_TRUE(LoadInputFile(path, inMemory, settings, LoadOptions{.writeScratchFile = false}));
        EXPECT_EQ(inMemory.pcm, input.pcm);
        EXPECT_EQ(inMemory.format, input.format);
        EXPECT_FALSE(std::filesystem::exists(ScratchWavPath(settings.workFolder)));
    }
    EXPECT_TRUE(messages.Texts().empty());
}

TEST_F(InputLoader, RefusedInputsKeepThePreviousOneWithItsPath) {
    struct Case {
        const char* name;
        std::string bytes;
        std::string message;
    };
    const Case cases[] = {
        {"a.txt", "OggS", "このファイルは変換できません。"},
        {"a.ogg", "OggS",
         "変換中にエラーが発生しました。\nWMAファイルの場合は、著作権情報が入っている可能性があります。\n"
         "ＣＤからＷＡＶとして抽出して変換してください。"},
        {"track01.cda", "RIFF", "このファイルは変換できません。"},
        {"noext", "RIFF", "このファイルは変換できません。"},
        {"twelve.wav", WavBytes({1, 1, 8000, 12}, "\0\0"), "対応していないビット数のWAVファイルです。 [12]"},
        {"empty-data.wav", WavBytes({}, ""),
         "ファイルが異常です。CDからの抽出の場合は、CDをトレイに入れなおして再試行してください。"},
        {"no-channels.wav", WavBytes({1, 0, 8000, 16}, std::string(24, '\0')), "error"},
        {"no-rate.wav", WavBytes({1, 1, 0, 16}, std::string(4, '\0')),
         "対応していないサンプリング周波数のWAVファイルです。 [0 Hz]"},
        // A tiny file claiming 1 Hz would be resampled into gigabytes.
        {"one-hertz.wav", WavBytes({1, 1, 1, 8}, std::string(176000, '\x80')),
         "対応していないサンプリング周波数のWAVファイルです。 [1 Hz]"},
        {"too-fast.wav", WavBytes({1, 2, 384001, 16}, std::string(8, '\0')),
         "対応していないサンプリング周波数のWAVファイルです。 [384001 Hz]"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        LoadPrevious();
        std::string path = folder.Write(c.name, c.bytes);
        EXPECT_FALSE(LoadInputFile(path, input, settings));
        auto texts = messages.Texts();
        ASSERT_FALSE(texts.empty());
        EXPECT_EQ(texts.back(), c.message);
        ExpectPreviousKept();
    }
}

TEST_F(InputLoader, DamagedFilesAreRefusedWithAMessage) {
    std::string good = WavBytes({}, testing::SineData(1000, 1, 8000));
    const std::pair<const char*, std::string> cases[] = {
        {"empty.wav", ""},
        {"header-only.wav", good.substr(0, 30)},
        {"not-riff.wav", "hello, this is text"},
    };
    for (const auto& [name, bytes] : cases) {
        SCOPED_TRACE(name);
        LoadPrevious();
        EXPECT_FALSE(LoadInputFile(folder.Write(name, bytes), input, settings));
        EXPECT_FALSE(messages.Texts().empty());
        ExpectPreviousKept();
    }
}

// A WAV still being written (a decoder that outlived its wait) or one sent down a pipe
// carries a "data" size beyond the file: what is there loads, in whole frames.
TEST_F(InputLoader, UnfinishedAndPipedWavFilesLoadWhatIsThere) {
    const std::string sine = testing::SineData(1000, 2, 8000);
    std::string unfinished = WavBytes({1, 2, 8000, 16}, sine).substr(0, 44 + 1001);
    unfinished.replace(40, 4, std::string("\xff\xff\xff\x7f", 4));
    std::string piped = WavBytes({1, 2, 8000, 16}, sine);
    piped.replace(40, 4, std::string("\xff\xff\xff\xff", 4));
    const std::pair<std::string, size_t> cases[] = {{unfinished, 250}, {piped, 1000}};
    for (const auto& [bytes, frames] : cases) {
        ASSERT_TRUE(LoadInputFile(folder.Write("partial.wav", bytes), input, settings));
        EXPECT_EQ(input.totalFrames, frames);
        EXPECT_EQ(std::string(input.pcm.begin(), input.pcm.end()), sine.substr(0, 4 * frames));
    }
    EXPECT_TRUE(messages.Texts().empty());
}

// More than two channels are mixed to stereo the way the in-process decoder mixes the
// same file: loading it as .wav and as .wma gives the same samples.
TEST_F(InputLoader, MoreThanTwoChannelsMixToStereoLikeTheDecoder) {
    std::string six;
    for (int frame = 0; frame < 400; ++frame)
        for (int channel = 0; channel < 6; ++channel)
            testing::PutLe(six, static_cast<uint16_t>((frame * 97 + channel * 3001) % 20000 - 10000), 2);
    struct Layout {
        testing::WavHeader header;
        uint32_t channelMask;  // of an extensible header
    };
    const Layout layouts[] = {{{1, 6, 8000, 16}, 0}, {{1, 4, 22050, 16}, 0}, {{0xFFFE, 4, 8000, 16, 40}, 0x107}};
    for (const auto& [header, mask] : layouts) {
        SCOPED_TRACE(header.channels);
        std::string bytes = WavBytes(header, six);
        if (mask != 0) {
            // dwChannelMask and the whole PCM sub-format GUID, 20 and 24 bytes into "fmt ".
            std::string tail;
            testing::PutLe(tail, mask, 4);
            tail += std::string("\x01\x00\x00\x00\x00\x00\x10\x00\x80\x00\x00\xaa\x00\x38\x9b\x71", 16);
            bytes.replace(40, tail.size(), tail);
        }
        ASSERT_TRUE(LoadInputFile(folder.Write("many.wav", bytes), input, settings));
        const std::vector<uint8_t> fromWav = input.pcm;
        EXPECT_EQ(input.format.channels, 2);
        ASSERT_TRUE(LoadInputFile(folder.Write("many.wma", bytes), input, settings));
        EXPECT_EQ(fromWav, input.pcm);
        EXPECT_EQ(input.totalFrames, 400u * 6 / header.channels);
    }
    EXPECT_TRUE(messages.Texts().empty());
}

// Reading a named pipe would wait for a writer forever; a folder is no input either.
TEST_F(InputLoader, NamedPipesAndFoldersAreRefusedAtOnce) {
    LoadPrevious();
    std::filesystem::create_directory(folder / "folder.wav");
    for (const char* name : {"pipe.wav", "pipe.wma", "pipe.mp3", "folder.wav"}) {
        SCOPED_TRACE(name);
        const std::string path = folder / name;
        if (std::string(name).rfind("pipe", 0) == 0) {
            ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
        }
        messages.Clear();
        auto loading = std::async(std::launch::async, [&] { return LoadInputFile(path, input, settings); });
        const bool finished = loading.wait_for(std::chrono::seconds(10)) == std::future_status::ready;
        if (!finished) close(open(path.c_str(), O_WRONLY | O_NONBLOCK));  // releases a stuck open()
        EXPECT_TRUE(finished);
        EXPECT_FALSE(loading.get());
        EXPECT_EQ(messages.Texts(), std::vector<std::string>{"このファイルは変換できません。"});
        ExpectPreviousKept();
    }
}

TEST_F(InputLoader, UnwritableWorkFolderStopsTheLoad) {
    LoadPrevious();
    std::string path = folder.Write("song.wav", WavBytes({}, testing::SineData(50, 1, 8000)));
    settings.workFolder = folder / "missing";
    EXPECT_FALSE(LoadInputFile(path, input, settings));
    EXPECT_FALSE(messages.Texts().empty());
    ExpectPreviousKept();
}

TEST_F(InputLoader, Mp3WithoutADecoderAndTheDialogCancelled) {
    ScriptedDialogs dialogs;
    ScopedDialogs scope(dialogs);
    std::string path = folder.Write("song.mp3", "not really");
    EXPECT_FALSE(LoadInputFile(path, input, settings));
    auto requests = messages.Requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].text, "MP3をWAVファイルに変換するための外部プログラムを指定してください。");
    EXPECT_TRUE(requests[0].systemModal);
    EXPECT_EQ(requests[1].text, "指定されたファイルが存在しません。");
    EXPECT_TRUE(requests[1].systemModal);
    ASSERT_EQ(dialogs.Requests().size(), 1u);
    EXPECT_EQ(dialogs.Requests()[0].kind, ScriptedDialogs::Request::Kind::ChooseProgram);
    EXPECT_FALSE(input.isLoaded);
}

TEST_F(InputLoader, FailingMp3DecoderAsksWhetherToForgetIt) {
    const std::string question = "MP3の変換に失敗しました。MP3のエンコーダの指定をクリアしますか？";
    for (MessageAnswer answer : {MessageAnswer::Cancel, MessageAnswer::Ok}) {
        // A stale decoded file from an earlier input must not be taken for this one.
        folder.Write("work/sample.wav", WavBytes({}, testing::SineData(100, 1, 8000)));
        MessageRecorder recorder({answer});
        settings.mp3DecoderPath = "/bin/false";
        EXPECT_FALSE(LoadInputFile(folder.Write("song.mp3", "x"), input, settings));
        auto requests = recorder.Requests();
        ASSERT_EQ(requests.size(), 1u);
        EXPECT_EQ(requests[0].text, question);
        EXPECT_EQ(requests[0].buttons, MessageButtons::OkCancel);
        EXPECT_EQ(settings.mp3DecoderPath, answer == MessageAnswer::Ok ? "" : "/bin/false");
        EXPECT_FALSE(std::filesystem::exists(DecodedWavPath(settings.workFolder)));
        EXPECT_FALSE(input.isLoaded);
    }
}

TEST_F(InputLoader, Mp3ThroughTheExternalDecoder) {
    if (!std::filesystem::exists("/usr/bin/lame")) GTEST_SKIP() << "lame is not installed";
    std::string wav = folder.Write("source.wav", WavBytes({1, 1, 22050, 16}, testing::SineData(22050, 1, 22050)));
    std::string mp3 = folder / "song.mp3";
    ASSERT_EQ(std::system(("/usr/bin/lame --quiet " + wav + " " + mp3).c_str()), 0);
    settings.mp3DecoderPath = "/usr/bin/lame";
    ASSERT_TRUE(LoadInputFile(mp3, input, settings));
    EXPECT_EQ(input.inputPath, mp3);
    EXPECT_EQ(input.format.sampleRate, 22050u);
    EXPECT_GE(input.totalFrames, 22050u);  // the decoder adds its padding
    EXPECT_TRUE(messages.Texts().empty());
    EXPECT_FALSE(std::filesystem::exists(DecodedWavPath(settings.workFolder))) << "the decoder's copy is left";
}

TEST_F(InputLoader, WmaThroughTheInProcessDecoder) {
    std::string wav = folder.Write("source.wav", WavBytes({1, 2, 44100, 16}, testing::SineData(22050, 2, 44100)));
    std::string wma = folder / "song.wma";
    ASSERT_EQ(std::system(("ffmpeg -loglevel error -y -i " + wav + " -c:a wmav2 " + wma).c_str()), 0);
    ASSERT_TRUE(LoadInputFile(wma, input, settings));
    EXPECT_EQ(input.format.channels, 2);
    EXPECT_EQ(input.format.sampleRate, 44100u);
    EXPECT_GE(input.totalFrames, 20000u);
    // Decoded into memory: no copy of the whole input goes through "sample.wav".
    EXPECT_FALSE(std::filesystem::exists(DecodedWavPath(settings.workFolder)));
}

// "sample.wav" is only removed by the load that wrote it: one that is already in the
// folder the program was started in is the user's.
TEST_F(InputLoader, AUsersOwnSampleWavIsLeftAlone) {
    const std::string own = folder.Write("work/sample.wav", WavBytes({}, testing::SineData(100, 1, 8000)));
    for (const std::string& path : {folder.Write("song.wav", WavBytes({}, testing::SineData(50, 1, 8000))), own}) {
        SCOPED_TRACE(path);
        EXPECT_TRUE(LoadInputFile(path, input, settings));
        EXPECT_TRUE(std::filesystem::exists(own));
    }
}

}  // namespace
}  // namespace kvt
