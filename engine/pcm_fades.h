#pragma once
// Linear fades on a block of interleaved 16-bit little-endian PCM: the gain of a frame
// moves in equal steps between silence at the block's edge and the full level `frames`
// frames inside it. Each sample becomes sample × gain, truncated toward zero.

#include <cstdint>
#include <span>

namespace kvt {

// The first `frames` frames rise from silence (frame 0 is silent); the rest is unchanged.
void FadeIn(std::span<uint8_t> pcm, unsigned channels, uint64_t frames);
// The last `frames` frames fall to silence (the last frame is silent); the rest is unchanged.
void FadeOut(std::span<uint8_t> pcm, unsigned channels, uint64_t frames);

// The frames of `seconds` at `sampleRate`, rounded to the nearest frame.
uint64_t FadeFrames(double seconds, uint32_t sampleRate);

}  // namespace kvt
