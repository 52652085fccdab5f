#pragma once
// Which drives hold an audio disc, and which of its tracks are audio: what the open
// dialog offers as "D:\Track01.cda"….

#include <vector>

#include "input/cd/cd_device_layer.h"

namespace kvt::cd {

struct DiscInDrive {
    int driveIndex = 0;            // 0 = A
    std::vector<int> audioTracks;  // track indexes (0-based) as CdReader::SelectTrack takes them
};

// Reads the table of contents of every drive letter's drive. Drives without a readable
// disc, and discs without an audio track, are left out.
std::vector<DiscInDrive> DiscsInDrives(CdDeviceLayer& layer = SystemCdAccess());

}  // namespace kvt::cd
