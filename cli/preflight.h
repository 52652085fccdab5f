#pragma once
// Checks kvt-convert makes before any job starts, each giving the reason as a message
// (without the program's prefix) or nothing when all is well.

#include <optional>
#include <string>
#include <vector>

#include "convert/settings_store.h"

namespace kvt::cli {

// The input cannot be read, is a folder, or has an extension the loader does not read; the
// reason does not name the input (the console's tag does).
std::optional<std::string> InputProblem(const std::string& path);

std::optional<std::string> OutputFolderProblem(const std::string& folder);

// A program given on the command line (already looked up in PATH) that cannot be run.
std::optional<std::string> ProgramProblem(const std::string& option, const std::string& program);

// --settings FILE that is missing or not a file. (Only the implicit ./setup.ini may be absent.)
std::optional<std::string> SettingsFileProblem(const std::string& path);
// --save-settings to a folder, or into a folder that is missing or not writable.
std::optional<std::string> SaveTargetProblem(const std::string& path);

// Every output path the job would write for `input` with these settings.
std::vector<std::string> OutputPathsOf(const std::string& input, const Settings& settings);

// One line per pair of inputs that would write the same output file.
std::vector<std::string> OutputClashes(const std::vector<std::string>& inputs, const Settings& settings);

}  // namespace kvt::cli
