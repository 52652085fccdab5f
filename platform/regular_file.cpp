#include "platform/regular_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>

namespace kvt {

RegularFile::RegularFile(const std::string& path) {
    fd_ = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd_ < 0) return;
    struct stat info {};
    if (fstat(fd_, &info) != 0 || !S_ISREG(info.st_mode)) {
        check_ = FileCheck::NotRegular;
        close(fd_);
        fd_ = -1;
        return;
    }
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

}  // namespace kvt
