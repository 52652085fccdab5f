#include "platform/paths.h"

#include "platform/file_size_limit.h"
#include "platform/temp_folder.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>
#include <filesystem>

namespace kvt {
namespace {

namespace fs = std::filesystem;

TEST(Paths, JoinAddsOneSeparator) {
    EXPECT_EQ(JoinPath("/music", "a.wav"), "/music/a.wav");
    EXPECT_EQ(JoinPath("/music/", "a.wav"), "/music/a.wav");
    EXPECT_EQ(JoinPath("/", "setup.ini"), "/setup.ini");
    EXPECT_EQ(JoinPath("", "setup.ini"), "setup.ini");
}

TEST(Paths, FolderOfPathKeepsTheRoot) {
    EXPECT_EQ(FolderOfPath("/music/a.wav"), "/music");
    EXPECT_EQ(FolderOfPath("/a.wav"), "/");
    EXPECT_EQ(FolderOfPath("a.wav"), ".");
}

// A removed current folder cannot be told: the work folder falls back to "." and a relative
// path stays as it is rather than becoming absolute under a folder that is gone.
TEST(Paths, CurrentFolderAndAbsolutePathsFollowTheWorkFolder) {
    const fs::path before = fs::current_path();
    EXPECT_EQ(CurrentFolderPath(), before.string());
    EXPECT_EQ(AbsolutePath("a/b.wav"), (before / "a/b.wav").string());
    EXPECT_EQ(AbsolutePath("/abs/b.wav"), "/abs/b.wav");
    EXPECT_EQ(AbsolutePath(""), "");
    {
        testing::TempFolder folder;
        const std::string gone = folder.File("gone");
        ASSERT_EQ(mkdir(gone.c_str(), 0700), 0);
        fs::current_path(gone);
        ASSERT_EQ(rmdir(gone.c_str()), 0);
        EXPECT_FALSE(CurrentFolderPath());
        EXPECT_EQ(CurrentFolder(), ".");
        EXPECT_EQ(AbsolutePath("a.wav"), "a.wav");
        fs::current_path(before);
    }
}

// The extension is the file name's, never a folder's: "v1.2/take" has none.
TEST(Paths, ExtensionsAreCutAndReplacedInTheFileNameOnly) {
    struct Case {
        std::string_view path, name, stem;
        std::optional<std::string> mmf;
    } cases[] = {
        {"/m/song.wav", "song.wav", "/m/song", "/m/song.mmf"},
        {"/m/a.b.wav", "a.b.wav", "/m/a.b", "/m/a.b.mmf"},
        {"v1.2/take", "take", "v1.2/take", std::nullopt},
        {"song.", "song.", "song", "song.mmf"},
        {"/m/.wav", ".wav", "/m/", "/m/.mmf"},
        {"/m/", "", "/m/", std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(FileNameOfPath(c.path), c.name);
        EXPECT_EQ(PathWithoutExtension(c.path), c.stem);
        EXPECT_EQ(ReplaceExtension(c.path, ".mmf"), c.mmf);
    }
}

// Saves an environment variable and puts it back.
class EnvironmentGuard {
public:
    explicit EnvironmentGuard(const char* name) : name_(name) {
        if (const char* value = std::getenv(name)) saved_ = value;
    }
    ~EnvironmentGuard() {
        if (saved_)
            setenv(name_, saved_->c_str(), 1);
        else
            unsetenv(name_);
    }

private:
    const char* name_;
    std::optional<std::string> saved_;
};

TEST(Paths, DocumentsFolderFollowsTheXdgSettingElseHome) {
    EnvironmentGuard home("HOME"), config("XDG_CONFIG_HOME");
    testing::TempFolder folder;
    setenv("HOME", folder.Path().c_str(), 1);
    setenv("XDG_CONFIG_HOME", (folder / "config").c_str(), 1);
    EXPECT_EQ(DocumentsFolder(), folder.Path());

    fs::create_directory(folder / "config");
    folder.Write("config/user-dirs.dirs", "# comment\nXDG_DOCUMENTS_DIR=\"$HOME/文書\"\n");
    EXPECT_EQ(DocumentsFolder(), folder.Path()) << "a folder that does not exist is not taken";
    fs::create_directory(folder / "文書");
    EXPECT_EQ(DocumentsFolder(), folder / "文書");
}

TEST(Paths, TemporaryFilesAreNewAndNamedKvtTmp) {
    testing::TempFolder folder;
    auto first = CreateTemporaryFile(folder.Path());
    auto second = CreateTemporaryFile(folder.Path());
    ASSERT_TRUE(first && second);
    EXPECT_NE(*first, *second);
    for (const auto& path : {*first, *second}) {
        std::string name = fs::path(path).filename().string();
        EXPECT_EQ(name.substr(0, 3), "KVT");
        EXPECT_EQ(name.substr(name.size() - 4), ".tmp");
        EXPECT_EQ(fs::file_size(path), 0u);
    }
    EXPECT_EQ(CreateTemporaryFile(folder / "missing"), std::nullopt);
}

TEST(Paths, AtomicWriteReplacesContentsAndKeepsTheMode) {
    testing::TempFolder folder;
    const std::string target = folder / "out.mld";
    ASSERT_TRUE(WriteFileAtomically(target, "first"));
    struct stat info;
    ASSERT_EQ(stat(target.c_str(), &info), 0);
    EXPECT_NE(info.st_mode & 0077, 0u) << "a new file must not stay private to its owner (mode 0600)";

    chmod(target.c_str(), 0640);
    ASSERT_TRUE(WriteFileAtomically(target, std::string("second\0x", 8)));
    EXPECT_EQ(testing::ReadWholeFile(target), std::string("second\0x", 8));
    ASSERT_EQ(stat(target.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0640u);
    EXPECT_EQ(std::distance(fs::directory_iterator(folder.Path()), {}), 1) << "temporary file left behind";
}

TEST(Paths, FailedAtomicWriteLeavesNothing) {
    testing::TempFolder folder;
    fs::create_directory(folder / "taken");
    EXPECT_FALSE(WriteFileAtomically(folder / "taken", "x"));
    EXPECT_FALSE(WriteFileAtomically(folder / "missing/out.mmf", "x"));
    const std::string target = folder / "out.3gp";
    ASSERT_TRUE(WriteFileAtomically(target, "old"));
    {
        testing::FileSizeLimit limit(100);
        EXPECT_FALSE(WriteFileAtomically(target, std::string(1000, 'n')));
    }
    EXPECT_EQ(testing::ReadWholeFile(target), "old");
    EXPECT_TRUE(fs::is_directory(folder / "taken"));
    EXPECT_EQ(std::distance(fs::directory_iterator(folder.Path()), {}), 2) << "temporary file left";
}

}  // namespace
}  // namespace kvt
