#pragma once
// What the one-track and two-stream MLD layouts share: their 4-byte track events, and the
// finished file of header chunks followed by one "trac" chunk holding the track.

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "engine/mld_layout.h"

namespace kvt {

// Delta time, then the three event bytes.
void PutMldEvent(std::vector<uint8_t>& out, uint8_t delta, uint8_t b1, uint8_t b2, uint8_t b3);

// File header (A, 1, 1), "sorc" 0, "titl", "vers", "note" 1 when `note`, then the "trac"
// chunk. Nothing, after telling the user, when the track would not fit the u32 lengths.
MldFile BuildMldTrackFile(uint8_t headerA, std::string_view title, std::string_view version, bool note,
                          std::span<const uint8_t> track);

}  // namespace kvt
