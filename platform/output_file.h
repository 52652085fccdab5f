#pragma once
// A file written front to back, with a few fields patched once the end is known (the sizes
// of a streamed WAV file). Appends are buffered; every failure keeps its errno.

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace kvt {

class OutputFile {
public:
    OutputFile() = default;
    // Closes a file still open (without reporting).
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // Creates or truncates `path` with the usual permissions: 0, or the errno of the refusal.
    int Create(const std::string& path);
    bool IsOpen() const { return fd_ >= 0; }
    // Adds the bytes at the end; false when they could not all be written (or buffered).
    bool Append(std::span<const uint8_t> bytes);
    // Writes what the buffer holds to the file.
    bool Flush();
    // Writes the bytes at `offset` (after a flush), leaving the end where it is.
    bool WriteAt(uint64_t offset, std::span<const uint8_t> bytes);
    // Bytes appended so far that are in the file or its buffer.
    uint64_t Size() const { return size_; }
    // Closes without flushing: 0, or the errno of a failed close. Closed afterwards in every case.
    int Close();

private:
    // The bytes written at `offset`, fewer when a write failed (errno tells why).
    size_t WriteOut(std::span<const uint8_t> bytes, uint64_t offset);

    int fd_ = -1;
    uint64_t size_ = 0;
    uint64_t flushed_ = 0;  // bytes of size_ already in the file
    std::vector<uint8_t> buffer_;
};

}  // namespace kvt
