#pragma once
// Questions about files and folders, and whole-file reads: every stat and access of the
// program is here.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kvt {

enum class PathKind { Missing, RegularFile, Folder, Other };

struct PathStatus {
    PathKind kind = PathKind::Missing;
    int error = 0;      // errno when Missing
    uint64_t size = 0;  // bytes, when there
};

// What `path` names, following links.
PathStatus StatusOfPath(const std::string& path);

// Anything at all is there (a file, a folder, a device).
bool PathExists(const std::string& path);
// The same without following a last link: a link to nothing is there too.
bool EntryExists(const std::string& path);
bool IsRegularFile(const std::string& path);
bool IsFolder(const std::string& path);

// The first path a shell pattern matches ('*', '?' and '[...]' as glob(3) takes them, '\'
// an ordinary character, names starting with '.' included), in no particular order.
std::optional<std::string> FirstPathMatching(const std::string& pattern);

// What the process may do with a path, combined with |.
inline constexpr int kMayRead = 4;
inline constexpr int kMayWrite = 2;
inline constexpr int kMayRun = 1;  // on a folder: enter it
// 0 when every one of `may` is allowed, else the errno of the refusal.
int AccessError(const std::string& path, int may);

// The whole of a regular file, opened without blocking (see RegularFile); nothing when it
// is missing, not a regular file, or cannot be read.
std::optional<std::vector<uint8_t>> ReadWholeFile(const std::string& path);

// When the file at `path` was last changed, in nanoseconds (the inode's change time: a file
// replaced by another has a new one); nothing when nothing is there.
std::optional<int64_t> ChangeStamp(const std::string& path);

}  // namespace kvt
