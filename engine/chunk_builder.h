#pragma once
// ChunkBuilder: the byte buffer of 524288 bytes (0x80000) that the version "0400" MLD
// layout is written into, with a write position. Each Put appends in file order; one that
// would not fit returns false and writes nothing.

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace kvt {

class ChunkBuilder {
public:
    static constexpr size_t kCapacity = 0x80000;
    static constexpr size_t kAdatHeadSize = 14;
    static constexpr size_t kTracBodySize = 37;

    ChunkBuilder();

    bool PutFileHeader(uint8_t a, uint8_t b, uint8_t c);
    bool PutByteChunk(std::string_view tag, uint8_t value);
    bool PutTextChunk(std::string_view tag, std::string_view text);
    bool PutU16Chunk(std::string_view tag, uint16_t value);
    // "ainf": the audio information for `sampleRate`.
    bool PutAinf(uint32_t sampleRate);
    // "adat": its 14-byte audio head and the coded stream. `sampleRate` is the rate the
    // file records (4000 for the 2-bit coder); an undefined rate shows "未定義のエラー"
    // and is written as 8000 Hz.
    bool PutAdat(std::span<const uint8_t> stream, uint32_t sampleRate, bool stereo);
    // "trac": the 37 track events for a clip of `ticks` ticks of 5 ms.
    bool PutTrac(uint32_t ticks);
    void SetHeaderLength();
    void SetFileLength();

    size_t Room() const { return kCapacity - buffer_.size(); }
    std::span<const uint8_t> Written() const { return buffer_; }

private:
    bool Fits(size_t bytes) const { return bytes <= Room(); }
    std::vector<uint8_t> buffer_;
};

}  // namespace kvt
