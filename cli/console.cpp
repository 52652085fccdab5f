#include "cli/console.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

#include "convert/conversion_job.h"
#include "platform/failure_cause.h"
#include "platform/message_language.h"
#include "platform/paths.h"

namespace kvt::cli {
namespace {

thread_local std::string currentInput;
thread_local std::string currentOutput;
// Quiet, what the core says while it makes an output waits here: printed when the output
// fails, dropped as a notice or warning when it is written.
thread_local std::vector<std::string> heldLines;
std::mutex rippingInputMutex;
std::string rippingInput;

constexpr int kBarWidth = 30;

// Messages of the job that report what happened rather than a failure.
bool IsNotice(const std::string& text) {
    return text == kInternalEncoderText || text == k3g2ExternalText ||
           (text.size() > kSavedText.size() && text.ends_with(kSavedText));
}

std::string Tagged(const std::string& text) {
    std::string line = "kvt-convert: ";
    std::string input = currentInput;
    if (input.empty()) {
        std::lock_guard lock(rippingInputMutex);
        input = rippingInput;
    }
    if (!input.empty()) line += input + ": ";
    if (!currentOutput.empty()) line += currentOutput + ": ";
    return line + text;
}

}  // namespace

Console::Console(std::FILE* out, std::FILE* err, bool progressBar, bool quiet)
    : out_(out), err_(err), progressBar_(progressBar && !quiet), quiet_(quiet), japanese_(MessagesInJapanese()) {}

void Console::SetCurrentInput(const std::string& path) {
    currentInput = FileNameOfPath(path);
}

void Console::SetCurrentOutput(const std::string& path) {
    currentOutput = FileNameOfPath(path);
}

void Console::ShowWorkingOn(const std::string& input, const std::string& output) {
    std::lock_guard lock(mutex_);
    workingInput_ = FileNameOfPath(input);
    workingOutput_ = FileNameOfPath(output);
    workingPercent_ = -1;
    DrawBarLocked();
}

void Console::ShowOutputProgress(const std::string& output, double share) {
    std::lock_guard lock(mutex_);
    const int percent = static_cast<int>(std::clamp(share, 0.0, 1.0) * 100);
    if (FileNameOfPath(output) != workingOutput_ || percent == workingPercent_) return;
    workingPercent_ = percent;
    DrawBarLocked();
}

void Console::SetRippingInput(const std::string& path) {
    std::lock_guard lock(rippingInputMutex);
    rippingInput = FileNameOfPath(path);
}

MessageSink Console::Sink() {
    return [this](const MessageRequest& request) {
        bool question = request.buttons != MessageButtons::Ok;
        std::string text;
        if (!request.caption.empty() && request.caption != kApplicationTitle)
            text += LocalizedMessage(request.caption, japanese_) + ": ";
        text += LocalizedMessage(request.text, japanese_);
        if (request.text == kNothingChosenText) text += " (choose outputs with --all, --mld, --mmf, --3gp or --3g2)";
        if (question) text += request.buttons == MessageButtons::YesNo ? " [No]" : " [Cancel]";
        // The box's words name the symptom; what the system said names the cause.
        std::optional<std::string> cause = TakeFailureCause();
        std::lock_guard lock(mutex_);
        if (quiet_ && IsNotice(request.text)) return question ? MessageAnswer::Cancel : MessageAnswer::Ok;
        if (quiet_ && !currentOutput.empty()) {
            heldLines.push_back(Tagged(text));
            if (cause) heldLines.push_back(Tagged(*cause));
            return question ? MessageAnswer::Cancel : MessageAnswer::Ok;
        }
        PrintLocked(Tagged(text));
        if (cause) PrintLocked(Tagged(*cause));
        return question ? MessageAnswer::Cancel : MessageAnswer::Ok;
    };
}

NoteSink Console::Notes() {
    return [this](std::string_view text) {
        if (!quiet_) Info(std::string(text));
    };
}

void Console::OutputDone(bool written) {
    std::lock_guard lock(mutex_);
    if (!written)
        for (const std::string& line : heldLines) PrintLocked(line);
    heldLines.clear();
}

void Console::AddToTotal(int outputs) {
    std::lock_guard lock(mutex_);
    total_ += outputs;
    DrawBarLocked();
}

void Console::Step() {
    std::lock_guard lock(mutex_);
    done_ = std::min(done_ + 1, total_);
    DrawBarLocked();
}

void Console::ShowRipProgress(double fraction) {
    std::lock_guard lock(mutex_);
    ClearBarLocked();
    ripFraction_ = fraction;
    DrawBarLocked();
}

bool Console::PrintWritten(const std::string& path) {
    std::lock_guard lock(mutex_);
    if (outputBroken_) return false;
    ClearBarLocked();
    if (std::fprintf(out_, "%s\n", path.c_str()) < 0 || std::fflush(out_) != 0) {
        char buffer[256];
        std::string reason = strerror_r(errno, buffer, sizeof buffer);
        outputBroken_ = true;
        std::fprintf(err_, "kvt-convert: cannot write to standard output: %s\n", reason.c_str());
        std::fflush(err_);
        return false;
    }
    DrawBarLocked();
    return true;
}

bool Console::OutputBroken() {
    std::lock_guard lock(mutex_);
    return outputBroken_;
}

void Console::Error(const std::string& text) {
    std::lock_guard lock(mutex_);
    PrintLocked(Tagged(LocalizedMessage(text, japanese_)));
}

void Console::Info(const std::string& text) {
    std::lock_guard lock(mutex_);
    if (!quiet_) PrintLocked(Tagged(LocalizedMessage(text, japanese_)));
}

void Console::Finish() {
    std::lock_guard lock(mutex_);
    ClearBarLocked();
    progressBar_ = false;
}

void Console::PrintLocked(const std::string& line) {
    ClearBarLocked();
    std::fprintf(err_, "%s\n", line.c_str());
    std::fflush(err_);
    DrawBarLocked();
}

void Console::ClearBarLocked() {
    if (!barShown_) return;
    std::fprintf(err_, "\r\033[K");
    barShown_ = false;
}

void Console::DrawBarLocked() {
    if (!progressBar_) return;
    int filled = 0;
    std::string label;
    if (ripFraction_ >= 0) {
        const double fraction = std::min(ripFraction_, 1.0);
        filled = static_cast<int>(kBarWidth * fraction);
        label = "ripping " + std::to_string(static_cast<int>(fraction * 100)) + "%";
    } else if (total_ != 0) {
        filled = kBarWidth * done_ / total_;
        // While an output is made, the bar counts it: "song.wav  3/16  song.3gp".
        const bool working = !workingOutput_.empty() && done_ < total_;
        label = std::to_string(working ? done_ + 1 : done_) + "/" + std::to_string(total_);
        if (!workingInput_.empty()) label = workingInput_ + "  " + label;
        if (working) label += "  " + workingOutput_;
        if (working && workingPercent_ >= 0) label += "  " + std::to_string(workingPercent_) + " %";
    } else {
        return;
    }
    std::string bar(static_cast<size_t>(filled), '#');
    bar.append(static_cast<size_t>(kBarWidth - filled), '-');
    std::fprintf(err_, "\r\033[K[%s] %s", bar.c_str(), label.c_str());
    std::fflush(err_);
    barShown_ = true;
}

}  // namespace kvt::cli
