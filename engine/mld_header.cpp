#include "engine/mld_header.h"

#include "engine/byte_order.h"

namespace kvt {

void PutMldFileHeader(std::vector<uint8_t>& out, uint8_t a, uint8_t b, uint8_t c) {
    PutText(out, "melo");
    PutBe32(out, 0);  // file length, set last
    PutBe16(out, 0);  // header length, set after the header chunks
    PutU8(out, a);
    PutU8(out, b);
    PutU8(out, c);
}

void PutMldHeaderChunk(std::vector<uint8_t>& out, std::string_view tag, std::span<const uint8_t> body) {
    PutText(out, tag);
    PutBe16(out, static_cast<uint16_t>(body.size()));
    PutBytes(out, body);
}

void PutMldTextChunk(std::vector<uint8_t>& out, std::string_view tag, std::string_view text) {
    PutMldHeaderChunk(out, tag, std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
}

void PutMldU8Chunk(std::vector<uint8_t>& out, std::string_view tag, uint8_t value) {
    PutMldHeaderChunk(out, tag, std::span(&value, 1));
}

void PutMldU16Chunk(std::vector<uint8_t>& out, std::string_view tag, uint16_t value) {
    uint8_t body[2];
    SetBe16(body, value);
    PutMldHeaderChunk(out, tag, body);
}

void SetMldHeaderLength(std::vector<uint8_t>& out) {
    SetBe16(std::span(out).subspan(8), static_cast<uint16_t>(out.size() - kMldFileHeaderSize));
}

void SetMldFileLength(std::vector<uint8_t>& out) {
    SetBe32(std::span(out).subspan(4), static_cast<uint32_t>(out.size() - 8));
}

}  // namespace kvt
