#include "platform/files.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>

#include "platform/temp_folder.h"

namespace kvt {
namespace {

TEST(Files, StatusTellsFilesFoldersAndOthersApart) {
    testing::TempFolder folder;
    folder.Write("a.wav", "RIFF");
    ASSERT_EQ(mkfifo((folder / "pipe").c_str(), 0600), 0);
    EXPECT_EQ(StatusOfPath(folder / "a.wav").kind, PathKind::RegularFile);
    EXPECT_EQ(StatusOfPath(folder.Path()).kind, PathKind::Folder);
    EXPECT_EQ(StatusOfPath(folder / "pipe").kind, PathKind::Other);
    const PathStatus missing = StatusOfPath(folder / "none");
    EXPECT_EQ(missing.kind, PathKind::Missing);
    EXPECT_EQ(missing.error, ENOENT);
    EXPECT_EQ(AccessError(folder / "none", kMayRead), ENOENT);
    EXPECT_EQ(AccessError(folder / "a.wav", kMayRead | kMayWrite), 0);
}

TEST(Files, WholeFileReadsRefuseWhatIsNotARegularFile) {
    testing::TempFolder folder;
    folder.Write("a.bin", std::string("\0\1\2", 3));
    ASSERT_EQ(mkfifo((folder / "pipe").c_str(), 0600), 0);
    EXPECT_EQ(ReadWholeFile(folder / "a.bin"), (std::vector<uint8_t>{0, 1, 2}));
    EXPECT_EQ(ReadWholeFile(folder / "pipe"), std::nullopt) << "a pipe with no writer would block";
    EXPECT_EQ(ReadWholeFile(folder.Path()), std::nullopt);
    EXPECT_EQ(ReadWholeFile(folder / "none"), std::nullopt);
}

}  // namespace
}  // namespace kvt
