#pragma once
// The input as the main window (or kvt-convert) holds it after loading: 16-bit PCM, its
// format block and the START/END selection.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/format_block.h"

namespace kvt {

struct LoadedInput {
    std::string inputPath;  // full path of the input the block came from
    bool isLoaded = false;
    std::vector<uint8_t> pcm;  // interleaved signed 16-bit little-endian samples
    FormatBlock format;        // as the engine's loader delivered it
    uint32_t totalFrames = 0;
    uint32_t startFrame = 0;  // selection, in frames
    uint32_t endFrame = 0;

    size_t PcmBytes() const { return pcm.size(); }
    size_t FrameBytes() const { return size_t{2} * std::max<uint16_t>(format.channels, 1); }
};

// What a START after END selects: the conversion swaps the two, the preview plays nothing.
enum class ReversedSelection { Swap, Nothing };

// A part of the PCM block, in bytes.
struct PcmRange {
    size_t offset = 0;
    size_t length = 0;
};

// The selected part of the block. START equal to END selects the whole input. The ends are
// not cut to the block: a selection that runs past it is the caller's to cut (the job) or
// to refuse (the preview).
inline PcmRange SelectedRange(const LoadedInput& input, ReversedSelection reversed) {
    size_t start = size_t{input.startFrame} * input.FrameBytes();
    size_t end = size_t{input.endFrame} * input.FrameBytes();
    if (start == end) return {0, input.PcmBytes()};
    if (start > end) {
        if (reversed == ReversedSelection::Nothing) return {start, 0};
        std::swap(start, end);
    }
    return {start, end - start};
}

}  // namespace kvt
