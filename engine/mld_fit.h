#pragma once
// The coded size MldEncoder checks against its ceiling, worked out from a clip's frame
// count alone, and the longest start of a clip whose coded size stays within a ceiling.
// The arithmetic is the encoder's own (channel target, rate of the row's coder, resampled
// frames, bytes per coded sample), so the cut it finds is exact: one frame more passes
// the ceiling.

#include <cstdint>
#include <optional>

#include "engine/mld_preset_table.h"
#include "engine/pcm_operations.h"

namespace kvt {

// Size ceilings of the MLD page, in coded bytes.
inline constexpr uint32_t kMldLimit10Kb = 10000;
inline constexpr uint32_t kMldLimit20Kb = 19000;
inline constexpr uint32_t kMldLimit100Kb = 99000;

// The rate the PCM is brought to for a row's codec at the requested rate: the 32 kbit/s
// coder at 4000 Hz becomes the 2-bit coder at 8000 Hz.
uint32_t MldConversionRate(int codec, uint32_t requestedRate);
// The codec that codes a row at the requested rate.
int MldCodecAt(int codec, uint32_t requestedRate);

// The coded bytes of `samples` 16-bit samples (all channels) at the conversion rate:
// a quarter of their bytes, an eighth for the 2-bit coder.
uint64_t MldCodedBytes(int codec, uint64_t samples);

// One clip as a row would code it.
struct MldClipShape {
    uint32_t sourceRate = 0;     // of the clip
    uint32_t requestedRate = 0;  // 0: the clip's own
    ResamplerKind resampler = ResamplerKind::BandLimited;
};

// The coded size of the first `frames` frames of the clip for `row`, or nothing when the
// row refuses the rate (the encoder then writes nothing).
std::optional<uint64_t> MldCodedSizeOf(const MldPreset& row, uint64_t frames, const MldClipShape& clip);

// The most frames from the start, at most `frames`, whose coded size stays within
// `limit`; nothing when the row refuses the rate.
std::optional<uint64_t> MldFittingFrames(const MldPreset& row, uint64_t frames, const MldClipShape& clip,
                                         uint32_t limit);

}  // namespace kvt
