#include "engine/pcm_fades.h"

#include <algorithm>
#include <cmath>

#include "engine/byte_order.h"

namespace kvt {
namespace {

// Frame `first` + k of the block gets the gain (start + k × direction) / frames.
void Ramp(std::span<uint8_t> pcm, unsigned channels, uint64_t first, uint64_t frames, bool rising) {
    for (uint64_t k = 0; k < frames; ++k) {
        const int64_t weight = static_cast<int64_t>(rising ? k : frames - 1 - k);
        for (unsigned c = 0; c < channels; ++c) {
            const std::span<uint8_t> at = pcm.subspan(2 * ((first + k) * channels + c), 2);
            const int64_t sample = static_cast<int16_t>(GetLe16(at));
            SetLe16(at, static_cast<uint16_t>(static_cast<int16_t>(sample * weight / static_cast<int64_t>(frames))));
        }
    }
}

uint64_t FramesOf(std::span<const uint8_t> pcm, unsigned channels) {
    return channels == 0 ? 0 : pcm.size() / 2 / channels;
}

}  // namespace

void FadeIn(std::span<uint8_t> pcm, unsigned channels, uint64_t frames) {
    frames = std::min(frames, FramesOf(pcm, channels));
    if (frames > 0) Ramp(pcm, channels, 0, frames, true);
}

void FadeOut(std::span<uint8_t> pcm, unsigned channels, uint64_t frames) {
    const uint64_t all = FramesOf(pcm, channels);
    frames = std::min(frames, all);
    if (frames > 0) Ramp(pcm, channels, all - frames, frames, false);
}

uint64_t FadeFrames(double seconds, uint32_t sampleRate) {
    if (!(seconds > 0)) return 0;
    return static_cast<uint64_t>(std::llround(std::min(seconds * sampleRate, 1e15)));
}

}  // namespace kvt
