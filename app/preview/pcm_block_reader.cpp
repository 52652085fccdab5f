#include "app/preview/pcm_block_reader.h"

#include <algorithm>
#include <cstring>

namespace kvt {

PcmBlockReader::PcmBlockReader(const std::vector<uint8_t>& pcm, size_t offset, size_t length)
    : pcm_(pcm), offset_(offset), length_(length) {}

bool PcmBlockReader::open(OpenMode mode) {
    if (length_ == 0 || offset_ > pcm_.size() || length_ > pcm_.size() - offset_) return false;
    if ((mode & ~Unbuffered) != ReadOnly) return false;
    // Unbuffered: QIODevice would otherwise read far ahead into a buffer of its own, and
    // the device would play that copy.
    return QIODevice::open(mode | Unbuffered);
}

qint64 PcmBlockReader::size() const {
    if (offset_ >= pcm_.size()) return 0;
    return static_cast<qint64>(std::min(length_, pcm_.size() - offset_));
}

qint64 PcmBlockReader::readData(char* data, qint64 maxSize) {
    const qint64 position = pos();
    const qint64 count = std::min(maxSize, size() - position);
    if (count <= 0) return 0;
    std::memcpy(data, pcm_.data() + offset_ + static_cast<size_t>(position), static_cast<size_t>(count));
    return count;
}

}  // namespace kvt
