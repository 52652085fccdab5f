#include "convert/settings_store.h"

#include <cstdio>
#include <vector>

#include "platform/dialogs.h"
#include "platform/files.h"
#include "platform/message.h"
#include "platform/paths.h"
#include "platform/profile.h"

namespace kvt {
namespace {

constexpr const char* kBrowseTitle = "フォルダを選択してください";

std::string CellKey(int page, int cell) {
    char key[16];
    std::snprintf(key, sizeof key, "button%d%02d", page, cell);
    return key;
}

// The saved directory is kept when it is a folder that exists, or the root (the
// counterpart of a drive root, which was kept without looking).
bool KeepsSavingDirectory(const std::string& directory) {
    if (directory == "/") return true;
    return !directory.empty() && IsFolder(directory);
}

}  // namespace

std::optional<ResamplerKind> ResamplerFromName(std::string_view name) {
    if (name == kClassicResamplerName) return ResamplerKind::Classic;
    if (name == kBandLimitedResamplerName) return ResamplerKind::BandLimited;
    return std::nullopt;
}

const char* ResamplerName(ResamplerKind kind) {
    return kind == ResamplerKind::Classic ? kClassicResamplerName : kBandLimitedResamplerName;
}

std::string SettingsFilePath(const std::string& workFolder) {
    return JoinPath(workFolder, kSettingsFileName);
}

int LoadSettings(Settings& settings, const std::string& iniPath) {
    if (!PathExists(iniPath)) return 0;
    for (int page = 0; page < kGridPages; ++page)
        for (int cell = 0; cell < kGridCells; ++cell)
            settings.grid.At(page, cell) = ReadProfileInt(kSettingsSection, CellKey(page, cell), 0, iniPath);
    settings.savingDirectory = ReadProfileString(kSettingsSection, "directory", "", iniPath);
    settings.mp3DecoderPath = ReadProfileString(kSettingsSection, "mp3", "", iniPath);
    settings.externalEncoderPath = ReadProfileString(kSettingsSection, "external", "", iniPath);
    settings.resampler = ResamplerFromName(ReadProfileString(kSettingsSection, "resampler", "", iniPath))
                             .value_or(ResamplerKind::BandLimited);
    const std::string fit = ReadProfileString(kSettingsSection, "fit", "", iniPath);
    settings.shortenToFit.reset();
    if (fit == kShortenToFitName) settings.shortenToFit = true;
    if (fit == kKeepWholeName) settings.shortenToFit = false;
    if (KeepsSavingDirectory(settings.savingDirectory)) return 1;
    settings.savingDirectory = DocumentsFolder();
    BrowseSavingDirectory(settings);
    return 1;
}

void SaveSettings(const Settings& settings, const std::string& iniPath) {
    // One replace of the file for all keys: a failure leaves the old file whole, and an
    // entry the writer refuses (a folder name with a line break) is left out on its own.
    std::vector<ProfileEntry> entries;
    entries.reserve(kGridPages * kGridCells + 5);
    for (int page = 0; page < kGridPages; ++page)
        for (int cell = 0; cell < kGridCells; ++cell)
            entries.emplace_back(CellKey(page, cell), std::to_string(settings.grid.At(page, cell)));
    entries.emplace_back("directory", settings.savingDirectory);
    entries.emplace_back("mp3", settings.mp3DecoderPath);
    entries.emplace_back("external", settings.externalEncoderPath);
    entries.emplace_back("resampler", ResamplerName(settings.resampler));
    if (settings.shortenToFit) entries.emplace_back("fit", *settings.shortenToFit ? kShortenToFitName : kKeepWholeName);
    WriteProfileStrings(kSettingsSection, entries, iniPath);
}

void BrowseSavingDirectory(Settings& settings) {
    auto chosen = CurrentDialogs().BrowseFolder(kBrowseTitle, settings.savingDirectory);
    if (chosen && !chosen->empty()) settings.savingDirectory = *chosen;
}

Settings StartUpSettings(const std::string& workFolder, const std::string& iniPath, std::string_view firstRunText) {
    Settings settings;
    settings.workFolder = workFolder;
    settings.savingDirectory = DocumentsFolder();
    if (LoadSettings(settings, iniPath) == 0) {
        if (!firstRunText.empty()) ShowMessage(firstRunText);
        BrowseSavingDirectory(settings);
    }
    return settings;
}

}  // namespace kvt
