#include "Module/General/General/GeneralFile.h"

#include "platform/codepage.h"
#include "platform/message.h"
#include "platform/temp_folder.h"

#include <gtest/gtest.h>
#include <unistd.h>
#include <filesystem>

namespace kvt {
namespace {

struct SplitCase {
    std::string path;
    std::string folder;
    std::string fileName;
};

void ExpectSplits(const std::vector<SplitCase>& cases) {
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(GneGetFolder(c.path), c.folder);
        EXPECT_EQ(GneGetFileName(c.path), c.fileName);
    }
}

class PathSplit : public ::testing::Test {
protected:
    void TearDown() override { SetLeadByteTable(LeadByteTable::FromLocale); }
};

TEST_F(PathSplit, Cp932SecondByte5CIsNoSeparator) {
    SetLeadByteTable(LeadByteTable::Cp932);
    const std::string hyo = Utf8ToCp932("表");    // 95 5C
    const std::string so = Utf8ToCp932("ソ");     // 83 5C
    const std::string equal = Utf8ToCp932("＝");  // 81 81: a lead byte as second byte
    ASSERT_EQ(hyo, "\x95\x5C");
    ASSERT_EQ(equal, "\x81\x81");
    ExpectSplits({
        {"C:\\" + hyo + "\\" + so + ".wav", "C:\\" + hyo, so + ".wav"},
        {"C:\\music\\" + hyo + ".wav", "C:\\music", hyo + ".wav"},
        {"C:\\" + hyo + so + "\\a.wav", "C:\\" + hyo + so, "a.wav"},
        {"dir/" + hyo + so, "dir", hyo + so},
        {"C:\\" + equal + "\\x.wav", "C:\\" + equal, "x.wav"},
        {"C:\\a\\b.wav", "C:\\a", "b.wav"},
        {"C:\\b.wav", "C:", "b.wav"},
    });
}

TEST_F(PathSplit, WithoutLeadBytesEveryBackslashSeparates) {
    SetLeadByteTable(LeadByteTable::None);
    const std::string hyo = "\x95\x5C";
    ExpectSplits({{"C:\\" + hyo + ".wav", "C:\\\x95", ".wav"}});
}

TEST_F(PathSplit, Utf8NamesSplitAtSlashes) {
    for (auto table : {LeadByteTable::None, LeadByteTable::FromLocale, LeadByteTable::Cp932}) {
        SetLeadByteTable(table);
        ExpectSplits({
            {"/home/u/着信音/表ソ.wav", "/home/u/着信音", "表ソ.wav"},
            {"/表/ソ", "/表", "ソ"},
            {"dir/name", "dir", "name"},
            {"/name.wav", "/", "name.wav"},
            {"a/b/", "a/b", ""},
        });
    }
}

// On Linux '\' is a character of a file name except in a drive-letter path.
TEST_F(PathSplit, BackslashSeparatesOnlyAfterADriveLetter) {
    SetLeadByteTable(LeadByteTable::None);
    ExpectSplits({
        {"/rec/live\\take1.wav", "/rec", "live\\take1.wav"},
        {"d:\\live\\take1.wav", "d:\\live", "take1.wav"},
        {"x/C:\\a.wav", "x", "C:\\a.wav"},
    });
    std::string name = "live\\take1.wav";
    GneCutExtension(name);
    EXPECT_EQ(name, "live\\take1");
    EXPECT_EQ(GneGetFileName("\\name"), "\\name");
    EXPECT_EQ(GneGetFileName("C:\\name"), "name");
}

TEST_F(PathSplit, FileNameOfPathsWithoutFolder) {
    EXPECT_EQ(GneGetFileName("/name"), "name");
    EXPECT_EQ(GneGetFileName("name.wav"), "name.wav");
    EXPECT_EQ(GneGetFileName(""), "");
}

TEST_F(PathSplit, LongPathsAreNotCut) {
    std::string folder = "/" + std::string(300, 'a') + "/" + std::string(300, 'b');
    std::string name = std::string(250, 'c') + ".wav";
    ExpectSplits({{folder + "/" + name, folder, name}});
}

TEST_F(PathSplit, BareNameGivesTheCurrentDirectory) {
    MessageRecorder recorder;
    EXPECT_EQ(GneGetFolder("song.wav"), std::filesystem::current_path().string());
    EXPECT_EQ(GneGetFolder("\\song.wav"), std::filesystem::current_path().string());
    EXPECT_TRUE(recorder.Texts().empty());
}

TEST_F(PathSplit, UnreadableCurrentDirectoryIsReported) {
    const auto saved = std::filesystem::current_path();
    {
        testing::TempFolder folder;
        std::filesystem::create_directory(folder / "gone");
        ASSERT_EQ(chdir((folder / "gone").c_str()), 0);
        std::filesystem::remove(folder / "gone");
        MessageRecorder recorder;
        EXPECT_EQ(GneGetFolder("song.wav"), "");
        EXPECT_EQ(recorder.Texts(),
                  std::vector<std::string>{"GENE0100000C カレントディレクトリが取得できませんでした。"});
    }
    std::filesystem::current_path(saved);
}

TEST(Extension, CutAndGetTakeTheLastDotOfTheName) {
    struct Case {
        std::string name;
        std::string cut;
        std::string extension;
    };
    const Case cases[] = {
        {"song.mp3", "song", "mp3"},
        {"a.b.wav", "a.b", "wav"},
        {"Track01.CDA", "Track01", "cda"},
        {"D:\\Track05.cda", "D:\\Track05", "cda"},
        {"/music/表ソ.WAV", "/music/表ソ", "wav"},
        {"x.ÄB", "x", "Äb"},  // only ASCII letters are lower-cased
        {"noext", "noext", "noext"},
        {"/Music/NoExt", "/Music/NoExt", "/music/noext"},
        {"/my.music/song", "/my.music/song", "/my.music/song"},
        {"C:\\dir.d\\name", "C:\\dir.d\\name", "c:\\dir.d\\name"},
        {"dir.d\\name", "dir", "d\\name"},
        {".hidden", "", "hidden"},
        {"trailing.", "trailing", ""},
        {"", "", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::string name = c.name;
        GneCutExtension(name);
        EXPECT_EQ(name, c.cut);
        EXPECT_EQ(GneGetExtension(c.name), c.extension);
    }
}

}  // namespace
}  // namespace kvt
