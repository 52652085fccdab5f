#include "Module/General/General/GeneralFile.h"

#include "Module/General/General/GeneralError.h"
#include "platform/dialogs.h"
#include "platform/message.h"

#include <fcntl.h>
#include <glob.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>

namespace kvt {
namespace {

// The path of the first entry a directory search for `name` finds. Only '*' and '?' are
// wildcards, as in a Windows file search: a name without them is looked up as it is, and
// in a pattern '[' is made to match itself.
std::optional<std::string> FirstMatch(std::string_view name) {
    if (name.empty()) return std::nullopt;
    std::string literal(name);
    struct stat info;
    if (lstat(literal.c_str(), &info) == 0) return literal;
    if (name.find_first_of("*?") == std::string_view::npos) return std::nullopt;

    std::string pattern;
    for (char c : name) {
        if (c == '[')
            pattern += "[[]";
        else
            pattern.push_back(c);
    }
    glob_t found{};
    std::optional<std::string> first;
    if (glob(pattern.c_str(), GLOB_NOESCAPE | GLOB_NOSORT | GLOB_PERIOD, nullptr, &found) == 0 && found.gl_pathc > 0)
        first = found.gl_pathv[0];
    globfree(&found);
    return first;
}

// Opens an existing file (not a folder) for reading; -1 when it cannot. O_NONBLOCK keeps
// a FIFO from blocking the open.
int OpenForReading(const std::string& path) {
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return -1;
    struct stat info;
    if (fstat(fd, &info) != 0 || S_ISDIR(info.st_mode)) {
        close(fd);
        return -1;
    }
    return fd;
}

}  // namespace

bool GneFileExists(std::string_view name) {
    return FirstMatch(name).has_value();
}

bool GneCanOpen(std::string_view path) {
    int fd = OpenForReading(std::string(path));
    if (fd < 0) return false;
    close(fd);
    return true;
}

uint32_t GneFileSize(std::string_view name) {
    auto match = FirstMatch(name);
    struct stat info;
    if (!match || stat(match->c_str(), &info) != 0 || S_ISDIR(info.st_mode)) return 0;
    auto size = static_cast<uint64_t>(info.st_size);
    if (size >> 32) ShowGeneralError(kGneErrorFileSize);
    return static_cast<uint32_t>(size);
}

int GneReadFile(std::string_view path, std::span<uint8_t> buffer, size_t& count) {
    count = 0;
    const std::string file(path);
    int fd = OpenForReading(file);
    size_t done = 0;
    bool ok = fd >= 0;
    if (ok) fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    while (ok && done < buffer.size()) {
        ssize_t got = read(fd, buffer.data() + done, buffer.size() - done);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) ok = false;
        if (got <= 0) break;
        done += static_cast<size_t>(got);
    }
    if (fd >= 0) close(fd);
    if (!ok) {
        // A read that fails half-way is reported like a file that does not open: the
        // caller must not take a part of the file for all of it.
        ShowMessage(file);
        ShowGeneralError(kGneErrorCannotOpenFile);
        return 0;
    }
    count = done;
    if (buffer.size() == kGneSuspectReadSize && done == kGneSuspectReadSize) ShowGeneralError(kGneErrorDataTooLarge);
    return 1;
}

int GneOpenFileDialog(const std::string& defaultExtension, const std::string& filter, std::string& destination) {
    auto chosen = CurrentDialogs().OpenFile(defaultExtension, filter);
    if (!chosen) return 0;
    destination = *chosen;
    return 1;
}

}  // namespace kvt
