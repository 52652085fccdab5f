#include "app/main_window/time_ruler.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace kvt {
namespace {

using ::testing::ElementsAreArray;

TEST(TimeRuler, LabelIntervalFollowsTheRate) {
    const std::pair<int, int> cases[] = {{44100, 10}, {24000, 10}, {23999, 20}, {16000, 20}, {15999, 50},
                                         {8000, 50},  {7999, 100}, {4000, 100}, {3999, 200}, {2000, 200},
                                         {800, 500},  {799, 1000}, {1, 1000}};
    for (auto [rate, millis] : cases) EXPECT_EQ(RulerLabelInterval(rate), millis) << rate;
}

TEST(TimeRuler, LabelsAndTicksFallWhereTheirTimeIsFirstReached) {
    struct Case {
        int rate;
        int64_t viewOffset;
        std::vector<int> labelColumns;
        std::vector<std::string> labelTexts;
        std::vector<int> ticks;
    };
    const Case cases[] = {
        // 50 ms = 400 frames, ticks every 10 ms = 80 frames.
        {8000, 0, {0, 400}, {"  0.000", "  0.050"}, {0, 80, 160, 240, 320, 400, 480}},
        // 20 ms = 320 frames, ticks every 64 frames.
        {16000, 0, {0, 320}, {"  0.000", "  0.020"}, {0, 64, 128, 192, 256, 320, 384, 448}},
        // 10 ms = 441 frames; a tick where the whole millisecond first turns even.
        {44100, 0, {0, 441}, {"  0.000", "  0.010"}, {0, 89, 177, 265, 353, 441}},
        // Frame 44000 is 997 ms: the first label is at 1 s, 100 columns on.
        {44100, 44000, {100}, {"  1.000"}, {12, 100, 189, 277, 365, 453}},
    };
    for (const Case& c : cases) {
        const RulerMarks marks = ComputeRulerMarks(c.viewOffset, c.rate, 505);
        std::vector<int> columns;
        std::vector<std::string> texts;
        for (const RulerLabel& label : marks.labels) {
            columns.push_back(label.column);
            texts.push_back(label.text);
        }
        EXPECT_THAT(columns, ElementsAreArray(c.labelColumns)) << c.rate << " " << c.viewOffset;
        EXPECT_THAT(texts, ElementsAreArray(c.labelTexts)) << c.rate << " " << c.viewOffset;
        EXPECT_THAT(marks.ticks, ElementsAreArray(c.ticks)) << c.rate << " " << c.viewOffset;
    }
}

TEST(TimeRuler, StatusTextsUseWholeSecondsAndThousandths) {
    EXPECT_EQ(RateAndLengthText(44100, 441000), "44100 [Hz] / 010.000[s]");
    EXPECT_EQ(RateAndLengthText(8000, 12345), "08000 [Hz] / 001.543[s]");
    EXPECT_EQ(CursorText(12345, 8000), "CURSOR 001.543[s]");
    EXPECT_EQ(SelectionText(8000, 20000, 8000), "START 001.000[s] / END 002.500[s] / DURATION 001.500[s]");
    // 3 hours at 44.1 kHz does not overflow the thousandths.
    EXPECT_EQ(CursorText(int64_t{44100} * 10800 + 44099, 44100), "CURSOR 10800.999[s]");
}

}  // namespace
}  // namespace kvt
