#pragma once
// Level normalisation of 16-bit samples before MLD coding.

#include <cstdint>
#include <functional>
#include <span>
#include <vector>

namespace kvt {

// `level` 2000 leaves the level as it is.
inline constexpr int kKeepLevel = 2000;
// The largest peak magnitude below -60 dBFS: an input this quiet is silence or noise.
inline constexpr int64_t kQuietPeak = 32;

// Scales the samples so that the peak magnitude becomes 32767 × 100 / `level` (level in
// percent: 100 full scale, 200 half of it), truncating toward zero and clamping to 16 bits.
// Silence, `level` 2000 and `level` 0 (an unbounded gain) leave the samples unchanged.
void NormalizeLevel(std::span<int16_t> samples, int level);

// Whether the coded form of the samples decodes to full scale anywhere.
using DecodesToFullScale = std::function<bool(std::span<const int16_t>)>;

// NormalizeLevel that never makes the coded audio clip: while `clips` finds full scale
// in what the codes of the result decode to, the gain is lowered by 1/16 (0.56 dB) and
// the samples scaled again from the input, at most down to a 64th of the normalising gain. An
// input whose peak is at most kQuietPeak is left as it is. The first try is NormalizeLevel's
// own result, so a clip that codes cleanly keeps exactly those samples.
void NormalizeLevelBelowClipping(std::vector<int16_t>& samples, int level, const DecodesToFullScale& clips);

}  // namespace kvt
