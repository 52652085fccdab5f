#pragma once
// The bit rates of a stream of AAC frames as an esds declares them: measured from the
// frame sizes, so that a decoder that sizes its buffers from the esds has room for the
// stream (the encoder's configured rate is neither its average nor its peak).

#include <cstdint>
#include <span>

namespace kvt {

// An AAC frame carries 1024 samples of each channel.
inline constexpr uint32_t kAacSamplesPerFrame = 1024;

struct AacBitRates {
    uint32_t average = 0;       // bit/s: the stream's bits over its duration, rounded
    uint32_t maximum = 0;       // bit/s: the bits of the frames that start within one second, at the most
    uint32_t largestFrame = 0;  // bytes
};

// `frameSizes` in bytes, in order; `sampleRate` in Hz. No frames or no rate: all zero.
AacBitRates MeasureAacBitRates(std::span<const uint32_t> frameSizes, uint32_t sampleRate);

}  // namespace kvt
