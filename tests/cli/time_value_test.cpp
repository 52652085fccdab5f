#include "cli/time_value.h"

#include <gtest/gtest.h>

namespace kvt::cli {
namespace {

TEST(ParseTime, SecondsAndClockForms) {
    const struct {
        const char* text;
        std::optional<double> seconds;
    } rows[] = {
        {"90", 90},
        {"90.5", 90.5},
        {"0", 0},
        {"1:30", 90},
        {"0:05.25", 5.25},
        {"1:02:03", 3723},
        {"100:00", 6000},
        {".5", 0.5},
        {"", std::nullopt},
        {"-1", std::nullopt},
        {"1:75", std::nullopt},
        {"1.5:00", std::nullopt},
        {"1::2", std::nullopt},
        {"1:2:3:4", std::nullopt},
        {"1e3", std::nullopt},
        {"inf", std::nullopt},
        {"1:", std::nullopt},
        {".", std::nullopt},
        {"1.2.3", std::nullopt},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.text);
        std::optional<double> parsed = ParseTime(row.text);
        ASSERT_EQ(parsed.has_value(), row.seconds.has_value());
        if (parsed) {
            EXPECT_DOUBLE_EQ(*parsed, *row.seconds);
        }
    }
}

}  // namespace
}  // namespace kvt::cli
