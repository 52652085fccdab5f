#pragma once
// kvt-convert --check FILE...: one block per file on stdout saying what the file is and
// each problem found; and the same check for the files a conversion has just written
// (--verify).

#include <cstdio>
#include <string>
#include <vector>

#include "check/check_report.h"
#include "cli/console.h"

namespace kvt::cli {

// "PATH: FORMAT, sound" or "..., N problems", then the facts and the problems indented.
std::string FormatCheckReport(const std::string& path, const CheckReport& report);
// One problem: "FIELD: found X, expected Y".
std::string ProblemLine(const CheckProblem& problem);

// --verify: checks a file just written; each problem is an error naming it. True when sound.
bool VerifyWritten(const std::string& path, Console& console);

// The reports as one JSON document: an array with an object a file, {"path", "format"
// (null for a file that is no ringtone), "sound", "facts": {name: value},
// "problems": [{"field", "found", "expected"}]}.
std::string CheckReportsJson(const std::vector<std::pair<std::string, CheckReport>>& reports);

// Checks every file and prints its block (or, `json`, the one document); kExitSuccess when
// all are sound, else kExitFailed.
int RunCheckCommand(const std::vector<std::string>& files, std::FILE* out, bool json);

}  // namespace kvt::cli
