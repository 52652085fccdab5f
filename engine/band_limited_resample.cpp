#include "engine/band_limited_resample.h"

#include <soxr.h>

#include <bit>

namespace kvt {

// The library reads and writes the samples in the machine's byte order, and the blocks
// are little-endian: they are handed over where they lie, without a copy.
static_assert(std::endian::native == std::endian::little);

uint64_t ResampledFrameCount(uint64_t frames, uint32_t sourceRate, uint32_t targetRate) {
    const unsigned __int128 scaled = static_cast<unsigned __int128>(frames) * targetRate + sourceRate / 2;
    return static_cast<uint64_t>(scaled / sourceRate);
}

bool ResampleBandLimited(std::span<const uint8_t> source, std::span<uint8_t> output, unsigned channels,
                         uint32_t sourceRate, uint32_t targetRate) {
    const size_t frameBytes = size_t{2} * channels;
    const size_t frames = source.size() / frameBytes;
    const size_t outputFrames = output.size() / frameBytes;
    if (frames == 0 || outputFrames == 0) return true;

    soxr_io_spec_t io = soxr_io_spec(SOXR_INT16_I, SOXR_INT16_I);
    // Rounded, not dithered: the library's dither is random, and the same input must give
    // the same file.
    io.flags |= SOXR_NO_DITHER;
    const soxr_quality_spec_t quality = soxr_quality_spec(SOXR_HQ, 0);
    size_t produced = 0;
    // One call with the whole clip and its end: the library flushes its filter, so the
    // output runs to the clip's end. A last frame it may leave short of the exact count
    // stays as the caller zeroed it.
    return soxr_oneshot(sourceRate, targetRate, channels, source.data(), frames, nullptr, output.data(), outputFrames,
                        &produced, &io, &quality, nullptr) == nullptr;
}

}  // namespace kvt
