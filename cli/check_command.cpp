#include "cli/check_command.h"

#include <nlohmann/json.hpp>
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

std::string CheckReportsJson(const std::vector<std::pair<std::string, CheckReport>>& reports) {
    nlohmann::ordered_json files = nlohmann::ordered_json::array();
    for (const auto& [path, report] : reports) {
        nlohmann::ordered_json file;
        file["path"] = path;
        file["format"] = report.format.empty() ? nlohmann::ordered_json() : nlohmann::ordered_json(report.format);
        file["sound"] = report.Sound();
        file["facts"] = nlohmann::ordered_json::object();
        for (const auto& [name, value] : report.facts) file["facts"][name] = value;
        file["problems"] = nlohmann::ordered_json::array();
        for (const CheckProblem& problem : report.problems)
            file["problems"].push_back(
                {{"field", problem.field}, {"found", problem.found}, {"expected", problem.expected}});
        files.push_back(std::move(file));
    }
    // A title or path that is not UTF-8 gets replacement characters rather than ending the run.
    return files.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) + "\n";
}

int RunCheckCommand(const std::vector<std::string>& files, std::FILE* out, bool json) {
    bool allSound = true;
    std::vector<std::pair<std::string, CheckReport>> reports;
    for (size_t i = 0; i < files.size(); ++i) {
        CheckReport report = CheckRingtoneFile(files[i]);
        allSound = allSound && report.Sound();
        if (json)
            reports.emplace_back(files[i], std::move(report));
        else
            std::fprintf(out, "%s%s", i == 0 ? "" : "\n", FormatCheckReport(files[i], report).c_str());
    }
    if (json) std::fputs(CheckReportsJson(reports).c_str(), out);
    std::fflush(out);
    return allSound ? kExitSuccess : kExitFailed;
}

}  // namespace kvt::cli
