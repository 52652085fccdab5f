#include "cli/cli_options.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <span>
#include <sstream>
#include <unistd.h>

#include "convert/button_grid.h"

namespace kvt::cli {
namespace {

constexpr int kMldRates[] = {4000, 8000, 16000, 32000};
constexpr int kMmfRates[] = {4000, 8000, 16000};
constexpr int kAacRates[] = {8000, 16000, 24000, 32000, 44100};
constexpr int kMldLimits[] = {10, 20, 100};

std::string Lower(std::string_view text) {
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return lower;
}

std::string JoinInts(std::span<const int> values) {
    std::string joined;
    for (int value : values) joined += (joined.empty() ? "" : ", ") + std::to_string(value);
    return joined;
}

std::optional<int> ParseInt(std::string_view text) {
    int value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

std::optional<double> ParseSeconds(const std::string& text) {
    if (text.empty()) return std::nullopt;
    char* end = nullptr;
    double value = std::strtod(text.c_str(), &end);
    if (end != text.c_str() + text.size() || !std::isfinite(value) || value < 0) return std::nullopt;
    return value;
}

std::optional<bool> ParseChannels(std::string_view text) {
    std::string lower = Lower(text);
    if (lower == "mono") return false;
    if (lower == "stereo") return true;
    return std::nullopt;
}

std::optional<int> FindHandsetCell(std::string_view item) {
    std::string wanted = Lower(item);
    for (const MldHandset& handset : MldHandsets())
        if (wanted == Lower(handset.label) || wanted == Lower(handset.presetName)) return handset.cell;
    return std::nullopt;
}

// Options that take a value.
constexpr std::string_view kValueOptions[] = {
    "--mld", "--mld-rate", "--mld-channels", "--mld-limit", "--mmf-rate", "--mmf-channels", "--3gp-rate",
    "--3gp-channels", "--external", "--mp3-decoder", "--start", "--end", "--output", "-o", "--settings", "-j",
};

bool TakesValue(std::string_view option) {
    return std::find(std::begin(kValueOptions), std::end(kValueOptions), option) != std::end(kValueOptions);
}

class Parser {
public:
    std::variant<CliOptions, UsageError> Parse(const std::vector<std::string>& arguments) {
        for (size_t i = 0; i < arguments.size(); ++i) {
            std::string argument = arguments[i];
            if (onlyInputs_ || argument == "-" || argument.empty() || argument[0] != '-') {
                options_.inputs.push_back(argument);
                continue;
            }
            if (argument == "--") {
                onlyInputs_ = true;
                continue;
            }
            std::string option = argument;
            std::optional<std::string> value;
            if (auto equals = argument.find('='); argument.rfind("--", 0) == 0 && equals != std::string::npos) {
                option = argument.substr(0, equals);
                value = argument.substr(equals + 1);
            } else if ((argument.rfind("-j", 0) == 0 || argument.rfind("-o", 0) == 0) && argument.size() > 2 &&
                       argument[1] != '-') {
                option = argument.substr(0, 2);
                value = argument.substr(2);
            }
            if (TakesValue(option) && !value) {
                if (i + 1 >= arguments.size()) return UsageError{"option " + option + " needs a value"};
                value = arguments[++i];
            } else if (!TakesValue(option) && value) {
                return UsageError{"option " + option + " takes no value"};
            }
            if (auto error = Apply(option, value.value_or(""))) return *error;
        }
        if (options_.startSeconds && options_.endSeconds && *options_.startSeconds > *options_.endSeconds)
            return UsageError{"--start lies after --end"};
        if (options_.inputs.empty() && !options_.help && !options_.version && !options_.listPresets)
            return UsageError{"no input file given"};
        return options_;
    }

private:
    std::optional<UsageError> Apply(const std::string& option, const std::string& value) {
        CliOptions& o = options_;
        if (option == "--mld") return ApplyHandsets(value);
        if (option == "--mmf") { o.outputsGiven = o.mmf = true; return {}; }
        if (option == "--3gp") { o.outputsGiven = o.make3gp = true; return {}; }
        if (option == "--3g2") { o.outputsGiven = o.make3g2 = true; return {}; }
        if (option == "--all") {
            o.outputsGiven = o.mmf = o.make3gp = o.make3g2 = true;
            return ApplyHandsets("all");
        }
        if (option == "--mld-rate") return Choose(option, value, kMldRates, o.mldRate);
        if (option == "--mmf-rate") return Choose(option, value, kMmfRates, o.mmfRate);
        if (option == "--3gp-rate") return Choose(option, value, kAacRates, o.aacRate);
        if (option == "--mld-limit") return Choose(option, value, kMldLimits, o.mldLimitKb);
        if (option == "--mld-channels") return Channels(option, value, o.mldStereo);
        if (option == "--mmf-channels") return Channels(option, value, o.mmfStereo);
        if (option == "--3gp-channels") return Channels(option, value, o.aacStereo);
        if (option == "--streaming") { o.streaming = true; return {}; }
        if (option == "--external") return Program(option, value, o.externalEncoder);
        if (option == "--mp3-decoder") return Program(option, value, o.mp3Decoder);
        if (option == "--start") return Seconds(option, value, o.startSeconds);
        if (option == "--end") return Seconds(option, value, o.endSeconds);
        if (option == "-o" || option == "--output") {
            if (value.empty()) return UsageError{option + " needs a folder"};
            o.outputDirectory = value;
            return {};
        }
        if (option == "--settings") {
            if (value.empty()) return UsageError{"--settings needs a file"};
            o.settingsFile = value;
            return {};
        }
        if (option == "--save-settings") { o.saveSettings = true; return {}; }
        if (option == "-j") {
            auto jobs = ParseInt(value);
            if (!jobs || *jobs < 1 || *jobs > 64) return UsageError{"-j takes a number from 1 to 64"};
            o.jobs = *jobs;
            return {};
        }
        if (option == "-q" || option == "--quiet") { o.quiet = true; return {}; }
        if (option == "--list-presets") { o.listPresets = true; return {}; }
        if (option == "-h" || option == "--help") { o.help = true; return {}; }
        if (option == "--version") { o.version = true; return {}; }
        return UsageError{"unknown option " + option};
    }

    std::optional<UsageError> ApplyHandsets(const std::string& list) {
        options_.outputsGiven = true;
        std::stringstream items(list);
        std::string item;
        bool any = false;
        while (std::getline(items, item, ',')) {
            if (item.empty()) continue;
            any = true;
            if (Lower(item) == "all") {
                for (const MldHandset& handset : MldHandsets()) AddCell(handset.cell);
                continue;
            }
            auto cell = FindHandsetCell(item);
            if (!cell) return UsageError{"unknown handset '" + item + "' (see --list-presets)"};
            AddCell(*cell);
        }
        if (!any) return UsageError{"--mld needs at least one handset"};
        return {};
    }

    void AddCell(int cell) {
        auto& cells = options_.mldCells;
        if (std::find(cells.begin(), cells.end(), cell) == cells.end()) cells.push_back(cell);
    }

    static std::optional<UsageError> Choose(const std::string& option, const std::string& value,
                                            std::span<const int> allowed, std::optional<int>& target) {
        auto number = ParseInt(value);
        if (!number || std::find(allowed.begin(), allowed.end(), *number) == allowed.end())
            return UsageError{option + " takes one of " + JoinInts(allowed) + ", not '" + value + "'"};
        target = *number;
        return {};
    }

    static std::optional<UsageError> Channels(const std::string& option, const std::string& value,
                                              std::optional<bool>& target) {
        auto stereo = ParseChannels(value);
        if (!stereo) return UsageError{option + " takes mono or stereo, not '" + value + "'"};
        target = *stereo;
        return {};
    }

    static std::optional<UsageError> Program(const std::string& option, const std::string& value,
                                             std::optional<std::string>& target) {
        if (value.empty()) return UsageError{option + " needs a program"};
        target = value;
        return {};
    }

    static std::optional<UsageError> Seconds(const std::string& option, const std::string& value,
                                             std::optional<double>& target) {
        auto seconds = ParseSeconds(value);
        if (!seconds) return UsageError{option + " takes seconds (a number of 0 or more), not '" + value + "'"};
        target = *seconds;
        return {};
    }

    CliOptions options_;
    bool onlyInputs_ = false;
};

// Turns one rate cell of the page on and the page's other rate cells off.
void SetRate(ButtonGrid& grid, int page, int rate) {
    for (const RateCell& cell : RateCells(page)) grid.At(page, cell.cell) = cell.rate == rate ? kCellOn : kCellOff;
}

void SetChannels(ButtonGrid& grid, int page, bool stereo) {
    grid.At(page, kMonoCell) = stereo ? kCellOff : kCellOn;
    grid.At(page, kStereoCell) = stereo ? kCellOn : kCellOff;
}

}  // namespace

std::variant<CliOptions, UsageError> ParseCommandLine(const std::vector<std::string>& arguments) {
    return Parser().Parse(arguments);
}

void ApplyOptions(const CliOptions& options, Settings& settings) {
    ButtonGrid& grid = settings.grid;
    if (options.outputsGiven) {
        for (const MldHandset& handset : MldHandsets())
            grid.At(kMldPage, handset.cell) =
                std::count(options.mldCells.begin(), options.mldCells.end(), handset.cell) ? kCellOn : kCellOff;
        grid.At(kMmfPage, kMmfOutputCell) = options.mmf ? kCellOn : kCellOff;
        grid.At(k3gpPage, k3gpOutputCell) = options.make3gp ? kCellOn : kCellOff;
        grid.At(k3gpPage, k3g2OutputCell) = options.make3g2 ? kCellOn : kCellOff;
    }
    if (options.mldRate) SetRate(grid, kMldPage, *options.mldRate);
    if (options.mmfRate) SetRate(grid, kMmfPage, *options.mmfRate);
    if (options.aacRate) SetRate(grid, k3gpPage, *options.aacRate);
    if (options.mldStereo) SetChannels(grid, kMldPage, *options.mldStereo);
    if (options.mmfStereo) SetChannels(grid, kMmfPage, *options.mmfStereo);
    if (options.aacStereo) SetChannels(grid, k3gpPage, *options.aacStereo);
    if (options.mldLimitKb) {
        grid.At(kMldPage, kMld20KbCell) = *options.mldLimitKb == 20 ? kCellOn : kCellOff;
        grid.At(kMldPage, kMld100KbCell) = *options.mldLimitKb == 100 ? kCellOn : kCellOff;
    }
    if (options.streaming) grid.At(k3gpPage, k3gpStreamingCell) = kCellOn;
    if (options.externalEncoder) {
        grid.At(k3gpPage, k3gpExternalCell) = kCellOn;
        settings.externalEncoderPath = ResolveProgram(*options.externalEncoder);
    }
    if (options.mp3Decoder) settings.mp3DecoderPath = ResolveProgram(*options.mp3Decoder);
    if (options.outputDirectory) settings.savingDirectory = *options.outputDirectory;
}

std::string ResolveProgram(const std::string& name) {
    if (name.find('/') != std::string::npos) return name;
    const char* path = std::getenv("PATH");
    std::stringstream folders(path ? path : "");
    std::string folder;
    while (std::getline(folders, folder, ':')) {
        std::string candidate = (folder.empty() ? "." : folder) + "/" + name;
        if (access(candidate.c_str(), X_OK) == 0) return candidate;
    }
    return name;
}

std::string UsageText() {
    return R"(Usage: kvt-convert [OPTIONS] INPUT...
Convert WAV, WMA or MP3 files into ringtones: MLD files for handsets, MMF, 3GP and 3G2.

Outputs (given on the command line, they replace the choice of the settings file):
  --mld LIST            handsets, comma-separated, by button label or preset name
                        (N503i or n1, N900i or n2, D503i or d1, ... LG or lg), or "all"
  --mmf  --3gp  --3g2   one MMF / .3gp / .3g2 file each
  --all                 every handset, MMF, 3GP and 3G2
Settings (each sets a cell of the grid read from the settings file):
  --mld-rate HZ         4000, 8000, 16000 or 32000
  --mld-channels mono|stereo
  --mld-limit 10|20|100 size ceiling in KB
  --mmf-rate HZ         4000, 8000 or 16000
  --mmf-channels mono|stereo
  --3gp-rate HZ         8000, 16000, 24000, 32000 or 44100
  --3gp-channels mono|stereo
  --streaming           re-mux the .3gp file for streaming
  --external PROGRAM    encode the .3gp file with an external AAC encoder
  --mp3-decoder PROGRAM external MP3-to-WAV decoder (run as PROGRAM --decode IN OUT)
Selection:
  --start SEC  --end SEC  (default: the whole input; equal values mean the whole input)
Files:
  -o, --output DIR      saving directory (default: setup.ini's, else the current folder)
  --settings FILE       settings file (default: ./setup.ini)
  --save-settings       write the resulting grid and paths back to the settings file
  -j N                  convert N inputs in parallel
  -q, --quiet           no progress bar and no closing message
  --list-presets        list the handsets and their presets
  --help  --version

Messages go to stderr, the path of each written file to stdout. Exit status: 0 when every
chosen output was written, 1 when one failed, 2 for a usage error or when no output is chosen.
)";
}

}  // namespace kvt::cli
