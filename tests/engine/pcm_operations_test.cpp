#include "engine/pcm_operations.h"

#include <gtest/gtest.h>

#include "engine_test_support.h"
#include "platform/message.h"

namespace kvt {
namespace {

std::vector<int16_t> Ramp(size_t count, int16_t step) {
    std::vector<int16_t> samples(count);
    for (size_t i = 0; i < count; ++i) samples[i] = static_cast<int16_t>(i * step);
    return samples;
}

TEST(Resample, DownFrom44100To8000KeepsWholeFramesAtStep5512) {
    SourceClip clip = testing::MakeClip("a", 1, 44100, Ramp(1000, 10));
    ASSERT_EQ(Resample(clip, 8000, ResamplerKind::Classic), 1);
    ASSERT_EQ(clip.data.size(), 362u);
    const std::vector<int16_t> out = BytesToSamples(clip.data);
    // Frame i starts at i × 5.512 source frames: s[k] + (s[k+1] - s[k]) × f / 1000.
    EXPECT_EQ(out[0], 0);
    EXPECT_EQ(out[1], 55);      // k 5, f 512: 50 + 10 × 512 / 1000
    EXPECT_EQ(out[180], 9921);  // k 992, f 160: 9920 + 1.6 truncated
    EXPECT_EQ(clip.format.sampleRate, 8000u);
    EXPECT_EQ(clip.format.byteRate, 16000u);
}

TEST(Resample, DoublingKeepsTheInputAsEvenFramesAndRepeatsTheLastFrameAtTheEnd) {
    const std::vector<int16_t> stereo = {100, -100, 300, -300, 1000, -1000};
    SourceClip clip = testing::MakeClip("a", 2, 8000, stereo);
    ASSERT_EQ(Resample(clip, 16000, ResamplerKind::Classic), 1);
    const std::vector<int16_t> out = BytesToSamples(clip.data);
    EXPECT_EQ(out, (std::vector<int16_t>{100, -100, 200, -200, 300, -300, 650, -650, 1000, -1000, 1000, -1000}));
    EXPECT_EQ(clip.format.byteRate, 64000u);
    EXPECT_EQ(clip.format.blockAlign, 4);
}

constexpr ResamplerKind kBothKinds[] = {ResamplerKind::Classic, ResamplerKind::BandLimited};

TEST(Resample, SameRateAndUnusableBlocksAreLeftAlone) {
    for (const ResamplerKind kind : kBothKinds) {
        SCOPED_TRACE(static_cast<int>(kind));
        SourceClip same = testing::MakeClip("a", 1, 8000, Ramp(9, 3));
        const auto before = same.data;
        ASSERT_EQ(Resample(same, 8000, kind), 1);
        EXPECT_EQ(same.data, before);

        SourceClip noRate = testing::MakeClip("a", 1, 0, Ramp(9, 3));
        ASSERT_EQ(Resample(noRate, 8000, kind), 1);
        EXPECT_EQ(noRate.data, before);

        SourceClip eightBit("a", FormatBlock{1, 1, 8000, 8000, 1, 8, 0, 0}, testing::Hex("80 81 82"));
        ASSERT_EQ(Resample(eightBit, 16000, kind), 1);
        EXPECT_EQ(eightBit.data.size(), 3u);
    }
}

TEST(Resample, ShortAndOddClipsStayInBounds) {
    for (const ResamplerKind kind : kBothKinds) {
        for (const size_t frames : {0u, 1u, 2u, 3u, 7u}) {
            for (const uint32_t rate : {4000u, 16000u, 32000u, 44100u}) {
                SourceClip clip = testing::MakeClip("a", 2, 22050, Ramp(frames * 2, 5));
                clip.data.push_back(0x7F);  // an odd trailing byte is not a sample
                ASSERT_EQ(Resample(clip, rate, kind), 1);
                EXPECT_EQ(clip.data.size() % 4, 0u);
            }
        }
    }
}

TEST(Resample, RefusesAResultTooLargeForThirtyTwoBits) {
    for (const ResamplerKind kind : kBothKinds) {
        MessageRecorder recorder;
        SourceClip clip = testing::MakeClip("a", 1, 1, Ramp(4000, 1));
        ASSERT_EQ(Resample(clip, 32000000, kind), 0);
        EXPECT_EQ(recorder.Texts(), std::vector<std::string>{"no memory"});
        EXPECT_EQ(clip.format.sampleRate, 1u);
        EXPECT_EQ(clip.data.size(), 8000u);
    }
}

TEST(ConvertChannels, StereoToMonoAveragesTowardZero) {
    SourceClip clip = testing::MakeClip("a", 2, 8000, std::vector<int16_t>{-3, 0, 3, 0, 32767, 32767, -32768, -32767});
    ASSERT_EQ(ConvertChannels(clip, 1), 1);
    EXPECT_EQ(BytesToSamples(clip.data), (std::vector<int16_t>{-1, 1, 32767, -32767}));
    EXPECT_EQ(clip.format.channels, 1);
    EXPECT_EQ(clip.format.blockAlign, 2);
    EXPECT_EQ(clip.format.byteRate, 16000u);
    EXPECT_EQ(clip.data.size(), 8u);
}

TEST(ConvertChannels, MonoToStereoDuplicatesEverySample) {
    SourceClip clip = testing::MakeClip("a", 1, 8000, std::vector<int16_t>{5, -7});
    ASSERT_EQ(ConvertChannels(clip, 2), 1);
    EXPECT_EQ(BytesToSamples(clip.data), (std::vector<int16_t>{5, 5, -7, -7}));
    EXPECT_EQ(clip.format.channels, 2);
    EXPECT_EQ(clip.format.blockAlign, 4);
    EXPECT_EQ(clip.format.byteRate, 32000u);
    EXPECT_EQ(clip.data.size(), 8u);
}

TEST(ConvertChannels, OtherCombinationsChangeNothing) {
    for (const auto& [channels, target] : {std::pair{1, 1}, {2, 2}, {1, 3}, {2, 0}}) {
        SourceClip clip = testing::MakeClip("a", static_cast<uint16_t>(channels), 8000, Ramp(8, 1));
        const auto before = clip.data;
        ASSERT_EQ(ConvertChannels(clip, target), 1);
        EXPECT_EQ(clip.data, before);
        EXPECT_EQ(clip.format.channels, channels);
    }
}

}  // namespace
}  // namespace kvt
