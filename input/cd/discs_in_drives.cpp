#include "input/cd/discs_in_drives.h"

#include <algorithm>

#include "input/cd/cd_reader.h"
#include "input/cd/disc_image.h"
#include "input/cd/pass_through.h"

namespace kvt::cd {
namespace {

constexpr uint8_t kDataTrackControl = 0x04;  // control bit of a data track

}  // namespace

std::vector<DiscInDrive> DiscsInDrives(CdDeviceLayer& layer) {
    layer.InitCdAccess();
    std::vector<DiscInDrive> discs;
    for (int letter = 0; letter < kDriveLetters; ++letter) {
        if (!layer.FindDriveAddress(letter)) continue;
        CdReader reader(layer);
        if (!reader.Open(letter)) continue;
        const uint8_t* toc = reader.Toc();
        const int first = toc[2];
        const int last = std::min<int>(toc[3], kMaxTracks);
        DiscInDrive disc{letter, {}};
        // Descriptor t stands for track t + 1, as SelectTrack reads it.
        for (int t = std::max(first, 1) - 1; t < last; ++t)
            if ((toc[4 + 8 * t + 1] & kDataTrackControl) == 0) disc.audioTracks.push_back(t);
        if (!disc.audioTracks.empty()) discs.push_back(std::move(disc));
    }
    return discs;
}

}  // namespace kvt::cd
