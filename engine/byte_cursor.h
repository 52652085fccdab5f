#pragma once
// Reads big-endian numbers from untrusted bytes in file order. A read that would pass the
// end returns nothing and leaves the cursor where it was; offsets are those of the file.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace kvt {

class ByteCursor {
public:
    // `bytes` starts at `base` in the file; offsets are reported from the file's start.
    explicit ByteCursor(std::span<const uint8_t> bytes, size_t base = 0) : bytes_(bytes), base_(base) {}

    size_t Offset() const { return base_ + at_; }
    size_t Left() const { return bytes_.size() - at_; }
    bool AtEnd() const { return at_ == bytes_.size(); }

    std::optional<std::span<const uint8_t>> Bytes(size_t count) {
        if (count > Left()) return std::nullopt;
        const auto bytes = bytes_.subspan(at_, count);
        at_ += count;
        return bytes;
    }
    std::optional<uint32_t> U8() { return Number(1); }
    std::optional<uint32_t> U16() { return Number(2); }
    std::optional<uint32_t> U32() { return Number(4); }
    // A cursor over the next `count` bytes, which this one steps over.
    std::optional<ByteCursor> Sub(size_t count) {
        const size_t base = Offset();
        const auto bytes = Bytes(count);
        if (!bytes) return std::nullopt;
        return ByteCursor(*bytes, base);
    }
    std::span<const uint8_t> Rest() const { return bytes_.subspan(at_); }
    void Skip(size_t count) { at_ += count < Left() ? count : Left(); }

private:
    std::optional<uint32_t> Number(size_t width) {
        const auto bytes = Bytes(width);
        if (!bytes) return std::nullopt;
        uint32_t value = 0;
        for (uint8_t byte : *bytes) value = (value << 8) | byte;
        return value;
    }

    std::span<const uint8_t> bytes_;
    size_t base_;
    size_t at_ = 0;
};

}  // namespace kvt
