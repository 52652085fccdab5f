#include "engine/pcm_fades.h"

#include <gtest/gtest.h>

#include "engine/pcm_operations.h"

namespace kvt {
namespace {

TEST(PcmFades, RampsReachSilenceAtTheEdgesAndLeaveTheMiddle) {
    // 10 stereo frames of full level, 4 frames faded at each end.
    std::vector<uint8_t> pcm = SamplesToBytes(std::vector<int16_t>(20, -20000));
    FadeIn(pcm, 2, 4);
    FadeOut(pcm, 2, 4);
    const std::vector<int16_t> expected = {0,      0,      -5000,  -5000,  -10000, -10000, -15000,
                                           -15000, -20000, -20000, -20000, -20000, -15000, -15000,
                                           -10000, -10000, -5000,  -5000,  0,      0};
    EXPECT_EQ(BytesToSamples(pcm), expected);
}

TEST(PcmFades, FadeLongerThanTheBlockCoversItAndNoneChangesNothing) {
    std::vector<uint8_t> pcm = SamplesToBytes(std::vector<int16_t>{100, 100, 100});
    FadeOut(pcm, 1, 0);
    FadeIn(pcm, 0, 5);
    EXPECT_EQ(BytesToSamples(pcm), (std::vector<int16_t>{100, 100, 100}));
    FadeIn(pcm, 1, 50);
    EXPECT_EQ(BytesToSamples(pcm), (std::vector<int16_t>{0, 33, 66}));
    EXPECT_EQ(FadeFrames(0.5, 8000), 4000u);
    EXPECT_EQ(FadeFrames(-1, 8000), 0u);
}

}  // namespace
}  // namespace kvt
