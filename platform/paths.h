#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace kvt {

// folder + "/" + name, without doubling a separator the folder already ends with.
std::string JoinPath(std::string_view folder, std::string_view name);

// The file name: the text after the last "/" (the whole path when there is none).
std::string_view FileNameOfPath(std::string_view path);

// The path without its file name's extension (from the name's last "."); the whole path
// when the name has no ".".
std::string_view PathWithoutExtension(std::string_view path);

// The path with its file name's extension replaced by `extension` (".mmf"); nothing when
// the name has no ".".
std::optional<std::string> ReplaceExtension(std::string_view path, std::string_view extension);

// The folder part of a path ("." for a bare name, "/" for a file in the root).
std::string FolderOfPath(const std::string& path);

// The process's current folder (the work folder); nothing when it cannot be told (it was
// removed, or a folder above it may not be read).
std::optional<std::string> CurrentFolderPath();
// The same, or "." when it cannot be told.
std::string CurrentFolder();

// A relative path put under the current folder as it stands ("a/b" in /tmp is "/tmp/a/b",
// nothing else is changed); an absolute or empty path, or any path when the current folder
// cannot be told, as it is.
std::string AbsolutePath(const std::string& path);

// XDG documents directory (XDG_DOCUMENTS_DIR in ~/.config/user-dirs.dirs), else $HOME.
std::string DocumentsFolder();

// $TMPDIR, else /tmp.
std::string TemporaryFolder();

// Creates an empty file "KVTxxxxxx.tmp" in `folder` (the temporary folder when empty) and
// returns its path; nothing when it cannot be created.
std::optional<std::string> CreateTemporaryFile(std::string_view folder = {});

// Writes `bytes` to a temporary name in the target's folder and renames it over the
// target, so a failure never leaves a half-written file or loses the old one. `finish`,
// when given, works on the written temporary file before the rename (a re-mux); when it
// returns false, nothing is renamed and the old file stays.
bool WriteFileAtomically(const std::string& path, std::string_view bytes,
                         const std::function<bool(const std::string& temporary)>& finish = {});
// Synced: on the disk before it takes the name. Scratch: a copy the program makes for its
// own use and can make again, renamed into place without waiting for the disk.
enum class Durability { Synced, Scratch };
// The same for a file made of `pieces` one after the other.
bool WriteFileAtomically(const std::string& path, std::span<const std::string_view> pieces, Durability durability,
                         const std::function<bool(const std::string& temporary)>& finish = {});

// How many files WriteFileAtomically has replaced in this process so far. Each replace
// waits for the disk, so callers that write several values are meant to do it once.
uint64_t FileReplaceCount();

}  // namespace kvt
