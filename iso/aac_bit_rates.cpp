#include "iso/aac_bit_rates.h"

#include <algorithm>
#include <limits>

namespace kvt {

AacBitRates MeasureAacBitRates(std::span<const uint32_t> frameSizes, uint32_t sampleRate) {
    AacBitRates rates;
    if (frameSizes.empty() || sampleRate == 0) return rates;
    uint64_t totalBytes = 0;
    uint64_t windowBytes = 0;  // frames first .. next-1, all starting within one second of `first`
    uint64_t mostBytes = 0;
    size_t next = 0;
    for (size_t first = 0; first < frameSizes.size(); ++first) {
        while (next < frameSizes.size() && (next - first) * kAacSamplesPerFrame < sampleRate)
            windowBytes += frameSizes[next++];
        mostBytes = std::max(mostBytes, windowBytes);
        windowBytes -= frameSizes[first];
        totalBytes += frameSizes[first];
        rates.largestFrame = std::max(rates.largestFrame, frameSizes[first]);
    }
    const uint64_t samples = uint64_t{frameSizes.size()} * kAacSamplesPerFrame;
    const uint64_t average = (totalBytes * 8 * sampleRate + samples / 2) / samples;
    // A stream shorter than a second has no whole window: its peak is its average.
    const uint64_t maximum = std::max(mostBytes * 8, average);
    constexpr uint64_t kMost = std::numeric_limits<uint32_t>::max();
    rates.average = static_cast<uint32_t>(std::min(average, kMost));
    rates.maximum = static_cast<uint32_t>(std::min(maximum, kMost));
    return rates;
}

}  // namespace kvt
