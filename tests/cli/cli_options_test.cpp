#include "cli/cli_options.h"

#include <gtest/gtest.h>

namespace kvt::cli {
namespace {

CliOptions Parsed(std::vector<std::string> arguments) {
    auto parsed = ParseCommandLine(arguments);
    if (auto* error = std::get_if<UsageError>(&parsed)) ADD_FAILURE() << error->message;
    return std::get_if<CliOptions>(&parsed) ? std::get<CliOptions>(parsed) : CliOptions{};
}

TEST(CliOptions, UsageErrors) {
    const std::vector<std::vector<std::string>> bad = {
        {},         // no input
        {"--mmf"},  // still no input
        {"--bogus", "a.wav"},
        {"--mld", "X900", "a.wav"},  // unknown handset
        {"--mld", ",", "a.wav"},
        {"--mld", "n2s", "a.wav"},  // stereo rows follow from --mld-channels
        {"--mld-rate", "11025", "a.wav"},
        {"--mmf-rate", "24000", "a.wav"},  // no such button on the MMF page
        {"--3gp-rate", "48000", "a.wav"},
        {"--mld-channels", "quad", "a.wav"},
        {"--mld-limit", "50", "a.wav"},
        {"--start", "-1", "a.wav"},
        {"--start", "3", "--end", "2", "a.wav"},
        {"--end", "1e999", "a.wav"},
        {"--start", "1:30", "--end", "1:00", "a.wav"},
        {"-j", "0", "a.wav"},
        {"-j", "many", "a.wav"},
        {"--mmf=yes", "a.wav"},
        {"a.wav", "--output"},  // value missing at the end
    };
    for (const auto& arguments : bad) {
        std::string joined;
        for (const auto& a : arguments) joined += a + " ";
        EXPECT_TRUE(std::holds_alternative<UsageError>(ParseCommandLine(arguments))) << joined;
    }
}

TEST(CliOptions, ValuesInEveryForm) {
    CliOptions o = Parsed({"--mld=N900i,p1", "--mld", "lg", "-j3", "-o", "out", "--settings=my.ini", "--start", "1.5",
                           "--end=0:02", "-q", "--", "--odd-name.wav", "b.wav"});
    EXPECT_EQ(o.mldCells, (std::vector<int>{1, 8, 24}));
    EXPECT_EQ(o.jobs, 3);
    EXPECT_EQ(o.outputDirectory, "out");
    EXPECT_EQ(o.settingsFile, "my.ini");
    EXPECT_DOUBLE_EQ(*o.startSeconds, 1.5);
    EXPECT_DOUBLE_EQ(*o.endSeconds, 2.0);
    EXPECT_TRUE(o.quiet);
    EXPECT_EQ(o.inputs, (std::vector<std::string>{"--odd-name.wav", "b.wav"}));
    EXPECT_TRUE(Parsed({"--help"}).help);
    EXPECT_TRUE(Parsed({"--list-presets"}).listPresets);
}

TEST(CliOptions, HandsetsByModelLabelOrPresetNameInAnyCase) {
    const CliOptions o = Parsed({"--mld", "n503I,D1,so505is,SO2,D505i", "a.wav"});
    EXPECT_EQ(o.mldCells, (std::vector<int>{0, 4, 13}));
    EXPECT_EQ(o.handsetMappings.back(), "D505i: button D503i, preset d1");
    EXPECT_EQ(Parsed({"--mld", "all", "a.wav"}).mldCells.size(), 13u);
    EXPECT_EQ(Parsed({"--all", "a.wav"}).mldCells.size(), 13u);
}

TEST(CliOptions, OutputOptionsReplaceTheFilesChoice) {
    Settings settings;
    settings.grid.At(kMldPage, 0) = kCellOn;  // N503i from the settings file
    settings.grid.At(k3gpPage, 4) = kCellOn;  // 3G2 from the settings file
    ApplyOptions(Parsed({"--mld", "n2", "--mmf", "a.wav"}), settings);
    EXPECT_EQ(settings.grid.At(kMldPage, 0), kCellOff);
    EXPECT_EQ(settings.grid.At(kMldPage, 1), kCellOn);
    EXPECT_EQ(settings.grid.At(kMmfPage, 0), kCellOn);
    EXPECT_EQ(settings.grid.At(k3gpPage, 4), kCellOff);
    EXPECT_EQ(settings.grid.At(kMldPage, 2), kNoButton);  // places without a button untouched

    Settings kept;
    kept.grid.At(kMldPage, 0) = kCellOn;
    ApplyOptions(Parsed({"--mld-rate", "8000", "a.wav"}), kept);
    EXPECT_EQ(kept.grid.At(kMldPage, 0), kCellOn);
}

TEST(CliOptions, SettingOptionsSetExactlyOneCellOfTheirGroup) {
    struct Case {
        std::vector<std::string> arguments;
        int page;
        std::vector<int> on;
        std::vector<int> off;
    };
    const Case cases[] = {
        {{"--mld-rate", "16000"}, kMldPage, {23}, {15, 19, 27}},
        {{"--mld-rate", "32000"}, kMldPage, {27}, {15, 19, 23}},
        {{"--mld-channels", "stereo"}, kMldPage, {7}, {3}},
        {{"--mld-limit", "10"}, kMldPage, {}, {18, 22}},
        {{"--mld-limit", "100"}, kMldPage, {22}, {18}},
        {{"--mmf-rate", "8000"}, kMmfPage, {19}, {15, 23}},
        {{"--mmf-channels", "STEREO"}, kMmfPage, {7}, {3}},
        {{"--3gp-rate", "32000"}, k3gpPage, {18}, {15, 19, 22, 23}},
        {{"--3gp-rate", "44100"}, k3gpPage, {22}, {15, 18, 19, 23}},
        {{"--3gp-channels", "mono"}, k3gpPage, {3}, {7}},
        {{"--streaming"}, k3gpPage, {2}, {}},
        {{"--external", "/bin/true"}, k3gpPage, {6}, {}},
    };
    for (const Case& c : cases) {
        auto arguments = c.arguments;
        arguments.push_back("a.wav");
        Settings settings;
        ApplyOptions(Parsed(arguments), settings);
        for (int cell : c.on) EXPECT_EQ(settings.grid.At(c.page, cell), kCellOn) << c.arguments[0] << " " << cell;
        for (int cell : c.off) EXPECT_EQ(settings.grid.At(c.page, cell), kCellOff) << c.arguments[0] << " " << cell;
    }
}

TEST(CliOptions, ProgramsAndFolder) {
    Settings settings;
    ApplyOptions(Parsed({"--external", "/opt/enc", "--mp3-decoder", "sh", "-o", "/out", "a.wav"}), settings);
    EXPECT_EQ(settings.externalEncoderPath, "/opt/enc");
    EXPECT_EQ(settings.mp3DecoderPath.back(), 'h');
    EXPECT_NE(settings.mp3DecoderPath.find('/'), std::string::npos);  // found in PATH
    EXPECT_EQ(settings.savingDirectory, "/out");
    EXPECT_EQ(settings.resampler, ResamplerKind::BandLimited);
    ApplyOptions(Parsed({"--resampler", "classic", "a.wav"}), settings);
    EXPECT_EQ(settings.resampler, ResamplerKind::Classic);
    EXPECT_TRUE(std::holds_alternative<UsageError>(ParseCommandLine({"--resampler", "linear", "a.wav"})));
    EXPECT_EQ(ResolveProgram("no-such-program-kvt"), "no-such-program-kvt");
}

TEST(CliOptions, HelpShowsTheSettingsFilesValuesAsDefaults) {
    Settings settings;
    settings.savingDirectory = "/ring/tones";
    ApplyOptions(Parsed({"--mld-rate", "16000", "--3gp-channels", "stereo", "--mld", "lg", "a.wav"}), settings);
    std::string help = UsageText(settings);
    for (const char* shown : {"=16000", "=stereo", "=LG", "=/ring/tones", "=mono", "=8000"})
        EXPECT_NE(help.find(shown), std::string::npos) << shown << "\n" << help;
    EXPECT_EQ(UsageText(Settings{}).find("=16000"), std::string::npos);
}

}  // namespace
}  // namespace kvt::cli
