#pragma once
// Level normalisation of 16-bit samples before MLD coding.

#include <cstdint>
#include <span>

namespace kvt {

// `level` 2000 leaves the level as it is.
inline constexpr int kKeepLevel = 2000;

// Scales the samples so that the peak magnitude becomes 32767 × 100 / `level` (level in
// percent: 100 full scale, 200 half of it), truncating toward zero and clamping to 16 bits.
// Silence, `level` 2000 and `level` 0 (an unbounded gain) leave the samples unchanged.
void NormalizeLevel(std::span<int16_t> samples, int level);

}  // namespace kvt
