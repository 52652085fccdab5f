// kvt-convert as a new user meets it, in a folder without setup.ini: --all at any rate,
// messages that name their input and output, MP3 without a decoder program, programs and
// settings files that are not there, inputs of the same name, the preset list.

#include <sys/stat.h>

#include "convert/settings_store.h"
#include "kvt_convert_fixture.h"

namespace kvt::testing {
namespace {

TEST_F(KvtConvert, AllLeavesOutTheHandsetsTheRateRefusesAndSucceeds) {
    std::string input = MakeSample("song.wav", "1");
    RunResult run = Convert({"--all", "--mld-rate", "32000", "--mld-limit", "100", "-o", out(), input});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_TRUE(
        run.ErrHas("--all: left out N503i, D503i, P503i, LG, SO505i, SH505i, SA700i, F503i, P505i, "
                   "SO505is: their presets do not take 32000 Hz\n"))
        << run.err;
    EXPECT_EQ(OutFiles(), (std::vector<std::string>{"song.3g2", "song.3gp", "song.mmf", "song_93.mld", "song_n2.mld",
                                                    "song_sh2.mld"}));
    // The default rate of a first run, 4000 Hz, leaves out LG alone.
    run = Convert({"--all", "-q", "-o", out(), input});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.OutLines().size(), 15u);
    EXPECT_TRUE(run.err.empty()) << "quiet: " << run.err;
}

TEST_F(KvtConvert, NamedHandsetThatRefusesTheRateFailsAndSaysWhichRatesItTakes) {
    RunResult run = Convert({"--mld", "LG,n1", "-o", out(), MakeSample("song.wav", "1")});
    EXPECT_EQ(run.exitCode, 1);
    auto refusal =
        run.err.find("song.wav: song_lg.mld: samplerate_f04:lg（この機種のプリセットは4000Hzに対応していません）\n");
    auto rates = run.err.find("song.wav: song_lg.mld: LG (lg) takes 8000, 16000 Hz, not 4000");
    EXPECT_NE(refusal, std::string::npos) << run.err;
    EXPECT_NE(rates, std::string::npos) << run.err;
    EXPECT_LT(refusal, rates);
    EXPECT_EQ(OutFiles(), std::vector<std::string>{"song_n1.mld"});
}

TEST_F(KvtConvert, MessagesNameTheirInputAndOutput) {
    struct Case {
        const char* what;
        std::vector<std::string> arguments;
        std::vector<std::string> expected;
        std::vector<std::string> absent;
    };
    std::string song = MakeSample("song.wav", "8");
    std::string noExtension = folder.Write("README", "text");
    const Case cases[] = {
        {"over the size ceiling",
         {"--mld", "n1,d1", "--mld-limit", "10", "-o", out(), song},
         {"kvt-convert: song.wav: song_n1.mld: 指定されたファイルサイズの制限を越えています。\n",
          "kvt-convert: song.wav: song_d1.mld: 指定されたファイルサイズの制限を越えています。\n"},
         {}},
        {"no extension",
         {"--mmf", "-o", out(), noExtension},
         {"reads .wav, .wma, .mp3, .flac, .m4a, .mp4, .ogg, .oga, .opus, .aif, .aiff and .aifc files"},
         {}},
        {"quiet streaming 3GP", {"--3gp", "--streaming", "-q", "-o", out(), song}, {}, {"Converting", "保存"}},
        {"streaming 3GP",
         {"--3gp", "--streaming", "-o", out(), song},
         {"kvt-convert: song.wav: song.3gp: Converting to 3GP file...\n", out() + "にファイルを保存しました。"},
         {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        RunResult run = Convert(c.arguments);
        for (const std::string& text : c.expected) EXPECT_TRUE(run.ErrHas(text)) << text << "\n" << run.err;
        for (const std::string& text : c.absent) EXPECT_FALSE(run.ErrHas(text)) << text << "\n" << run.err;
        if (c.absent.size() == 2) {
            EXPECT_TRUE(run.err.empty()) << run.err;
        }
    }
}

TEST_F(KvtConvert, Mp3IsDecodedInProcessWithoutADecoderProgram) {
    std::string wav = MakeSample("tune.wav", "1");
    std::string mp3 = folder / "tune.mp3";
    ASSERT_EQ(std::system(("lame --quiet " + Quote(wav) + " " + Quote(mp3)).c_str()), 0);
    RunResult run = Convert({"--mmf", "--mld", "n2", "-o", out(), mp3});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(OutFiles(), (std::vector<std::string>{"tune.mmf", "tune_n2.mld"}));
    EXPECT_GT(std::filesystem::file_size(out() + "/tune.mmf"), 1000u);
    EXPECT_TRUE(TmpIsEmpty());
    EXPECT_TRUE(std::filesystem::is_empty(cwd()));
}

TEST_F(KvtConvert, MissingProgramsAndSettingsFilesAreUsageErrorsBeforeAnyWork) {
    std::string input = MakeSample("song.wav", "1");
    std::string notAProgram = folder.Write("plain.txt", "x");
    const std::vector<std::vector<std::string>> cases = {
        {"--3gp", "--external", "/nonexistent/encoder"},
        {"--3gp", "--external", notAProgram},
        {"--mmf", "--mp3-decoder", "no-such-decoder-kvt"},
        {"--mmf", "--settings", folder / "setpu.ini"},
        {"--mmf", "--settings", folder.Path()},
        {"--mmf", "--save-settings", "--settings", folder / "missing/setup.ini"},
        {"--mmf", "--save-settings", "--settings", out()},
    };
    for (std::vector<std::string> arguments : cases) {
        SCOPED_TRACE(arguments[1] + " " + arguments[2]);
        arguments.insert(arguments.end(), {"-o", out(), input});
        RunResult run = Convert(arguments);
        EXPECT_EQ(run.exitCode, 2) << run.err;
        EXPECT_TRUE(run.ErrHas(arguments[1] == "--save-settings" ? "--save-settings" : arguments[1])) << run.err;
        EXPECT_TRUE(OutFiles().empty());
        EXPECT_TRUE(run.out.empty());
    }
    EXPECT_TRUE(std::filesystem::is_empty(cwd())) << "the implicit ./setup.ini may be absent and stays so";
}

TEST_F(KvtConvert, InputsOfTheSameNameAreRefusedBeforeAnyJob) {
    std::string wav = MakeSample("song.wav", "1");
    std::filesystem::create_directory(folder / "other");
    std::string sameName = MakeSample("other/song.wav", "1");
    std::string mp3 = folder.Write("song.mp3", "never read");
    RunResult run = Convert({"-j", "2", "--mld", "n1", "--mmf", "-o", out(), wav, sameName, mp3});
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_TRUE(run.ErrHas(wav + " and " + sameName + " would both write " + out() + "/song_n1.mld")) << run.err;
    EXPECT_TRUE(run.ErrHas(wav + " and " + mp3 + " would both write")) << run.err;
    EXPECT_TRUE(OutFiles().empty());
    EXPECT_TRUE(run.out.empty());
}

TEST_F(KvtConvert, PresetListIsTidiedOneFamilyALine) {
    RunResult run = Convert({"--list-presets"});
    EXPECT_EQ(run.exitCode, 0);
    for (const char* line : {"SH900i: preset sh2 (4000, 8000, 16000, 32000 Hz), stereo s2s (8000, 16000 Hz)\n",
                             "    SO: SO903i SO902i SO905i\n", "    F: F903i F904i F905i F704i F705i\n",
                             "    SH: SH252i SH505iS SH506iC SH900i SH901iC SH704i SH904i SH905i\n"})
        EXPECT_TRUE(run.out.find(line) != std::string::npos) << line << run.out;
    for (const char* stray : {",,", " ,", " \n", "Stereo"}) EXPECT_EQ(run.out.find(stray), std::string::npos) << stray;
}

}  // namespace
}  // namespace kvt::testing
