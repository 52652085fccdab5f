#pragma once
// The boxes of an external encoder's MP4 output, read back from the side files, that
// replace File_3gp's own. The sample tables and the payload are only used together and
// only when they agree with each other.

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "iso/box_buffer.h"

namespace kvt {

inline constexpr std::string_view kExternalFallbackText =
    "外部エンコーダでの変換に失敗しました。内部エンコーダを使用します。";

struct SplicedSampleTables {
    BoxBuffer stsd, stts, stsc, stsz;
    std::vector<uint8_t> stco;     // body of the external stco, entries as the external file had them
    uint32_t chunkCount = 0;       // entries present in `stco`
    std::vector<uint8_t> payload;  // the mdat side file without its first 8 bytes
    uint64_t mediaDuration = 0;    // the stts sample deltas added up
};

struct SplicedBoxes {
    // mvhd only when its version is 0 or 1 and it holds a duration (movieDuration).
    std::optional<BoxBuffer> mvhd, hdlr;
    uint64_t movieDuration = 0;  // of the spliced mvhd, in its timescale
    // Missing when one of the six side files is missing, or when the tables point outside
    // the payload (kExternalFallbackText is shown then).
    std::optional<SplicedSampleTables> sampleTables;
};

SplicedBoxes LoadSplicedBoxes(std::string_view scratchWavPath);

// The external stco with every entry moved so that its first entry becomes `first`.
BoxBuffer RebasedStco(const SplicedSampleTables& tables, uint32_t first);

}  // namespace kvt
