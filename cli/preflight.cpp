#include "cli/preflight.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <map>

#include "Module/General/General/GeneralFile.h"
#include "convert/conversion_job.h"
#include "convert/input_kinds.h"
#include "convert/input_loader.h"
#include "engine/mld_encoder.h"
#include "engine/mld_preset_table.h"
#include "engine/mmf_encoder.h"
#include "iso/encoder_3gp.h"
#include "platform/files.h"
#include "platform/paths.h"

namespace kvt::cli {
namespace {

// strerror is not safe with jobs running side by side.
std::string ErrnoText(int error) {
    char buffer[256];
    return strerror_r(error, buffer, sizeof buffer);
}

// ".wav, .wma, ... and .aifc": every extension the loader reads.
std::string ReadExtensionList() {
    std::string list;
    const auto kinds = InputKinds();
    for (size_t i = 0; i < kinds.size(); ++i) {
        if (i > 0) list += i + 1 == kinds.size() ? " and " : ", ";
        list += ".";
        list += kinds[i].extension;
    }
    return list;
}

}  // namespace

std::optional<std::string> InputProblem(const std::string& path) {
    const PathStatus status = StatusOfPath(path);
    // The console puts the input's name before the line; the line does not repeat it.
    if (status.kind == PathKind::Missing) return "cannot open: " + ErrnoText(status.error);
    if (status.kind == PathKind::Folder) return "a folder, not a file";
    if (ReaderForPath(path) == InputReader::Unknown)
        return std::string(kCannotConvertText) + " (kvt-convert reads " + ReadExtensionList() + " files)";
    if (int error = AccessError(path, kMayRead)) return "cannot read: " + ErrnoText(error);
    return std::nullopt;
}

std::optional<std::string> OutputFolderProblem(const std::string& folder) {
    if (folder.empty()) return "no saving directory";
    const PathStatus status = StatusOfPath(folder);
    if (status.kind == PathKind::Missing)
        return "cannot use the saving directory " + folder + ": " + ErrnoText(status.error);
    if (status.kind != PathKind::Folder) return "the saving directory " + folder + " is not a folder";
    if (int error = AccessError(folder, kMayWrite | kMayRun))
        return "cannot write to the saving directory " + folder + ": " + ErrnoText(error);
    return std::nullopt;
}

std::optional<std::string> ProgramProblem(const std::string& option, const std::string& program) {
    const PathStatus status = StatusOfPath(program);
    if (status.kind == PathKind::Missing) return option + ": cannot run " + program + ": " + ErrnoText(status.error);
    if (status.kind != PathKind::RegularFile) return option + ": " + program + " is not a program";
    if (int error = AccessError(program, kMayRun)) return option + ": cannot run " + program + ": " + ErrnoText(error);
    return std::nullopt;
}

std::optional<std::string> SettingsFileProblem(const std::string& path) {
    const PathStatus status = StatusOfPath(path);
    if (status.kind == PathKind::Missing) return "--settings: cannot read " + path + ": " + ErrnoText(status.error);
    if (status.kind != PathKind::RegularFile) return "--settings: " + path + " is not a file";
    if (int error = AccessError(path, kMayRead)) return "--settings: cannot read " + path + ": " + ErrnoText(error);
    return std::nullopt;
}

std::optional<std::string> SaveTargetProblem(const std::string& path) {
    if (IsFolder(path)) return "--save-settings: " + path + " is a folder";
    std::string folder = FolderOfPath(path);
    const PathStatus status = StatusOfPath(folder);
    if (status.kind == PathKind::Missing)
        return "--save-settings: cannot use " + folder + ": " + ErrnoText(status.error);
    if (status.kind != PathKind::Folder) return "--save-settings: " + folder + " is not a folder";
    if (int error = AccessError(folder, kMayWrite | kMayRun))
        return "--save-settings: cannot write to " + folder + ": " + ErrnoText(error);
    return std::nullopt;
}

std::vector<std::string> OutputPathsOf(const std::string& input, const Settings& settings) {
    const ButtonGrid& grid = settings.grid;
    const JobChoices choices = ReadJobChoices(grid);
    const std::string base = JoinPath(settings.savingDirectory, GneGetFileName(input));
    std::vector<std::string> paths;
    for (const MldHandset& handset : MldHandsets()) {
        if (!grid.IsOn(kMldPage, handset.cell)) continue;
        int preset = MldPresetFor(handset, choices.mldChannels, choices.mldRate);
        paths.push_back(MldOutputPath(base, MldPresetTable.at(static_cast<size_t>(preset)).name));
    }
    if (choices.mmf) paths.push_back(MmfOutputPath(base).value_or(base));
    if (choices.make3gp) paths.push_back(Output3gpPath(base, 1).value_or(base));
    if (choices.make3g2) paths.push_back(Output3gpPath(base, 2).value_or(base));
    return paths;
}

std::vector<std::string> OutputClashes(const std::vector<std::string>& inputs, const Settings& settings) {
    std::map<std::string, size_t> writer;  // output path -> the first input that writes it
    std::vector<std::pair<size_t, size_t>> pairs;
    std::vector<std::string> lines;
    for (size_t index = 0; index < inputs.size(); ++index) {
        for (const std::string& path : OutputPathsOf(inputs[index], settings)) {
            auto [first, inserted] = writer.emplace(path, index);
            if (inserted) continue;
            std::pair<size_t, size_t> pair{first->second, index};
            if (std::find(pairs.begin(), pairs.end(), pair) != pairs.end()) continue;
            pairs.push_back(pair);
            lines.push_back(inputs[pair.first] + " and " + inputs[pair.second] + " would both write " + path);
        }
    }
    return lines;
}

}  // namespace kvt::cli
