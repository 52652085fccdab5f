#include "engine/chunk_builder.h"

#include <array>

#include "engine/byte_order.h"
#include "engine/engine_message.h"
#include "engine/mld_header.h"
#include "platform/message.h"

namespace kvt {

namespace {

constexpr std::string_view kUndefinedRateText = "未定義のエラー";
constexpr size_t kHeaderChunkOverhead = 6;  // tag + u16 length
constexpr size_t kTrackChunkOverhead = 8;   // tag + u32 length

constexpr std::array<uint8_t, 5> kAinfLead = {0x01, 0x01, 0x81, 0x00, 0x06};
constexpr std::array<uint8_t, 6> kAinfWide = {0x20, 0x10, 0x20, 0x20, 0x10, 0x20};    // 16000, 32000 Hz
constexpr std::array<uint8_t, 6> kAinfNarrow = {0x10, 0x08, 0x10, 0x10, 0x08, 0x10};  // other rates

}  // namespace

ChunkBuilder::ChunkBuilder() {
    buffer_.reserve(kCapacity);
}

bool ChunkBuilder::PutFileHeader(uint8_t a, uint8_t b, uint8_t c) {
    if (!Fits(kMldFileHeaderSize + 3)) return false;
    PutMldFileHeader(buffer_, a, b, c);
    return true;
}

bool ChunkBuilder::PutByteChunk(std::string_view tag, uint8_t value) {
    if (!Fits(kHeaderChunkOverhead + 1)) return false;
    PutMldU8Chunk(buffer_, tag, value);
    return true;
}

bool ChunkBuilder::PutTextChunk(std::string_view tag, std::string_view text) {
    if (text.size() > UINT16_MAX || !Fits(kHeaderChunkOverhead + text.size())) return false;
    PutMldTextChunk(buffer_, tag, text);
    return true;
}

bool ChunkBuilder::PutU16Chunk(std::string_view tag, uint16_t value) {
    if (!Fits(kHeaderChunkOverhead + 2)) return false;
    PutMldU16Chunk(buffer_, tag, value);
    return true;
}

bool ChunkBuilder::PutAinf(uint32_t sampleRate) {
    std::vector<uint8_t> body(kAinfLead.begin(), kAinfLead.end());
    const auto& tail = (sampleRate == 16000 || sampleRate == 32000) ? kAinfWide : kAinfNarrow;
    body.insert(body.end(), tail.begin(), tail.end());
    if (!Fits(kHeaderChunkOverhead + body.size())) return false;
    PutMldHeaderChunk(buffer_, "ainf", body);
    return true;
}

bool ChunkBuilder::PutAdat(std::span<const uint8_t> stream, uint32_t sampleRate, bool stereo) {
    if (stream.size() > Room() || !Fits(kTrackChunkOverhead + kAdatHeadSize + stream.size())) return false;
    uint8_t kilohertz = 8;
    switch (sampleRate) {
    case 4000:
    case 8000: kilohertz = 8; break;
    case 16000: kilohertz = 0x10; break;
    case 32000: kilohertz = 0x20; break;
    default: ShowMessage(kUndefinedRateText); break;
    }
    PutText(buffer_, "adat");
    PutBe32(buffer_, static_cast<uint32_t>(stream.size() + kAdatHeadSize));
    PutU8(buffer_, 0x00);
    PutU8(buffer_, 0x0B);
    PutU8(buffer_, 0x81);
    PutU8(buffer_, 0x00);
    PutText(buffer_, "adpm");
    PutU8(buffer_, 0x00);
    PutU8(buffer_, 0x03);
    PutU8(buffer_, kilohertz);                   // sampling rate in kHz
    PutU8(buffer_, sampleRate == 4000 ? 2 : 4);  // bits per code
    PutU8(buffer_, stereo ? 2 : 1);              // channels
    PutU8(buffer_, 0xFF);
    PutBytes(buffer_, stream);
    return true;
}

bool ChunkBuilder::PutTrac(uint32_t ticks) {
    if (!Fits(kTrackChunkOverhead + kTracBodySize)) return false;
    const uint32_t t = ticks > UINT16_MAX ? UINT16_MAX : ticks;  // Thi is one byte
    PutText(buffer_, "trac");
    PutBe32(buffer_, kTracBodySize);
    const std::array<uint8_t, kTracBodySize> events = {
        0x00,
        0xFF,
        0xD0,
        0x00,
        0x00,
        0xFF,
        0xCB,
        0x64,
        0x00,
        0xFF,
        0xB0,
        0x7F,
        0x00,
        0x7F,
        0x80,
        0x3F,
        0x00,
        0x7F,
        0x81,
        0x20,
        0x00,
        0x7F,
        0x00,
        0x00,
        0x3F,
        static_cast<uint8_t>(t % 256),  // Tlo
        0xFF,
        0xDC,
        static_cast<uint8_t>(t / 256),  // Thi
        0x00,
        0xFF,
        0xD0,
        0x01,
        0x00,
        0xFF,
        0xDF,
        0x00,
    };
    PutBytes(buffer_, events);
    return true;
}

void ChunkBuilder::SetHeaderLength() {
    SetMldHeaderLength(buffer_);
}

void ChunkBuilder::SetFileLength() {
    SetMldFileLength(buffer_);
}

}  // namespace kvt
