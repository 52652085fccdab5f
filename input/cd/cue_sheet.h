#pragma once
// BIN/CUE disc images of audio CDs: the cue sheet names the raw image files and where each
// track starts; the BIN files hold 2352-byte frames.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "input/cd/disc_image.h"

namespace kvt::cd {

struct CueTrack {
    int number = 0;
    size_t file = 0;          // index into CueSheet::files
    uint64_t startFrame = 0;  // INDEX 01, frames from the start of its file
};

struct CueSheet {
    std::vector<std::string> files;  // as written in the sheet
    std::vector<CueTrack> tracks;
};

// Why a disc image cannot be used, as the user is told ("disc.cue: 3 行目: ...").
struct ImageFault {
    std::string text;
};

// Reads the sheet's text; a fault says which line and why.
std::variant<CueSheet, ImageFault> ParseCueSheet(std::string_view text);

// Opens the sheet and its BIN files (named relative to the sheet's folder) as a disc.
std::variant<std::shared_ptr<DiscImage>, ImageFault> LoadCueImage(const std::string& cuePath);

}  // namespace kvt::cd
