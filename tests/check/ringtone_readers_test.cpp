// The MLD and MMF readers on files our encoders write: every preset row at every rate it
// takes is sound and named for its row, pieces of long streams add up, titles come back,
// and any cut of a file is found out.

#include <gtest/gtest.h>

#include <algorithm>

#include "check/mld_reader.h"
#include "check/mmf_reader.h"
#include "engine/engine_test_support.h"
#include "engine/mld_encoder.h"
#include "engine/mld_preset_table.h"
#include "engine/mmf_encoder.h"
#include "platform/message.h"

namespace kvt {
namespace {

std::string FactOf(const CheckReport& report, const std::string& name) {
    for (const auto& [fact, value] : report.facts)
        if (fact == name) return value;
    return "(no " + name + ")";
}

std::string Problems(const CheckReport& report) {
    std::string lines;
    for (const CheckProblem& p : report.problems)
        lines += p.field + ": found " + p.found + ", expected " + p.expected + "\n";
    return lines;
}

// An MLD file of `preset` at `rate` from `samples` (interleaved stereo for a stereo row).
std::vector<uint8_t> WriteMld(int preset, int rate, std::span<const int16_t> samples) {
    const uint16_t channels = IsStereoMldType(preset) ? 2 : 1;
    testing::TempFolder folder;
    const SourceClip clip = testing::MakeClip(folder.File("song.wav"), channels, static_cast<uint32_t>(rate), samples);
    MldEncoder encoder(clip);
    encoder.SetSizeLimit(0xFFFFFFFF);
    MessageRecorder quiet;
    EXPECT_EQ(encoder.ConvertMld(preset, rate, 100, folder.File("out.mld")), 1);
    return testing::ReadFileBytes(folder.File("out.mld"));
}

// An MLD file of `preset` at `rate` from a clip of `seconds` of the test signal.
std::vector<uint8_t> WriteMld(int preset, int rate, double seconds) {
    const size_t count = static_cast<size_t>(rate * seconds) * (IsStereoMldType(preset) ? 2 : 1);
    return WriteMld(preset, rate, testing::TestSignal(count, static_cast<uint32_t>(preset)));
}

TEST(RingtoneReaders, EveryMldRowAtEveryRateItTakesIsSoundAndNamedForItsRow) {
    for (const MldPreset& row : MldPresetTable) {
        for (int rate : {4000, 8000, 16000, 32000}) {
            if (row.type == 0 || !row.AllowsRate(rate)) continue;
            const CheckReport report = ReadMld(WriteMld(row.type, rate, 0.3));
            const std::string which = std::string(row.name) + " at " + std::to_string(rate);
            EXPECT_TRUE(report.Sound()) << which << "\n" << Problems(report);
            EXPECT_TRUE(FactOf(report, "preset")
                            .starts_with(std::string(row.name) + " (type " + std::to_string(row.type) + ","))
                << which << ": " << FactOf(report, "preset");
            EXPECT_TRUE(FactOf(report, "rate").starts_with(std::to_string(rate) + " Hz")) << which;
            EXPECT_EQ(FactOf(report, "channels"), IsStereoMldType(row.type) ? "stereo" : "mono") << which;
            EXPECT_EQ(FactOf(report, "duration"), "0.30 s") << which;
            EXPECT_EQ(FactOf(report, "title"), "song") << which;
        }
    }
}

TEST(RingtoneReaders, LongMldStreamsAcrossPiecesOrCutToOnePieceAreSound) {
    // 17 s at 8000 Hz: 68000 coded bytes, two pieces where a row takes many; rows 1, 7 and
    // 11 keep one full piece, so their track time cannot be told from the file. The
    // two-stream rows keep one full piece of each 68000-byte channel, and row 16's size
    // fields carry the low 16 bits of the whole channel (68000, not the piece's 65526).
    for (int preset : {1, 2, 3, 6, 7, 11, 13, 15, 16, 17}) {
        const CheckReport report = ReadMld(WriteMld(preset, 8000, 17));
        EXPECT_TRUE(report.Sound()) << "row " << preset << "\n" << Problems(report);
    }
}

TEST(RingtoneReaders, AChannelSizeFieldOfAFullPieceMustFitTheTrackTime) {
    const std::vector<uint8_t> file = WriteMld(16, 8000, 17);
    const std::vector<uint8_t> opening = {0x71, 0x84, 0x00, 0x05};  // the left data event
    const auto event = std::search(file.begin(), file.end(), opening.begin(), opening.end());
    ASSERT_NE(event, file.end());
    const size_t field = static_cast<size_t>(event - file.begin()) + 7;
    ASSERT_EQ(file[field] << 8 | file[field + 1], 68000 & 0xFFFF);
    // 256 or 4096 bytes more or less than the channel: 13 or 205 ticks of 5 ms off.
    for (uint8_t flip : {0x01, 0x10}) {
        std::vector<uint8_t> damaged = file;
        damaged[field] ^= flip;
        const std::string problems = Problems(ReadMld(damaged));
        EXPECT_NE(problems.find("channel size field: found"), std::string::npos) << int{flip} << "\n" << problems;
    }
}

TEST(RingtoneReaders, NormalisedMldAudioNeverDecodesToFullScale) {
    // Dither (±1 LSB) is not raised; noise at -40 dBFS and a full-scale square wave are
    // raised or kept only as far as their codes decode below full scale.
    const auto signal = [](int kind) {
        std::vector<int16_t> samples(8000);
        uint32_t seed = 5;
        for (size_t i = 0; i < samples.size(); ++i) {
            seed = seed * 1664525u + 1013904223u;
            const int noise = static_cast<int>(seed >> 29) % 3 - 1;
            samples[i] = static_cast<int16_t>(kind == 0   ? noise
                                              : kind == 1 ? noise * 327
                                                          : (i / 4 % 2 ? 32767 : -32768));
        }
        return samples;
    };
    for (int preset : {1, 2, 7}) {  // N503i, N900i, SO505i
        for (int kind : {0, 1, 2}) {
            SCOPED_TRACE("row " + std::to_string(preset) + ", signal " + std::to_string(kind));
            const CheckReport report = ReadMld(WriteMld(preset, 8000, signal(kind)));
            ASSERT_TRUE(report.Sound()) << Problems(report);
            EXPECT_EQ(FactOf(report, "clipping"), "none");
            const double peak = std::stod(FactOf(report, "level").substr(5));
            if (kind == 0) {
                EXPECT_LT(peak, -60) << FactOf(report, "level");
            } else {
                EXPECT_GT(peak, -6) << FactOf(report, "level");
            }
        }
    }
}

TEST(RingtoneReaders, MmfMonoAndStereoAtEachRateAreSoundWithTheirTitle) {
    for (bool stereo : {false, true}) {
        for (int rate : {4000, 8000, 16000, 24000}) {
            testing::TempFolder folder;
            const SourceClip clip = testing::MakeClip(folder.File("song.wav"), 2, static_cast<uint32_t>(rate),
                                                      testing::TestSignal(static_cast<size_t>(rate)));
            MmfEncoder encoder(clip);
            encoder.title = "着信音";
            MessageRecorder quiet;
            ASSERT_EQ(encoder.ConvertMmf(rate, stereo ? 1 : 0), 1);
            const CheckReport report = ReadMmf(testing::ReadFileBytes(folder.File("song.mmf")));
            const std::string which = (stereo ? "stereo at " : "mono at ") + std::to_string(rate);
            EXPECT_TRUE(report.Sound()) << which << "\n" << Problems(report);
            EXPECT_EQ(FactOf(report, "rate"), std::to_string(rate) + " Hz") << which;
            EXPECT_EQ(FactOf(report, "duration"), "0.50 s") << which;
            if (!stereo) {
                EXPECT_EQ(FactOf(report, "title"), "着信音");
            }
        }
    }
}

TEST(RingtoneReaders, EveryCutOfAFileIsFoundOut) {
    const std::vector<std::pair<const char*, std::vector<uint8_t>>> files = {
        {"MLD one track", WriteMld(3, 8000, 0.1)},
        {"MLD two streams", WriteMld(16, 8000, 0.1)},
        {"MLD version 0400", WriteMld(14, 16000, 0.1)},
    };
    for (const auto& [name, file] : files) {
        for (size_t size = 0; size < file.size(); ++size) {
            const std::span<const uint8_t> cut(file.data(), size);
            const CheckReport report = ReadMld(cut);
            ASSERT_FALSE(report.Sound()) << name << " cut to " << size;
        }
    }
    testing::TempFolder folder;
    const SourceClip clip = testing::MakeClip(folder.File("song.wav"), 1, 8000, testing::TestSignal(800));
    MmfEncoder encoder(clip);
    MessageRecorder quiet;
    ASSERT_EQ(encoder.ConvertMmf(8000, 0), 1);
    const std::vector<uint8_t> mmf = testing::ReadFileBytes(folder.File("song.mmf"));
    for (size_t size = 0; size < mmf.size(); ++size)
        ASSERT_FALSE(ReadMmf(std::span<const uint8_t>(mmf.data(), size)).Sound()) << "MMF cut to " << size;
}

}  // namespace
}  // namespace kvt
