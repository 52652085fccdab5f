#pragma once
// The 20-byte description of a PCM block that travels with every sample buffer. Its first
// 16 bytes are the PCM record of a WAV "fmt " chunk, the next 2 the extra-size field.

#include <array>
#include <cstdint>
#include <span>

namespace kvt {

struct FormatBlock {
    uint16_t formatTag = 0;  // 1 PCM, 6 A-law, 7 µ-law
    uint16_t channels = 0;
    uint32_t sampleRate = 0;  // frames per second
    uint32_t byteRate = 0;    // bytes per second
    uint16_t blockAlign = 0;  // bytes per frame
    uint16_t bitsPerSample = 0;
    uint16_t extraSize = 0;  // cbSize of a WAVEFORMATEX
    uint16_t spare = 0;

    static constexpr size_t kSize = 20;
    // Bytes of the block written to a "fmt " chunk of 18 bytes.
    static constexpr size_t kChunkSize = 18;

    // Little-endian bytes in WAV order.
    std::array<uint8_t, kSize> ToBytes() const;
    // Reads up to 20 little-endian bytes; fields beyond `bytes` stay 0.
    static FormatBlock FromBytes(std::span<const uint8_t> bytes);

    // 16-bit PCM with `channels` channels at `rate`, with byte rate and block align to match.
    static FormatBlock Pcm16(uint16_t channels, uint32_t rate);

    friend bool operator==(const FormatBlock&, const FormatBlock&) = default;
};

static_assert(sizeof(FormatBlock) == FormatBlock::kSize);

}  // namespace kvt
