#pragma once
// The input as the main window (or kvt-convert) holds it after loading: 16-bit PCM, its
// format block and the START/END selection.

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
};

}  // namespace kvt
