#pragma once
// The conversion job's host in kvt-convert: one loaded input, progress on the console,
// no settings dialog to show.

#include <malloc.h>

#include <map>
#include <mutex>

#include "cli/check_command.h"
#include "cli/console.h"
#include "cli/shortened_notice.h"
#include "convert/conversion_host.h"
#include "platform/failure_cause.h"
#include "platform/files.h"

namespace kvt::cli {

struct OutputRules {
    bool noClobber = false;  // -n: an output that exists is left as it is
    bool verify = false;     // --verify: a written file is checked before it is listed
    bool fit = false;        // --fit: MLD files above the ceiling are shortened to fit
    ClipFades fades;         // --fade-in, --fade-out
};

class CliHost : public ConversionHost {
public:
    // `rateRefusals`: file endings of refused MLD outputs and the line that follows their
    // refusal (see RateRefusals).
    CliHost(Console& console, Settings& settings, const std::map<std::string, std::string>& rateRefusals,
            OutputRules rules)
        : console_(console), settings_(settings), rateRefusals_(rateRefusals), rules_(rules) {}

    void ProgressReset(int total) override { console_.AddToTotal(total); }
    void ProgressStep() override { console_.Step(); }
    void Repaint() override {}
    // There is no dialog: the grid stays as the settings file and the options made it.
    bool RunSettingsDialog() override { return false; }
    // Settings are written once at the end, and only with --save-settings.
    void SaveSettings() override {}

    void OutputStarted(const std::string& path) override {
        Console::SetCurrentOutput(path);
        {
            std::lock_guard lock(outputMutex_);
            output_ = path;
        }
        console_.ShowWorkingOn(input_.inputPath, path);
        TakeFailureCause();  // a cause of earlier, handled trouble is not this output's
    }
    // Called from the job's spare thread too.
    void OutputProgress(double share) override {
        std::lock_guard lock(outputMutex_);
        console_.ShowOutputProgress(output_, share);
    }
    // A written file is listed at once, so that a script (or a person pressing Ctrl-C)
    // knows it is complete.
    void OutputFinished(const std::string& path, bool written) override {
        // Each encoder leaves whole-input buffers behind; hand their pages back so that the
        // next output does not stack its own on top.
        malloc_trim(0);
        console_.OutputDone(written);
        if (!written) {
            for (const auto& [ending, line] : rateRefusals_)
                if (path.ends_with(ending)) console_.Error(line);
        }
        Console::SetCurrentOutput("");
        if (written && rules_.verify && !VerifyWritten(path, console_))
            listingFailed_ = true;
        else if (written && !listingFailed_ && !console_.PrintWritten(path))
            listingFailed_ = true;
    }
    bool KeepExisting(const std::string& path) override {
        if (!rules_.noClobber || !PathExists(path)) return false;
        Console::SetCurrentOutput(path);
        console_.Error("exists; left as it is (-n)");
        Console::SetCurrentOutput("");
        return true;
    }
    ClipFades Fades() const override { return rules_.fades; }
    bool ShortenToFit(const std::vector<OverLimitFile>& /*files*/, uint32_t /*limit*/) override { return rules_.fit; }
    // Each file above the ceiling is said as it is made, tagged with its name.
    bool ListsSizeMessages() const override { return false; }
    void ShowSizeMessages(const SizeMessages& messages) override {
        for (const OverLimitFile& file : messages.shortened) ShowMessage(ShortenedNotice(file, messages.limit));
    }

    // A written file failed --verify, or stdout could not take its path.
    bool AnyListingFailed() const { return listingFailed_; }

    // Each input is converted once, so the job may have the samples themselves.
    std::optional<std::vector<uint8_t>> TakeInputSamples() override {
        std::optional<std::vector<uint8_t>> samples(std::move(input_.pcm));
        input_.pcm = {};
        return samples;
    }

    const LoadedInput& Input() const override { return input_; }
    LoadedInput& MutableInput() { return input_; }
    Settings& UserSettings() override { return settings_; }

private:
    Console& console_;
    Settings& settings_;
    const std::map<std::string, std::string>& rateRefusals_;
    LoadedInput input_;
    OutputRules rules_;
    std::mutex outputMutex_;
    std::string output_;  // the output being made
    bool listingFailed_ = false;
};

}  // namespace kvt::cli
