#pragma once
// The desktop program's command line: `kvt [--xdg-work-folder] [--cd-image D=disc.cue] [FILE]`.
// Started from a shell, the current folder is the work folder (setup.ini and the scratch
// files live there). The menu entry passes --xdg-work-folder, which makes a per-user
// folder the work folder instead of wherever the launcher happens to stand.
// --cd-image puts a BIN/CUE image in a drive, as kvt-convert's option does.

#include <optional>
#include <string>
#include <vector>

namespace kvt {

inline constexpr const char* kXdgWorkFolderOption = "--xdg-work-folder";
inline constexpr const char* kCdImageOption = "--cd-image";

struct StartOptions {
    bool xdgWorkFolder = false;
    std::vector<std::string> cdImages;  // "D=disc.cue", as given
    std::vector<std::string> files;     // as given; opened at start (more than one: refused)
};

StartOptions ParseStartOptions(const std::vector<std::string>& arguments);

// $XDG_DATA_HOME/kvt when that is an absolute path, else $HOME/.local/share/kvt; nothing
// when neither can be formed.
std::optional<std::string> XdgWorkFolder(const char* xdgDataHome, const char* home);

// Creates `folder` (with its parents) when missing and makes it the current folder; an
// explanation when that fails.
std::optional<std::string> EnterFolder(const std::string& folder);

}  // namespace kvt
