#include "engine/level_normalizer.h"

#include <algorithm>
#include <cstdlib>

namespace kvt {

void NormalizeLevel(std::span<int16_t> samples, int level) {
    if (level == kKeepLevel || level == 0) return;
    // -32768 counts as its true magnitude 32768: a clip already at full scale is not
    // amplified because its loudest sample happens to be negative.
    int64_t peak = 0;
    for (const int16_t s : samples) peak = std::max<int64_t>(peak, std::abs(int64_t{s}));
    if (peak == 0) return;
    // gain = (3276700 / level) / peak, applied exactly in integers.
    const int64_t divisor = int64_t{level} * peak;
    for (int16_t& s : samples) {
        const int64_t scaled = int64_t{s} * 3276700 / divisor;
        s = static_cast<int16_t>(std::clamp<int64_t>(scaled, -32768, 32767));
    }
}

}  // namespace kvt
