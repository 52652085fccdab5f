#pragma once
// Checks one ringtone file of any kind KVT writes: the format is told by the first bytes
// (an MLD, MMF, 3GP or 3G2 file), and the file is read by that format's reader.

#include <cstdint>
#include <span>
#include <string>

#include "check/check_report.h"

namespace kvt {

// Reads the file at `path` and checks it; a file that cannot be read, or that is none of
// the four formats, gives a report with no format and a problem saying why.
CheckReport CheckRingtoneFile(const std::string& path);

// The same for bytes in memory; `name` gives the extension that must fit the content.
CheckReport CheckRingtoneBytes(std::span<const uint8_t> bytes, const std::string& name);

}  // namespace kvt
