#pragma once
// BIN/CUE disc images of audio CDs: the cue sheet names the raw image files and where each
// track starts; the BIN files hold 2352-byte frames.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
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

// Reads the sheet's text. On a fault, `error` says which line and why.
bool ParseCueSheet(std::string_view text, CueSheet& sheet, std::string& error);

// Opens the sheet and its BIN files (named relative to the sheet's folder) as a disc.
std::shared_ptr<DiscImage> LoadCueImage(const std::string& cuePath, std::string& error);

}  // namespace kvt::cd
