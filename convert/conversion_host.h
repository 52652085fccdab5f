#pragma once
// What the conversion job needs from the window that runs it. The GUI's main window and
// kvt-convert both implement it.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "convert/loaded_input.h"
#include "convert/mld_size_fit.h"
#include "convert/settings_store.h"

namespace kvt {

// Fades put on the selected range before anything is coded, in seconds.
struct ClipFades {
    double inSeconds = 0;
    double outSeconds = 0;
};

// ErrorMsg texts: 1 no input, 2 out of memory, anything else the class's name.
std::string_view ErrorMsgText(int code);
// Shows the ErrorMsg text in a box with an OK button.
void ShowErrorMsg(int code);

class ConversionHost {
public:
    virtual ~ConversionHost() = default;

    virtual void ErrorMsg(int code) { ShowErrorMsg(code); }
    // The progress bar: a new total, then one step per output.
    virtual void ProgressReset(int total) = 0;
    virtual void ProgressStep() = 0;
    virtual void Repaint() = 0;
    // Runs the settings dialog modally; true when it ended with OK.
    virtual bool RunSettingsDialog() = 0;
    // Writes the settings back to their file (the window's SaveSettings).
    virtual void SaveSettings() = 0;
    // The closing message of a job (ClosingMessage in conversion_job.h).
    virtual void ShowClosingMessage(const std::string& text);

    // The job is about to make the output `path`; then it has made it, or failed.
    virtual void OutputStarted(const std::string& /*path*/) {}
    virtual void OutputFinished(const std::string& /*path*/, bool /*written*/) {}
    // The share (0..1) of the output being made that is done, where its coding takes long
    // (3GP, 3G2). It may come from a thread of the job other than the one that runs it.
    virtual void OutputProgress(double /*share*/) {}
    // True for an output the host wants left as it is (kvt-convert -n and the file is
    // there): the job does not make it and counts it as not written.
    virtual bool KeepExisting(const std::string& /*path*/) { return false; }

    // Fades on the selected range (kvt-convert --fade-in, --fade-out); none by default.
    virtual ClipFades Fades() const { return {}; }
    // The job's MLD files whose coded size passes `limit`, each with the start of the clip
    // that would fit: true to write them shortened to that start. False (the default)
    // writes them whole, above the ceiling.
    virtual bool ShortenToFit(const std::vector<OverLimitFile>& /*files*/, uint32_t /*limit*/) { return false; }
    // True (the default): the job says the sizes of its MLD files once, in ShowSizeMessages,
    // instead of a box a file. False: each file above the ceiling has its own box as it is
    // made, and ShowSizeMessages gets only the shortened files.
    virtual bool ListsSizeMessages() const { return true; }
    // One box with every line (SizeMessagesText).
    virtual void ShowSizeMessages(const SizeMessages& messages);

    // A host that converts each input only once (kvt-convert) hands its samples over to
    // the job instead of having the selection copied; the window keeps its own (nothing).
    virtual std::optional<std::vector<uint8_t>> TakeInputSamples() { return std::nullopt; }

    virtual const LoadedInput& Input() const = 0;
    // The grid, the saving directory, the work folder and the external encoder's path
    // (which a job may change).
    virtual Settings& UserSettings() = 0;
};

}  // namespace kvt
