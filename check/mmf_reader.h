#pragma once
// Reads an MMF (SMAF) ringtone in file order, checks every length, the CRC and the note's
// timing against the wave data, decodes the audio and reports what it found.

#include <cstdint>
#include <span>

#include "check/check_report.h"

namespace kvt {

// `file` starts with "MMMD"; anything else is reported as a problem.
CheckReport ReadMmf(std::span<const uint8_t> file);

}  // namespace kvt
