#pragma once
// Reads a 3GP or 3G2 ringtone in file order: the brands, the top-level boxes, the movie's
// box tree with the edit list and the data reference, the sample description with its
// esds, and the sample tables against the payload. Checks that every AAC frame lies in the
// file and fits the 768 bytes a channel that AAC allows, and that the esds agrees with the
// stream (its buffer and bit rates at least the stream's); decodes the audio with FFmpeg
// and reports what it found.

#include <cstdint>
#include <span>

#include "check/check_report.h"

namespace kvt {

// The largest AAC frame of one channel: 6144 bits.
inline constexpr size_t kMaxAacFrameBytesPerChannel = 768;

// `file` has an "ftyp" box first; anything else is reported as a problem.
CheckReport ReadFile3gp(std::span<const uint8_t> file);

}  // namespace kvt
