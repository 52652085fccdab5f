#pragma once
// Opening a file the user named, without ever blocking on it: a named pipe or a device
// opened for reading could wait forever for a writer, so the type is checked first on a
// descriptor opened with O_NONBLOCK, and anything but a regular file is turned away.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace kvt {

enum class FileCheck { Regular, Missing, NotRegular };

class RegularFile {
public:
    explicit RegularFile(const std::string& path);
    ~RegularFile();
    RegularFile(const RegularFile&) = delete;
    RegularFile& operator=(const RegularFile&) = delete;

    FileCheck Check() const { return check_; }
    // Size in bytes when opened; 0 unless Check() is Regular.
    uint64_t Size() const { return size_; }
    // Reads up to Size() bytes from the start: a file that grows meanwhile (a decoder still
    // writing) gives the part that existed at open, one that shrinks gives what is left.
    // False on a read error or when the file is not open.
    bool ReadAll(std::vector<uint8_t>& bytes) const;
    // Hands the open descriptor (O_RDONLY, O_NONBLOCK, which a regular file ignores) to the
    // caller, who closes it; -1 unless Check() is Regular. The file object is closed after.
    int ReleaseDescriptor();

private:
    int fd_ = -1;
    FileCheck check_ = FileCheck::Missing;
    uint64_t size_ = 0;
};

// What `path` names, found without blocking.
FileCheck CheckRegularFile(const std::string& path);

// Whether `path` opens for reading as anything but a folder (a FIFO too: the open does not
// wait for a writer).
bool OpensForReading(const std::string& path);
// Reads what `path` names (anything but a folder) from its start into `buffer`, until the
// buffer is full or the data ends (a FIFO: its writer closes): the number of bytes read;
// nothing when it does not open or a read fails.
std::optional<size_t> ReadFileStart(const std::string& path, std::span<uint8_t> buffer);

}  // namespace kvt
