#include "platform/output_file.h"

#include <fcntl.h>
#include <unistd.h>
#include <cerrno>

namespace kvt {
namespace {
constexpr size_t kBufferBytes = 64 * 1024;
}  // namespace

OutputFile::~OutputFile() {
    Close();
}

int OutputFile::Create(const std::string& path) {
    Close();
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) return errno;
    fd_ = fd;
    size_ = flushed_ = 0;
    buffer_.clear();
    buffer_.reserve(kBufferBytes);
    return 0;
}

size_t OutputFile::WriteOut(std::span<const uint8_t> bytes, uint64_t offset) {
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t written =
            pwrite(fd_, bytes.data() + done, bytes.size() - done, static_cast<off_t>(offset + done));
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) {
            if (written == 0) errno = ENOSPC;
            break;
        }
        done += static_cast<size_t>(written);
    }
    return done;
}

bool OutputFile::Flush() {
    if (fd_ < 0) return false;
    const size_t done = WriteOut(buffer_, flushed_);
    // What could not be written is dropped, as a stream drops a buffer it failed to write.
    const bool ok = done == buffer_.size();
    flushed_ += done;
    size_ = flushed_;
    buffer_.clear();
    return ok;
}

bool OutputFile::Append(std::span<const uint8_t> bytes) {
    if (fd_ < 0) return false;
    if (buffer_.size() + bytes.size() <= kBufferBytes) {
        buffer_.insert(buffer_.end(), bytes.begin(), bytes.end());
        size_ += bytes.size();
        return true;
    }
    if (!Flush()) return false;
    const size_t done = WriteOut(bytes, flushed_);
    flushed_ += done;
    size_ = flushed_;
    return done == bytes.size();
}

bool OutputFile::WriteAt(uint64_t offset, std::span<const uint8_t> bytes) {
    return Flush() && WriteOut(bytes, offset) == bytes.size();
}

int OutputFile::Close() {
    if (fd_ < 0) return 0;
    const int fd = fd_;
    fd_ = -1;
    buffer_.clear();
    return close(fd) == 0 ? 0 : errno;
}

}  // namespace kvt
