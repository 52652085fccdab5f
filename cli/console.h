#pragma once
// kvt-convert's terminal: messages on stderr, each tagged with the input and the output it
// concerns, the written paths on stdout, and a progress bar on stderr when it is a
// terminal. Quiet, it prints errors only. The core's texts are shown in English outside a
// Japanese locale. Safe to use from several jobs at once.

#include <cstdio>
#include <mutex>
#include <string>

#include "platform/message.h"

namespace kvt::cli {

class Console {
public:
    Console(std::FILE* out, std::FILE* err, bool progressBar, bool quiet);

    // A message back end for ShowMessage: prints and answers OK (Cancel to questions).
    MessageSink Sink();
    // A back end for ShowNote: progress notes, silent when quiet.
    NoteSink Notes();

    // The input and the output the calling thread works on; they tag its messages.
    static void SetCurrentInput(const std::string& path);
    static void SetCurrentOutput(const std::string& path);
    // The input that the CD ripping thread works for (one rip at a time); it tags that
    // thread's messages.
    static void SetRippingInput(const std::string& path);

    // The calling thread's output is done: quiet, what was said about it is printed only
    // when it failed.
    void OutputDone(bool written);

    // The bar names the input and the output being made.
    void ShowWorkingOn(const std::string& input, const std::string& output);

    // The share (0..1) of `output` made, shown beside it while it is the output being made.
    void ShowOutputProgress(const std::string& output, double share);

    void AddToTotal(int outputs);
    void Step();
    // The bar shows a CD rip's progress (0..1) instead of the outputs; a negative fraction
    // ends that.
    void ShowRipProgress(double fraction);
    // False once stdout cannot be written (a closed pipe); that error was printed once.
    bool PrintWritten(const std::string& path);
    bool OutputBroken();
    void Error(const std::string& text);  // "kvt-convert: [input: [output: ]]text"
    void Info(const std::string& text);   // the same, not when quiet
    // Removes the progress bar.
    void Finish();

private:
    void PrintLocked(const std::string& text);
    void ClearBarLocked();
    void DrawBarLocked();

    std::mutex mutex_;
    std::FILE* out_;
    std::FILE* err_;
    bool progressBar_;
    bool quiet_;
    bool japanese_;  // the core's texts as they are; otherwise in English
    bool outputBroken_ = false;
    bool barShown_ = false;
    int total_ = 0;
    int done_ = 0;
    double ripFraction_ = -1;
    std::string workingInput_;
    std::string workingOutput_;
    int workingPercent_ = -1;  // none shown
};

}  // namespace kvt::cli
