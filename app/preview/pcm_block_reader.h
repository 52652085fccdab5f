#pragma once
// A read-only QIODevice over a range of the window's own PCM block. It copies nothing up
// front: every read takes the bytes as they are now, so a volume change made while a
// preview plays is heard. A block that shrinks under it reads as ended.

#include <QIODevice>
#include <cstdint>
#include <vector>

namespace kvt {

class PcmBlockReader : public QIODevice {
public:
    PcmBlockReader(const std::vector<uint8_t>& pcm, size_t offset, size_t length);

    // Fails for an empty range or one that does not lie inside the block.
    bool open(OpenMode mode) override;
    // The part of the range the block still holds.
    qint64 size() const override;
    bool isSequential() const override { return false; }

protected:
    qint64 readData(char* data, qint64 maxSize) override;
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    const std::vector<uint8_t>& pcm_;
    size_t offset_;
    size_t length_;
};

}  // namespace kvt
