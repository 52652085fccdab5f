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

// Checks every file and prints its block; kExitSuccess when all are sound, else kExitFailed.
int RunCheckCommand(const std::vector<std::string>& files, std::FILE* out);

}  // namespace kvt::cli
