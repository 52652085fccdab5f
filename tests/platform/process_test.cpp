#include "platform/process.h"

#include "platform/temp_folder.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <filesystem>
#include <thread>

namespace kvt {
namespace {

using namespace std::chrono_literals;
using Args = std::vector<std::string>;

struct TemplateCase {
    const char* name;
    std::string parameterTemplate;
    Args values;
    Args expected;
};

class FillParameterTemplateFixture : public ::testing::TestWithParam<TemplateCase> {};

TEST_P(FillParameterTemplateFixture, GivesOneArgumentPerField) {
    const auto& c = GetParam();
    EXPECT_EQ(FillParameterTemplate(c.parameterTemplate, c.values), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Templates, FillParameterTemplateFixture,
    ::testing::Values(TemplateCase{"Mp3Decoder",
                                   R"( --decode "%s" "%s" )",
                                   {"/in/a.mp3", "/w/sample.wav"},
                                   {"--decode", "/in/a.mp3", "/w/sample.wav"}},
                      TemplateCase{"AacEncoder",
                                   R"( -br %d -he -if "%s" -of "%s" )",
                                   {"8000", "/t/in put.wav", "/t/out.mp4"},
                                   {"-br", "8000", "-he", "-if", "/t/in put.wav", "-of", "/t/out.mp4"}},
                      TemplateCase{"QuoteInValueDoesNotSplit",
                                   R"( --decode "%s" "%s" )",
                                   {R"(a" "b)", R"(c"d)"},
                                   {"--decode", R"(a" "b)", R"(c"d)"}},
                      TemplateCase{"ShellSyntaxStaysText",
                                   R"( --decode "%s" %s )",
                                   {"x; rm -rf ~", "$(touch y) `z` | w > v"},
                                   {"--decode", "x; rm -rf ~", "$(touch y) `z` | w > v"}},
                      TemplateCase{"PercentInValueIsNotAFormat", R"("%s" "%s")", {"100%s%d", "b"}, {"100%s%d", "b"}},
                      TemplateCase{"EmptyValueStaysAnArgument", R"( "%s" "%s" )", {"", "b"}, {"", "b"}},
                      TemplateCase{"BlanksAndTabsCollapse", "  -a\t\t-b  ", {}, {"-a", "-b"}},
                      TemplateCase{"QuotesInsideAField", R"(-of"%s"x)", {"a b"}, {"-ofa bx"}},
                      TemplateCase{"DoublePercentIsOnePercent", "-q 100%%", {}, {"-q", "100%"}},
                      TemplateCase{"MissingValuesAreEmpty", R"("%s" %s)", {"a"}, {"a", ""}},
                      TemplateCase{"ExtraValuesAreIgnored", "%s", {"a", "b"}, {"a"}},
                      TemplateCase{"UnknownConversionIsKept", "%x %", {}, {"%x", "%"}},
                      TemplateCase{"EmptyTemplate", "   ", {"a"}, {}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(FileArgument, RelativeNamesBecomeAbsoluteSoNoneIsAnOption) {
    const std::string cwd = std::filesystem::current_path().string();
    EXPECT_EQ(FileArgument("-V9.mp3"), cwd + "/-V9.mp3");
    EXPECT_EQ(FileArgument("sub/--help.wav"), cwd + "/sub/--help.wav");
    EXPECT_EQ(FileArgument("/abs/-x.wav"), "/abs/-x.wav");
    EXPECT_EQ(FileArgument(""), "");
}

// Runs the recording child and reads back what it received.
class RunProgramFixture : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("KVT_ARGV_OUT", record_.c_str(), 1);
        unsetenv("KVT_SLEEP_MS");
        unsetenv("KVT_EXIT_CODE");
    }
    void TearDown() override {
        unsetenv("KVT_ARGV_OUT");
        unsetenv("KVT_SLEEP_MS");
        unsetenv("KVT_EXIT_CODE");
    }

    // The child's pid and the arguments it got.
    std::pair<long, Args> Recorded() const {
        std::string bytes = testing::ReadWholeFile(record_);
        auto newline = bytes.find('\n');
        if (newline == std::string::npos) return {-1, {}};
        Args args;
        size_t start = newline + 1;
        for (size_t end; (end = bytes.find('\0', start)) != std::string::npos; start = end + 1)
            args.push_back(bytes.substr(start, end - start));
        return {std::stol(bytes.substr(0, newline)), args};
    }

    testing::TempFolder folder_;
    std::string record_ = folder_ / "argv";
};

TEST_F(RunProgramFixture, HostileFileNamesReachTheProgramUntouched) {
    const std::string trap = folder_ / "injected";
    const Args values = {
        R"(/music/"quoted" name.mp3)",
        "/w/a;touch " + trap + ";b.wav",
        "$(touch " + trap + ") `touch " + trap + "` & | > <",
        "line\nbreak 表ソ.wav",
    };
    auto args = FillParameterTemplate(R"( --decode "%s" "%s" "%s" "%s" )", values);
    auto result = RunProgram(KVT_ARGV_RECORDER, args, 10s);
    ASSERT_EQ(result.outcome, LaunchOutcome::Finished);
    EXPECT_EQ(result.exitCode, 0);
    Args expected = {"--decode"};
    expected.insert(expected.end(), values.begin(), values.end());
    EXPECT_EQ(Recorded().second, expected);
    struct stat info;
    EXPECT_NE(stat(trap.c_str(), &info), 0) << "a value was run as a command";
}

TEST_F(RunProgramFixture, ReportsTheExitCodeWithoutWaitingForTheTimeOut) {
    setenv("KVT_EXIT_CODE", "3", 1);
    auto start = std::chrono::steady_clock::now();
    auto result = RunProgram(KVT_ARGV_RECORDER, {"-br", "8000"}, 30s);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 10s);
    EXPECT_EQ(result.outcome, LaunchOutcome::Finished);
    EXPECT_EQ(result.exitCode, 3);
    EXPECT_EQ(Recorded().second, (Args{"-br", "8000"}));
}

TEST_F(RunProgramFixture, ProgramsThatCannotStartAreNotStarted) {
    std::string notExecutable = folder_.Write("encoder.exe", "#!/bin/sh\nexit 0\n");
    chmod(notExecutable.c_str(), 0644);
    for (const std::string& program : {folder_ / "missing", notExecutable, folder_.Path(), std::string()}) {
        SCOPED_TRACE(program);
        EXPECT_EQ(RunProgram(program, {}, 1s).outcome, LaunchOutcome::NotStarted);
    }
}

TEST_F(RunProgramFixture, TimesOutAndReapsTheProgramWhenItEnds) {
    setenv("KVT_SLEEP_MS", "700", 1);
    auto start = std::chrono::steady_clock::now();
    auto result = RunProgram(KVT_ARGV_RECORDER, {}, 100ms);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 600ms);
    ASSERT_EQ(result.outcome, LaunchOutcome::TimedOut);

    // The recorder writes its pid before sleeping; wait until it has done so.
    long pid = -1;
    for (int i = 0; i < 200 && pid < 0; ++i, std::this_thread::sleep_for(10ms)) pid = Recorded().first;
    ASSERT_GT(pid, 0);
    // An unreaped child stays in /proc as a zombie; a reaped one disappears.
    const std::string entry = "/proc/" + std::to_string(pid);
    struct stat info;
    bool gone = false;
    for (int i = 0; i < 1000 && !gone; ++i, std::this_thread::sleep_for(10ms)) gone = stat(entry.c_str(), &info) != 0;
    EXPECT_TRUE(gone) << "process " << pid << " left as a zombie";
}

// A program's helpers run in its process group; when we stop waiting for the program, by
// its end or by the time-out, nothing of the group is left running.
TEST(RunProgramGroup, NothingOfTheProgramsGroupOutlivesTheWait) {
    testing::TempFolder folder;
    std::string pids = folder / "pids";
    struct Case {
        const char* name;
        std::string tail;  // what the program does after starting its helper
        std::chrono::milliseconds timeout;
        LaunchOutcome outcome;
    };
    const Case cases[] = {
        {"ends at once", "exit 0\n", 30s, LaunchOutcome::Finished},
        {"hangs", "wait\n", 300ms, LaunchOutcome::TimedOut},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string script = folder.Write("program.sh", "#!/bin/sh\nsleep 300 &\necho $! > '" + pids + "'\n" + c.tail);
        chmod(script.c_str(), 0755);
        auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(RunProgram(script, {}, c.timeout).outcome, c.outcome);
        EXPECT_LT(std::chrono::steady_clock::now() - start, 10s);
        long helper = std::stol(testing::ReadWholeFile(pids));
        // Ended, and reaped by whoever adopted it: nothing but a zombie may remain.
        bool ended = false;
        for (int i = 0; i < 300 && !ended; ++i, std::this_thread::sleep_for(10ms)) {
            std::string stat = testing::ReadWholeFile("/proc/" + std::to_string(helper) + "/stat");
            ended = stat.empty() || stat.find(") Z") != std::string::npos;
        }
        EXPECT_TRUE(ended) << "helper " << helper << " left running";
    }
}

}  // namespace
}  // namespace kvt
