// kvt-convert --fit and the fades: a range that fits is written as without --fit, one that
// does not is shortened with a line that names the file, and the fades of a 3GP file,
// decoded by FFmpeg, reach silence at the range's edges and leave its middle as it was.

#include <cmath>

#include "kvt_convert_fixture.h"
#include "platform/command_output.h"

namespace kvt::testing {
namespace {

// RMS of decoded samples [from, to).
double Rms(const std::vector<int16_t>& samples, size_t from, size_t to) {
    double sum = 0;
    for (size_t i = from; i < to; ++i) sum += static_cast<double>(samples[i]) * samples[i];
    return std::sqrt(sum / static_cast<double>(to - from));
}

std::vector<int16_t> DecodeMono(const std::string& path) {
    const auto raw = FfmpegDecodeRaw(path, "-ac 1 -ar 8000 -f s16le");
    EXPECT_TRUE(raw.has_value()) << path;
    std::vector<int16_t> samples(raw ? raw->size() / 2 : 0);
    for (size_t i = 0; i < samples.size(); ++i)
        samples[i] = static_cast<int16_t>((*raw)[2 * i] | (*raw)[2 * i + 1] << 8);
    return samples;
}

TEST_F(KvtConvert, FitLeavesARangeThatFitsAsItWas) {
    const std::string song = MakeSample("song.wav", "2");
    const std::vector<std::string> outputs = {"--mld", "n2,d1,93", "--mld-limit", "100", "--mmf", "--3gp"};
    std::vector<std::string> plain = outputs, fitted = outputs;
    plain.insert(plain.end(), {"-o", out(), song});
    fitted.insert(fitted.end(), {"--fit", "-o", out() + "/fit", song});
    std::filesystem::create_directory(out() + "/fit");
    ASSERT_EQ(Convert(plain).exitCode, 0);
    const RunResult run = Convert(fitted);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_FALSE(run.ErrHas("shortened")) << run.err;
    for (const char* name : {"song_n2.mld", "song_d1.mld", "song_93.mld", "song.mmf", "song.3gp"}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(OutputBytesWithoutClock(out() + "/" + name), OutputBytesWithoutClock(out() + "/fit/" + name));
    }
}

TEST_F(KvtConvert, FitShortensAFileAboveTheCeilingAndSaysSoInTheLocalesLanguage) {
    const std::string song = MakeSample("song.wav", "12", "8000", "1");
    struct Case {
        const char* locale;
        const char* line;
    };
    const Case cases[] = {
        {"C", "kvt-convert: song.wav: song_n2.mld: shortened to 4.7 s to fit in 20 KB\n"},
        {"ja_JP.UTF-8", "kvt-convert: song.wav: song_n2.mld: 20 KB に収めるため 4.7 秒に短くしました。\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.locale);
        const RunResult run =
            Convert({"--mld", "n2", "--mld-rate", "8000", "--mld-limit", "20", "--fit", "-o", out(), song},
                    std::string("export LC_ALL=") + c.locale + ";");
        EXPECT_EQ(run.exitCode, 0) << run.err;
        EXPECT_TRUE(run.ErrHas(c.line)) << run.err;
        EXPECT_FALSE(run.ErrHas("制限を越えています")) << run.err;
    }
    const RunResult check = Convert({"--check", out() + "/song_n2.mld"});
    EXPECT_EQ(check.exitCode, 0) << check.out;
    EXPECT_NE(check.out.find("duration: 4.75 s"), std::string::npos) << check.out;
    EXPECT_NE(check.out.find("audio 19000 bytes, within the 20 KB ceiling"), std::string::npos) << check.out;
}

TEST_F(KvtConvert, FadesReachSilenceAtTheEdgesAndLeaveTheMiddle) {
    const std::string tone = folder / "tone.wav";
    ASSERT_EQ(RunCommand("ffmpeg -nostdin -v error -f lavfi -i sine=f=500:r=8000:d=3 " + Quote(tone)).exitCode, 0);
    std::filesystem::create_directory(out() + "/faded");
    ASSERT_EQ(Convert({"--3gp", "--3gp-rate", "8000", "-o", out(), tone}).exitCode, 0);
    ASSERT_EQ(
        Convert({"--3gp", "--3gp-rate", "8000", "--fade-in", "0.5", "--fade-out", "0.5", "-o", out() + "/faded", tone})
            .exitCode,
        0);
    const std::vector<int16_t> plain = DecodeMono(out() + "/tone.3gp");
    const std::vector<int16_t> faded = DecodeMono(out() + "/faded/tone.3gp");
    ASSERT_EQ(plain.size(), faded.size());
    // The decoder's start-up delay comes first: the range runs from the first loud sample
    // to the last one of the plain decoding.
    auto loud = [](int16_t s) { return std::abs(s) > 1000; };
    const size_t onset = static_cast<size_t>(std::find_if(plain.begin(), plain.end(), loud) - plain.begin());
    const size_t offset =
        plain.size() - static_cast<size_t>(std::find_if(plain.rbegin(), plain.rend(), loud) - plain.rbegin());
    ASSERT_GT(offset, onset + 3 * 8000 - 800);
    constexpr size_t kEdge = 160;  // 20 ms
    EXPECT_LT(Rms(faded, onset, onset + kEdge), 0.05 * Rms(plain, onset, onset + kEdge));
    EXPECT_LT(Rms(faded, offset - kEdge, offset), 0.05 * Rms(plain, offset - kEdge, offset));
    const double middle = Rms(plain, onset + 6000, offset - 6000);
    EXPECT_NEAR(Rms(faded, onset + 6000, offset - 6000), middle, 0.01 * middle);
}

}  // namespace
}  // namespace kvt::testing
