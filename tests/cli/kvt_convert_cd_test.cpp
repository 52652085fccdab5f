// kvt-convert with audio-CD tracks: a BIN/CUE image put in a drive with --cd-image, its
// tracks given as D:\TrackNN.cda.

#include <cmath>
#include <string>
#include <vector>

#include "kvt_convert_fixture.h"

namespace kvt {
namespace {

using testing::KvtConvert;
using testing::RunResult;

// Two tracks of 2 s (150 frames of 588 stereo 16-bit samples) of a tone in one BIN file.
std::string WriteCdImage(const testing::TempFolder& folder) {
    std::string audio;
    for (int sample = 0; sample < 2 * 150 * 588; ++sample) {
        const auto value = static_cast<uint16_t>(static_cast<int16_t>(8000 * std::sin(sample * 0.05)));
        audio.append({char(value & 0xFF), char(value >> 8), char(value & 0xFF), char(value >> 8)});
    }
    folder.Write("disc.bin", audio);
    return folder.Write("disc.cue",
                        "FILE \"disc.bin\" BINARY\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n"
                        "  TRACK 02 AUDIO\n    INDEX 01 00:02:00\n");
}

TEST_F(KvtConvert, TrackOfACdImageMakesEveryOutput) {
    const std::string cue = WriteCdImage(folder);
    RunResult run = Convert({"--cd-image", "D=" + cue, "--all", "--mld-rate", "8000", "--mld-limit", "100", "-o", out(),
                             "D:\\Track02.cda"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(OutFiles().size(), 16u);
    EXPECT_EQ(run.OutLines().size(), OutFiles().size());
    for (const std::string& name : OutFiles()) EXPECT_TRUE(name.starts_with("Track02")) << name;
    EXPECT_TRUE(TmpIsEmpty());
}

TEST_F(KvtConvert, CdTrackRefusals) {
    const std::string cue = WriteCdImage(folder);
    struct Case {
        std::vector<std::string> arguments;
        int exitCode;
        std::string message;
    };
    const Case cases[] = {
        {{"--cd-image", "D=" + cue, "--mmf", "-o", out(), "D:\\Track03.cda"},
         1,
         "D:\\Track03.cda: CDがセットされていません。"},
        {{"--cd-image", "D=" + cue, "--mmf", "-o", out(), "E:\\Track01.cda"}, 1, "CD-ROMドライブではありません。"},
        {{"--cd-image", "D=" + cue, "--mmf", "-o", out(), "D:\\track01.cda"}, 1, "「D:\\Track01.cda」の形"},
        {{"--cd-image", "D" + cue, "--mmf", "-o", out(), "D:\\Track01.cda"}, 2, "--cd-image"},
        {{"--cd-image", "D=" + folder / "none.cue", "--mmf", "-o", out(), "D:\\Track01.cda"}, 2, "none.cue"},
    };
    for (const Case& c : cases) {
        RunResult run = Convert(c.arguments);
        EXPECT_EQ(run.exitCode, c.exitCode) << run.err;
        EXPECT_TRUE(run.ErrHas(c.message)) << run.err;
        EXPECT_TRUE(OutFiles().empty());
        EXPECT_TRUE(TmpIsEmpty());
    }
}

}  // namespace
}  // namespace kvt
