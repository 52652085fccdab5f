// kvt-convert end to end: the built program run on generated inputs, its outputs checked
// with readers that are not ours (ffprobe, ffmpeg's Yamaha ADPCM decoder) and by the
// length fields and checksums of the formats.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "convert/settings_store.h"
#include "kvt_convert_fixture.h"
#include "platform/command_output.h"

namespace kvt {
namespace {

namespace fs = std::filesystem;
using testing::ReadWholeFile;

using testing::KvtConvert;
using testing::OutputBytesWithoutClock;
using testing::Quote;
using testing::RunResult;

uint32_t Be32(const std::string& bytes, size_t at) {
    return (uint32_t(uint8_t(bytes[at])) << 24) | (uint32_t(uint8_t(bytes[at + 1])) << 16) |
           (uint32_t(uint8_t(bytes[at + 2])) << 8) | uint8_t(bytes[at + 3]);
}

// CRC-16/GENIBUS, bit by bit (the product uses a table).
uint16_t Genibus(std::string_view bytes) {
    uint16_t crc = 0xFFFF;
    for (unsigned char byte : bytes) {
        crc ^= static_cast<uint16_t>(byte << 8);
        for (int bit = 0; bit < 8; ++bit) crc = (crc & 0x8000) ? static_cast<uint16_t>((crc << 1) ^ 0x1021) : crc << 1;
    }
    return static_cast<uint16_t>(~crc);
}

std::string Capture(const std::string& command) {
    return testing::RunCommand(command).output;
}

TEST(KvtConvertChecks, GenibusReferenceValues) {
    EXPECT_EQ(Genibus("123456789"), 0xD64E);
    EXPECT_EQ(Genibus("abc"), 0xAEB5);
}

TEST_F(KvtConvert, EveryOutputOfAnAllRunReadsBackWithIndependentTools) {
    std::string input = MakeSample("song.wav");
    RunResult run = Convert({"--all", "--mld-rate", "8000", "--mld-limit", "100", "-o", out(), input});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    auto lines = run.OutLines();
    ASSERT_EQ(lines.size(), 16u) << run.out;
    EXPECT_EQ(OutFiles().size(), 16u);
    EXPECT_NE(run.err.find(out() + "にファイルを保存しました。"), std::string::npos) << run.err;
    EXPECT_TRUE(TmpIsEmpty()) << "the private work folder is removed";
    EXPECT_TRUE(fs::is_empty(cwd())) << "nothing is written to the current folder";

    int mld = 0;
    for (const std::string& path : lines) {
        SCOPED_TRACE(path);
        ASSERT_EQ(fs::path(path).parent_path(), out());
        std::string bytes = ReadWholeFile(path);
        std::string extension = fs::path(path).extension();
        if (extension == ".mld") {
            ++mld;
            ASSERT_GE(bytes.size(), 8u);
            EXPECT_EQ(bytes.substr(0, 4), "melo");
            EXPECT_EQ(Be32(bytes, 4) & 0xFFFF, bytes.size() - 8);  // 16-bit length after a 16-bit zero
        } else if (extension == ".mmf") {
            ASSERT_GE(bytes.size(), 16u);
            EXPECT_EQ(bytes.substr(0, 4), "MMMD");
            EXPECT_EQ(Be32(bytes, 4), bytes.size() - 10);
            uint16_t stored =
                static_cast<uint16_t>((uint8_t(bytes[bytes.size() - 4]) << 8) | uint8_t(bytes[bytes.size() - 3]));
            EXPECT_EQ(Genibus(std::string_view(bytes).substr(0, bytes.size() - 4)), stored);
            // The wave payload decodes with FFmpeg's Yamaha ADPCM decoder.
            size_t mwa = bytes.find("Mwa");
            ASSERT_NE(mwa, std::string::npos);
            uint32_t payload = Be32(bytes, mwa + 4) - 3;
            EXPECT_EQ(uint8_t(bytes[mwa + 8]), 0x20);  // mono, 4-bit ADPCM
            std::string raw = folder / "mwa.raw";
            std::ofstream(raw, std::ios::binary) << bytes.substr(mwa + 11, payload);
            std::string decoded = Capture("ffmpeg -loglevel error -f u8 -ar 4000 -ac 1 -c:a adpcm_yamaha -i " +
                                          Quote(raw) + " -f s16le - 2>/dev/null");
            EXPECT_EQ(decoded.size(), 4u * payload);  // two samples a byte, two bytes a sample
            int peak = 0;
            for (size_t i = 0; i + 1 < decoded.size(); i += 2)
                peak = std::max(peak, std::abs(int(int16_t(uint8_t(decoded[i]) | (uint8_t(decoded[i + 1]) << 8)))));
            EXPECT_GT(peak, 2000) << "the music survives the round trip";
        } else {
            ASSERT_TRUE(extension == ".3gp" || extension == ".3g2");
            std::string probe = Capture(
                "ffprobe -v error -show_entries stream=codec_name,sample_rate,channels "
                "-show_entries format=duration -of default=nw=1 " +
                Quote(path));
            EXPECT_NE(probe.find("codec_name=aac"), std::string::npos) << probe;
            EXPECT_NE(probe.find("sample_rate=8000"), std::string::npos) << probe;
            EXPECT_NE(probe.find("channels=1"), std::string::npos) << probe;
            auto duration = probe.find("duration=");
            ASSERT_NE(duration, std::string::npos);
            double seconds = std::atof(probe.c_str() + duration + 9);
            EXPECT_GT(seconds, 1.9);
            EXPECT_LT(seconds, 2.8);
        }
    }
    EXPECT_EQ(mld, 13);
}

// WMA inputs are decoded in-process, MP3 inputs by the decoder program; both then make
// every output like a WAV input.
TEST_F(KvtConvert, WmaAndMp3InputsMakeEveryOutput) {
    std::string wav = MakeSample("tune.wav", "2", "22050", "2");
    std::string wma = folder / "tune wma.wma";
    std::string mp3 = folder / "tune mp3.mp3";
    ASSERT_EQ(std::system(("ffmpeg -v error -y -i " + Quote(wav) + " -c:a wmav2 " + Quote(wma)).c_str()), 0);
    ASSERT_EQ(std::system(("lame --quiet " + Quote(wav) + " " + Quote(mp3)).c_str()), 0);
    RunResult run =
        Convert({"--all", "--mld-rate", "8000", "--mld-limit", "100", "--mp3-decoder", "lame", "-o", out(), wma, mp3});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.OutLines().size(), 32u) << run.out;
    for (const char* base : {"tune wma", "tune mp3"})
        for (const char* suffix : {"_n1.mld", "_lg.mld", "_93.mld", ".mmf", ".3gp", ".3g2"})
            EXPECT_GT(fs::file_size(out() + "/" + base + suffix), 1000u) << base << suffix;
    EXPECT_TRUE(TmpIsEmpty());
    EXPECT_TRUE(fs::is_empty(cwd()));
}

// Without a decoder program an MP3 is decoded in-process; one that does not decode fails
// with the decoder's message and leaves nothing.
TEST_F(KvtConvert, Mp3ThatDoesNotDecodeFailsCleanly) {
    std::string mp3 = folder.Write("tune.mp3", std::string(4000, '\x5a'));
    RunResult run = Convert({"--mmf", "-o", out(), mp3});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("kvt-convert: tune.mp3: "), std::string::npos) << run.err;
    EXPECT_TRUE(TmpIsEmpty());
    EXPECT_TRUE(fs::is_empty(out()));
    EXPECT_TRUE(fs::is_empty(cwd()));
}

TEST_F(KvtConvert, NothingChosenEndsWithTheTwoTextsAndStatusTwo) {
    Settings none;
    none.savingDirectory = out();
    SaveSettings(none, cwd() + "/setup.ini");
    RunResult run = Convert({MakeSample("song.wav", "1")});
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_NE(
        run.err.find("変換できませんでした。: 変換するファイルの種類を決めてください。 (choose outputs with --all, "
                     "--mld, --mmf, --3gp or --3g2)"),
        std::string::npos)
        << run.err;
    EXPECT_TRUE(OutFiles().empty());
    EXPECT_TRUE(run.out.empty());
}

TEST_F(KvtConvert, SettingsFileInTheCurrentFolderDecidesAndCanBeSavedBack) {
    Settings settings;
    settings.savingDirectory = out();
    settings.grid.At(kMmfPage, 0) = 1;
    SaveSettings(settings, cwd() + "/setup.ini");
    std::string input = MakeSample("song.wav", "1");
    RunResult run = Convert({input});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(OutFiles(), std::vector<std::string>{"song.mmf"});

    std::string other = folder / "other.ini";
    run = Convert({"--settings", other, "--mld", "n2", "--mld-channels", "stereo", "--mld-rate", "8000", "-o", out(),
                   "--save-settings", input});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.OutLines(), std::vector<std::string>{out() + "/song_n2s.mld"});
    Settings saved;
    ASSERT_EQ(LoadSettings(saved, other), 1);
    EXPECT_EQ(saved.grid.At(kMldPage, 1), 1);
    EXPECT_EQ(saved.grid.At(kMldPage, 7), 1);
    EXPECT_EQ(saved.grid.At(kMldPage, 19), 1);
    EXPECT_EQ(saved.grid.At(kMldPage, 15), 0);
    EXPECT_EQ(saved.grid.At(kMldPage, 2), 2);
    EXPECT_EQ(saved.savingDirectory, out());
}

TEST_F(KvtConvert, RefusedStereoAt32000FailsWithStatusOneAndNoClosingMessage) {
    RunResult run = Convert({"--mld", "D903i", "--mld-channels", "stereo", "--mld-rate", "32000", "-o", out(),
                             MakeSample("song.wav", "1")});
    EXPECT_EQ(run.exitCode, 1);
    auto refusal = run.err.find("song.wav: song_93s.mld: ");
    auto rates = run.err.find("song.wav: song_93s.mld: D903i (93s) takes 8000, 16000 Hz, not 32000");
    EXPECT_NE(refusal, std::string::npos) << run.err;
    EXPECT_NE(rates, std::string::npos) << run.err;
    EXPECT_LT(refusal, rates);
    EXPECT_EQ(run.err.find("にファイルを保存しました。"), std::string::npos) << "nothing was saved";
    EXPECT_TRUE(OutFiles().empty());
}

TEST_F(KvtConvert, StereoVariantsAndDottedNames) {
    std::string input = MakeSample("a.b.wav", "1");
    RunResult run = Convert({"--mld", "N900i,P503i,n1", "--mld-channels", "stereo", "--mld-rate", "8000", "--mmf",
                             "--3gp", "-o", out(), input});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(OutFiles(), (std::vector<std::string>{"a.b.3gp", "a.b.mmf", "a.b_n1.mld", "a.b_n2s.mld", "a.b_p1s.mld"}));
    std::string atoms = Capture("AtomicParsley " + Quote(out() + "/a.b.3gp") + " -t 2>&1");
    EXPECT_NE(atoms.find("\"titl\""), std::string::npos) << atoms;
    EXPECT_NE(atoms.find(": a.b\n"), std::string::npos) << atoms;
}

TEST_F(KvtConvert, StartEqualToEndConvertsTheWholeInput) {
    std::string input = MakeSample("song.wav", "1");
    ASSERT_EQ(Convert({"--mmf", "-o", out(), input}).exitCode, 0);
    std::string whole = ReadWholeFile(out() + "/song.mmf");
    ASSERT_EQ(Convert({"--mmf", "--start", "0.5", "--end", "0.5", "-o", out(), input}).exitCode, 0);
    EXPECT_EQ(ReadWholeFile(out() + "/song.mmf"), whole);
    ASSERT_EQ(Convert({"--mmf", "--start", "0.5", "-o", out(), input}).exitCode, 0);
    EXPECT_LT(ReadWholeFile(out() + "/song.mmf").size(), whole.size());
    RunResult beyond = Convert({"--mmf", "--start", "5", "-o", out(), input});
    EXPECT_EQ(beyond.exitCode, 1);
    EXPECT_NE(beyond.err.find("--start"), std::string::npos);
}

// Music at 8000 Hz makes some AAC frames larger than the format's nominal 768 bytes; a
// few seconds of the demo tune are enough to meet one.
TEST_F(KvtConvert, LongerMonoMusicMakesBoth3gpFiles) {
    std::string input = MakeSample("tune.wav", "7", "22050", "1");
    RunResult run = Convert({"--3gp", "--3g2", "--3gp-rate", "8000", "-o", out(), input});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(OutFiles(), (std::vector<std::string>{"tune.3g2", "tune.3gp"}));
}

TEST_F(KvtConvert, BadInputsFailCleanly) {
    std::string good = ReadWholeFile(MakeSample("good.wav", "1"));
    fs::create_directory(folder / "a-folder.wav");
    struct Case {
        const char* name;
        std::string path;
    };
    std::vector<Case> cases = {
        {"missing", folder / "missing.wav"},
        {"a folder", folder / "a-folder.wav"},
        {"empty", folder.Write("empty.wav", "")},
        {"header only", folder.Write("header.wav", good.substr(0, 40))},
        {"not audio", folder.Write("text.wav", "just some text, not a RIFF file at all")},
        {"unknown kind", folder.Write("song.txt", good)},
    };
    if (geteuid() != 0) {
        std::string locked = folder.Write("locked.wav", good);
        chmod(locked.c_str(), 0);
        cases.push_back({"unreadable", locked});
    }
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RunResult run = Convert({"--all", "-o", out(), c.path});
        EXPECT_EQ(run.exitCode, 1) << run.err;
        EXPECT_NE(run.err.find("kvt-convert: "), std::string::npos) << run.err;
        // Each line names the input once, by the tag.
        const std::string name = fs::path(c.path).filename();
        std::istringstream lines(run.err);
        for (std::string line; std::getline(lines, line);) EXPECT_EQ(line.find(name), line.rfind(name)) << line;
        EXPECT_TRUE(run.out.empty());
        EXPECT_TRUE(OutFiles().empty());
        EXPECT_TRUE(TmpIsEmpty());
    }
}

// Inputs the program once crashed on, cut short or misnamed: each converts in full.
TEST_F(KvtConvert, AwkwardInputsConvert) {
    std::string good = ReadWholeFile(MakeSample("good.wav", "1", "22050", "1"));
    // A stereo MP3 followed by a mono one, named .wma: the layout changes midway.
    std::string joined;
    for (const char* layout : {"stereo", "mono"}) {
        std::string part = folder / (std::string(layout) + ".mp3");
        ASSERT_EQ(std::system(("ffmpeg -v error -y -f lavfi -i 'sine=f=440:r=22050:d=2' -ac " +
                               std::string(layout == std::string("mono") ? "1" : "2") + " " + Quote(part))
                                  .c_str()),
                  0);
        joined += ReadWholeFile(part);
    }
    const std::string cp932Name = "\x92\x85\x90\x4d\x89\xb9";  // 着信音 in CP932
    struct Case {
        std::string path;
        std::string output;
    };
    const Case cases[] = {
        {folder.Write("joined.wma", joined), "joined.mmf"},
        {folder.Write("cut.wav", good.substr(0, good.size() / 3)), "cut.mmf"},
        {folder.Write("live\\take1.wav", good), "live\\take1.mmf"},
        {folder.Write(cp932Name + ".wav", good), cp932Name + ".mmf"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        RunResult run = Convert({"--mmf", "-o", out(), c.path});
        EXPECT_EQ(run.exitCode, 0) << run.err;
        EXPECT_EQ(OutFiles(), std::vector<std::string>{c.output});
        EXPECT_TRUE(TmpIsEmpty());
        fs::remove_all(out());
        fs::create_directory(out());
    }
    ASSERT_EQ(Convert({"--mld", "n1", "--mld-rate", "8000", "-o", out(), folder / (cp932Name + ".wav")}).exitCode, 0);
    EXPECT_NE(ReadWholeFile(out() + "/" + cp932Name + "_n1.mld").find("titl" + std::string("\0\x06", 2) + cp932Name),
              std::string::npos)
        << "the title keeps the name's characters";
}

TEST_F(KvtConvert, UnusableOutputFolderFailsBeforeConverting) {
    std::string input = MakeSample("song.wav", "1");
    std::string file = folder.Write("plain", "x");
    for (const std::string& target : {folder / "missing", file}) {
        RunResult run = Convert({"--mmf", "-o", target, input});
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_NE(run.err.find("saving directory"), std::string::npos) << run.err;
    }
    if (geteuid() == 0) return;  // permissions do not bind root
    std::string locked = folder / "locked";
    fs::create_directory(locked);
    chmod(locked.c_str(), 0555);
    RunResult run = Convert({"--mmf", "-o", locked, input});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(fs::is_empty(locked));
}

TEST_F(KvtConvert, ParallelJobsConvertEveryInput) {
    std::vector<std::string> arguments = {"-j", "3", "--mld", "n2,d1", "--mmf", "--3g2", "-o", out()};
    for (const char* name : {"one.wav", "two.wav", "three.wav", "four.wav"}) arguments.push_back(MakeSample(name, "1"));
    RunResult run = Convert(arguments);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.OutLines().size(), 16u);
    EXPECT_EQ(OutFiles().size(), 16u);
    EXPECT_TRUE(TmpIsEmpty());
}

// Two jobs at once leave no core for a job's AAC coding beside its other files; either way
// every output has the bytes of one job at a time.
TEST_F(KvtConvert, TwoJobsAtOnceWriteTheBytesOfOneAtATime) {
    std::vector<std::string> inputs = {
        MakeSample("one.wav", "1", "22050", "2"), MakeSample("two.wav", "1.5", "44100", "2"),
        MakeSample("three.wav", "0.7", "8000", "1"), MakeSample("four.wav", "1", "11025", "1")};
    std::map<std::string, std::string> written[2];
    for (int run = 0; run < 2; ++run) {
        const std::string where = out() + "/j" + std::to_string(run + 1);
        fs::create_directory(where);
        std::vector<std::string> arguments = {
            "-j", std::to_string(run + 1), "--all", "--mld-rate", "8000", "--mld-limit", "100", "-q", "-o", where};
        arguments.insert(arguments.end(), inputs.begin(), inputs.end());
        RunResult result = Convert(arguments);
        EXPECT_EQ(result.exitCode, 0) << result.err;
        for (const std::string& name : FilesIn(where)) written[run][name] = OutputBytesWithoutClock(where + "/" + name);
    }
    ASSERT_EQ(written[0].size(), 4u * 16);
    EXPECT_EQ(written[1].size(), written[0].size());
    for (const auto& [name, bytes] : written[0]) EXPECT_TRUE(written[1][name] == bytes) << name;
}

TEST_F(KvtConvert, UsageErrorsAndInformation) {
    EXPECT_EQ(Convert({}).exitCode, 2);
    RunResult bad = Convert({"--mld", "X1", "song.wav"});
    EXPECT_EQ(bad.exitCode, 2);
    EXPECT_NE(bad.err.find("unknown handset"), std::string::npos);
    RunResult help = Convert({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_NE(help.out.find("Usage: kvt-convert"), std::string::npos);
    RunResult presets = Convert({"--list-presets"});
    EXPECT_EQ(presets.exitCode, 0);
    EXPECT_NE(presets.out.find("n2s"), std::string::npos);
    std::istringstream lines(presets.out);
    int buttons = 0;  // one line a handset button, then its handsets indented
    for (std::string line; std::getline(lines, line);) buttons += !line.empty() && line[0] != ' ';
    EXPECT_EQ(buttons, 13);
    EXPECT_EQ(Convert({"--version"}).out.rfind("kvt-convert ", 0), 0u);
    EXPECT_EQ(Convert({"--mld-rate=8000", "--mmf=yes", "a.wav"}).exitCode, 2);
}

TEST_F(KvtConvert, HelpShowsTheDefaultsOfTheSettingsFileInUse) {
    EXPECT_NE(Convert({"--help"}).out.find("--mld-rate HZ:{4000,8000,16000,32000}=4000"), std::string::npos);
    Settings settings;
    settings.savingDirectory = out();
    settings.grid.At(kMldPage, 15) = kCellOff;
    settings.grid.At(kMldPage, 27) = kCellOn;
    SaveSettings(settings, cwd() + "/setup.ini");
    RunResult help = Convert({"--help"});
    EXPECT_NE(help.out.find("=32000"), std::string::npos) << help.out;
    EXPECT_NE(help.out.find("=" + out()), std::string::npos) << help.out;
}

}  // namespace
}  // namespace kvt
