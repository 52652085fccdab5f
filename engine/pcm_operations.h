#pragma once
// Operations on the 16-bit PCM block of an EngineFile (format, dataSize, data) used
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

// Linear interpolation to `targetRate` with a step of 1/1000 frame; the last output
// frame that needs the frame one past the end repeats the last frame. Returns 1, or 0.
int Resample(EngineFile& pcm, uint32_t targetRate);

// Little-endian bytes <-> samples (a trailing odd byte is ignored).
std::vector<int16_t> BytesToSamples(std::span<const uint8_t> bytes);
std::vector<uint8_t> SamplesToBytes(std::span<const int16_t> samples);

}  // namespace kvt
