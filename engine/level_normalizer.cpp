#include "engine/level_normalizer.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace kvt {
namespace {

// -32768 counts as its true magnitude 32768: a clip already at full scale is not
// amplified because its loudest sample happens to be negative.
int64_t PeakOf(std::span<const int16_t> samples) {
    int64_t peak = 0;
    for (const int16_t s : samples) peak = std::max<int64_t>(peak, std::abs(int64_t{s}));
    return peak;
}

constexpr int kGainSteps = 67;  // (15/16)^67 is just below 1/64

}  // namespace

void NormalizeLevel(std::span<int16_t> samples, int level) {
    if (level == kKeepLevel || level == 0) return;
    const int64_t peak = PeakOf(samples);
    if (peak == 0) return;
    // gain = (3276700 / level) / peak, applied exactly in integers.
    const int64_t divisor = int64_t{level} * peak;
    for (int16_t& s : samples) {
        const int64_t scaled = int64_t{s} * 3276700 / divisor;
        s = static_cast<int16_t>(std::clamp<int64_t>(scaled, -32768, 32767));
    }
}

void NormalizeLevelBelowClipping(std::vector<int16_t>& samples, int level, const DecodesToFullScale& clips) {
    if (level == kKeepLevel || level == 0) return;
    const int64_t peak = PeakOf(samples);
    if (peak <= kQuietPeak) return;
    const std::vector<int16_t> input = samples;
    NormalizeLevel(samples, level);
    const double gain = 3276700.0 / (static_cast<double>(level) * static_cast<double>(peak));
    for (int step = 1; step <= kGainSteps && clips(samples); ++step) {
        const double lowered = gain * std::pow(15.0 / 16.0, step);
        for (size_t i = 0; i < input.size(); ++i)
            samples[i] = static_cast<int16_t>(std::clamp(std::trunc(input[i] * lowered), -32768.0, 32767.0));
    }
}

}  // namespace kvt
