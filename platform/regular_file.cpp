#include "platform/regular_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>

namespace kvt {
namespace {

// Opens `path` for reading without waiting on a FIFO or a device, with what it is in
// `info`; -1 when it does not open or cannot be looked at.
int OpenWithoutBlocking(const std::string& path, struct stat& info) {
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) return -1;
    if (fstat(fd, &info) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

// Opens anything but a folder; -1 for a folder or what does not open.
int OpenForReading(const std::string& path) {
    struct stat info {};
    const int fd = OpenWithoutBlocking(path, info);
    if (fd >= 0 && S_ISDIR(info.st_mode)) {
        close(fd);
        return -1;
    }
    return fd;
}

}  // namespace

RegularFile::RegularFile(const std::string& path) {
    struct stat info {};
    const int fd = OpenWithoutBlocking(path, info);
    if (fd < 0) return;
    if (!S_ISREG(info.st_mode)) {
        check_ = FileCheck::NotRegular;
        close(fd);
        return;
    }
    fd_ = fd;
    check_ = FileCheck::Regular;
    size_ = static_cast<uint64_t>(info.st_size);
}

RegularFile::~RegularFile() {
    if (fd_ >= 0) close(fd_);
}

bool RegularFile::ReadAll(std::vector<uint8_t>& bytes) const {
    if (fd_ < 0) return false;
    bytes.resize(static_cast<size_t>(size_));
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t got = pread(fd_, bytes.data() + done, bytes.size() - done, static_cast<off_t>(done));
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return false;
        if (got == 0) break;
        done += static_cast<size_t>(got);
    }
    bytes.resize(done);
    return true;
}

int RegularFile::ReleaseDescriptor() {
    const int fd = fd_;
    fd_ = -1;
    return fd;
}

FileCheck CheckRegularFile(const std::string& path) {
    return RegularFile(path).Check();
}

bool OpensForReading(const std::string& path) {
    const int fd = OpenForReading(path);
    if (fd < 0) return false;
    close(fd);
    return true;
}

std::optional<size_t> ReadFileStart(const std::string& path, std::span<uint8_t> buffer) {
    const int fd = OpenForReading(path);
    if (fd < 0) return std::nullopt;
    // Opened without waiting; the reads may wait for a FIFO's writer.
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    size_t done = 0;
    bool ok = true;
    while (done < buffer.size()) {
        const ssize_t got = read(fd, buffer.data() + done, buffer.size() - done);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) ok = false;
        if (got <= 0) break;
        done += static_cast<size_t>(got);
    }
    close(fd);
    if (!ok) return std::nullopt;
    return done;
}

}  // namespace kvt
