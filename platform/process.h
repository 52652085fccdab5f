#pragma once
// Starting external programs (MP3 decoder, AAC encoder) without a shell.

#include <chrono>
#include <string>
#include <vector>

namespace kvt {

enum class LaunchOutcome { NotStarted, Finished, TimedOut };

struct LaunchResult {
    LaunchOutcome outcome = LaunchOutcome::NotStarted;
    int exitCode = -1;  // valid when Finished
};

// Runs `program` with `arguments` (argv[1..]; each element reaches the program untouched)
// and waits at most `timeout`. A program still running then is left to finish and reaped
// in the background, never left as a zombie.
LaunchResult RunProgram(const std::string& program, const std::vector<std::string>& arguments,
                        std::chrono::milliseconds timeout);

// Splits a parameter text such as ` --decode "%s" "%s" ` (after formatting) into
// arguments: whitespace separates fields, a double-quoted field is one argument.
// Formatting a name into the text would let a '"' in the name split it, so callers build
// argument lists from the template with FillParameterTemplate instead.
std::vector<std::string> FillParameterTemplate(const std::string& parameterTemplate,
                                               const std::vector<std::string>& values);

}  // namespace kvt
