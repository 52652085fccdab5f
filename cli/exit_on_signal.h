#pragma once
// How kvt-convert ends when it is interrupted or its output goes away:
// - SIGINT, SIGTERM and SIGHUP are taken by a thread of their own, which ends the external
//   programs still running, removes every pending temporary file and folder, and exits
//   with the signal's status;
// - SIGPIPE and SIGXFSZ are ignored, so a closed pipe or a file-size limit shows up as a
//   failing write that the program reports, instead of killing it on the spot.
// Call before any other thread starts: the threads started later inherit the blocked signals.

namespace kvt::cli {

void EndCleanlyOnSignals();

}  // namespace kvt::cli
