#include "engine/mld_fit.h"

namespace kvt {
namespace {

constexpr int kCodecG726_32 = 3;
constexpr int kCodecG726_16 = 4;

}  // namespace

uint32_t MldConversionRate(int codec, uint32_t requestedRate) {
    return codec == kCodecG726_32 && requestedRate == 4000 ? 8000 : requestedRate;
}

int MldCodecAt(int codec, uint32_t requestedRate) {
    return codec == kCodecG726_32 && requestedRate == 4000 ? kCodecG726_16 : codec;
}

uint64_t MldCodedBytes(int codec, uint64_t samples) {
    uint64_t pcmBytes = samples * 2;
    if (codec == kCodecG726_16) pcmBytes /= 2;
    return pcmBytes / 4;
}

std::optional<uint64_t> MldCodedSizeOf(const MldPreset& row, uint64_t frames, const MldClipShape& clip) {
    const uint32_t requested = clip.requestedRate == 0 ? clip.sourceRate : clip.requestedRate;
    const uint64_t channels = IsStereoMldType(row.type) ? 2 : 1;
    if (!row.AllowsRate(static_cast<int>(requested)) || (requested == 32000 && channels == 2)) return std::nullopt;
    const uint32_t rate = MldConversionRate(row.codec, requested);
    uint64_t bytes = frames * 2 * channels;
    if (rate != clip.sourceRate && clip.sourceRate != 0)
        bytes = ResampledPcmBytes(bytes, channels, clip.sourceRate, rate, clip.resampler);
    return MldCodedBytes(MldCodecAt(row.codec, requested), bytes / 2);
}

std::optional<uint64_t> MldFittingFrames(const MldPreset& row, uint64_t frames, const MldClipShape& clip,
                                         uint32_t limit) {
    const std::optional<uint64_t> whole = MldCodedSizeOf(row, frames, clip);
    if (!whole) return std::nullopt;
    if (*whole <= limit) return frames;
    // The size never falls as frames are added: the last count within the limit is found
    // by halving [fits, passes).
    uint64_t fits = 0;
    uint64_t passes = frames;
    while (passes - fits > 1) {
        const uint64_t middle = fits + (passes - fits) / 2;
        if (*MldCodedSizeOf(row, middle, clip) <= limit)
            fits = middle;
        else
            passes = middle;
    }
    return fits;
}

}  // namespace kvt
