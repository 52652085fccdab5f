#pragma once
// kvt-convert as a function: arguments (without the program name) in, exit status out.

#include <cstdio>
#include <string>
#include <vector>

namespace kvt::cli {

inline constexpr int kExitSuccess = 0;
inline constexpr int kExitFailed = 1;  // an output or an input failed; its message was printed
inline constexpr int kExitUsage = 2;   // bad command line, or no output chosen

// `removeOnSignal`: an interrupted run still removes its work folder (the program sets it;
// in-process callers keep their own signal handling).
int RunConvertCommand(const std::vector<std::string>& arguments, std::FILE* out, std::FILE* err,
                      bool removeOnSignal = false);

}  // namespace kvt::cli
