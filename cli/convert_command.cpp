#include "cli/convert_command.h"

#include <atomic>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <malloc.h>
#include <mutex>
#include <optional>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

#include "cli/cli_host.h"
#include "cli/cli_options.h"
#include "cli/console.h"
#include "cli/work_folder.h"
#include "convert/conversion_job.h"
#include "convert/input_loader.h"
#include "engine/mld_preset_table.h"
#include "platform/dialogs.h"

#ifndef KVT_VERSION
#define KVT_VERSION "unknown"
#endif

namespace kvt::cli {
namespace {

// Dialog answers without a person: the folder browser picks the current folder, program
// choosers are cancelled (programs come from --external and --mp3-decoder).
class CliDialogs : public Dialogs {
public:
    explicit CliDialogs(std::string currentFolder) : currentFolder_(std::move(currentFolder)) {}
    std::optional<std::string> OpenFile(const std::string&, const std::string&) override { return std::nullopt; }
    std::optional<std::string> BrowseFolder(const std::string&, const std::string&) override {
        return currentFolder_;
    }

private:
    std::string currentFolder_;
};

// Puts the process-wide message sink and dialogs back when the command ends.
class FrontEndScope {
public:
    FrontEndScope(MessageSink sink, Dialogs* dialogs)
        : previousSink_(SetMessageSink(std::move(sink))), previousDialogs_(SetDialogs(dialogs)) {}
    ~FrontEndScope() {
        SetDialogs(previousDialogs_);
        SetMessageSink(std::move(previousSink_));
    }

private:
    MessageSink previousSink_;
    Dialogs* previousDialogs_;
};

// strerror is not safe with jobs running side by side.
std::string ErrnoText(int error) {
    char buffer[256];
    return strerror_r(error, buffer, sizeof buffer);
}

std::string CurrentFolder() {
    std::error_code error;
    auto folder = std::filesystem::current_path(error);
    return error ? std::string(".") : folder.string();
}

std::string AllowedRates(int preset) {
    const MldPreset& row = MldPresetTable.at(static_cast<size_t>(preset));
    const std::pair<int32_t, const char*> flags[] = {
        {row.f04, "4000"}, {row.f08, "8000"}, {row.f16, "16000"}, {row.f32, "32000"}};
    std::string rates;
    for (auto [allowed, rate] : flags)
        if (allowed) rates += (rates.empty() ? "" : ",") + std::string(rate);
    return rates;
}

// One line a handset button: label, preset and its rates, stereo preset and its rates,
// then the handsets the preset serves.
void PrintPresets(std::FILE* out) {
    std::fprintf(out, "%-8s %-6s %-22s %-6s %-18s %s\n", "button", "preset", "rates", "stereo", "stereo rates",
                 "handsets");
    for (const MldHandset& handset : MldHandsets()) {
        std::string stereoRates = handset.stereoPreset ? AllowedRates(handset.stereoPreset) : "";
        const MldPreset& row = MldPresetTable.at(static_cast<size_t>(handset.preset));
        std::fprintf(out, "%-8s %-6s %-22s %-6s %-18s %s\n", std::string(handset.label).c_str(),
                     std::string(handset.presetName).c_str(), AllowedRates(handset.preset).c_str(),
                     std::string(handset.stereoPresetName).c_str(), stereoRates.c_str(),
                     std::string(row.description).c_str());
    }
}

// A clear reason when `path` cannot be an input, before the loader tries it.
std::optional<std::string> InputProblem(const std::string& path) {
    struct stat status;
    if (stat(path.c_str(), &status) != 0) return "cannot open " + path + ": " + ErrnoText(errno);
    if (S_ISDIR(status.st_mode)) return path + " is a folder, not a file";
    if (access(path.c_str(), R_OK) != 0) return "cannot read " + path + ": " + ErrnoText(errno);
    return std::nullopt;
}

std::optional<std::string> OutputFolderProblem(const std::string& folder) {
    struct stat status;
    if (folder.empty()) return "no saving directory";
    if (stat(folder.c_str(), &status) != 0) return "cannot use the saving directory " + folder + ": " + ErrnoText(errno);
    if (!S_ISDIR(status.st_mode)) return "the saving directory " + folder + " is not a folder";
    if (access(folder.c_str(), W_OK | X_OK) != 0)
        return "cannot write to the saving directory " + folder + ": " + ErrnoText(errno);
    return std::nullopt;
}

// START/END from --start/--end; nothing when the selection lies outside the input.
bool ApplySelection(const CliOptions& options, LoadedInput& input, Console& console) {
    const uint32_t rate = input.format.sampleRate;
    auto toFrame = [&](double seconds) {
        double frame = seconds * rate;
        return frame >= input.totalFrames ? input.totalFrames : static_cast<uint32_t>(frame);
    };
    if (options.startSeconds) {
        input.startFrame = toFrame(*options.startSeconds);
        if (input.startFrame >= input.totalFrames) {
            console.Error("--start lies beyond the end of the input (" +
                          std::to_string(static_cast<double>(input.totalFrames) / rate) + " s)");
            return false;
        }
    }
    if (options.endSeconds) input.endFrame = toFrame(*options.endSeconds);
    return true;
}

struct Shared {
    const CliOptions& options;
    Console& console;
    const Settings& startSettings;
    std::atomic<size_t> nextInput{0};
    std::atomic<bool> anyFailed{false};
    std::mutex settingsMutex;
    std::optional<std::string> externalEncoderPath;  // changed by a job
    std::optional<std::string> mp3DecoderPath;
};

// Loads and converts one input; false when it or one of its outputs failed.
bool ConvertOne(const std::string& path, Settings& settings, Shared& shared) {
    Console::SetCurrentInput(path);
    if (auto problem = InputProblem(path)) {
        shared.console.Error(*problem);
        return false;
    }
    CliHost host(shared.console, settings, shared.options.quiet);
    if (!LoadInputFile(path, host.MutableInput(), settings)) return false;
    // Loading passes the samples through several whole-file buffers; give their pages back
    // before the job makes its own copies.
    malloc_trim(0);
    if (!ApplySelection(shared.options, host.MutableInput(), shared.console)) return false;
    JobReport report = OnConvert(host);
    for (const JobOutput& output : report.outputs)
        if (output.written) shared.console.PrintWritten(output.path);
    return report.AllWritten();
}

void RunJobs(int job, const PrivateWorkFolder& work, Shared& shared) {
    Settings settings = shared.startSettings;
    settings.workFolder = work.MakeJobFolder(job);
    if (settings.workFolder.empty()) {
        shared.console.Error("cannot create a work folder in " + work.Path());
        shared.anyFailed = true;
        return;
    }
    const auto& inputs = shared.options.inputs;
    for (size_t index = shared.nextInput++; index < inputs.size(); index = shared.nextInput++) {
        if (!ConvertOne(inputs[index], settings, shared)) shared.anyFailed = true;
    }
    Console::SetCurrentInput("");
    std::lock_guard lock(shared.settingsMutex);
    if (settings.externalEncoderPath != shared.startSettings.externalEncoderPath)
        shared.externalEncoderPath = settings.externalEncoderPath;
    if (settings.mp3DecoderPath != shared.startSettings.mp3DecoderPath)
        shared.mp3DecoderPath = settings.mp3DecoderPath;
}

}  // namespace

int RunConvertCommand(const std::vector<std::string>& arguments, std::FILE* out, std::FILE* err,
                      bool removeOnSignal) {
    auto parsed = ParseCommandLine(arguments);
    if (auto* usage = std::get_if<UsageError>(&parsed)) {
        std::fprintf(err, "kvt-convert: %s\nTry 'kvt-convert --help'.\n", usage->message.c_str());
        return kExitUsage;
    }
    const CliOptions& options = std::get<CliOptions>(parsed);
    if (options.help) {
        // The defaults shown are those of the settings file in use, read without asking anything.
        Settings settings;
        CliDialogs dialogs(CurrentFolder());
        FrontEndScope silent([](const MessageRequest&) { return MessageAnswer::Ok; }, &dialogs);
        LoadSettings(settings, options.settingsFile);
        std::fputs(UsageText(settings).c_str(), out);
        return kExitSuccess;
    }
    if (options.version) {
        std::fprintf(out, "kvt-convert %s\n", KVT_VERSION);
        return kExitSuccess;
    }
    if (options.listPresets) {
        PrintPresets(out);
        return kExitSuccess;
    }

    Console console(out, err, !options.quiet && isatty(fileno(err)));
    PrivateWorkFolder work;
    if (work.Path().empty()) {
        console.Error("cannot create a work folder in the temporary folder: " + std::string(ErrnoText(errno)));
        return kExitFailed;
    }
    if (removeOnSignal) work.RemoveOnSignal();
    CliDialogs dialogs(CurrentFolder());
    FrontEndScope frontEnd(console.Sink(), &dialogs);

    Settings settings = StartUpSettings(work.Path(), options.settingsFile);
    ApplyOptions(options, settings);
    if (CountSelectedOutputs(settings.grid) == 0) {
        ShowNothingChosenMessage();
        return kExitUsage;
    }
    if (auto problem = OutputFolderProblem(settings.savingDirectory)) {
        console.Error(*problem);
        return kExitFailed;
    }

    Shared shared{options, console, settings};
    const int jobs = static_cast<int>(std::min<size_t>(static_cast<size_t>(options.jobs), options.inputs.size()));
    if (jobs <= 1) {
        RunJobs(1, work, shared);
    } else {
        std::vector<std::thread> workers;
        for (int job = 1; job <= jobs; ++job) workers.emplace_back([&, job] { RunJobs(job, work, shared); });
        for (auto& worker : workers) worker.join();
    }
    console.Finish();

    if (options.saveSettings) {
        if (shared.externalEncoderPath) settings.externalEncoderPath = *shared.externalEncoderPath;
        if (shared.mp3DecoderPath) settings.mp3DecoderPath = *shared.mp3DecoderPath;
        SaveSettings(settings, options.settingsFile);
    }
    return shared.anyFailed ? kExitFailed : kExitSuccess;
}

}  // namespace kvt::cli
