#include "platform/paths.h"

#include "platform/cleanup_registry.h"
#include "platform/failure_cause.h"
#include "platform/pause_point.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <vector>

namespace kvt {
namespace {

std::atomic<uint64_t> fileReplaces{0};

// Reads XDG_DOCUMENTS_DIR="$HOME/Documents" from user-dirs.dirs.
std::optional<std::string> XdgDocumentsDir(const std::string& home) {
    const char* configHome = std::getenv("XDG_CONFIG_HOME");
    std::string config = configHome && *configHome ? configHome : home + "/.config";
    std::ifstream in(config + "/user-dirs.dirs");
    std::string line;
    const std::string key = "XDG_DOCUMENTS_DIR=";
    while (std::getline(in, line)) {
        if (line.rfind(key, 0) != 0) continue;
        std::string value = line.substr(key.size());
        if (value.size() >= 2 && value.front() == '"' && value.back() == '"') value = value.substr(1, value.size() - 2);
        if (value.rfind("$HOME", 0) == 0) value = home + value.substr(5);
        if (value.empty() || value == home + "/") return std::nullopt;
        return value;
    }
    return std::nullopt;
}

// umask() can only be read by setting it, which would race with other threads creating
// files; Linux shows it in /proc/self/status.
mode_t CurrentUmask() {
    static const mode_t mask = [] {
        std::ifstream in("/proc/self/status");
        std::string line;
        while (std::getline(in, line)) {
            if (line.rfind("Umask:", 0) == 0) return static_cast<mode_t>(std::strtoul(line.c_str() + 6, nullptr, 8));
        }
        return static_cast<mode_t>(022);
    }();
    return mask;
}

}  // namespace

std::string_view FileNameOfPath(std::string_view path) {
    const size_t slash = path.rfind('/');
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

std::string_view PathWithoutExtension(std::string_view path) {
    const size_t nameStart = path.size() - FileNameOfPath(path).size();
    const size_t dot = path.rfind('.');
    return dot == std::string_view::npos || dot < nameStart ? path : path.substr(0, dot);
}

std::optional<std::string> ReplaceExtension(std::string_view path, std::string_view extension) {
    const std::string_view stem = PathWithoutExtension(path);
    if (stem.size() == path.size()) return std::nullopt;
    return std::string(stem) + std::string(extension);
}

std::string FolderOfPath(const std::string& path) {
    auto slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

std::string JoinPath(std::string_view folder, std::string_view name) {
    std::string joined(folder);
    if (!joined.empty() && joined.back() != '/') joined.push_back('/');
    joined.append(name);
    return joined;
}

std::optional<std::string> CurrentFolderPath() {
    std::vector<char> buffer(256);
    while (getcwd(buffer.data(), buffer.size()) == nullptr) {
        if (errno != ERANGE) return std::nullopt;
        buffer.resize(buffer.size() * 2);
    }
    return std::string(buffer.data());
}

std::string CurrentFolder() {
    return CurrentFolderPath().value_or(".");
}

std::string AbsolutePath(const std::string& path) {
    if (path.empty() || path.front() == '/') return path;
    const std::optional<std::string> current = CurrentFolderPath();
    return current ? JoinPath(*current, path) : path;
}

std::string DocumentsFolder() {
    const char* homeEnv = std::getenv("HOME");
    std::string home = homeEnv && *homeEnv ? homeEnv : "/";
    if (auto documents = XdgDocumentsDir(home)) {
        if (access(documents->c_str(), F_OK) == 0) return *documents;
    }
    return home;
}

std::string TemporaryFolder() {
    const char* tmp = std::getenv("TMPDIR");
    return tmp && *tmp ? tmp : "/tmp";
}

std::optional<std::string> CreateTemporaryFile(std::string_view folder) {
    std::string path = JoinPath(folder.empty() ? TemporaryFolder() : std::string(folder), "KVTXXXXXX.tmp");
    std::optional<int> fd = CreatePendingFile(path, 4);
    if (!fd) return std::nullopt;
    close(*fd);
    return path;
}

bool WriteFileAtomically(const std::string& path, std::string_view bytes,
                         const std::function<bool(const std::string& temporary)>& finish) {
    const std::string_view pieces[] = {bytes};
    return WriteFileAtomically(path, pieces, Durability::Synced, finish);
}

bool WriteFileAtomically(const std::string& path, std::span<const std::string_view> pieces, Durability durability,
                         const std::function<bool(const std::string& temporary)>& finish) {
    std::string temporary = JoinPath(FolderOfPath(path), ".kvt-write-XXXXXX");
    std::optional<int> created = CreatePendingFile(temporary);
    if (!created) {
        NoteFailureCause("cannot create a file in " + FolderOfPath(path), errno);
        return false;
    }
    const int fd = *created;
    bool ok = true;
    for (std::string_view piece : pieces) {
        const char* data = piece.data();
        size_t left = piece.size();
        while (ok && left > 0) {
            ssize_t written = write(fd, data, left);
            if (written < 0 && errno == EINTR) continue;
            if (written <= 0) {
                NoteFailureCause("cannot write " + path, written < 0 ? errno : ENOSPC);
                ok = false;
                break;
            }
            data += written;
            left -= static_cast<size_t>(written);
        }
    }
    // mkstemp makes the file 0600: a replaced file keeps its mode, a new one gets the usual.
    struct stat old;
    fchmod(fd, stat(path.c_str(), &old) == 0 ? (old.st_mode & 07777) : (0666 & ~CurrentUmask()));
    if (ok && durability == Durability::Synced && fsync(fd) != 0) {
        NoteFailureCause("cannot write " + path, errno);
        ok = false;
    }
    if (close(fd) != 0 && ok) {
        NoteFailureCause("cannot write " + path, errno);
        ok = false;
    }
    // A failed finish has shown its own message.
    if (ok && finish) ok = finish(temporary);
    if (ok) PausePoint("rename " + path.substr(path.rfind('/') + 1));
    // A synced file's data is on disk before the rename, so after a crash the name holds
    // either the old or the new file, never a half-written one.
    if (ok && std::rename(temporary.c_str(), path.c_str()) == 0) {
        DropPendingPath(temporary);
        fileReplaces.fetch_add(1, std::memory_order_relaxed);
        return true;
    }
    if (ok) NoteFailureCause("cannot rename a file to " + path, errno);
    std::remove(temporary.c_str());
    DropPendingPath(temporary);
    return false;
}

uint64_t FileReplaceCount() {
    return fileReplaces.load(std::memory_order_relaxed);
}

}  // namespace kvt
