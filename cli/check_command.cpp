#include "cli/check_command.h"

#include "check/ringtone_check.h"
#include "cli/convert_command.h"

namespace kvt::cli {

std::string ProblemLine(const CheckProblem& problem) {
    return problem.field + ": found " + problem.found + ", expected " + problem.expected;
}

std::string FormatCheckReport(const std::string& path, const CheckReport& report) {
    std::string text = path + ": ";
    const size_t problems = report.problems.size();
    if (report.format.empty())
        text += "not a ringtone file";
    else
        text += report.format + ", " +
                (problems == 0 ? std::string("sound")
                               : std::to_string(problems) + (problems == 1 ? " problem" : " problems"));
    text += "\n";
    for (const auto& [name, value] : report.facts) text += "    " + name + ": " + value + "\n";
    for (const CheckProblem& problem : report.problems) text += "    problem: " + ProblemLine(problem) + "\n";
    return text;
}

bool VerifyWritten(const std::string& path, Console& console) {
    const CheckReport report = CheckRingtoneFile(path);
    if (report.Sound()) return true;
    Console::SetCurrentOutput(path);
    for (const CheckProblem& problem : report.problems) console.Error("check: " + ProblemLine(problem));
    console.Error("check failed; the file is kept for inspection");
    Console::SetCurrentOutput("");
    return false;
}

int RunCheckCommand(const std::vector<std::string>& files, std::FILE* out) {
    bool allSound = true;
    for (size_t i = 0; i < files.size(); ++i) {
        const CheckReport report = CheckRingtoneFile(files[i]);
        allSound = allSound && report.Sound();
        std::fprintf(out, "%s%s", i == 0 ? "" : "\n", FormatCheckReport(files[i], report).c_str());
    }
    std::fflush(out);
    return allSound ? kExitSuccess : kExitFailed;
}

}  // namespace kvt::cli
