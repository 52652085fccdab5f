#pragma once
// The conversion job's host in kvt-convert: one loaded input, progress on the console,
// no settings dialog to show.

#include "cli/console.h"
#include "convert/conversion_host.h"

namespace kvt::cli {

class CliHost : public ConversionHost {
public:
    CliHost(Console& console, Settings& settings, bool quiet)
        : console_(console), settings_(settings), quiet_(quiet) {}

    void ProgressReset(int total) override { console_.AddToTotal(total); }
    void ProgressStep() override { console_.Step(); }
    void Repaint() override {}
    // There is no dialog: the grid stays as the settings file and the options made it.
    bool RunSettingsDialog() override { return false; }
    // Settings are written once at the end, and only with --save-settings.
    void SaveSettings() override {}
    void ShowClosingMessage(const std::string& text) override {
        if (!quiet_) ConversionHost::ShowClosingMessage(text);
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
