#include "app/cd/cd_track_places.h"

#include <filesystem>
#include <fstream>

#include "input/cd/cda_path.h"
#include "input/cd/discs_in_drives.h"
#include "platform/cleanup_registry.h"
#include "platform/paths.h"

namespace kvt {
namespace {

constexpr size_t kCdaPathLength = 14;  // "D:\Track05.cda"

}  // namespace

std::string CdaPathFromChosen(const std::string& path) {
    if (path.size() < kCdaPathLength) return path;
    const size_t start = path.size() - kCdaPathLength;
    if (start > 0 && path[start - 1] != '/') return path;
    const std::optional<cd::CdaTrack> track = cd::ParseCdaPath(std::string_view(path).substr(start));
    if (!track) return path;
    return cd::CdaPathFor(track->driveIndex, track->trackIndex);
}

CdTrackPlaces::CdTrackPlaces(cd::CdDeviceLayer& layer) : layer_(layer) {}

CdTrackPlaces::~CdTrackPlaces() {
    if (root_.empty()) return;
    std::error_code ignored;
    std::filesystem::remove_all(root_, ignored);
    DropPendingPath(root_);
}

std::vector<std::string> CdTrackPlaces::Folders() {
    std::vector<cd::DiscInDrive> discs = cd::DiscsInDrives(layer_);
    if (root_.empty() && !discs.empty())
        root_ =
            CreatePendingFolder(JoinPath(TemporaryFolder(), std::string(kTrackPlacesPrefix) + "XXXXXX")).value_or("");
    if (root_.empty()) return {};
    std::error_code ignored;
    for (const auto& entry : std::filesystem::directory_iterator(root_, ignored))
        std::filesystem::remove_all(entry.path(), ignored);
    std::vector<std::string> folders;
    for (const cd::DiscInDrive& disc : discs) {
        const std::string first = cd::CdaPathFor(disc.driveIndex, disc.audioTracks.front());
        const std::string folder = JoinPath(root_, first.substr(0, 2));  // "D:"
        std::error_code error;
        std::filesystem::create_directory(folder, error);
        if (error) continue;
        for (int track : disc.audioTracks)
            std::ofstream(JoinPath(folder, cd::CdaPathFor(disc.driveIndex, track).substr(3)));  // "Track05.cda"
        folders.push_back(folder);
    }
    return folders;
}

}  // namespace kvt
