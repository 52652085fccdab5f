#pragma once
// Loaded inputs made in memory for the window tests.

#include <cstdint>
#include <cstring>
#include <functional>

#include "convert/loaded_input.h"

namespace kvt::testing {

// `frames` frames of `channels` channels; sample(frame, channel) gives each value.
inline LoadedInput MakeLoadedInput(uint32_t frames, uint16_t channels, uint32_t rate,
                                   const std::function<int16_t(uint32_t, int)>& sample = {}) {
    LoadedInput input;
    input.inputPath = "/nowhere/song.wav";
    input.isLoaded = true;
    input.format = FormatBlock::Pcm16(channels, rate);
    input.totalFrames = frames;
    input.startFrame = 0;
    input.endFrame = frames;
    input.pcm.resize(size_t{frames} * channels * 2);
    if (sample) {
        for (uint32_t f = 0; f < frames; ++f) {
            for (int c = 0; c < channels; ++c) {
                const int16_t value = sample(f, c);
                std::memcpy(input.pcm.data() + (size_t{f} * channels + c) * 2, &value, 2);
            }
        }
    }
    return input;
}

inline int16_t SampleOf(const LoadedInput& input, size_t index) {
    int16_t value;
    std::memcpy(&value, input.pcm.data() + 2 * index, 2);
    return value;
}

}  // namespace kvt::testing
