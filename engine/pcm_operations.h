#pragma once
// Operations on the 16-bit PCM block of an EngineFile (format, data) used
// before coding. Blocks that are not 16-bit, or have no channels or no rate, are left as
// they are. A result that would not fit in 32 bits shows "no memory" and returns 0 with
// the block unchanged.

#include <cstdint>
#include <span>
#include <vector>

#include "engine/engine_file.h"

namespace kvt {

// 1 -> 2: each sample twice; 2 -> 1: (left + right) / 2 truncated toward zero.
// Other combinations: no change. Returns 1, or 0 on failure.
int ConvertChannels(EngineFile& pcm, int targetChannels);

// How a block is brought to another rate.
enum class ResamplerKind {
    // Band-limited (engine/band_limited_resample.h): round(frames × R / S) frames, no
    // alias above the new Nyquist frequency, no pitch error.
    BandLimited,
    // Linear interpolation with a step of 1/1000 frame and floor(1000 × R / S) / 1000 of
    // the frames; the last output frame that needs the frame one past the end repeats the
    // last frame. Kept bit for bit for files that must match what it made.
    Classic,
};

// Brings the block to `targetRate` the chosen way. Returns 1, or 0 on failure.
int Resample(EngineFile& pcm, uint32_t targetRate, ResamplerKind kind);
// The bytes Resample makes of `sourceBytes` of PCM with `channels` channels.
uint64_t ResampledPcmBytes(uint64_t sourceBytes, uint64_t channels, uint32_t sourceRate, uint32_t targetRate,
                           ResamplerKind kind);

// Little-endian bytes <-> samples (a trailing odd byte is ignored).
std::vector<int16_t> BytesToSamples(std::span<const uint8_t> bytes);
std::vector<uint8_t> SamplesToBytes(std::span<const int16_t> samples);

}  // namespace kvt
