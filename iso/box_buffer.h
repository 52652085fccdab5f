#pragma once
// A growable byte block holding one ISO box under construction. The first 4 bytes are
// the box size (zero until EndBox), writing starts right after them; every integer is
// big-endian. A box is built as BeginBox, PutTag with its type, its fields, EndBox, and
// then any AppendChild calls: a parent keeps a copy of each finished child.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace kvt {

class BoxBuffer {
public:
    static constexpr size_t kMinimumCapacity = 1024;

    // Reserves `capacity` bytes (at least kMinimumCapacity) and zeroes the size slot.
    explicit BoxBuffer(size_t capacity = kMinimumCapacity);

    // The first 4 bytes of `tag`, padded with zero bytes when it is shorter.
    void PutTag(std::string_view tag);
    void PutU8(uint8_t value);
    void PutU16(uint16_t value);
    void PutU32(uint32_t value);
    void PutBytes(std::span<const uint8_t> bytes);

    // Size = bytes written so far, header included; stored in the size slot.
    void EndBox();
    // Copies the finished child to the end and adds its size to ours.
    void AppendChild(const BoxBuffer& child);
    // Overwrites the size slot (the 24-byte mdat block states the payload in it).
    void SetSizeWord(uint32_t value);

    // Total bytes of the box, header included (valid after EndBox).
    uint32_t Size() const { return static_cast<uint32_t>(bytes_.size()); }
    std::span<const uint8_t> Bytes() const { return bytes_; }
    // For patching fields after the box is finished (chunk offsets, the dcmd value).
    std::span<uint8_t> MutableBytes() { return bytes_; }

private:
    std::vector<uint8_t> bytes_;
};

// A new box buffer with room for `capacity` bytes; write its type next with PutTag.
BoxBuffer BeginBox(size_t capacity = BoxBuffer::kMinimumCapacity);

}  // namespace kvt
