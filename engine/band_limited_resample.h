#pragma once
// Sample-rate conversion through libsoxr at its high-quality setting: a linear-phase
// low-pass whose stop band starts at the lower rate's Nyquist frequency, so nothing above
// it folds back into the band, and an exact rate ratio, so tones keep their pitch.

#include <cstdint>
#include <span>

namespace kvt {

// round(frames × targetRate / sourceRate), halves rounded up.
uint64_t ResampledFrameCount(uint64_t frames, uint32_t sourceRate, uint32_t targetRate);

// Interleaved 16-bit little-endian frames of `channels` channels at `sourceRate` into
// `output`, which holds ResampledFrameCount frames at `targetRate`, time-aligned with the
// input (the filter's delay is taken out). false when the library cannot do it (no memory).
bool ResampleBandLimited(std::span<const uint8_t> source, std::span<uint8_t> output, unsigned channels,
                         uint32_t sourceRate, uint32_t targetRate);

}  // namespace kvt
