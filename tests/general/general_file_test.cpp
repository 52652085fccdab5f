#include "Module/General/General/GeneralFile.h"

#include "platform/dialogs.h"
#include "platform/message.h"
#include "platform/temp_folder.h"

#include <gtest/gtest.h>
#include <unistd.h>
#include <algorithm>
#include <filesystem>

namespace kvt {
namespace {

const std::string kCannotOpen =
    "GENE01000007 ファイルが開けませんでした。ファイルリストを絶対パスで記述してみてください。\n"
    "あるいは、出力フォルダや作業フォルダの設定などを確認してください。";
const std::string kTooLarge = "GENE0100000A データが大きすぎます。";

class GeneralFile : public ::testing::Test {
protected:
    testing::TempFolder folder_;
    MessageRecorder recorder_;
};

TEST_F(GeneralFile, ExistenceTakesWildcardsButOnlyStarAndQuestionMark) {
    folder_.Write("song [live].wav", "x");
    folder_.Write(".hidden.wav", "x");
    std::filesystem::create_directory(folder_ / "out");
    struct Case {
        std::string name;
        bool exists;
    };
    const Case cases[] = {
        {folder_ / "song [live].wav", true},
        {folder_ / "out", true},
        {folder_.Path(), true},
        {folder_ / "*.wav", true},
        {folder_ / "song [l?ve].*", true},
        {folder_ / "song [l].wav", false},  // '[' is no character class
        {folder_ / "song l.wav", false},
        {folder_ / ".h*", true},
        {folder_ / "*.mp3", false},
        {folder_ / "missing", false},
        {folder_ / "missing/*", false},
        {"", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(GneFileExists(c.name), c.exists);
    }
    EXPECT_TRUE(recorder_.Texts().empty());
}

TEST_F(GeneralFile, OnlyFilesCanBeOpened) {
    EXPECT_TRUE(GneCanOpen(folder_.Write("a.wav", "")));
    EXPECT_FALSE(GneCanOpen(folder_.Path()));
    EXPECT_FALSE(GneCanOpen(folder_ / "missing.wav"));
    EXPECT_FALSE(GneCanOpen(""));
    ASSERT_EQ(mkfifo((folder_ / "fifo").c_str(), 0600), 0);
    EXPECT_TRUE(GneCanOpen(folder_ / "fifo"));  // and does not wait for a writer
    EXPECT_TRUE(recorder_.Texts().empty());
}

TEST_F(GeneralFile, SizeOfFilesFoldersAndNothing) {
    folder_.Write("five.mp4", "12345");
    EXPECT_EQ(GneFileSize(folder_ / "five.mp4"), 5u);
    EXPECT_EQ(GneFileSize(folder_ / "f*.mp4"), 5u);
    EXPECT_EQ(GneFileSize(folder_.Path()), 0u);
    EXPECT_EQ(GneFileSize(folder_ / "missing"), 0u);
    EXPECT_TRUE(recorder_.Texts().empty());
}

TEST_F(GeneralFile, FilesOf4GiBOrMoreAreReportedWithTheirLow32Bits) {
    const std::string big = folder_ / "big.mp4";
    std::filesystem::resize_file(folder_.Write("big.mp4", ""), (uint64_t{1} << 32) + 7);  // sparse
    EXPECT_EQ(GneFileSize(big), 7u);
    EXPECT_EQ(recorder_.Texts(), std::vector<std::string>{"GENE0100000D ファイルサイズにエラーがあります。"});
}

TEST_F(GeneralFile, ReadingAMissingFileShowsThePathThenCannotOpen) {
    for (const std::string& path : {folder_ / "missing.mp4", folder_.Path()}) {
        SCOPED_TRACE(path);
        recorder_.Clear();
        std::vector<uint8_t> buffer(16, 0xAA);
        size_t count = 99;
        EXPECT_EQ(GneReadFile(path, buffer, count), 0);
        EXPECT_EQ(count, 0u);
        EXPECT_EQ(recorder_.Texts(), (std::vector<std::string>{path, kCannotOpen}));
        EXPECT_TRUE(recorder_.Requests()[1].systemModal);
    }
}

TEST_F(GeneralFile, ReadsUpToTheBufferSize) {
    const std::string path = folder_.Write("a.bin", std::string("\x01\x02\x03\x00\x05", 5));
    std::vector<uint8_t> large(8, 0xAA);
    size_t count = 0;
    EXPECT_EQ(GneReadFile(path, large, count), 1);
    EXPECT_EQ(count, 5u);
    EXPECT_EQ(large, (std::vector<uint8_t>{1, 2, 3, 0, 5, 0xAA, 0xAA, 0xAA}));

    std::vector<uint8_t> small(3);
    EXPECT_EQ(GneReadFile(path, small, count), 1);
    EXPECT_EQ(count, 3u);
    EXPECT_EQ(small, (std::vector<uint8_t>{1, 2, 3}));
    EXPECT_TRUE(recorder_.Texts().empty());
}

TEST_F(GeneralFile, AFullReadIntoABufferOf0xF0000BytesIsReportedAsTooLarge) {
    struct Case {
        size_t fileSize;
        size_t bufferSize;
        bool reported;
    };
    const Case cases[] = {
        {0xF0000, 0xF0000, true},  {0xF0001, 0xF0000, true},  {0xEFFFF, 0xF0000, false},
        {0xF0000, 0xF0001, false}, {0xF0001, 0xEFFFF, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.fileSize) + " into " + ::testing::PrintToString(c.bufferSize));
        recorder_.Clear();
        const std::string path = folder_.Write("f.bin", std::string(c.fileSize, 'x'));
        std::vector<uint8_t> buffer(c.bufferSize);
        size_t count = 0;
        EXPECT_EQ(GneReadFile(path, buffer, count), 1);
        EXPECT_EQ(count, std::min(c.fileSize, c.bufferSize));
        EXPECT_EQ(recorder_.Texts(), c.reported ? std::vector<std::string>{kTooLarge} : std::vector<std::string>{});
    }
}

TEST_F(GeneralFile, AllocatedBlocksAreZeroFilledAndFailuresReported) {
    auto block = GneAlloc(4096);
    ASSERT_TRUE(block);
    EXPECT_EQ(block->size(), 4096u);
    EXPECT_TRUE(std::all_of(block->begin(), block->end(), [](uint8_t b) { return b == 0; }));
    GneFree(block);
    EXPECT_FALSE(block);
    EXPECT_TRUE(GneAlloc(0).has_value());
    EXPECT_TRUE(recorder_.Texts().empty());

    EXPECT_EQ(GneAlloc(SIZE_MAX), std::nullopt);
    EXPECT_EQ(recorder_.Texts(), std::vector<std::string>{"GENE01000002 メモリが不足しています。"});
}

TEST_F(GeneralFile, OpenFileDialogGoesThroughTheDialogSeam) {
    std::string destination = "/old/encoder";
    EXPECT_EQ(GneOpenFileDialog("exe", "exe files|*.exe|", destination), 0);  // no front end: cancelled
    EXPECT_EQ(destination, "/old/encoder");

    ScriptedDialogs scripted;
    scripted.QueueOpenFile(std::nullopt);
    scripted.QueueOpenFile("/opt/enc/aac encoder");
    ScopedDialogs scope(scripted);
    EXPECT_EQ(GneOpenFileDialog("exe", "exe files|*.exe|", destination), 0);
    EXPECT_EQ(destination, "/old/encoder");
    EXPECT_EQ(GneOpenFileDialog("exe", "exe files|*.exe|", destination), 1);
    EXPECT_EQ(destination, "/opt/enc/aac encoder");
    auto requests = scripted.Requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[1].first, "exe");
    EXPECT_EQ(requests[1].second, "exe files|*.exe|");
    EXPECT_TRUE(recorder_.Texts().empty());
}

}  // namespace
}  // namespace kvt
