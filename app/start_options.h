#pragma once
// The desktop program's command line: `kvt [--xdg-work-folder] [--cd-image D=disc.cue] [FILE]`,
// `kvt --help`, `kvt --version`.
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
inline constexpr const char* kStartUsageText =
    "Usage: kvt [--xdg-work-folder] [--cd-image D=disc.cue] [FILE]\n"
    "The window that turns an audio file into ringtones for Japanese handsets.\n"
    "\n"
    "  --xdg-work-folder   keep setup.ini and the scratch files in $XDG_DATA_HOME/kvt\n"
    "                      (else ~/.local/share/kvt) instead of the current folder\n"
    "  --cd-image D=FILE   put the BIN/CUE image FILE (a cue sheet) in drive D\n"
    "  --help              print this and exit\n"
    "  --version           print the version and exit\n"
    "  FILE                the input to open at start\n"
    "\n"
    "The window needs a graphical session; kvt-convert converts without one.\n";

struct StartOptions {
    bool help = false;
    bool version = false;
    std::string unknownOption;  // the first option that is neither ours nor Qt's; a usage error
    bool xdgWorkFolder = false;
    std::vector<std::string> cdImages;  // "D=disc.cue", as given
    std::vector<std::string> files;     // as given; opened at start (more than one: refused)
    bool platformOption = false;        // -platform given
};

// Qt's own options (-platform xcb, -style fusion, ...) are left to Qt: they are neither
// options of ours nor files.
StartOptions ParseStartOptions(const std::vector<std::string>& arguments);

// True when Qt has a platform to show windows on: one chosen through QT_QPA_PLATFORM or
// -platform, an X display or a Wayland one. Without it Qt would abort.
bool HasGraphicalSession(const StartOptions& options, const char* qpaPlatform, const char* display,
                         const char* waylandDisplay);

// $XDG_DATA_HOME/kvt when that is an absolute path, else $HOME/.local/share/kvt; nothing
// when neither can be formed.
std::optional<std::string> XdgWorkFolder(const char* xdgDataHome, const char* home);

// Creates `folder` (with its parents) when missing and makes it the current folder; an
// explanation when that fails.
std::optional<std::string> EnterFolder(const std::string& folder);

}  // namespace kvt
