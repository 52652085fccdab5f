#pragma once
// The user's choices and where they live: setup.ini, section "kvt", in the work folder.
// Read once at start-up, written back whole at program exit, when the settings dialog
// closes, and when a conversion had to open that dialog.

#include <optional>
#include <string>
#include <string_view>

#include "convert/button_grid.h"
#include "engine/pcm_operations.h"

namespace kvt {

struct Settings {
    ButtonGrid grid = InitialButtonGrid();
    std::string savingDirectory;                           // where the outputs go
    std::string mp3DecoderPath;                            // external MP3-to-WAV program; empty when none
    std::string externalEncoderPath;                       // external AAC encoder; empty when none
    std::string workFolder;                                // scratch files (and, in the GUI, setup.ini)
    ResamplerKind resampler = ResamplerKind::BandLimited;  // "resampler"
    // "fit": the remembered answer to the question whether MLD files above the size
    // ceiling are shortened to fit; nothing (no key) when the window asks each time.
    std::optional<bool> shortenToFit;
};

// The values of "fit"; anything else, or no key, leaves the question to be asked.
inline constexpr const char* kShortenToFitName = "shorten";
inline constexpr const char* kKeepWholeName = "whole";

// The values of "resampler": "classic" chooses the linear one; anything else, or no key,
// the band-limited one.
inline constexpr const char* kClassicResamplerName = "classic";
inline constexpr const char* kBandLimitedResamplerName = "band-limited";

// The kind a "resampler" value names, nothing for a value that names none.
std::optional<ResamplerKind> ResamplerFromName(std::string_view name);
const char* ResamplerName(ResamplerKind kind);

inline constexpr const char* kSettingsSection = "kvt";
inline constexpr const char* kSettingsFileName = "setup.ini";

// workFolder + "/" + "setup.ini".
std::string SettingsFilePath(const std::string& workFolder);

// 1 when the file existed and was read, 0 when there is none (nothing changed). A saved
// directory that is gone is replaced by the documents folder and the folder browser opens.
int LoadSettings(Settings& settings, const std::string& iniPath);

// Writes the 84 cells, "directory", "mp3", "external", "resampler" and, when an answer is
// remembered, "fit" in that order, with one replace
// of the file. A file that cannot be written is left as it was; a value the file cannot
// hold (a line break) is skipped alone; nothing is shown.
void SaveSettings(const Settings& settings, const std::string& iniPath);

// Lets the user pick the saving directory through the folder dialog; a cancelled dialog
// keeps the current one.
void BrowseSavingDirectory(Settings& settings);

// What the window says on a first run before the folder browser opens.
inline constexpr std::string_view kSavingFolderPurposeText =
    "変換した着信音の保存先フォルダを選んでください。あとで設定から変更できます。";

// The start-up order: workFolder given, program paths empty, saving directory the documents
// folder, then the settings file; on a first run (no file) `firstRunText` when there is one,
// then the folder browser.
Settings StartUpSettings(const std::string& workFolder, const std::string& iniPath, std::string_view firstRunText = {});

}  // namespace kvt
