#include <gtest/gtest.h>

#include "convert/loaded_input.h"

namespace kvt {
namespace {

// Stereo, 100 frames of 4 bytes.
LoadedInput Input(uint32_t startFrame, uint32_t endFrame) {
    LoadedInput input;
    input.format.channels = 2;
    input.pcm.resize(400);
    input.totalFrames = 100;
    input.startFrame = startFrame;
    input.endFrame = endFrame;
    return input;
}

TEST(SelectedRange, EqualEndsSelectTheWholeInputAndAReversedSelectionDependsOnTheCaller) {
    struct Case {
        const char* name;
        uint32_t start, end;
        ReversedSelection reversed;
        size_t offset, length;
    };
    const Case cases[] = {
        {"a selection", 10, 30, ReversedSelection::Nothing, 40, 80},
        {"equal ends", 25, 25, ReversedSelection::Swap, 0, 400},
        {"equal ends, preview", 25, 25, ReversedSelection::Nothing, 0, 400},
        {"reversed, job", 30, 10, ReversedSelection::Swap, 40, 80},
        {"reversed, preview", 30, 10, ReversedSelection::Nothing, 120, 0},
        {"end past the block, left to the caller", 90, 500, ReversedSelection::Swap, 360, 1640},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const PcmRange range = SelectedRange(Input(c.start, c.end), c.reversed);
        EXPECT_EQ(range.offset, c.offset);
        EXPECT_EQ(range.length, c.length);
    }
}

}  // namespace
}  // namespace kvt
