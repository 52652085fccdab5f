#pragma once
// The command line of kvt-convert and how it changes the settings read from setup.ini.

#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "convert/settings_store.h"

namespace kvt::cli {

struct CliOptions {
    std::vector<std::string> inputs;

    // Outputs: when any of these is given they replace the choice of the settings file.
    bool outputsGiven = false;
    std::vector<int> mldCells;                 // handset cells of the MLD page
    std::vector<int> namedMldCells;            // of those, the ones named one by one
    std::vector<std::string> handsetMappings;  // "D505i: button D503i, preset d1" for each name
    bool allHandsets = false;                  // "all": handsets the MLD rate refuses are left out
    bool mmf = false;
    bool make3gp = false;
    bool make3g2 = false;

    std::optional<int> mldRate;
    std::optional<bool> mldStereo;
    std::optional<int> mldLimitKb;  // 10, 20 or 100
    std::optional<int> mmfRate;
    std::optional<bool> mmfStereo;
    std::optional<int> aacRate;
    std::optional<bool> aacStereo;
    bool streaming = false;
    std::optional<std::string> externalEncoder;
    std::optional<std::string> mp3Decoder;
    std::optional<ResamplerKind> resampler;

    std::optional<double> startSeconds;
    std::optional<double> endSeconds;
    double fadeInSeconds = 0;
    double fadeOutSeconds = 0;
    bool fit = false;  // MLD files above the ceiling are shortened to fit

    std::optional<std::string> outputDirectory;
    std::vector<std::string> cdImages;  // "D=disc.cue": a BIN/CUE image at a drive letter
    std::string settingsFile = "setup.ini";
    bool settingsFileNamed = false;  // --settings given: the file must exist
    bool saveSettings = false;
    int jobs = 1;
    bool quiet = false;
    bool verbose = false;
    bool noClobber = false;  // -n: outputs that exist are left as they are (-y, the default, overwrites)

    bool check = false;   // the inputs are ringtone files to check
    bool json = false;    // --check reports as one JSON document
    bool verify = false;  // check each file just written
    bool listPresets = false;
    bool help = false;
    bool version = false;
};

struct UsageError {
    std::string message;
};

std::variant<CliOptions, UsageError> ParseCommandLine(const std::vector<std::string>& arguments);

// Sets the grid cells, the saving directory and the program paths the options name.
void ApplyOptions(const CliOptions& options, Settings& settings);

// A program named without a folder is looked up in PATH; other names are kept as given.
std::string ResolveProgram(const std::string& name);

// The help text, each setting's default taken from `settings`.
std::string UsageText(const Settings& settings);

}  // namespace kvt::cli
