#pragma once
// kvt-convert's terminal: messages on stderr (tagged with the input they concern), the
// written paths on stdout, and a progress bar on stderr when it is a terminal. Safe to
// use from several jobs at once.

#include <cstdio>
#include <mutex>
#include <string>

#include "platform/message.h"

namespace kvt::cli {

class Console {
public:
    Console(std::FILE* out, std::FILE* err, bool progressBar);

    // A message back end for ShowMessage: prints and answers OK (Cancel to questions).
    MessageSink Sink();

    // The input the calling thread works on; its name tags the thread's messages.
    static void SetCurrentInput(const std::string& path);

    void AddToTotal(int outputs);
    void Step();
    void PrintWritten(const std::string& path);
    void Error(const std::string& text);  // "kvt-convert: text"
    // Removes the progress bar.
    void Finish();

private:
    void ClearBarLocked();
    void DrawBarLocked();

    std::mutex mutex_;
    std::FILE* out_;
    std::FILE* err_;
    bool progressBar_;
    bool barShown_ = false;
    int total_ = 0;
    int done_ = 0;
};

}  // namespace kvt::cli
