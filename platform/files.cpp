#include "platform/files.h"

#include <glob.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/regular_file.h"

namespace kvt {

static_assert(kMayRead == R_OK && kMayWrite == W_OK && kMayRun == X_OK);

PathStatus StatusOfPath(const std::string& path) {
    struct stat info {};
    if (stat(path.c_str(), &info) != 0) return {PathKind::Missing, errno};
    const auto size = static_cast<uint64_t>(info.st_size);
    if (S_ISREG(info.st_mode)) return {PathKind::RegularFile, 0, size};
    if (S_ISDIR(info.st_mode)) return {PathKind::Folder, 0, size};
    return {PathKind::Other, 0, size};
}

bool EntryExists(const std::string& path) {
    struct stat info {};
    return lstat(path.c_str(), &info) == 0;
}

std::optional<std::string> FirstPathMatching(const std::string& pattern) {
    glob_t found{};
    std::optional<std::string> first;
    if (glob(pattern.c_str(), GLOB_NOESCAPE | GLOB_NOSORT | GLOB_PERIOD, nullptr, &found) == 0 && found.gl_pathc > 0)
        first = found.gl_pathv[0];
    globfree(&found);
    return first;
}

bool PathExists(const std::string& path) {
    return StatusOfPath(path).kind != PathKind::Missing;
}

bool IsRegularFile(const std::string& path) {
    return StatusOfPath(path).kind == PathKind::RegularFile;
}

bool IsFolder(const std::string& path) {
    return StatusOfPath(path).kind == PathKind::Folder;
}

int AccessError(const std::string& path, int may) {
    return access(path.c_str(), may == 0 ? F_OK : may) == 0 ? 0 : errno;
}

std::optional<std::vector<uint8_t>> ReadWholeFile(const std::string& path) {
    RegularFile file(path);
    std::vector<uint8_t> bytes;
    if (file.Check() != FileCheck::Regular || !file.ReadAll(bytes)) return std::nullopt;
    return bytes;
}

std::optional<int64_t> ChangeStamp(const std::string& path) {
    struct stat info {};
    if (stat(path.c_str(), &info) != 0) return std::nullopt;
    return static_cast<int64_t>(info.st_ctim.tv_sec) * 1'000'000'000 + info.st_ctim.tv_nsec;
}

}  // namespace kvt
