#include "cli/console.h"

#include <algorithm>

namespace kvt::cli {
namespace {

thread_local std::string currentInput;

constexpr int kBarWidth = 30;

}  // namespace

Console::Console(std::FILE* out, std::FILE* err, bool progressBar) : out_(out), err_(err), progressBar_(progressBar) {}

void Console::SetCurrentInput(const std::string& path) {
    auto slash = path.rfind('/');
    currentInput = slash == std::string::npos ? path : path.substr(slash + 1);
}

MessageSink Console::Sink() {
    return [this](const MessageRequest& request) {
        std::lock_guard lock(mutex_);
        ClearBarLocked();
        std::string line = "kvt-convert: ";
        if (!currentInput.empty()) line += currentInput + ": ";
        if (!request.caption.empty() && request.caption != kApplicationTitle) line += request.caption + ": ";
        line += request.text;
        bool question = request.buttons == MessageButtons::OkCancel;
        if (question) line += " [Cancel]";
        std::fprintf(err_, "%s\n", line.c_str());
        std::fflush(err_);
        DrawBarLocked();
        return question ? MessageAnswer::Cancel : MessageAnswer::Ok;
    };
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

void Console::PrintWritten(const std::string& path) {
    std::lock_guard lock(mutex_);
    ClearBarLocked();
    std::fprintf(out_, "%s\n", path.c_str());
    std::fflush(out_);
    DrawBarLocked();
}

void Console::Error(const std::string& text) {
    std::lock_guard lock(mutex_);
    ClearBarLocked();
    std::fprintf(err_, "kvt-convert: %s\n", text.c_str());
    std::fflush(err_);
    DrawBarLocked();
}

void Console::Finish() {
    std::lock_guard lock(mutex_);
    ClearBarLocked();
    progressBar_ = false;
}

void Console::ClearBarLocked() {
    if (!barShown_) return;
    std::fprintf(err_, "\r\033[K");
    barShown_ = false;
}

void Console::DrawBarLocked() {
    if (!progressBar_ || total_ == 0) return;
    int filled = kBarWidth * done_ / total_;
    std::string bar(static_cast<size_t>(filled), '#');
    bar.append(static_cast<size_t>(kBarWidth - filled), '-');
    std::fprintf(err_, "\r[%s] %d/%d", bar.c_str(), done_, total_);
    std::fflush(err_);
    barShown_ = true;
}

}  // namespace kvt::cli
