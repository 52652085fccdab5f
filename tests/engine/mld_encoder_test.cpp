#include "engine/mld_encoder.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "engine/mld_preset_table.h"
#include "engine/pcm_operations.h"
#include "engine/sample_codecs.h"
#include "engine_test_support.h"
#include "mld_expected_file.h"
#include "platform/message.h"

namespace kvt {
namespace {

using testing::Hex;

// The handset rows as they must stand: name, codec, f04 f08 f16 f32, "0400" layout.
struct RowFacts {
    const char* name;
    int codec;
    int f04, f08, f16, f32;
    int v4;
};
constexpr RowFacts kRows[19] = {
    {"none", 0, 0, 0, 0, 0, 0}, {"n1", 1, 1, 1, 0, 0, 0},  {"n2", 1, 1, 1, 1, 1, 0},  {"d1", 3, 1, 1, 1, 0, 0},
    {"f1", 2, 1, 1, 1, 0, 0},   {"p1", 2, 1, 1, 1, 0, 0},  {"p2", 3, 1, 1, 1, 0, 0},  {"so1", 1, 1, 1, 0, 0, 0},
    {"so2", 3, 1, 1, 1, 0, 0},  {"sh1", 2, 1, 1, 0, 0, 0}, {"sh2", 3, 1, 1, 1, 1, 0}, {"san", 2, 1, 1, 0, 0, 0},
    {"93", 3, 1, 1, 1, 1, 1},   {"p1s", 2, 0, 1, 1, 0, 0}, {"93s", 3, 0, 1, 1, 0, 1}, {"n2s", 1, 0, 1, 1, 0, 0},
    {"s2s", 3, 0, 1, 1, 0, 0},  {"f1s", 2, 0, 1, 1, 0, 0}, {"lg", 6, 0, 1, 1, 0, 0},
};

TEST(MldPresetTable, RowsStandAsTheHandsetsNeedThem) {
    for (size_t i = 0; i < kMldPresetCount; ++i) {
        const MldPreset& row = MldPresetTable[i];
        const RowFacts& facts = kRows[i];
        EXPECT_EQ(row.name, facts.name);
        EXPECT_EQ(row.type, static_cast<int>(i));
        EXPECT_EQ(row.codec, facts.codec) << i;
        EXPECT_EQ((std::array{row.f04, row.f08, row.f16, row.f32}),
                  (std::array{facts.f04, facts.f08, facts.f16, facts.f32}))
            << i;
        EXPECT_EQ(row.useV4Layout, facts.v4) << i;
    }
    EXPECT_EQ(MldPresetTable[0].description, "");
    EXPECT_EQ(MldPresetTable[1].description, "N210i, N211i, N503i");
    EXPECT_EQ(MldPresetTable[14].description, std::string(MldPresetTable[12].description) + " Stereo");
    EXPECT_EQ(MldPresetTable[16].description, MldPresetTable[10].description);
    EXPECT_EQ(MldPresetTable[17].description, MldPresetTable[4].description);
    EXPECT_EQ(MldPresetTable[15].description, std::string(MldPresetTable[2].description) + " Stereo");
    EXPECT_EQ(MldPresetTable[18].description, "LG電子携帯");
    EXPECT_NE(MldPresetTable[10].description.find("N905iμ"), std::string_view::npos);
    EXPECT_EQ(MldPresetTable[12].description.substr(0, 13), "SA702i,P903i,");
}

std::vector<uint8_t> Coded(int codec, std::vector<int16_t> samples, size_t size) {
    std::vector<uint8_t> codes = EncodeWithCodec(codec, samples);
    codes.resize(size);
    return codes;
}

// Every handset row at every rate: the refusal and its message, or the whole file.
TEST(MldEncoder, EveryRowAtEveryRateWritesItsLayoutOrRefuses) {
    constexpr double kSeconds = 5.0;
    for (int preset = 1; preset <= 18; ++preset) {
        for (const uint32_t rate : {4000u, 8000u, 16000u, 32000u}) {
            SCOPED_TRACE(::testing::Message() << "row " << preset << " at " << rate);
            const RowFacts& facts = kRows[preset];
            const bool stereo = preset >= 13 && preset <= 17;
            const int allowed[] = {facts.f04, facts.f08, facts.f16, facts.f32};
            const int rateIndex = rate == 4000 ? 0 : rate == 8000 ? 1 : rate == 16000 ? 2 : 3;
            // The 32 kbit/s coder at 4000 Hz codes 2-bit at 8000 Hz: feed 8000 Hz so nothing
            // is resampled and the expected stream can be coded here.
            const bool twoBit = facts.codec == 3 && rate == 4000;
            const uint32_t pcmRate = twoBit ? 8000 : rate;
            const uint16_t channels = stereo ? 2 : 1;
            const auto frames = static_cast<size_t>(pcmRate * kSeconds);
            const std::vector<int16_t> samples = testing::TestSignal(frames * channels, preset * 7 + rateIndex);

            testing::TempFolder folder;
            const SourceClip clip = testing::MakeClip(folder.File("song.wav"), channels, pcmRate, samples);
            MldEncoder encoder(clip);
            encoder.SetSizeLimit(0xFFFFFFFF);
            MessageRecorder recorder;
            const int result = encoder.ConvertMld(preset, static_cast<int>(rate), 2000);
            const std::string output = folder.File(std::string("song_") + facts.name + ".mld");

            std::string refusal;
            if (!allowed[rateIndex])
                refusal = std::string("samplerate_f") +
                          (rate == 4000    ? "04"
                           : rate == 8000  ? "08"
                           : rate == 16000 ? "16"
                                           : "32") +
                          ":" + facts.name;
            if (!refusal.empty()) {
                EXPECT_EQ(result, 0);
                EXPECT_EQ(recorder.Texts(), std::vector<std::string>{refusal});
                EXPECT_TRUE(std::filesystem::is_empty(folder.Path()));
                continue;
            }
            ASSERT_EQ(result, 1);
            EXPECT_TRUE(recorder.Texts().empty());
            const std::vector<uint8_t> file = testing::ReadFileBytes(output);

            const int codec = twoBit ? 4 : facts.codec;
            const uint32_t recordedRate = twoBit ? 4000 : rate;
            const uint64_t codedRate = twoBit ? 2000 : uint64_t{rate} * channels * 2 / 4;
            const size_t coded = samples.size() * 2 / (twoBit ? 8 : 4);
            std::vector<uint8_t> expected;
            if (facts.v4) {
                std::vector<uint8_t> stream;
                if (stereo) {
                    stream = Coded(codec, testing::StereoChannel(samples, 0), frames / 2);
                    testing::Append(stream, Coded(codec, testing::StereoChannel(samples, 1), frames / 2));
                } else {
                    stream = Coded(codec, samples, coded);
                }
                expected =
                    testing::ExpectedV4("song", stream, recordedRate, static_cast<uint64_t>(kSeconds * 200), stereo);
            } else if (stereo) {
                expected = testing::ExpectedTwoStream(
                    preset, "song", Coded(codec, testing::StereoChannel(samples, 0), frames / 2),
                    Coded(codec, testing::StereoChannel(samples, 1), frames / 2), rate, codedRate);
            } else {
                expected =
                    testing::ExpectedOneTrack(preset, "song", Coded(codec, samples, coded), recordedRate, codedRate);
            }
            ASSERT_EQ(file.size(), expected.size());
            const auto mismatch = std::mismatch(file.begin(), file.end(), expected.begin());
            EXPECT_EQ(mismatch.first, file.end()) << "first difference at " << (mismatch.first - file.begin());
        }
    }
}

TEST(MldEncoder, DurationTicksRoundTheDoubleQuotientDown) {
    // bytes, bytes a second, ticks; the first two differ from exact integer arithmetic.
    constexpr struct {
        uint32_t bytes, byteRate, ticks;
    } kCases[] = {
        {2320, 16000, 28}, {1160 * 4, 32000, 28},       {16000, 16000, 200}, {2400, 16000, 30},
        {79, 16000, 0},    {0xFFFFFFFF, 1, UINT32_MAX}, {100, 0, 0},
    };
    for (const auto& c : kCases)
        EXPECT_EQ(MldDurationTicks(c.bytes, c.byteRate), c.ticks) << c.bytes << "/" << c.byteRate;

    // 1160 samples at 8000 Hz through the "0400" row: the trac chunk records 0x1C.
    testing::TempFolder folder;
    const SourceClip clip = testing::MakeClip(folder.File("t.wav"), 1, 8000, testing::TestSignal(1160));
    MldEncoder encoder(clip);
    ASSERT_EQ(encoder.ConvertMld(12, 8000, 2000), 1);
    const std::vector<uint8_t> file = testing::ReadFileBytes(folder.File("t_93.mld"));
    ASSERT_GT(file.size(), 37u);
    EXPECT_EQ(file[file.size() - 37 + 25], 0x1C);  // Tlo
    EXPECT_EQ(file[file.size() - 37 + 28], 0x00);  // Thi
}

TEST(MldEncoder, ThirtyTwoKilohertzStereoAndUnknownRatesAreRefused) {
    const struct {
        int preset;
        int rate;
        uint32_t sourceRate;
        const char* message;
    } cases[] = {
        {13, 32000, 8000, "samplerate_f32:p1s"},
        {2, 22050, 8000, "samplerate:4000,8000,16000,32000"},
        {2, 0, 22050, "samplerate:4000,8000,16000,32000"},
        {2, -8000, 8000, "samplerate:4000,8000,16000,32000"},
        {0, 8000, 8000, "samplerate_f08:none"},
    };
    for (const auto& c : cases) {
        testing::TempFolder folder;
        const SourceClip clip = testing::MakeClip(folder.File("a.wav"), 1, c.sourceRate, testing::TestSignal(100));
        MldEncoder encoder(clip);
        MessageRecorder recorder;
        EXPECT_EQ(encoder.ConvertMld(c.preset, c.rate, 100), 0);
        EXPECT_EQ(recorder.Texts(), std::vector<std::string>{c.message});
        EXPECT_TRUE(std::filesystem::is_empty(folder.Path()));
    }
}

TEST(MldEncoder, RowOutsideTheTableIsRefused) {
    const SourceClip clip = testing::MakeClip("/nonexistent/a.wav", 1, 8000, testing::TestSignal(100));
    MldEncoder encoder(clip);
    for (const int preset : {-1, 19, 1000}) {
        MessageRecorder recorder;
        EXPECT_EQ(encoder.ConvertMld(preset, 8000, 100), 0);
        EXPECT_EQ(recorder.Texts(), std::vector<std::string>{"fmt_num"});
    }
}

TEST(MldEncoder, SourceThatIsNotSixteenBitIsRefused) {
    testing::TempFolder folder;
    const SourceClip clip(folder.File("a.wav"), FormatBlock{1, 1, 8000, 8000, 1, 8, 0, 0}, testing::Hex("80818283"));
    MldEncoder encoder(clip);
    MessageRecorder recorder;
    EXPECT_EQ(encoder.ConvertMld(1, 8000, 100), 0);
    EXPECT_EQ(recorder.Texts(), std::vector<std::string>{"対応していないビット数です。"});
}

TEST(MldEncoder, SourceOfMoreThanTwoChannelsIsRefused) {
    testing::TempFolder folder;
    const SourceClip clip = testing::MakeClip(folder.File("a.wav"), 3, 8000, testing::TestSignal(300));
    MldEncoder encoder(clip);
    MessageRecorder recorder;
    EXPECT_EQ(encoder.ConvertMld(1, 8000, 100), 0);
    EXPECT_EQ(recorder.Texts(), std::vector<std::string>{"zorvikを保存できませんでした。"});
    EXPECT_TRUE(std::filesystem::is_empty(folder.Path()));
}

TEST(MldEncoder, SizeCeilingWarnsOnlyAboveTheLimitAndStillWrites) {
    // 8000 Hz mono, 4-bit: 2000 samples give 1000 coded bytes.
    for (const auto& [limit, warned] : {std::pair{999u, true}, {1000u, false}, {100000u, false}}) {
        testing::TempFolder folder;
        const SourceClip clip = testing::MakeClip(folder.File("a.wav"), 1, 8000, testing::TestSignal(2000));
        MldEncoder encoder(clip);
        encoder.SetSizeLimit(limit);
        MessageRecorder recorder;
        EXPECT_EQ(encoder.ConvertMld(3, 8000, 100), 1);
        EXPECT_EQ(recorder.Texts().size(), warned ? 1u : 0u) << limit;
        if (warned) {
            EXPECT_EQ(recorder.Texts()[0], "指定されたファイルサイズの制限を越えています。");
        }
        EXPECT_TRUE(std::filesystem::exists(folder.File("a_d1.mld")));
    }
}

TEST(MldEncoder, OutputPathAndTitleRules) {
    testing::TempFolder folder;
    std::filesystem::create_directory(folder.File("x.y"));
    const struct {
        std::string path;
        std::string file;
        std::string title;
    } cases[] = {
        {folder.File("song.wav"), folder.File("song_f1.mld"), "song"},
        {folder.File("a.b.wav"), folder.File("a.b_f1.mld"), "a.b"},
        {folder.File("x.y/noext"), folder.File("x.y/noext_f1.mld"), "noext"},  // a dot in a folder is not an extension
        {folder.File("x.y/back\\slash.wav"), folder.File("x.y/back\\slash_f1.mld"), "slash"},
    };
    for (const auto& c : cases) {
        const SourceClip clip = testing::MakeClip(c.path, 1, 8000, testing::TestSignal(10));
        MldEncoder encoder(clip);
        ASSERT_EQ(encoder.ConvertMld(4, 8000, 100), 1) << c.path;
        const auto file = testing::ReadFileBytes(c.file);
        ASSERT_GT(file.size(), 26u) << c.file;
        EXPECT_EQ(std::string(file.begin() + 26, file.begin() + 26 + static_cast<long>(c.title.size())), c.title);
        EXPECT_EQ(file[25], c.title.size());
    }
}

TEST(MldEncoder, ExplicitOutputPathAndTitleTextInTheHandsetCodePage) {
    testing::TempFolder folder;
    const SourceClip clip = testing::MakeClip(folder.File("song.wav"), 1, 8000, testing::TestSignal(10));
    MldEncoder encoder(clip);
    encoder.title = "着信";
    ASSERT_EQ(encoder.ConvertMld(4, 8000, 100, folder.File("chosen.mld")), 1);
    EXPECT_FALSE(std::filesystem::exists(folder.File("song_f1.mld")));
    const auto file = testing::ReadFileBytes(folder.File("chosen.mld"));
    EXPECT_EQ(std::vector<uint8_t>(file.begin() + 20, file.begin() + 30), Hex("7469746C 0004 9285 904D"));

    // Without a title the base name is used even with an explicit path.
    encoder.title.clear();
    ASSERT_EQ(encoder.ConvertMld(4, 8000, 100, folder.File("other.mld")), 1);
    const auto other = testing::ReadFileBytes(folder.File("other.mld"));
    EXPECT_EQ(std::vector<uint8_t>(other.begin() + 20, other.begin() + 30), Hex("7469746C 0004 736F6E67"));

    // A long title is cut to 255 bytes without splitting a double-byte character.
    std::string longTitle = "a";
    for (int i = 0; i < 200; ++i) longTitle += "音";
    encoder.title = longTitle;
    ASSERT_EQ(encoder.ConvertMld(4, 8000, 100, folder.File("long.mld")), 1);
    const auto longFile = testing::ReadFileBytes(folder.File("long.mld"));
    EXPECT_EQ(GetBe16(std::span<const uint8_t>(longFile).subspan(24)), 255);
    EXPECT_EQ(longFile[26], 'a');
}

TEST(MldEncoder, UnwritableOutputIsReportedAsAFailure) {
    testing::TempFolder folder;
    const SourceClip clip = testing::MakeClip(folder.File("missing/song.wav"), 1, 8000, testing::TestSignal(10));
    MldEncoder encoder(clip);
    MessageRecorder recorder;
    EXPECT_EQ(encoder.ConvertMld(4, 8000, 100), 0);
    EXPECT_EQ(recorder.Texts(), std::vector<std::string>{"ファイルが書き込めませんでした。"});
}

TEST(MldEncoder, NormaliseLevelMessages) {
    // Out of range shows "normalize" and goes on; 2000 means "keep the level" and is quiet.
    for (const auto& [level, messages] : {std::pair{600, 1u}, {-1, 1u}, {2000, 0u}, {0, 0u}, {500, 0u}}) {
        testing::TempFolder folder;
        const SourceClip clip = testing::MakeClip(folder.File("a.wav"), 1, 8000, testing::TestSignal(100));
        MldEncoder encoder(clip);
        MessageRecorder recorder;
        EXPECT_EQ(encoder.ConvertMld(1, 8000, level), 1) << level;
        EXPECT_EQ(recorder.Texts().size(), messages) << level;
        if (messages) {
            EXPECT_EQ(recorder.Texts()[0], "normalize");
        }
    }
}

TEST(MldEncoder, ChannelsAndRateAreConvertedBeforeCoding) {
    // A 44100 Hz stereo source for a mono row at 8000 Hz: mixed, then resampled.
    testing::TempFolder folder;
    const std::vector<int16_t> stereo = testing::TestSignal(2 * 4410);
    const SourceClip clip = testing::MakeClip(folder.File("a.wav"), 2, 44100, stereo);
    MldEncoder encoder(clip);
    ASSERT_EQ(encoder.ConvertMld(3, 8000, 2000), 1);
    SourceClip expected = clip;
    ASSERT_EQ(ConvertChannels(expected, 1), 1);
    ASSERT_EQ(Resample(expected, 8000, ResamplerKind::BandLimited), 1);
    const std::vector<int16_t> pcm = BytesToSamples(expected.data);
    const auto stream = Coded(3, pcm, pcm.size() / 2);
    const auto file = testing::ReadFileBytes(folder.File("a_d1.mld"));
    EXPECT_EQ(file, testing::ExpectedOneTrack(3, "a", stream, 8000, 4000));

    // A mono source for a stereo row is duplicated into both channels.
    const SourceClip mono = testing::MakeClip(folder.File("m.wav"), 1, 8000, testing::TestSignal(1000));
    MldEncoder stereoEncoder(mono);
    ASSERT_EQ(stereoEncoder.ConvertMld(15, 8000, 2000), 1);
    const auto codes = Coded(1, testing::TestSignal(1000), 500);
    EXPECT_EQ(testing::ReadFileBytes(folder.File("m_n2s.mld")),
              testing::ExpectedTwoStream(15, "m", codes, codes, 8000, 8000));
}

TEST(MldEncoder, NormalisationBringsThePeakToTheRequestedLevel) {
    // Codec output is compared, so the level reaching the coder is what is checked.
    const std::vector<int16_t> quiet = {0, 100, -50, 25, 0, -100};
    const struct {
        int level;
        std::vector<int16_t> reaching;
    } cases[] = {
        {100, {0, 32767, -16383, 8191, 0, -32767}},
        {200, {0, 16383, -8191, 4095, 0, -16383}},
        {2000, quiet},
        {0, quiet},
    };
    for (const auto& c : cases) {
        testing::TempFolder folder;
        const SourceClip clip = testing::MakeClip(folder.File("a.wav"), 1, 8000, quiet);
        MldEncoder encoder(clip);
        ASSERT_EQ(encoder.ConvertMld(3, 8000, c.level), 1);
        EXPECT_EQ(testing::ReadFileBytes(folder.File("a_d1.mld")),
                  testing::ExpectedOneTrack(3, "a", Coded(3, c.reaching, 3), 8000, 4000))
            << c.level;
    }
}

TEST(MldEncoder, EveryRowSurvivesTinyAndOddClips) {
    for (const size_t count : {0u, 1u, 2u, 3u, 5u, 7u, 11u}) {
        for (int preset = 1; preset <= 18; ++preset) {
            testing::TempFolder folder;
            const SourceClip clip = testing::MakeClip(folder.File("t.wav"), 1, 8000, testing::TestSignal(count));
            MldEncoder encoder(clip);
            MessageRecorder recorder;
            ASSERT_EQ(encoder.ConvertMld(preset, 8000, 100), 1) << preset << " " << count;
            const auto file = testing::ReadFileBytes(folder.File(std::string("t_") + kRows[preset].name + ".mld"));
            ASSERT_GE(file.size(), 8u);
            EXPECT_EQ(GetBe32(std::span<const uint8_t>(file).subspan(4)), file.size() - 8);
        }
    }
}

TEST(MldEncoder, VersionFourRowRefusesAStreamLongerThanItsBuilder) {
    // 32000 Hz mono, 4-bit: 40 s make 640000 coded bytes, more than 0x80000.
    testing::TempFolder folder;
    const SourceClip clip = testing::MakeClip(folder.File("a.wav"), 1, 32000, std::vector<int16_t>(32000 * 40, 100));
    MldEncoder encoder(clip);
    MessageRecorder recorder;
    EXPECT_EQ(encoder.ConvertMld(12, 32000, 100), 0);
    EXPECT_EQ(recorder.Texts(),
              (std::vector<std::string>{"指定されたファイルサイズの制限を越えています。",
                                        "ファイルのサイズが大きすぎます。", "zorvikを保存できませんでした。"}));
    EXPECT_TRUE(std::filesystem::is_empty(folder.Path()));
}

TEST(MldEncoder, EachCallStartsAgainFromTheClip) {
    testing::TempFolder folder;
    const SourceClip clip = testing::MakeClip(folder.File("a.wav"), 1, 16000, testing::TestSignal(1600));
    MldEncoder encoder(clip);
    ASSERT_EQ(encoder.ConvertMld(3, 8000, 100, folder.File("first.mld")), 1);
    ASSERT_EQ(encoder.ConvertMld(15, 16000, 100), 1);
    ASSERT_EQ(encoder.ConvertMld(3, 8000, 100, folder.File("again.mld")), 1);
    EXPECT_EQ(testing::ReadFileBytes(folder.File("first.mld")), testing::ReadFileBytes(folder.File("again.mld")));
    EXPECT_EQ(clip.format.sampleRate, 16000u);
    EXPECT_EQ(clip.data.size(), 3200u);
}

}  // namespace
}  // namespace kvt
