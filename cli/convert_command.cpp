#include "cli/convert_command.h"

#include <malloc.h>
#include <unistd.h>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <optional>
#include <thread>

#include "check/ringtone_check.h"
#include "cli/cd_track_input.h"
#include "cli/check_command.h"
#include "cli/cli_host.h"
#include "cli/cli_options.h"
#include "cli/console.h"
#include "cli/exit_on_signal.h"
#include "cli/preflight.h"
#include "cli/preset_list.h"
#include "cli/rate_fit.h"
#include "cli/work_folder.h"
#include "convert/conversion_job.h"
#include "convert/input_loader.h"
#include "platform/cleanup_registry.h"
#include "platform/dialogs.h"
#include "platform/files.h"
#include "platform/message_language.h"
#include "platform/paths.h"
#include "platform/spare_threads.h"

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
    std::optional<std::string> BrowseFolder(const std::string&, const std::string&) override { return currentFolder_; }
    std::optional<std::string> ChooseProgram() override { return std::nullopt; }

private:
    std::string currentFolder_;
};

// Puts the process-wide message and note sinks and dialogs back when the command ends.
class FrontEndScope {
public:
    FrontEndScope(MessageSink sink, NoteSink notes, Dialogs* dialogs)
        : previousSink_(SetMessageSink(std::move(sink))),
          previousNotes_(SetNoteSink(std::move(notes))),
          previousDialogs_(SetDialogs(dialogs)) {}
    ~FrontEndScope() {
        SetDialogs(previousDialogs_);
        SetNoteSink(std::move(previousNotes_));
        SetMessageSink(std::move(previousSink_));
    }

private:
    MessageSink previousSink_;
    NoteSink previousNotes_;
    Dialogs* previousDialogs_;
};

std::string ErrnoText(int error) {
    char buffer[256];
    return strerror_r(error, buffer, sizeof buffer);
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
    std::map<std::string, std::string> rateRefusals;
    std::atomic<size_t> nextInput{0};
    std::atomic<bool> anyFailed{false};
    std::mutex settingsMutex{};
    std::optional<std::string> externalEncoderPath{};  // changed by a job
    std::optional<std::string> mp3DecoderPath{};
};

bool ConvertFile(const std::string& path, Settings& settings, Shared& shared) {
    CliHost host(shared.console, settings, shared.rateRefusals,
                 {.noClobber = shared.options.noClobber,
                  .verify = shared.options.verify,
                  .fit = shared.options.fit,
                  .fades = {shared.options.fadeInSeconds, shared.options.fadeOutSeconds}});
    LoadOptions load;
    load.askForMp3Decoder = false;
    // Only the external AAC encoder's path needs the copy of the input on disk.
    const JobChoices choices = ReadJobChoices(settings.grid);
    load.writeScratchFile = choices.make3gp && choices.useExternal;
    TakeFailureCause();
    if (!LoadInputFile(path, host.MutableInput(), settings, load)) return false;
    // Loading passes the samples through several whole-file buffers; give their pages back
    // before the job makes its own copies.
    malloc_trim(0);
    if (!ApplySelection(shared.options, host.MutableInput(), shared.console)) return false;
    JobReport report = OnConvert(host);
    return report.AllWritten() && !host.AnyListingFailed();
}

// Loads and converts one input; false when it or one of its outputs failed.
bool ConvertOne(const std::string& input, Settings& settings, Shared& shared) {
    Console::SetCurrentInput(input);
    if (IsCdaPath(input)) {
        // The track is ripped into the job's work folder and converted from there.
        std::optional<std::string> ripped = RipCdaInput(input, settings.workFolder, shared.console);
        if (!ripped) return false;
        const bool converted = ConvertFile(*ripped, settings, shared);
        std::remove(ripped->c_str());
        return converted;
    }
    if (auto problem = InputProblem(input)) {
        shared.console.Error(*problem);
        return false;
    }
    return ConvertFile(input, settings, shared);
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
        // Nobody reads the list of written files any more: no new input is started.
        if (shared.console.OutputBroken()) {
            shared.anyFailed = true;
            break;
        }
        if (!ConvertOne(inputs[index], settings, shared)) shared.anyFailed = true;
    }
    Console::SetCurrentInput("");
    std::lock_guard lock(shared.settingsMutex);
    if (settings.externalEncoderPath != shared.startSettings.externalEncoderPath)
        shared.externalEncoderPath = settings.externalEncoderPath;
    if (settings.mp3DecoderPath != shared.startSettings.mp3DecoderPath) shared.mp3DecoderPath = settings.mp3DecoderPath;
}

int Usage(std::FILE* err, const std::string& message) {
    const std::string text = LocalizedMessage(message, MessagesInJapanese());
    std::fprintf(err, "kvt-convert: %s\nTry 'kvt-convert --help'.\n", text.c_str());
    return kExitUsage;
}

// The settings file to read and write. Only the implicit ./setup.ini may be absent, and
// one that --save-settings is to create.
std::optional<std::string> SettingsProblem(const CliOptions& options) {
    if (options.saveSettings)
        if (auto problem = SaveTargetProblem(options.settingsFile)) return problem;
    bool created = options.saveSettings && !PathExists(options.settingsFile);
    if (options.settingsFileNamed && !created) return SettingsFileProblem(options.settingsFile);
    return std::nullopt;
}

// Programs named on the command line must be there before any work.
std::optional<std::string> ProgramsProblem(const CliOptions& options, const Settings& settings) {
    if (options.externalEncoder)
        if (auto problem = ProgramProblem("--external", settings.externalEncoderPath)) return problem;
    if (options.mp3Decoder)
        if (auto problem = ProgramProblem("--mp3-decoder", settings.mp3DecoderPath)) return problem;
    return std::nullopt;
}

std::string JoinLabels(const std::vector<std::string>& labels) {
    std::string joined;
    for (const std::string& label : labels) joined += (joined.empty() ? "" : ", ") + label;
    return joined;
}

}  // namespace

int RunConvertCommand(const std::vector<std::string>& arguments, std::FILE* out, std::FILE* err, bool removeOnSignal) {
    auto parsed = ParseCommandLine(arguments);
    if (auto* usage = std::get_if<UsageError>(&parsed)) return Usage(err, usage->message);
    const CliOptions& options = std::get<CliOptions>(parsed);
    CliDialogs dialogs(CurrentFolder());
    if (options.help) {
        // The defaults shown are those of the settings file in use, read without asking anything.
        Settings settings;
        FrontEndScope silent([](const MessageRequest&) { return MessageAnswer::Ok; }, [](std::string_view) {},
                             &dialogs);
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
    if (options.check) {
        // A frame FFmpeg cannot decode is a line of the report; its own log lines would repeat it.
        FrontEndScope silent([](const MessageRequest&) { return MessageAnswer::Ok; }, [](std::string_view) {},
                             &dialogs);
        return RunCheckCommand(options.inputs, out, options.json);
    }

    if (removeOnSignal) EndCleanlyOnSignals();
    // What killed runs left in the temporary folder goes before this run adds its own.
    RemoveAbandonedRunFolders();
    Console console(out, err, isatty(fileno(err)) != 0, options.quiet);
    PrivateWorkFolder work;
    if (work.Path().empty()) {
        console.Error("cannot create a work folder in the temporary folder: " + ErrnoText(errno));
        return kExitFailed;
    }
    FrontEndScope frontEnd(console.Sink(), console.Notes(), &dialogs);

    if (auto problem = SettingsProblem(options)) return Usage(err, *problem);
    Settings settings = StartUpSettings(work.Path(), options.settingsFile);
    ApplyOptions(options, settings);
    if (auto problem = ProgramsProblem(options, settings)) return Usage(err, *problem);
    for (const std::string& image : options.cdImages)
        if (auto problem = MountCdImage(image)) return Usage(err, *problem);
    if (options.verbose)
        for (const std::string& mapping : options.handsetMappings) console.Info("--mld " + mapping);
    std::vector<std::string> leftOut = LeaveOutUnfitHandsets(options, settings);
    if (!leftOut.empty()) {
        const JobChoices choices = ReadJobChoices(settings.grid);
        console.Info("--all: left out " + JoinLabels(leftOut) + ": their presets do not take " +
                     std::to_string(choices.mldRate) + " Hz" + (choices.mldChannels == 2 ? " in stereo" : ""));
    }
    if (CountSelectedOutputs(settings.grid) == 0) {
        ShowNothingChosenMessage();
        return kExitUsage;
    }
    if (auto problem = OutputFolderProblem(settings.savingDirectory)) {
        console.Error(*problem);
        return kExitFailed;
    }
    std::vector<std::string> clashes = OutputClashes(options.inputs, settings);
    if (!clashes.empty()) {
        for (const std::string& clash : clashes) console.Error(clash);
        return Usage(err, "inputs of the same name would overwrite each other's outputs; convert them apart");
    }

    Shared shared{options, console, settings, RateRefusals(settings)};
    const int jobs = static_cast<int>(std::min<size_t>(static_cast<size_t>(options.jobs), options.inputs.size()));
    // A job codes its AAC on a spare thread only where the jobs leave a core free.
    SetSpareThreads(AvailableCores() - std::max(jobs, 1));
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
