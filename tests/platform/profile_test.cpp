#include "platform/profile.h"

#include "platform/file_size_limit.h"
#include "platform/temp_folder.h"

#include <gtest/gtest.h>
#include <unistd.h>
#include <filesystem>

namespace kvt {
namespace {

using testing::ReadWholeFile;

class Profile : public ::testing::Test {
protected:
    testing::TempFolder folder_;
    std::string ini_ = folder_ / "setup.ini";
};

TEST_F(Profile, WritesKeysInFirstWrittenOrderAndReplacesValuesInPlace) {
    for (const char* key : {"button000", "button001", "directory", "mp3", "external"})
        ASSERT_TRUE(WriteProfileString("kvt", key, "0", ini_));
    ASSERT_TRUE(WriteProfileString("kvt", "button001", "2", ini_));
    ASSERT_TRUE(WriteProfileString("kvt", "directory", "/home/u/着信音", ini_));
    ASSERT_TRUE(WriteProfileString("kvt", "external", "", ini_));
    EXPECT_EQ(ReadWholeFile(ini_), "[kvt]\nbutton000=0\nbutton001=2\ndirectory=/home/u/着信音\nmp3=0\nexternal=\n");
    EXPECT_EQ(ReadProfileInt("kvt", "button001", 0, ini_), 2);
    EXPECT_EQ(ReadProfileString("kvt", "directory", "", ini_), "/home/u/着信音");
    EXPECT_EQ(ReadProfileString("kvt", "external", "none", ini_), "");
}

TEST_F(Profile, MissingFileSectionOrKeyGivesTheDefault) {
    EXPECT_EQ(ReadProfileInt("kvt", "button000", 7, ini_), 7);
    EXPECT_EQ(ReadProfileString("kvt", "directory", "/docs  ", ini_), "/docs");  // trailing blanks dropped
    folder_.Write("setup.ini", "[other]\nbutton000=1\n[kvt]\nmp3=/bin/x\n");
    EXPECT_EQ(ReadProfileInt("kvt", "button000", -1, ini_), -1);
    EXPECT_EQ(ReadProfileString("none", "mp3", "d", ini_), "d");
    EXPECT_EQ(ReadProfileString("kvt", "mp3", "d", ini_), "/bin/x");
}

TEST_F(Profile, IntegersReadLikeWindows) {
    struct Case {
        const char* stored;
        int expected;
    };
    const Case cases[] = {
        {"12", 12},        {"-5", -5}, {"+7", 7},   {"  42  ", 42}, {"12abc", 12},
        {"abc", 0},        {"-", 0},   {"0x1F", 0}, {"\"3\"", 3},   {"2147483647", 2147483647},
        {"4294967297", 1},  // 32-bit wrap-around
        {"", 99},           // an empty value counts as missing
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.stored);
        folder_.Write("setup.ini", std::string("[kvt]\nvalue=") + c.stored + "\n");
        EXPECT_EQ(ReadProfileInt("kvt", "value", 99, ini_), c.expected);
    }
}

TEST_F(Profile, NamesMatchWithoutRegardToCaseOrBlanks) {
    folder_.Write("setup.ini", "  [ KVT ]  \n  Directory  =  \"/a b\"  \n");
    EXPECT_EQ(ReadProfileString("kvt", "DIRECTORY", "", ini_), "/a b");
    ASSERT_TRUE(WriteProfileString("Kvt", "directory", "/c", ini_));
    EXPECT_EQ(ReadWholeFile(ini_), "  [ KVT ]  \nDirectory=/c\n");
}

TEST_F(Profile, KeepsTheRestOfTheFileAndAddsKeysAtTheEndOfTheirSection) {
    folder_.Write("setup.ini", "\xEF\xBB\xBF; settings\r\n[kvt]\r\na=1\r\n\r\n[other]\r\nb=2\r\n");
    ASSERT_TRUE(WriteProfileString("kvt", "c", "3", ini_));
    ASSERT_TRUE(WriteProfileString("new", "d", "4", ini_));
    EXPECT_EQ(ReadWholeFile(ini_),
              "\xEF\xBB\xBF; settings\r\n[kvt]\r\na=1\r\nc=3\r\n\r\n[other]\r\nb=2\r\n\r\n[new]\r\nd=4\r\n");
    EXPECT_EQ(ReadProfileInt("other", "b", 0, ini_), 2);
}

// Lines a write does not touch keep their bytes, stray carriage returns and a missing
// final line end included, so no other key's value can change.
TEST_F(Profile, UntouchedLinesKeepTheirOwnLineEnds) {
    struct Case {
        std::string before;
        std::string after;  // once button000=7 is written
    };
    const Case cases[] = {
        {"[kvt]\na=\r\r", "[kvt]\na=\r\r\nbutton000=7\n"},
        {"[kvt]\na=\r\r\nb=1\n", "[kvt]\na=\r\r\nb=1\nbutton000=7\n"},
        {"[kvt]\r\na=1\nb=2\r\n", "[kvt]\r\na=1\nb=2\r\nbutton000=7\r\n"},
        {"[kvt]\r\na=1", "[kvt]\r\na=1\r\nbutton000=7\r\n"},
        {"[kvt]\nbutton000=1\r\nz=2", "[kvt]\nbutton000=7\r\nz=2"},
        {"[x]\na=\r", "[x]\na=\r\n\n[kvt]\nbutton000=7\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.before);
        folder_.Write("setup.ini", c.before);
        const std::string a = ReadProfileString("kvt", "a", "?", ini_);
        ASSERT_TRUE(WriteProfileString("kvt", "button000", "7", ini_));
        EXPECT_EQ(ReadWholeFile(ini_), c.after);
        EXPECT_EQ(ReadProfileString("kvt", "a", "?", ini_), a);
    }
}

TEST_F(Profile, AnyValueWithoutLineBreaksReadsBackUnchanged) {
    for (const std::string value : {" leading", "trailing ", "\"quoted\"", "'single'", "a=b;c[d]", "表ソ\\", "\""}) {
        SCOPED_TRACE(value);
        ASSERT_TRUE(WriteProfileString("kvt", "directory", value, ini_));
        EXPECT_EQ(ReadProfileString("kvt", "directory", "", ini_), value);
    }
}

TEST_F(Profile, LineBreaksCannotPlantEntries) {
    ASSERT_TRUE(WriteProfileString("kvt", "directory", "/safe", ini_));
    const std::string before = ReadWholeFile(ini_);
    EXPECT_FALSE(WriteProfileString("kvt", "directory", "/x\nmp3=/tmp/evil", ini_));
    EXPECT_FALSE(WriteProfileString("kvt", "directory", "/x\r", ini_));
    EXPECT_FALSE(WriteProfileString("kvt", "a\nb", "1", ini_));
    EXPECT_FALSE(WriteProfileString("kvt]\n[x", "a", "1", ini_));
    EXPECT_FALSE(WriteProfileString("kvt", "a=b", "1", ini_));
    EXPECT_EQ(ReadWholeFile(ini_), before);
    EXPECT_EQ(ReadProfileString("kvt", "mp3", "none", ini_), "none");
}

TEST_F(Profile, ABatchWritesWhatSingleWritesWouldInOneReplace) {
    const std::string start = "[other]\nx=1\n[kvt]\nmp3=/old\n";
    const std::vector<ProfileEntry> entries = {
        {"button000", "1"}, {"mp3", "/new"}, {"bad\nkey", "1"}, {"directory", " spaced "}, {"button000", "2"}};
    folder_.Write("single.ini", start);
    bool allSingle = true;
    for (const auto& [key, value] : entries) allSingle &= WriteProfileString("kvt", key, value, folder_ / "single.ini");
    folder_.Write("setup.ini", start);
    const std::string old = folder_ / "old.ini";
    ASSERT_EQ(link(ini_.c_str(), old.c_str()), 0);

    EXPECT_FALSE(WriteProfileStrings("kvt", entries, ini_));
    EXPECT_FALSE(allSingle);
    EXPECT_EQ(ReadWholeFile(ini_), ReadWholeFile(folder_ / "single.ini"));
    EXPECT_EQ(ReadWholeFile(ini_), "[other]\nx=1\n[kvt]\nmp3=/new\nbutton000=2\ndirectory=\" spaced \"\n");
    EXPECT_EQ(ReadWholeFile(old), start) << "the batch must replace the file, not rewrite it";
    EXPECT_TRUE(WriteProfileStrings("kvt", {{"mp3", "/new"}}, ini_));
}

TEST_F(Profile, ReplacesTheFileByRenameNeverInPlace) {
    ASSERT_TRUE(WriteProfileString("kvt", "button000", "1", ini_));
    // A second name for the old file still shows the old bytes after the write: the new
    // contents went to a new file that was renamed over the name.
    const std::string old = folder_ / "old.ini";
    ASSERT_EQ(link(ini_.c_str(), old.c_str()), 0);
    ASSERT_TRUE(WriteProfileString("kvt", "button000", "2", ini_));
    EXPECT_EQ(ReadWholeFile(old), "[kvt]\nbutton000=1\n");
    EXPECT_EQ(ReadWholeFile(ini_), "[kvt]\nbutton000=2\n");
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder_.Path()))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"old.ini", "setup.ini"}));
}

TEST_F(Profile, UnwritableTargetsFailAndLeaveNothingBehind) {
    std::filesystem::create_directory(folder_ / "dir.ini");
    EXPECT_FALSE(WriteProfileString("kvt", "a", "1", folder_ / "dir.ini"));
    EXPECT_TRUE(std::filesystem::is_directory(folder_ / "dir.ini"));
    EXPECT_FALSE(WriteProfileString("kvt", "a", "1", folder_ / "missing/setup.ini"));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder_.Path()), {}), 1);
}

TEST_F(Profile, AWriteThatFailsHalfWayKeepsTheOldFile) {
    ASSERT_TRUE(WriteProfileString("kvt", "directory", "/old", ini_));
    const std::string before = ReadWholeFile(ini_);
    {
        testing::FileSizeLimit limit(before.size() + 4);
        EXPECT_FALSE(WriteProfileString("kvt", "directory", "/a/much/longer/folder/name", ini_));
    }
    EXPECT_EQ(ReadWholeFile(ini_), before);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder_.Path()), {}), 1) << "temporary file left";
}

TEST_F(Profile, ReadOnlyFolderKeepsTheOldFile) {
    ASSERT_TRUE(WriteProfileString("kvt", "a", "1", ini_));
    std::filesystem::permissions(folder_.Path(),
                                 std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
    if (access(folder_.Path().c_str(), W_OK) == 0) GTEST_SKIP() << "running with rights that ignore permissions";
    EXPECT_FALSE(WriteProfileString("kvt", "a", "2", ini_));
    EXPECT_EQ(ReadProfileInt("kvt", "a", 0, ini_), 1);
}

}  // namespace
}  // namespace kvt
