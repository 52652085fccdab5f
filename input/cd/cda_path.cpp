#include "input/cd/cda_path.h"

#include <cstdlib>
#include <string>

namespace kvt::cd {

std::optional<CdaTrack> ParseCdaPath(std::string_view path) {
    constexpr size_t kLength = 14;  // "D:\Track05.cda"
    if (path.size() != kLength || path[0] < 'A' || path[0] > 'Z') return std::nullopt;
    if (path.substr(3, 5) != "Track" || path.substr(11) != "cda") return std::nullopt;
    const std::string number(path.substr(8, 2));
    return CdaTrack{path[0] - 'A', std::atoi(number.c_str()) - 1};
}

std::string CdaPathFor(int driveIndex, int trackIndex) {
    std::string path = "D:\\Track00.cda";
    path[0] = static_cast<char>('A' + driveIndex);
    path[8] = static_cast<char>('0' + (trackIndex + 1) / 10 % 10);
    path[9] = static_cast<char>('0' + (trackIndex + 1) % 10);
    return path;
}

}  // namespace kvt::cd
