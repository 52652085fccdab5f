#pragma once
// What every check report must hold, whatever the bytes: a file that is not sound says
// why, and every problem names its field and both values.

#include <cstdlib>

#include "check/check_report.h"

namespace kvt::fuzz {

inline void CheckReportInvariants(const CheckReport& report) {
    if (report.format.empty() && report.problems.empty()) std::abort();
    for (const CheckProblem& problem : report.problems)
        if (problem.field.empty() || problem.found.empty() || problem.expected.empty()) std::abort();
    for (const auto& [name, value] : report.facts)
        if (name.empty()) std::abort();
}

}  // namespace kvt::fuzz
