#pragma once
// Starting external programs (MP3 decoder, AAC encoder) without a shell.

#include <chrono>
#include <string>
#include <vector>

namespace kvt {

enum class LaunchOutcome { NotStarted, Finished, TimedOut };

struct LaunchResult {
    LaunchOutcome outcome = LaunchOutcome::NotStarted;
    int exitCode = -1;  // valid when Finished; 128 + signal number for a killed program
};

// Runs `program` with `arguments` (argv[1..]; each element reaches the program untouched)
// and waits at most `timeout`. No shell is involved. The program runs hidden: stdin,
// stdout and stderr are /dev/null. It leads a process group of its own, recorded for the
// clean-up at exit; when we stop waiting (it ended, or the time-out passed) the whole
// group is ended and the program reaped, so nothing it started keeps running. A name
// without '/' is looked up in PATH.
LaunchResult RunProgram(const std::string& program, const std::vector<std::string>& arguments,
                        std::chrono::milliseconds timeout);

// Turns a parameter text such as ` --decode "%s" "%s" ` or ` -br %d -he -if "%s" -of "%s" `
// into an argument list: blanks separate fields, double quotes group blanks into a field
// and are dropped. Only then is each %s or %d replaced by the next of `values` (a missing
// value gives an empty text; %% is a '%'), so a value holding '"', ';', "$(...)" or blanks
// reaches the program as one untouched argument. Formatting the values into the text
// first would let a '"' in a file name split it.
std::vector<std::string> FillParameterTemplate(const std::string& parameterTemplate,
                                               const std::vector<std::string>& values);

// A file path as an external program must receive it: absolute, so that a name beginning
// with '-' ("-V9.mp3") cannot be read as an option, and a program path is never looked up
// in PATH instead of the file that was checked. A relative path is taken against the
// current folder ("./" is put in front when that folder cannot be read).
std::string FileArgument(const std::string& path);

}  // namespace kvt
