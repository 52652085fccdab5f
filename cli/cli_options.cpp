#include "cli/cli_options.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <sstream>

#include "cli/cd_track_input.h"
#include "cli/handset_names.h"
#include "cli/time_value.h"
#include "convert/button_grid.h"
#include "convert/conversion_job.h"
#include "platform/files.h"

namespace kvt::cli {
namespace {

const std::vector<int> kMldRates = RatesOf(kMldPage);
const std::vector<int> kMmfRates = RatesOf(kMmfPage);
const std::vector<int> kAacRates = RatesOf(k3gpPage);
const std::vector<int> kMldLimits = {10, 20, 100};
const std::vector<std::string> kChannelNames = {"mono", "stereo"};
const std::vector<std::string> kResamplerNames = {kBandLimitedResamplerName, kClassicResamplerName};

std::string Lower(std::string_view text) {
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return lower;
}

// "D505i: button D503i, preset d1 (stereo d1s)".
std::string HandsetMapping(const std::string& name, int cell) {
    for (const MldHandset& handset : MldHandsets()) {
        if (handset.cell != cell) continue;
        std::string line =
            name + ": button " + std::string(handset.label) + ", preset " + std::string(handset.presetName);
        if (handset.stereoPreset) line += " (stereo " + std::string(handset.stereoPresetName) + ")";
        return line;
    }
    return name;
}

std::string JoinNames(const std::vector<std::string>& names) {
    std::string joined;
    for (const std::string& name : names) joined += (joined.empty() ? "" : ", ") + name;
    return joined;
}

// The values as the parser stores them; turned into CliOptions once parsing succeeded.
struct RawOptions {
    std::vector<std::string> handsets;
    bool all = false;
    std::string mldChannels, mmfChannels, aacChannels;
    int mldRate = 0, mmfRate = 0, aacRate = 0, mldLimit = 0;
    std::string start, end, fadeIn, fadeOut;
    bool overwrite = false;
    std::string external, mp3Decoder, output, settings, resampler, play;
};

const CLI::Validator kTime = CLI::Validator(
    [](std::string& value) -> std::string {
        if (!ParseTime(value))
            return "takes a time: seconds (90, 90.5) or [[H:]M:]S[.fff] (1:30, 0:05.25), not '" + value + "'";
        return {};
    },
    "");

const CLI::Validator kCdImage =
    CLI::Validator([](std::string& value) { return CdImageValueProblem(value).value_or(""); }, "");

// What --help shows as a setting's default: the value the settings file in use gives.
struct Defaults {
    std::string mldRate, mldChannels, mldLimit, mmfRate, mmfChannels, aacRate, aacChannels;
    std::string outputs, output, external, mp3Decoder, resampler;
};

std::string RateOf(const ButtonGrid& grid, int page) {
    std::string chosen = "the input's own";
    for (const RateCell& cell : RateCells(page))
        if (grid.IsOn(page, cell.cell)) chosen = std::to_string(cell.rate);
    return chosen;
}

std::string ChannelsOf(const ButtonGrid& grid, int page) {
    return grid.IsOn(page, kStereoCell) ? "stereo" : "mono";
}

Defaults DefaultsOf(const Settings& settings) {
    const ButtonGrid& grid = settings.grid;
    Defaults d;
    d.mldRate = RateOf(grid, kMldPage);
    d.mmfRate = RateOf(grid, kMmfPage);
    d.aacRate = RateOf(grid, k3gpPage);
    d.mldChannels = ChannelsOf(grid, kMldPage);
    d.mmfChannels = ChannelsOf(grid, kMmfPage);
    d.aacChannels = ChannelsOf(grid, k3gpPage);
    d.mldLimit = grid.IsOn(kMldPage, kMld100KbCell) ? "100" : grid.IsOn(kMldPage, kMld20KbCell) ? "20" : "10";
    for (const MldHandset& handset : MldHandsets())
        if (grid.IsOn(kMldPage, handset.cell)) d.outputs += (d.outputs.empty() ? "" : ",") + std::string(handset.label);
    if (grid.IsOn(kMmfPage, kMmfOutputCell)) d.outputs += d.outputs.empty() ? "MMF" : ",MMF";
    if (grid.IsOn(k3gpPage, k3gpOutputCell)) d.outputs += d.outputs.empty() ? "3GP" : ",3GP";
    if (grid.IsOn(k3gpPage, k3g2OutputCell)) d.outputs += d.outputs.empty() ? "3G2" : ",3G2";
    if (d.outputs.empty()) d.outputs = "none";
    d.output = settings.savingDirectory.empty() ? "the current folder" : settings.savingDirectory;
    d.external = settings.externalEncoderPath.empty() ? "none" : settings.externalEncoderPath;
    d.mp3Decoder = settings.mp3DecoderPath.empty() ? "none: decoded in-process" : settings.mp3DecoderPath;
    d.resampler = ResamplerName(settings.resampler);
    return d;
}

// CLI11's layout, but a name that leaves less than two spaces before its description puts
// the description on a line of its own.
class HelpFormatter : public CLI::Formatter {
public:
    std::string make_option(const CLI::Option* option, bool positional) const override {
        std::string line = "  " + make_option_name(option, positional) + make_option_opts(option);
        const std::string description = make_option_desc(option);
        const std::string indent(column_width_, ' ');
        if (description.empty()) return line + "\n";
        line += line.size() + 2 > column_width_ ? "\n" + indent : std::string(column_width_ - line.size(), ' ');
        for (const char c : description) line += c == '\n' ? "\n" + indent : std::string(1, c);
        return line + "\n";
    }
};

// Declares every option of kvt-convert on `app`, storing into `options` and `raw`.
void Declare(CLI::App& app, CliOptions& options, RawOptions& raw, const Defaults& d) {
    app.set_help_flag();
    app.formatter(std::make_shared<HelpFormatter>());
    app.get_formatter()->column_width(34);
    app.option_defaults()->always_capture_default(false);
    const char* outputs = "Outputs (given on the command line, they replace the choice of the settings file)";
    app.add_option("--mld", raw.handsets,
                   "handsets, comma-separated: a model --list-presets shows (D505i), a button label (D503i) or a "
                   "preset name (d1), in any case; or \"all\"")
        ->expected(1)
        ->allow_extra_args(false)
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll)
        ->type_name("LIST")
        ->default_str(d.outputs)
        ->group(outputs);
    app.add_flag("--mmf", options.mmf, "one MMF file")->group(outputs);
    app.add_flag("--3gp", options.make3gp, "one .3gp file")->group(outputs);
    app.add_flag("--3g2", options.make3g2, "one .3g2 file")->group(outputs);
    app.add_flag("--all", raw.all, "every handset the MLD rate allows, MMF, 3GP and 3G2")->group(outputs);

    const char* settings = "Settings (each sets a cell of the grid read from the settings file)";
    auto channels = CLI::IsMember(kChannelNames, CLI::ignore_case);
    app.add_option("--mld-rate", raw.mldRate, "MLD sampling rate in Hz")
        ->check(CLI::IsMember(kMldRates))
        ->type_name("HZ")
        ->default_str(d.mldRate)
        ->group(settings);
    app.add_option("--mld-channels", raw.mldChannels, "MLD channels")
        ->check(channels)
        ->type_name("mono|stereo")
        ->default_str(d.mldChannels)
        ->group(settings);
    app.add_option("--mld-limit", raw.mldLimit, "MLD size ceiling in KB")
        ->check(CLI::IsMember(kMldLimits))
        ->type_name("KB")
        ->default_str(d.mldLimit)
        ->group(settings);
    app.add_option("--mmf-rate", raw.mmfRate, "MMF sampling rate in Hz")
        ->check(CLI::IsMember(kMmfRates))
        ->type_name("HZ")
        ->default_str(d.mmfRate)
        ->group(settings);
    app.add_option("--mmf-channels", raw.mmfChannels, "MMF channels")
        ->check(channels)
        ->type_name("mono|stereo")
        ->default_str(d.mmfChannels)
        ->group(settings);
    app.add_option("--3gp-rate", raw.aacRate, "3GP/3G2 sampling rate in Hz")
        ->check(CLI::IsMember(kAacRates))
        ->type_name("HZ")
        ->default_str(d.aacRate)
        ->group(settings);
    app.add_option("--3gp-channels", raw.aacChannels, "3GP/3G2 channels")
        ->check(channels)
        ->type_name("mono|stereo")
        ->default_str(d.aacChannels)
        ->group(settings);
    app.add_flag("--streaming", options.streaming, "re-mux the .3gp file for streaming")->group(settings);
    app.add_option("--external", raw.external, "encode the .3gp file with an external AAC encoder")
        ->type_name("PROGRAM")
        ->default_str(d.external)
        ->group(settings);
    app.add_option("--mp3-decoder", raw.mp3Decoder, "external MP3-to-WAV decoder, run as PROGRAM --decode IN OUT")
        ->type_name("PROGRAM")
        ->default_str(d.mp3Decoder)
        ->group(settings);
    app.add_option("--resampler", raw.resampler,
                   "rate conversion: band-limited, or classic (linear, as earlier versions resample)")
        ->check(CLI::IsMember(kResamplerNames))
        ->type_name("band-limited|classic")
        ->default_str(d.resampler)
        ->group(settings);

    const char* selection = "Selection (equal values mean the whole input)";
    app.add_option("--start", raw.start, "start of the range: seconds or [[H:]M:]S[.fff]")
        ->check(kTime)
        ->type_name("TIME")
        ->default_str("0")
        ->group(selection);
    app.add_option("--end", raw.end, "end of the range: seconds or [[H:]M:]S[.fff]")
        ->check(kTime)
        ->type_name("TIME")
        ->default_str("the end of the input")
        ->group(selection);

    app.add_option("--fade-in", raw.fadeIn, "fade the range in over the first SEC seconds (a linear ramp)")
        ->check(kTime)
        ->type_name("SEC")
        ->default_str("0")
        ->group(selection);
    app.add_option("--fade-out", raw.fadeOut, "fade the range out over the last SEC seconds (a linear ramp)")
        ->check(kTime)
        ->type_name("SEC")
        ->default_str("0")
        ->group(selection);

    app.add_flag("--fit", options.fit,
                 "shorten an MLD file above the size ceiling to the longest start that fits, its last 0.1 s "
                 "faded out")
        ->group(selection);

    const char* files = "Files and run";
    app.add_option("-o,--output", raw.output, "saving directory")
        ->type_name("DIR")
        ->default_str(d.output)
        ->group(files);
    app.add_option("--settings", raw.settings, "settings file; only the implicit ./setup.ini may be missing")
        ->type_name("FILE")
        ->default_str("./setup.ini")
        ->group(files);
    app.add_option("--cd-image", options.cdImages,
                   "put the audio CD of a BIN/CUE image in drive LETTER, for inputs such as 'D:\\Track02.cda'")
        ->check(kCdImage)
        ->expected(1)
        ->allow_extra_args(false)
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll)
        ->type_name("LETTER=CUE")
        ->group(files);
    app.add_flag("--save-settings", options.saveSettings,
                 "write the resulting grid and paths back to the settings file")
        ->group(files);
    app.add_option("-j", options.jobs, "convert N inputs in parallel")
        ->check(CLI::Range(1, 64))
        ->type_name("N")
        ->default_str("1")
        ->group(files);
    app.add_flag("-n,--no-clobber", options.noClobber, "leave an output that exists as it is; the run then exits 1")
        ->group(files);
    app.add_flag("-y,--overwrite", raw.overwrite, "overwrite outputs that exist (the default)")->group(files);
    app.add_flag("-q,--quiet", options.quiet, "print errors only")->group(files);
    app.add_flag("-v,--verbose", options.verbose, "also say which button and preset each --mld name means")
        ->group(files);
    app.add_flag("--verify", options.verify,
                 "check each written file as --check does; a file that fails counts as failed")
        ->group(files);
    app.add_flag("--check", options.check,
                 "check the named MLD, MMF, 3GP and 3G2 files instead of converting (exit status 1 when one is not "
                 "sound)")
        ->group(files);
    app.add_flag("--json", options.json, "with --check: one JSON document on stdout, an object a file")->group(files);
    app.add_flag("--list-presets", options.listPresets, "list the handsets and their presets")->group(files);
    app.add_option("--play", raw.play,
                   "as the only option: play an MLD, MMF, 3GP or 3G2 file as the ringtone readers decode it, at its "
                   "own rate")
        ->type_name("FILE")
        ->group(files);
    app.add_flag("-h,--help", options.help, "print this help")->group(files);
    app.add_flag("--version", options.version, "print the version")->group(files);

    app.add_option("INPUT", options.inputs,
                   "audio files (WAV, also 32-bit and float; WMA, MP3, FLAC, M4A/MP4, Ogg, Opus, AIFF), or "
                   "audio-CD tracks as D:\\TrackNN.cda")
        ->type_name("");
    app.footer(
        "Messages go to stderr, the path of each written file to stdout. Exit status: 0 when every\n"
        "chosen output was written, 1 when one failed, 2 for a usage error or when no output is chosen.\n"
        "With --check: 0 when every file is sound, 1 when one is not.");
}

// A flag given as --flag=VALUE: CLI11 would read VALUE as true or false.
std::optional<UsageError> FlagWithValue(const CLI::App& app) {
    for (const CLI::Option* option : app.get_options()) {
        if (option->get_expected_max() != 0 || option->count() == 0) continue;
        for (const std::string& result : option->results())
            if (!result.empty() && result != "true" && result != "1")
                return UsageError{"option " + option->get_name() + " takes no value"};
    }
    return std::nullopt;
}

std::optional<UsageError> Handsets(const RawOptions& raw, CliOptions& options) {
    auto add = [&](int cell) {
        auto& cells = options.mldCells;
        if (std::find(cells.begin(), cells.end(), cell) == cells.end()) cells.push_back(cell);
    };
    bool any = false;
    std::vector<std::string> items;
    for (const std::string& list : raw.handsets) {
        std::stringstream parts(list);
        for (std::string item; std::getline(parts, item, ',');) items.push_back(item);
    }
    for (const std::string& item : items) {
        if (item.empty()) continue;
        any = true;
        if (Lower(item) == "all") {
            options.allHandsets = true;
            for (const MldHandset& handset : MldHandsets()) add(handset.cell);
            continue;
        }
        auto cell = FindHandsetCell(item);
        if (!cell)
            return UsageError{"unknown handset '" + item + "'; the closest known: " +
                              JoinNames(ClosestHandsetNames(item, 3)) + " (see --list-presets)"};
        add(*cell);
        options.handsetMappings.push_back(HandsetMapping(item, *cell));
        options.namedMldCells.push_back(*cell);
    }
    if (!raw.handsets.empty() && !any) return UsageError{"--mld needs at least one handset"};
    if (raw.all) {
        options.allHandsets = options.mmf = options.make3gp = options.make3g2 = true;
        for (const MldHandset& handset : MldHandsets()) add(handset.cell);
    }
    return std::nullopt;
}

std::optional<UsageError> Finish(const CLI::App& app, const RawOptions& raw, CliOptions& options) {
    if (auto error = FlagWithValue(app)) return error;
    if (auto error = Handsets(raw, options)) return error;
    // main() plays a file when --play comes first and alone; anywhere else it is a mistake.
    if (app.get_option("--play")->count() > 0) return UsageError{"--play goes alone: kvt-convert --play FILE"};
    if (options.json && !options.check) return UsageError{"--json goes with --check"};
    if (options.noClobber && raw.overwrite) return UsageError{"-n and -y contradict each other; give one"};
    options.outputsGiven = !raw.handsets.empty() || raw.all || options.mmf || options.make3gp || options.make3g2;
    auto given = [&](const char* name) { return app.get_option(name)->count() > 0; };
    auto stereo = [](const std::string& name) { return Lower(name) == "stereo"; };
    if (given("--mld-rate")) options.mldRate = raw.mldRate;
    if (given("--mmf-rate")) options.mmfRate = raw.mmfRate;
    if (given("--3gp-rate")) options.aacRate = raw.aacRate;
    if (given("--mld-limit")) options.mldLimitKb = raw.mldLimit;
    if (given("--mld-channels")) options.mldStereo = stereo(raw.mldChannels);
    if (given("--mmf-channels")) options.mmfStereo = stereo(raw.mmfChannels);
    if (given("--3gp-channels")) options.aacStereo = stereo(raw.aacChannels);
    if (given("--resampler")) options.resampler = ResamplerFromName(raw.resampler);
    if (given("--start")) options.startSeconds = ParseTime(raw.start);
    if (given("--end")) options.endSeconds = ParseTime(raw.end);
    if (given("--fade-in")) options.fadeInSeconds = ParseTime(raw.fadeIn).value_or(0);
    if (given("--fade-out")) options.fadeOutSeconds = ParseTime(raw.fadeOut).value_or(0);
    if (given("--external")) {
        if (raw.external.empty()) return UsageError{"--external needs a program"};
        options.externalEncoder = raw.external;
    }
    if (given("--mp3-decoder")) {
        if (raw.mp3Decoder.empty()) return UsageError{"--mp3-decoder needs a program"};
        options.mp3Decoder = raw.mp3Decoder;
    }
    if (given("--output")) {
        if (raw.output.empty()) return UsageError{"--output needs a folder"};
        options.outputDirectory = raw.output;
    }
    if (given("--settings")) {
        if (raw.settings.empty()) return UsageError{"--settings needs a file"};
        options.settingsFile = raw.settings;
        options.settingsFileNamed = true;
    }
    if (options.startSeconds && options.endSeconds && *options.startSeconds > *options.endSeconds)
        return UsageError{"--start lies after --end"};
    if (options.inputs.empty() && !options.help && !options.version && !options.listPresets)
        return UsageError{options.check ? "--check needs the files to check" : "no input file given"};
    return std::nullopt;
}

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
    CliOptions options;
    RawOptions raw;
    CLI::App app("", "kvt-convert");
    Declare(app, options, raw, DefaultsOf(Settings{}));
    // CLI11 takes the arguments last first.
    std::vector<std::string> reversed(arguments.rbegin(), arguments.rend());
    try {
        app.parse(reversed);
    } catch (const CLI::ParseError& error) {
        std::string message = error.what();
        return UsageError{message.empty() ? error.get_name() : message};
    }
    if (auto error = Finish(app, raw, options)) return *error;
    return options;
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
    if (options.resampler) settings.resampler = *options.resampler;
    if (options.outputDirectory) settings.savingDirectory = *options.outputDirectory;
}

std::string ResolveProgram(const std::string& name) {
    if (name.find('/') != std::string::npos) return name;
    const char* path = std::getenv("PATH");
    std::stringstream folders(path ? path : "");
    std::string folder;
    while (std::getline(folders, folder, ':')) {
        std::string candidate = (folder.empty() ? "." : folder) + "/" + name;
        if (AccessError(candidate, kMayRun) == 0) return candidate;
    }
    return name;
}

std::string UsageText(const Settings& settings) {
    CliOptions options;
    RawOptions raw;
    CLI::App app(
        "Convert audio files (WAV, WMA, MP3, FLAC, M4A, Ogg, Opus, AIFF) into ringtones: MLD files for\n"
        "handsets, MMF, 3GP and 3G2.\n"
        "Defaults are those of the settings file in use.",
        "kvt-convert");
    Declare(app, options, raw, DefaultsOf(settings));
    return app.help();
}

}  // namespace kvt::cli
