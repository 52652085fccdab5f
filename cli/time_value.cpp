#include "cli/time_value.h"

#include <cctype>
#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

namespace kvt::cli {
namespace {

// Digits with at most one point; the point only in the last field.
std::optional<double> Field(std::string_view text, bool last) {
    if (text.empty()) return std::nullopt;
    int points = 0;
    for (char c : text) {
        if (c == '.')
            ++points;
        else if (!std::isdigit(static_cast<unsigned char>(c)))
            return std::nullopt;
    }
    if (points > (last ? 1 : 0) || text == ".") return std::nullopt;
    return std::strtod(std::string(text).c_str(), nullptr);
}

}  // namespace

std::optional<double> ParseTime(std::string_view text) {
    std::vector<std::string_view> fields;
    for (size_t begin = 0;;) {
        const size_t colon = text.find(':', begin);
        fields.push_back(text.substr(begin, colon == std::string_view::npos ? colon : colon - begin));
        if (colon == std::string_view::npos) break;
        begin = colon + 1;
    }
    if (fields.size() > 3) return std::nullopt;
    double seconds = 0;
    for (size_t i = 0; i < fields.size(); ++i) {
        const bool last = i + 1 == fields.size();
        std::optional<double> value = Field(fields[i], last);
        if (!value) return std::nullopt;
        if (i > 0 && *value >= 60) return std::nullopt;  // 1:75 is a slip, not 2:15
        seconds = seconds * 60 + *value;
    }
    if (!std::isfinite(seconds)) return std::nullopt;
    return seconds;
}

}  // namespace kvt::cli
