#pragma once
// --list-presets: each handset button with its presets and rates, then the handsets its
// preset serves, one family a line. The stored descriptions keep their stray separators
// (they are what the settings dialog shows); only this listing tidies them.

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace kvt::cli {

// The handset models of a stored description in order, without empty items, repeats (also
// in another letter case) and the word "Stereo".
std::vector<std::string> HandsetModels(std::string_view description);

// The handset models of a stored description grouped by family (the leading letters of
// the model), in order of first appearance, each line "FAMILY: MODEL MODEL ...". Empty
// items and repeats (also in another letter case) are dropped, as is the word "Stereo".
std::vector<std::string> HandsetFamilies(std::string_view description);

// The rates a preset row allows, "8000, 16000".
std::string AllowedRates(int preset);

void PrintPresets(std::FILE* out);

}  // namespace kvt::cli
