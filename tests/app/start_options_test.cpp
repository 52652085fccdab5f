#include "app/start_options.h"

#include <filesystem>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "app/qt_platform/qt_dialogs.h"
#include "platform/temp_folder.h"

namespace kvt {
namespace {

using ::testing::ElementsAre;

TEST(StartOptions, WorkFolderOptionAndFilesInAnyOrder) {
    struct Case {
        std::vector<std::string> arguments;
        bool xdg;
        std::vector<std::string> files;
    };
    const Case cases[] = {
        {{}, false, {}},
        {{"song.wav"}, false, {"song.wav"}},
        {{"--xdg-work-folder", "/m/song.wav"}, true, {"/m/song.wav"}},
        {{"a.wav", "--xdg-work-folder", "b.wav"}, true, {"a.wav", "b.wav"}},
        {{"--", "--xdg-work-folder"}, false, {"--xdg-work-folder"}},
    };
    for (const Case& c : cases) {
        const StartOptions options = ParseStartOptions(c.arguments);
        EXPECT_EQ(options.xdgWorkFolder, c.xdg);
        EXPECT_EQ(options.files, c.files);
    }
}

TEST(StartOptions, QtOptionsPassAndOtherDashedWordsAreUsageErrors) {
    struct Case {
        std::vector<std::string> arguments;
        std::string unknown;
        std::vector<std::string> files;
        bool platform;
    };
    const Case cases[] = {
        {{"-platform", "xcb", "song.wav"}, "", {"song.wav"}, true},
        {{"--style", "fusion", "-reverse", "a.wav"}, "", {"a.wav"}, false},
        {{"--bogus", "a.wav", "-x"}, "--bogus", {"a.wav"}, false},
        {{"-", "--", "-x"}, "", {"-", "-x"}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments.front());
        const StartOptions options = ParseStartOptions(c.arguments);
        EXPECT_EQ(options.unknownOption, c.unknown);
        EXPECT_EQ(options.files, c.files);
        EXPECT_EQ(options.platformOption, c.platform);
    }
    EXPECT_TRUE(ParseStartOptions({"-h"}).help);
    EXPECT_TRUE(ParseStartOptions({"--version"}).version);
    EXPECT_TRUE(ParseStartOptions({"--", "--help"}).files.size() == 1);
}

TEST(StartOptions, CdImagesTakeTheNextArgumentOrTheirOwnValue) {
    const StartOptions options =
        ParseStartOptions({"--cd-image", "D=a.cue", "--cd-image=e=b.cue", "x.cda", "--cd-image"});
    EXPECT_THAT(options.cdImages, ElementsAre("D=a.cue", "e=b.cue", ""));
    EXPECT_THAT(options.files, ElementsAre("x.cda"));
}

TEST(StartOptions, XdgWorkFolderPrefersAnAbsoluteDataHome) {
    EXPECT_EQ(XdgWorkFolder("/d/data", "/home/u"), "/d/data/kvt");
    EXPECT_EQ(XdgWorkFolder("relative", "/home/u"), "/home/u/.local/share/kvt");
    EXPECT_EQ(XdgWorkFolder(nullptr, "/home/u/"), "/home/u/.local/share/kvt");
    EXPECT_EQ(XdgWorkFolder("", ""), std::nullopt);
}

TEST(StartOptions, EnterFolderCreatesItAndMakesItCurrent) {
    testing::TempFolder temp;
    const std::filesystem::path before = std::filesystem::current_path();
    const std::string nested = temp / "a/b/kvt";
    EXPECT_EQ(EnterFolder(nested), std::nullopt);
    EXPECT_EQ(std::filesystem::current_path(), std::filesystem::path(nested));
    std::filesystem::current_path(before);
    temp.Write("file", "x");
    EXPECT_NE(EnterFolder(temp / "file/kvt"), std::nullopt);
    EXPECT_EQ(std::filesystem::current_path(), before);
}

TEST(QtDialogs, FiltersKeepTheirOwnPatternText) {
    EXPECT_THAT(QtNameFilters("WAVファイル(*.wav)|*.wav|MP3ファイル(*.mp3)|*.mp3|"),
                ElementsAre("WAVファイル(*.wav)", "MP3ファイル(*.mp3)"));
    EXPECT_THAT(QtNameFilters("exe files|*.exe|"), ElementsAre("exe files (*.exe)"));
}

// A typed program name must stay as it is: with an ".exe" added no program here could be chosen.
TEST(QtDialogs, AProgramIsChosenByItsOwnName) {
    testing::TempFolder folder;
    const std::string program = folder.Write("decoder", "#!/bin/sh\n");
    std::filesystem::permissions(program, std::filesystem::perms::owner_exec, std::filesystem::perm_options::add);
    std::unique_ptr<QFileDialog> dialog = MakeProgramDialog();
    dialog->selectFile(QString::fromStdString(program));
    ASSERT_EQ(dialog->selectedFiles().size(), 1);
    EXPECT_EQ(dialog->selectedFiles().front().toStdString(), program);
}

}  // namespace
}  // namespace kvt
