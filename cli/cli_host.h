#pragma once
// The conversion job's host in kvt-convert: one loaded input, progress on the console,
// no settings dialog to show.

#include <malloc.h>

#include "cli/console.h"
#include "convert/conversion_host.h"

namespace kvt::cli {

class CliHost : public ConversionHost {
public:
    CliHost(Console& console, Settings& settings, bool quiet)
        : console_(console), settings_(settings), quiet_(quiet) {}

    void ProgressReset(int total) override { console_.AddToTotal(total); }
    void ProgressStep() override {
        console_.Step();
        // Each encoder leaves whole-input buffers behind; hand their pages back so that the
        // next output does not stack its own on top.
        malloc_trim(0);
    }
    void Repaint() override {}
    // There is no dialog: the grid stays as the settings file and the options made it.
    bool RunSettingsDialog() override { return false; }
    // Settings are written once at the end, and only with --save-settings.
    void SaveSettings() override {}
    void ShowClosingMessage(const std::string& text) override {
        if (!quiet_) ConversionHost::ShowClosingMessage(text);
    }

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
    LoadedInput input_;
    bool quiet_;
};

}  // namespace kvt::cli
