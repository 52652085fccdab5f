#pragma once
// Reads an MLD ringtone in file order: the header and its chunks, the audio and track
// chunks, the track's events and the coded pieces they carry. It names the handset preset
// whose layout the file follows, checks every length, the pieces and the track's timing
// against the coded audio, decodes the audio and reports what it found.

#include <cstdint>
#include <span>

#include "check/check_report.h"

namespace kvt {

// `file` starts with "melo"; anything else is reported as a problem.
CheckReport ReadMld(std::span<const uint8_t> file);

}  // namespace kvt
