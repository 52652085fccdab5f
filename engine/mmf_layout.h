#pragma once
// The SMAF (MMF) file image: one MMMD container with CNTI, OPDA and one MTR track whose
// only sound is a single wave note playing the whole clip, closed by a CRC-16 and two
// trailing bytes. The layout knows nothing about how the wave data was coded.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace kvt {

inline constexpr int kMmfMaxSampleRate = 24000;
// The note's gate time, the end event's delta time and the duration in the stereo
// optional data are 16-bit fields: 65536 ticks (about 262 s) and more would wrap.
inline constexpr uint32_t kMmfMaxDurationTicks = 0xFFFF;

struct MmfLayout {
    bool stereo = false;
    uint16_t sampleRate = 0;     // Hz
    uint16_t durationTicks = 0;  // ticks of 4 ms
    std::string title;           // CP932 bytes, mono files only; empty writes "Untitled"
};

// floor(pcmBytes × 250 / byteRate) + 1 for 16-bit PCM of that byte rate; byteRate > 0.
uint64_t MmfDurationTicks(uint64_t pcmBytes, uint32_t byteRate);

// The SMAF variable-length number V(x) for x below 2^21: 1 to 3 bytes, 7 bits each,
// most significant first, every byte but the last with bit 7 set.
std::vector<uint8_t> MmfVariableLength(uint32_t x);

// The whole file image around already coded wave data, CRC and trailing bytes included.
// Nothing when a size or the title does not fit its field.
std::optional<std::vector<uint8_t>> BuildMmfImage(const MmfLayout& layout, std::span<const uint8_t> wave);

}  // namespace kvt
