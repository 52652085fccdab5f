#include "platform/paths.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace kvt {
namespace {

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
        if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
            value = value.substr(1, value.size() - 2);
        if (value.rfind("$HOME", 0) == 0) value = home + value.substr(5);
        if (value.empty() || value == home + "/") return std::nullopt;
        return value;
    }
    return std::nullopt;
}

}  // namespace

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
    std::string pattern = JoinPath(folder.empty() ? TemporaryFolder() : std::string(folder), "KVTXXXXXX.tmp");
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    int fd = mkstemps(buffer.data(), 4);
    if (fd < 0) return std::nullopt;
    close(fd);
    return std::string(buffer.data());
}

bool WriteFileAtomically(const std::string& path, std::string_view bytes) {
    std::string pattern = JoinPath(FolderOfPath(path), ".kvt-write-XXXXXX");
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    int fd = mkstemp(buffer.data());
    if (fd < 0) return false;
    const char* data = bytes.data();
    size_t left = bytes.size();
    bool ok = true;
    while (left > 0) {
        ssize_t written = write(fd, data, left);
        if (written <= 0) { ok = false; break; }
        data += written;
        left -= static_cast<size_t>(written);
    }
    if (ok && fsync(fd) != 0) ok = false;
    if (close(fd) != 0) ok = false;
    // mkstemp makes the file 0600; give the output the usual permissions.
    mode_t mask = umask(0);
    umask(mask);
    chmod(buffer.data(), 0666 & ~mask);
    if (ok && std::rename(buffer.data(), path.c_str()) == 0) return true;
    std::remove(buffer.data());
    return false;
}

}  // namespace kvt
