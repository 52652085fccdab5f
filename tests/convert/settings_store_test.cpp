#include "convert/settings_store.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/dialogs.h"
#include "platform/file_size_limit.h"
#include "platform/paths.h"
#include "platform/temp_folder.h"

namespace kvt {
namespace {

using testing::ReadWholeFile;
using testing::TempFolder;

// A grid that uses every value at places where the initial grid has another.
ButtonGrid MixedGrid() {
    ButtonGrid grid;
    for (int page = 0; page < kGridPages; ++page)
        for (int cell = 0; cell < kGridCells; ++cell) grid.At(page, cell) = (page + cell * 7) % 3;
    return grid;
}

TEST(SettingsStore, WrittenFileRestoresEveryCellAndPath) {
    TempFolder folder;
    Settings saved;
    saved.grid = MixedGrid();
    saved.savingDirectory = folder.Path();
    saved.mp3DecoderPath = "/usr/bin/デコーダ";
    saved.externalEncoderPath = "/opt/enc with blanks";
    saved.resampler = ResamplerKind::Classic;
    saved.shortenToFit = false;
    std::string ini = SettingsFilePath(folder.Path());
    SaveSettings(saved, ini);

    Settings loaded;
    ASSERT_EQ(LoadSettings(loaded, ini), 1);
    EXPECT_EQ(loaded.grid, saved.grid);
    EXPECT_EQ(loaded.savingDirectory, saved.savingDirectory);
    EXPECT_EQ(loaded.mp3DecoderPath, saved.mp3DecoderPath);
    EXPECT_EQ(loaded.externalEncoderPath, saved.externalEncoderPath);
    EXPECT_EQ(loaded.resampler, ResamplerKind::Classic);
    EXPECT_EQ(loaded.shortenToFit, std::optional<bool>(false));

    // Saving the initial grid over it restores the 2s of the places without a button.
    Settings initial;
    initial.savingDirectory = folder.Path();
    SaveSettings(initial, ini);
    ASSERT_EQ(LoadSettings(loaded, ini), 1);
    EXPECT_EQ(loaded.grid, InitialButtonGrid());
    EXPECT_EQ(loaded.mp3DecoderPath, "");
    EXPECT_EQ(loaded.resampler, ResamplerKind::BandLimited);
}

TEST(SettingsStore, KeysAreWrittenInLayoutOrderEvenWhenEmpty) {
    TempFolder folder;
    Settings settings;
    settings.savingDirectory = folder.Path();
    std::string ini = folder / "setup.ini";
    SaveSettings(settings, ini);
    std::string text = ReadWholeFile(ini);
    size_t previous = text.find("[kvt]");
    ASSERT_NE(previous, std::string::npos);
    std::vector<std::string> keys;
    for (int page = 0; page < 3; ++page)
        for (int cell = 0; cell < 28; ++cell) {
            char key[16];
            std::snprintf(key, sizeof key, "button%d%02d=", page, cell);
            keys.push_back(key);
        }
    keys.insert(keys.end(), {"directory=", "mp3=", "external=", "resampler=band-limited"});
    for (const std::string& key : keys) {
        size_t at = text.find(key, previous);
        ASSERT_NE(at, std::string::npos) << key;
        EXPECT_GT(at, previous) << key;
        previous = at;
    }
    EXPECT_NE(text.find("button002=2"), std::string::npos);
}

TEST(SettingsStore, NoFileChangesNothing) {
    TempFolder folder;
    Settings settings;
    settings.savingDirectory = "/somewhere";
    EXPECT_EQ(LoadSettings(settings, folder / "setup.ini"), 0);
    EXPECT_EQ(settings.savingDirectory, "/somewhere");
    EXPECT_EQ(settings.grid, InitialButtonGrid());
}

TEST(SettingsStore, MissingKeysReadAsZeroEvenWhereThereIsNoButton) {
    TempFolder folder;
    std::string ini = folder.Write("setup.ini", "[kvt]\nbutton003=1\ndirectory=/\n");
    Settings settings;
    ASSERT_EQ(LoadSettings(settings, ini), 1);
    EXPECT_EQ(settings.grid.At(kMldPage, 3), 1);
    EXPECT_EQ(settings.grid.At(kMldPage, 2), 0);  // a place without a button
    EXPECT_EQ(settings.grid.At(kMmfPage, 1), 0);
    EXPECT_EQ(settings.resampler, ResamplerKind::BandLimited);  // no key, and a value naming none
    std::string odd = folder.Write("odd.ini", "[kvt]\nresampler=linear\ndirectory=/\n");
    settings.resampler = ResamplerKind::Classic;
    ASSERT_EQ(LoadSettings(settings, odd), 1);
    EXPECT_EQ(settings.resampler, ResamplerKind::BandLimited);
}

struct DirectoryCase {
    const char* name;
    std::string directoryLine;  // the "directory" line of the file, or nothing
    std::optional<std::string> browserAnswer;
    bool browserExpected;
    std::string expected;  // "$DOCS" stands for the documents folder, "$DIR" for the temp folder
};

TEST(SettingsStore, SavingDirectoryThatCannotBeUsedFallsBackToDocumentsAndTheBrowser) {
    TempFolder folder;
    std::string file = folder.Write("plain-file", "x");
    const DirectoryCase cases[] = {
        {"existing folder", "directory=" + folder.Path(), std::nullopt, false, "$DIR"},
        {"root", "directory=/", std::nullopt, false, "/"},
        {"missing key", "", std::nullopt, true, "$DOCS"},
        {"missing key, folder chosen", "", folder.Path(), true, "$DIR"},
        {"empty value", "directory=", std::nullopt, true, "$DOCS"},
        {"folder gone", "directory=" + folder.Path() + "/gone", std::nullopt, true, "$DOCS"},
        {"a file, not a folder", "directory=" + file, std::nullopt, true, "$DOCS"},
    };
    for (const DirectoryCase& c : cases) {
        SCOPED_TRACE(c.name);
        std::string ini = folder.Write("setup.ini", "[kvt]\nbutton000=1\n" + c.directoryLine + "\n");
        ScriptedDialogs dialogs;
        dialogs.QueueBrowseFolder(c.browserAnswer);
        ScopedDialogs scope(dialogs);
        Settings settings;
        settings.savingDirectory = "/before";
        EXPECT_EQ(LoadSettings(settings, ini), 1);
        std::string expected = c.expected == "$DOCS"  ? DocumentsFolder()
                               : c.expected == "$DIR" ? folder.Path()
                                                      : c.expected;
        EXPECT_EQ(settings.savingDirectory, expected);
        auto requests = dialogs.Requests();
        ASSERT_EQ(requests.size(), c.browserExpected ? 1u : 0u);
        if (c.browserExpected) {
            EXPECT_EQ(requests[0].kind, ScriptedDialogs::Request::Kind::BrowseFolder);
            EXPECT_EQ(requests[0].first, "フォルダを選択してください");
            EXPECT_EQ(requests[0].second, DocumentsFolder());
        }
    }
}

TEST(SettingsStore, FirstRunBrowsesOnceAndCancelKeepsTheDocumentsFolder) {
    TempFolder folder;
    ScriptedDialogs dialogs;
    dialogs.QueueBrowseFolder(std::nullopt);
    ScopedDialogs scope(dialogs);
    Settings settings = StartUpSettings(folder.Path(), SettingsFilePath(folder.Path()));
    EXPECT_EQ(settings.savingDirectory, DocumentsFolder());
    EXPECT_EQ(settings.workFolder, folder.Path());
    EXPECT_EQ(dialogs.Requests().size(), 1u);
    EXPECT_EQ(settings.grid, InitialButtonGrid());
    EXPECT_TRUE(settings.mp3DecoderPath.empty());
    EXPECT_TRUE(settings.externalEncoderPath.empty());
}

TEST(SettingsStore, OneReplaceSavesEveryKeyAndARefusedValueSkipsOnlyItself) {
    TempFolder folder;
    std::string ini = SettingsFilePath(folder.Path());
    struct Case {
        const char* name;
        std::string directory;
        std::string expectedDirectory;  // as read back
    };
    const Case cases[] = {
        {"plain", folder.Path(), folder.Path()},
        // A line break cannot be stored; the earlier value stays and the keys after it
        // are still written.
        {"line break in the directory", folder.Path() + "/a\nb", folder.Path()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Settings settings;
        settings.grid = MixedGrid();
        settings.savingDirectory = c.directory;
        settings.mp3DecoderPath = std::string("/mp3/") + c.name;
        settings.externalEncoderPath = std::string("/aac/") + c.name;
        uint64_t before = FileReplaceCount();
        SaveSettings(settings, ini);
        EXPECT_EQ(FileReplaceCount() - before, 1u);
        Settings loaded;
        ASSERT_EQ(LoadSettings(loaded, ini), 1);
        EXPECT_EQ(loaded.grid, settings.grid);
        EXPECT_EQ(loaded.savingDirectory, c.expectedDirectory);
        EXPECT_EQ(loaded.mp3DecoderPath, settings.mp3DecoderPath);
        EXPECT_EQ(loaded.externalEncoderPath, settings.externalEncoderPath);
    }
}

TEST(SettingsStore, UnwritableWorkFolderLosesNothing) {
    TempFolder folder;
    Settings settings;
    settings.grid = MixedGrid();
    // A folder that does not exist can never be written.
    SaveSettings(settings, folder / "missing/setup.ini");
    EXPECT_FALSE(std::filesystem::exists(folder / "missing"));

    // A write that fails half-way (a full disk) keeps the old file whole, also for root.
    std::string full = folder / "full";
    ASSERT_EQ(mkdir(full.c_str(), 0755), 0);
    Settings previous;
    SaveSettings(previous, SettingsFilePath(full));
    std::string before = ReadWholeFile(SettingsFilePath(full));
    {
        kvt::testing::FileSizeLimit limit(before.size() / 2);
        SaveSettings(settings, SettingsFilePath(full));
    }
    EXPECT_EQ(ReadWholeFile(SettingsFilePath(full)), before);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(full), std::filesystem::directory_iterator()), 1);
}

TEST(SettingsStore, ReadOnlyWorkFolderLosesNothing) {
    if (geteuid() == 0) GTEST_SKIP() << "permissions do not bind root";
    TempFolder folder;
    Settings settings;
    settings.grid = MixedGrid();
    std::string locked = folder / "locked";
    ASSERT_EQ(mkdir(locked.c_str(), 0755), 0);
    Settings previous;
    previous.savingDirectory = locked;
    SaveSettings(previous, SettingsFilePath(locked));
    std::string before = ReadWholeFile(SettingsFilePath(locked));
    ASSERT_EQ(chmod(locked.c_str(), 0555), 0);
    SaveSettings(settings, SettingsFilePath(locked));
    EXPECT_EQ(ReadWholeFile(SettingsFilePath(locked)), before);
    Settings loaded;
    EXPECT_EQ(LoadSettings(loaded, SettingsFilePath(locked)), 1);
    EXPECT_EQ(loaded.grid, InitialButtonGrid());
}

}  // namespace
}  // namespace kvt
