#pragma once
// "D:\Track05.cda" → drive index 3 (0 = A), track index 4 (0-based).

#include <optional>
#include <string>
#include <string_view>

namespace kvt::cd {

struct CdaTrack {
    int driveIndex = 0;
    int trackIndex = 0;
};

// The track of a path of the form "X:\TrackNN.cda": an upper-case drive letter, any
// separator, "Track" and "cda" as written, two characters of track number read as atoi
// reads them; nothing for any other path.
std::optional<CdaTrack> ParseCdaPath(std::string_view path);

// The name under which a track is offered: "D:\Track05.cda".
std::string CdaPathFor(int driveIndex, int trackIndex);

// Said when a ".cda" path does not name a track.
inline constexpr std::string_view kBadCdaPathText =
    "CDのトラックの指定が正しくありません。\n「D:\\Track01.cda」の形で指定してください。";

}  // namespace kvt::cd
