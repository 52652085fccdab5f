#pragma once
// Times on the command line: seconds ("90", "90.5") or clock form "[[H:]M:]S[.fff]"
// ("1:30", "0:05.25", "1:02:03").

#include <optional>
#include <string_view>

namespace kvt::cli {

// The seconds `text` names; nothing for a negative, endless or malformed time. In clock
// form the minutes and seconds after the first field lie below 60.
std::optional<double> ParseTime(std::string_view text);

}  // namespace kvt::cli
