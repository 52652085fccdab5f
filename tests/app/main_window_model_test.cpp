#include "app/main_window/main_window_model.h"

#include <gtest/gtest.h>

#include "loaded_input_maker.h"

namespace kvt {
namespace {

using testing::MakeLoadedInput;
using testing::SampleOf;

MainWindowModel ModelOf(uint32_t frames) {
    MainWindowModel model;
    model.input = MakeLoadedInput(frames, 1, 8000);
    return model;
}

TEST(MainWindowModel, StartAndEndMoveOnlyInsideTheSelectionAndNeverWhilePlaying) {
    struct Case {
        bool setStart;
        int cursor;
        bool playing;
        uint32_t start, end;  // afterwards; START 100 and END 500 before
    };
    const Case cases[] = {
        {true, 200, false, 200, 500}, {true, 500, false, 100, 500},  {true, 600, false, 100, 500},
        {true, 200, true, 100, 500},  {false, 300, false, 100, 300}, {false, 100, false, 100, 500},
        {false, 50, false, 100, 500}, {false, 300, true, 100, 500},
    };
    for (const Case& c : cases) {
        MainWindowModel model = ModelOf(1000);
        model.input.startFrame = 100;
        model.input.endFrame = 500;
        model.viewOffset = c.cursor - 10;
        model.cursorX = 10;
        const bool changed = c.setStart ? model.SetStart(c.playing) : model.SetEnd(c.playing);
        EXPECT_EQ(model.input.startFrame, c.start) << c.setStart << " " << c.cursor << " " << c.playing;
        EXPECT_EQ(model.input.endFrame, c.end) << c.setStart << " " << c.cursor << " " << c.playing;
        EXPECT_EQ(changed, c.start != 100 || c.end != 500);
    }
}

TEST(MainWindowModel, ViewAndCursorStayInsideTheInput) {
    enum class Op { Overview, Back, Forward, Drag, Cursor };
    struct Case {
        const char* name;
        uint32_t frames;
        int64_t viewBefore;
        Op op;
        int x;
        int64_t view;
        int cursorX;
    };
    // 10100 frames: a scroll step of 20 frames, the last view begins at 9595.
    const Case cases[] = {
        {"short input, overview end", 300, 0, Op::Overview, 510, 0, 0},
        {"short input, scroll forward", 300, 0, Op::Forward, 0, 0, 0},
        {"short input, drag past right", 300, 0, Op::Drag, 600, 0, 300},
        {"short input, cursor past its end", 300, 0, Op::Cursor, 500, 0, 300},
        {"forward", 10100, 0, Op::Forward, 0, 20, 0},
        {"forward at the end", 10100, 9590, Op::Forward, 0, 9595, 0},
        {"back at the start", 10100, 10, Op::Back, 0, 0, 0},
        {"back", 10100, 100, Op::Back, 0, 80, 0},
        {"overview left edge", 10100, 500, Op::Overview, 56, 0, 0},
        {"overview middle", 10100, 0, Op::Overview, 283, 5038, 0},
        {"overview right edge", 10100, 0, Op::Overview, 510, 9595, 0},
        {"overview, left of the strip", 10100, 500, Op::Overview, 40, 0, 0},
        {"drag past left", 10100, 1000, Op::Drag, 20, 989, 0},
        {"drag past right", 10100, 1000, Op::Drag, 546, 1010, 505},
        {"drag inside", 10100, 1000, Op::Drag, 131, 1000, 100},
        {"drag past left at the start", 10100, 5, Op::Drag, 20, 0, 0},
        {"drag past right at the end", 10100, 9595, Op::Drag, 600, 9595, 505},
        {"cursor left of the plot", 10100, 0, Op::Cursor, 5, 0, 0},
        {"cursor right of the plot", 10100, 0, Op::Cursor, 600, 0, 505},
    };
    for (const Case& c : cases) {
        MainWindowModel model = ModelOf(c.frames);
        model.viewOffset = c.viewBefore;
        switch (c.op) {
        case Op::Overview: model.ViewFromOverview(c.x); break;
        case Op::Back: model.ScrollBack(); break;
        case Op::Forward: model.ScrollForward(); break;
        case Op::Drag: model.FollowDetailDrag(c.x); break;
        case Op::Cursor: model.CursorFromDetail(c.x); break;
        }
        EXPECT_EQ(model.viewOffset, c.view) << c.name;
        EXPECT_EQ(model.cursorX, c.cursorX) << c.name;
    }
}

TEST(MainWindowModel, VolumeTruncatesTowardZeroAndStaysInsideFullScale) {
    const int16_t before[] = {32767, -32768, 30000, 1, -1, 4, -4, 5, -5, 0};
    const int16_t up[] = {32767, -32767, 32767, 1, -1, 5, -5, 6, -6, 0};
    const int16_t down[] = {26213, -26214, 24000, 0, 0, 3, -3, 4, -4, 0};
    for (VolumeCommand command : {VolumeCommand::Up, VolumeCommand::Down}) {
        MainWindowModel model;
        model.input = MakeLoadedInput(5, 2, 8000, [&](uint32_t f, int c) { return before[f * 2 + c]; });
        model.overviewReady = true;
        model.ChangeVolume(command);
        const int16_t* expected = command == VolumeCommand::Up ? up : down;
        for (size_t i = 0; i < std::size(before); ++i) {
            const int16_t got = SampleOf(model.input, i);
            EXPECT_EQ(got, expected[i]) << static_cast<int>(command) << " " << before[i];
            EXPECT_GE(got * before[i], 0) << "sign flipped: " << before[i];
        }
        EXPECT_FALSE(model.overviewReady);
    }
}

TEST(MainWindowModel, ProgressBarShowsAfterTheFirstStepAndFillsTheBar) {
    MainWindowModel model;
    model.ProgressReset(3);
    EXPECT_FALSE(model.ProgressShown());
    const int whiteRight[] = {7 + 552 / 3, 7 + 552 * 2 / 3, 559, 559};
    for (int expected : whiteRight) {
        model.ProgressStep();
        EXPECT_TRUE(model.ProgressShown());
        EXPECT_EQ(model.ProgressWhiteRight(), expected);
    }
    model.ShowProgressFraction(0.5);
    EXPECT_EQ(model.ProgressWhiteRight(), 7 + 276);
    model.HideProgress();
    EXPECT_FALSE(model.ProgressShown());
}

TEST(MainWindowModel, OverviewColumnTruncatesAndNeedsFrames) {
    EXPECT_EQ(OverviewColumn(0, 1000), 0);
    EXPECT_EQ(OverviewColumn(999, 1000), 454);
    EXPECT_EQ(OverviewColumn(1000, 1000), 455);
    EXPECT_EQ(OverviewColumn(3, 1000), 1);  // 1365 / 1000
    EXPECT_EQ(OverviewColumn(5, 0), 0);
    // Long inputs do not overflow: 2^31 frames.
    EXPECT_EQ(OverviewColumn(int64_t{1} << 30, int64_t{1} << 31), 227);
}

}  // namespace
}  // namespace kvt
