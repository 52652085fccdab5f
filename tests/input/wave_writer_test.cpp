#include "input/wave_writer.h"

#include <gtest/gtest.h>

#include "input/wave_file.h"
#include "input/wave_test_support.h"
#include "platform/message.h"

namespace kvt {
namespace {

using Texts = std::vector<std::string>;

class WaveWriterFixture : public ::testing::Test {
protected:
    testing::TempFolder folder;
};

TEST_F(WaveWriterFixture, CloseFillsBothSizesAndPadsOddData) {
    for (size_t count : {0u, 1u, 4u, 7u, 10000u}) {
        SCOPED_TRACE(count);
        std::vector<uint8_t> samples(count);
        for (size_t i = 0; i < count; ++i) samples[i] = static_cast<uint8_t>(i * 7 + 3);
        const std::string path = folder.File("track.wav");
        MessageRecorder recorder;
        WaveWriter writer;
        ASSERT_EQ(writer.Open(path, 44100, 16, 2).code, 0);
        // In pieces, as a rip delivers them.
        for (size_t at = 0; at < count; at += 3)
            ASSERT_TRUE(writer.Write(samples.data() + at, std::min<size_t>(3, count - at)).Ok());
        ASSERT_EQ(writer.Close().code, 0);
        EXPECT_FALSE(writer.IsOpen());
        EXPECT_TRUE(recorder.Texts().empty());

        const std::vector<uint8_t> file = testing::ReadFileBytes(path);
        const size_t pad = count % 2;
        ASSERT_EQ(file.size(), 46 + count + pad);
        std::span<const uint8_t> bytes(file);
        EXPECT_EQ(std::string(file.begin(), file.begin() + 4), "RIFF");
        EXPECT_EQ(GetLe32(bytes.subspan(4)), file.size() - 8);
        EXPECT_EQ(std::string(file.begin() + 8, file.begin() + 16), "WAVEfmt ");
        EXPECT_EQ(GetLe32(bytes.subspan(16)), 18u);
        EXPECT_EQ(GetLe16(bytes.subspan(20)), 1);        // PCM
        EXPECT_EQ(GetLe16(bytes.subspan(22)), 2);        // channels
        EXPECT_EQ(GetLe32(bytes.subspan(24)), 44100u);   // rate
        EXPECT_EQ(GetLe32(bytes.subspan(28)), 176400u);  // byte rate
        EXPECT_EQ(GetLe16(bytes.subspan(32)), 4);        // block align
        EXPECT_EQ(GetLe16(bytes.subspan(34)), 16);       // bits
        EXPECT_EQ(GetLe16(bytes.subspan(36)), 0);        // extra size
        EXPECT_EQ(std::string(file.begin() + 38, file.begin() + 42), "data");
        EXPECT_EQ(GetLe32(bytes.subspan(42)), count);
        EXPECT_TRUE(std::equal(samples.begin(), samples.end(), file.begin() + 46));
        if (pad) {
            EXPECT_EQ(file.back(), 0);
        }

        WaveFile wave;
        ASSERT_TRUE(wave.Load(path));
        EXPECT_TRUE(recorder.Texts().empty());
        EXPECT_TRUE(std::equal(samples.begin(), samples.end(), wave.Samples().begin(), wave.Samples().end()));
    }
}

TEST_F(WaveWriterFixture, OpenTruncatesAnExistingFile) {
    const std::string path = folder.File("old.wav");
    testing::WriteFileBytes(path, std::vector<uint8_t>(5000, 0xAA));
    WaveWriter writer;
    ASSERT_EQ(writer.Open(path, 8000, 8, 1).code, 0);
    const uint8_t sample = 128;
    ASSERT_TRUE(writer.Write(&sample, 1).Ok());
    ASSERT_EQ(writer.Close().code, 0);
    EXPECT_EQ(testing::ReadFileBytes(path).size(), 48u);
}

TEST_F(WaveWriterFixture, OpenRefusalsCarryTheirResults) {
    struct Case {
        const char* name;
        std::string path;
        int result;
        const char* message;
    };
    const Case cases[] = {
        {"no file name", "", 257, "ファイル名がありません。"},
        {"missing folder", folder.File("missing/a.wav"), kWavePathNotFound, "ファイルの作成に失敗しました。"},
        {"a folder", folder.File(""), kWaveAccessDenied, "ファイルの作成に失敗しました。"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        MessageRecorder recorder;
        WaveWriter writer;
        EXPECT_EQ(writer.Open(c.path, 44100, 16, 2).code, c.result);
        EXPECT_FALSE(writer.IsOpen());
        EXPECT_EQ(recorder.Texts(), Texts{c.message});
        EXPECT_EQ(writer.Close().code, 0);
    }
}

TEST_F(WaveWriterFixture, SecondOpenIsRefusedUntilClose) {
    MessageRecorder recorder;
    WaveWriter writer;
    const std::string first = folder.File("first.wav");
    ASSERT_EQ(writer.Open(first, 44100, 16, 2).code, 0);
    EXPECT_EQ(writer.Open(folder.File("second.wav"), 44100, 16, 2).code, 259);
    EXPECT_EQ(recorder.Texts(), Texts{"ファイルはオープン済みです。"});
    EXPECT_FALSE(std::filesystem::exists(folder.File("second.wav")));
    EXPECT_EQ(writer.Close().code, 0);
    EXPECT_EQ(writer.Open(folder.File("second.wav"), 44100, 16, 2).code, 0);
    EXPECT_EQ(writer.Close().code, 0);
    EXPECT_EQ(recorder.Texts().size(), 1u);
}

TEST_F(WaveWriterFixture, ClosedWriterClosesSilentlyAndRefusesData) {
    MessageRecorder recorder;
    WaveWriter writer;
    EXPECT_EQ(writer.Close().code, 0);
    ASSERT_EQ(writer.Open(folder.File("a.wav"), 8000, 16, 1).code, 0);
    EXPECT_EQ(writer.Close().code, 0);
    EXPECT_EQ(writer.Close().code, 0);
    EXPECT_TRUE(recorder.Texts().empty());

    const int16_t sample = 1;
    EXPECT_FALSE(writer.Write(&sample, sizeof sample).Ok());
    EXPECT_EQ(recorder.Texts(), Texts{"データの書き込みに失敗しました。"});
}

TEST_F(WaveWriterFixture, LostDataIsReportedNotSwallowed) {
    // Every byte written to /dev/full fails once it leaves the buffer.
    if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
    MessageRecorder recorder;
    WaveWriter writer;
    ASSERT_EQ(writer.Open("/dev/full", 44100, 16, 2).code, 0);
    const int16_t sample = 0;
    EXPECT_TRUE(writer.Write(&sample, sizeof sample).Ok());  // still in the buffer
    EXPECT_EQ(writer.Close().code, kWaveCannotWrite);
    EXPECT_FALSE(writer.IsOpen());
    EXPECT_EQ(recorder.Texts(), Texts{"ファイルのクローズに失敗しました。"});

    recorder.Clear();
    ASSERT_EQ(writer.Open("/dev/full", 44100, 16, 2).code, 0);
    std::vector<uint8_t> large(1 << 20);
    EXPECT_FALSE(writer.Write(large.data(), large.size()).Ok());
    EXPECT_NE(writer.Close().code, 0);
    EXPECT_EQ(recorder.Texts(), (Texts{"データの書き込みに失敗しました。", "ファイルのクローズに失敗しました。"}));
}

TEST_F(WaveWriterFixture, DroppingAnOpenWriterStillFillsTheSizes) {
    const std::string path = folder.File("dropped.wav");
    {
        WaveWriter writer;
        ASSERT_EQ(writer.Open(path, 22050, 16, 1).code, 0);
        const int16_t samples[3] = {1, 2, 3};
        ASSERT_TRUE(writer.Write(samples, sizeof samples).Ok());
    }
    WaveFile wave;
    ASSERT_TRUE(wave.Load(path));
    EXPECT_EQ(wave.SampleBytes(), 6u);
}

}  // namespace
}  // namespace kvt
