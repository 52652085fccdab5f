#include "iso/box_buffer.h"

#include <algorithm>

#include "engine/byte_order.h"

namespace kvt {

BoxBuffer::BoxBuffer(size_t capacity) {
    bytes_.reserve(std::max(capacity, kMinimumCapacity));
    bytes_.assign(4, 0);  // size slot
}

void BoxBuffer::PutTag(std::string_view tag) {
    for (size_t i = 0; i < 4; ++i) bytes_.push_back(i < tag.size() ? static_cast<uint8_t>(tag[i]) : 0);
}

void BoxBuffer::PutU8(uint8_t value) {
    kvt::PutU8(bytes_, value);
}
void BoxBuffer::PutU16(uint16_t value) {
    PutBe16(bytes_, value);
}
void BoxBuffer::PutU32(uint32_t value) {
    PutBe32(bytes_, value);
}
void BoxBuffer::PutBytes(std::span<const uint8_t> bytes) {
    kvt::PutBytes(bytes_, bytes);
}

void BoxBuffer::EndBox() {
    bytes_.shrink_to_fit();
    SetSizeWord(Size());
}

void BoxBuffer::AppendChild(const BoxBuffer& child) {
    bytes_.insert(bytes_.end(), child.bytes_.begin(), child.bytes_.end());
    SetSizeWord(Size());
}

void BoxBuffer::SetSizeWord(uint32_t value) {
    SetBe32(bytes_, value);
}

BoxBuffer BeginBox(size_t capacity) {
    return BoxBuffer(capacity);
}

}  // namespace kvt
