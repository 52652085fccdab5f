#pragma once
// The names --mld takes for a handset button: its label ("D503i"), its preset code ("d1"; the
// stereo codes are not names: --mld-channels picks them) and every model --list-presets shows under it ("D505i(iS)",
// also reached as "D505i" and "D505iS"), in any letter case.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kvt::cli {

struct HandsetName {
    std::string name;
    int cell;  // of the MLD page
};

// Every name, each once; a name two buttons would share is left out.
const std::vector<HandsetName>& HandsetNames();

std::optional<int> FindHandsetCell(std::string_view name);

// Up to `count` known names nearest to `name` (fewest letters to change, any case).
std::vector<std::string> ClosestHandsetNames(std::string_view name, size_t count);

// "D505i(iS)": "D505i(iS)", "D505i" and "D505iS"; the overlap of the name's end and the
// bracket's start ("i") is written once. Other models are their own only name.
std::vector<std::string> ModelSpellings(const std::string& model);

}  // namespace kvt::cli
