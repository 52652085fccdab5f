#pragma once
// A BIN/CUE image put in a drive of the program, as "--cd-image D=disc.cue" asks: a
// simulated drive holding the image takes the letter's place, so its tracks can be
// opened as "D:\Track01.cda"….

#include <optional>
#include <string>
#include <string_view>

#include "input/cd/cue_sheet.h"

namespace kvt::cd {

struct CdImageChoice {
    int driveIndex = 0;  // 0 = A
    std::string cuePath;
};

// "D=disc.cue": a drive letter (either case), '=' and the cue sheet; nothing otherwise.
std::optional<CdImageChoice> ParseCdImageChoice(std::string_view value);

// Loads the image for the program's CD layer; call before its first use. The fault when
// the image cannot be read, else nothing.
std::optional<ImageFault> InsertCdImage(const CdImageChoice& choice);

}  // namespace kvt::cd
