#pragma once
// How a user picks a CD track in the open dialog: each drive holding an audio disc becomes
// a place "D:" in the dialog's side bar, a folder with an empty Track01.cda… for each audio
// track of its table of contents. The folders live in a private folder under the temporary
// folder, rebuilt each time they are asked for and removed at the end.

#include <string>
#include <vector>

#include "input/cd/cd_device_layer.h"
#include "platform/cleanup_registry.h"

namespace kvt {

// The private folder's name begins so: "kvt-cd-XXXXXX".
inline constexpr const char* kTrackPlacesPrefix = kCdTrackPlacesPrefix;

// "…/D:/Track05.cda" (a file of a track place) or "…/D:\Track05.cda" (typed in a dialog
// or given on the command line, made absolute) → "D:\Track05.cda"; anything else is kept
// as it is.
std::string CdaPathFromChosen(const std::string& path);

class CdTrackPlaces {
public:
    explicit CdTrackPlaces(cd::CdDeviceLayer& layer = cd::SystemCdAccess());
    ~CdTrackPlaces();
    CdTrackPlaces(const CdTrackPlaces&) = delete;
    CdTrackPlaces& operator=(const CdTrackPlaces&) = delete;

    // One folder per drive with an audio disc, from the discs in the drives now.
    std::vector<std::string> Folders();

private:
    cd::CdDeviceLayer& layer_;
    std::string root_;  // created on first use
};

}  // namespace kvt
