// The cut MldFittingFrames finds is the encoder's own: the clip of that many frames is
// coded within the ceiling and one frame more passes it, for every layout family, at two
// rates, both resamplers and the 2-bit coder.

#include "engine/mld_fit.h"

#include <gtest/gtest.h>

#include "engine/mld_encoder.h"
#include "engine_test_support.h"
#include "platform/message.h"

namespace kvt {
namespace {

// Whether the encoder, given the first `frames` frames of `clip`, passes `limit`.
bool PassesLimit(const SourceClip& clip, uint64_t frames, int preset, int rate, ResamplerKind kind, uint32_t limit,
                 const std::string& output) {
    const size_t bytes = frames * 2 * clip.format.channels;
    const SourceClip part(clip.path, clip.format, std::span(clip.data).first(bytes));
    MldEncoder encoder(part);
    encoder.resampler = kind;
    encoder.SetSizeLimit(limit);
    encoder.showsSizeMessage = false;
    EXPECT_EQ(encoder.ConvertMld(preset, rate, 100, output), 1);
    return encoder.overSizeLimit;
}

TEST(MldFit, CutIsTheLongestStartWithinTheCeiling) {
    struct Case {
        const char* family;
        int preset;
        int rate;
    };
    const Case cases[] = {
        {"one-track, 4-bit", 2, 8000},    {"one-track, 4-bit", 2, 16000},   {"one-track, 2-bit coder", 3, 4000},
        {"one-track, G.726", 3, 16000},   {"0400 layout", 12, 8000},        {"0400 layout", 12, 32000},
        {"two-stream stereo", 13, 8000},  {"two-stream stereo", 13, 16000}, {"one-stream stereo", 14, 8000},
        {"one-stream stereo", 14, 16000},
    };
    testing::TempFolder folder;
    // 22050 Hz stereo: every row resamples and the mono rows mix, as a job's clip does.
    const SourceClip clip = testing::MakeClip(folder.File("a.wav"), 2, 22050, testing::TestSignal(2 * 22050));
    const uint64_t frames = clip.data.size() / 4;
    constexpr uint32_t kLimit = 1001;
    MessageRecorder quiet;
    for (const Case& c : cases) {
        for (const ResamplerKind kind : {ResamplerKind::BandLimited, ResamplerKind::Classic}) {
            SCOPED_TRACE(std::string(c.family) + " at " + std::to_string(c.rate) +
                         (kind == ResamplerKind::Classic ? " classic" : " band-limited"));
            const MldPreset& row = MldPresetTable[static_cast<size_t>(c.preset)];
            const MldClipShape shape{22050, static_cast<uint32_t>(c.rate), kind};
            const auto fits = MldFittingFrames(row, frames, shape, kLimit);
            ASSERT_TRUE(fits.has_value());
            ASSERT_LT(*fits, frames);
            const std::string output = folder.File("out.mld");
            EXPECT_FALSE(PassesLimit(clip, *fits, c.preset, c.rate, kind, kLimit, output));
            EXPECT_TRUE(PassesLimit(clip, *fits + 1, c.preset, c.rate, kind, kLimit, output));
        }
    }
}

TEST(MldFit, WholeClipWithinTheCeilingAndRefusedRatesAreLeftAlone) {
    const MldPreset& n2 = MldPresetTable[2];
    EXPECT_EQ(MldFittingFrames(n2, 8000, {8000, 8000}, kMldLimit10Kb), 8000u);
    // p1s takes no 32000 Hz, n1 no 16000 Hz: the encoder writes nothing to fit.
    EXPECT_FALSE(MldFittingFrames(MldPresetTable[13], 8000, {8000, 32000}, kMldLimit10Kb));
    EXPECT_FALSE(MldFittingFrames(MldPresetTable[1], 8000, {8000, 16000}, kMldLimit10Kb));
    // 19,000 coded bytes of 4-bit codes at 8000 Hz are 38,000 samples: 4.75 s.
    EXPECT_EQ(MldFittingFrames(n2, 60 * 8000, {8000, 0}, kMldLimit20Kb), 38001u);
}

}  // namespace
}  // namespace kvt
