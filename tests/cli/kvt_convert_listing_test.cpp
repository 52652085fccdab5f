// Which outputs kvt-convert lists, and when: each as soon as it is complete, and none that
// -n left alone.

#include <pty.h>

#include <fstream>

#include "kvt_convert_fixture.h"

namespace kvt::testing {
namespace {

namespace fs = std::filesystem;

TEST_F(KvtConvert, NoClobberLeavesExistingOutputsAndExitsOne) {
    const std::string input = MakeSample("song.wav", "1");
    ASSERT_EQ(Convert({"--mld", "d1", "--mmf", "-o", out(), input}).exitCode, 0);
    const std::string kept = out() + "/song.mmf";
    const struct {
        std::vector<std::string> options;
        int exitCode;
        bool overwritten;
    } rows[] = {
        {{"-n"}, 1, false},
        {{"--no-clobber"}, 1, false},
        {{"-y"}, 0, true},
        {{}, 0, true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.options.empty() ? "default" : row.options[0]);
        { std::ofstream(kept, std::ios::trunc) << "mine"; }
        fs::remove(out() + "/song_d1.mld");
        std::vector<std::string> arguments = row.options;
        for (const char* a : {"--mld", "d1", "--mmf", "-o"}) arguments.push_back(a);
        arguments.push_back(out());
        arguments.push_back(input);
        const RunResult run = Convert(arguments);
        EXPECT_EQ(run.exitCode, row.exitCode) << run.err;
        EXPECT_EQ(ReadWholeFile(kept) != "mine", row.overwritten);
        EXPECT_EQ(run.out.find("song.mmf") != std::string::npos, row.overwritten) << run.out;
        EXPECT_NE(run.out.find("song_d1.mld"), std::string::npos) << run.out;
        EXPECT_EQ(run.ErrHas("song.mmf: exists; left as it is (-n)"), !row.overwritten) << run.err;
    }
    EXPECT_EQ(Convert({"-n", "-y", "--mmf", input}).exitCode, 2);
}

TEST_F(KvtConvert, TheFirstFileIsListedBeforeTheJobEnds) {
    // The MLD file is done in a moment; the 3GP file of half a minute of stereo takes seconds.
    const std::string input = MakeSample("long.wav", "30", "44100", "2");
    const pid_t pid =
        Start({"--mld", "d1", "--3gp", "--3gp-rate", "44100", "--3gp-channels", "stereo", "-o", out(), input});
    ASSERT_GT(pid, 0);
    const fs::path listing = folder / "stdout";
    bool listedWhileRunning = false;
    for (int i = 0; i < 2000 && !listedWhileRunning; ++i) {
        int status = 0;
        if (waitpid(pid, &status, WNOHANG) == pid) FAIL() << "ended before its first file was listed";
        listedWhileRunning = fs::exists(listing) && ReadWholeFile(listing).find("long_d1.mld\n") != std::string::npos;
        if (!listedWhileRunning) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    EXPECT_TRUE(listedWhileRunning);
    EXPECT_FALSE(fs::exists(out() + "/long.3gp"));
    int status = 0;
    waitpid(pid, &status, 0);
    const RunResult run = Collect(status);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.OutLines(), (std::vector<std::string>{out() + "/long_d1.mld", out() + "/long.3gp"}));
}

}  // namespace
}  // namespace kvt::testing

namespace kvt::testing {
namespace {

TEST_F(KvtConvert, QuietPrintsErrorsOnly) {
    const std::string input = MakeSample("song.wav", "3");
    const struct {
        const char* what;
        std::vector<std::string> arguments;
        int exitCode;
        const char* said;    // printed with and without -q
        const char* notice;  // printed only without -q
    } rows[] = {
        {"warning of a written file",
         {"--mld", "n2", "--mld-rate", "32000", "--mld-channels", "stereo"},
         0,
         nullptr,
         "song_n2.mld: 指定されたファイルサイズの制限を越えています。"},
        {"failed output",
         {"--mld", "n1", "--mld-rate", "16000"},
         1,
         "song_n1.mld: N503i (n1) takes 4000, 8000 Hz",
         nullptr},
        {"refused input", {"--mmf", "missing.wav"}, 1, "missing.wav: cannot open", nullptr},
        {"usage error", {"--mld", "X900"}, 2, "unknown handset 'X900'", nullptr},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        for (bool quiet : {false, true}) {
            std::vector<std::string> arguments = row.arguments;
            if (quiet) arguments.push_back("-q");
            arguments.insert(arguments.end(), {"-o", out(), input});
            const RunResult run = Convert(arguments);
            EXPECT_EQ(run.exitCode, row.exitCode) << run.err;
            if (row.said) {
                EXPECT_TRUE(run.ErrHas(row.said)) << run.err;
            }
            if (row.notice) {
                EXPECT_EQ(run.ErrHas(row.notice), !quiet) << run.err;
            }
        }
    }
}

}  // namespace
}  // namespace kvt::testing

namespace kvt::testing {
namespace {

// Runs kvt-convert with stderr on a pseudo-terminal and returns what the terminal got.
std::string TerminalOutput(const std::string& command) {
    int controller = -1, terminal = -1;
    if (openpty(&controller, &terminal, nullptr, nullptr, nullptr) != 0) return "openpty failed";
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(terminal, 2);
        close(controller);
        close(terminal);
        execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    close(terminal);
    std::string seen;
    char buffer[4096];
    for (ssize_t got; (got = read(controller, buffer, sizeof buffer)) > 0;)
        seen.append(buffer, static_cast<size_t>(got));
    close(controller);
    waitpid(pid, nullptr, 0);
    return seen;
}

TEST_F(KvtConvert, ProgressShowsOnATerminalOnlyAndNeverQuietOrOnAPipe) {
    const std::string input = MakeSample("song.wav", "2");
    const struct {
        const char* what;
        bool terminal;
        bool quiet;
        bool progress;
    } rows[] = {
        {"terminal", true, false, true},
        {"terminal, -q", true, true, false},
        {"pipe", false, false, false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        std::vector<std::string> arguments = {"--mld", "d1", "--3gp", "-o", out(), input};
        if (row.quiet) arguments.push_back("-q");
        std::string command =
            "cd " + Quote(cwd()) + " && exec env TMPDIR=" + Quote(tmp()) + " " + Quote(KVT_CONVERT_BINARY);
        for (const std::string& argument : arguments) command += " " + Quote(argument);
        command += " >/dev/null </dev/null";
        const std::string seen = row.terminal ? TerminalOutput(command) : Convert(arguments).err;
        EXPECT_EQ(seen.find("song.wav  1/2  song_d1.mld") != std::string::npos, row.progress) << seen;
        // The AAC coding reports its share, so the 3GP line moves.
        EXPECT_EQ(seen.find("song.wav  2/2  song.3gp  100 %") != std::string::npos, row.progress) << seen;
        EXPECT_EQ(seen.find('\r') != std::string::npos, row.progress) << seen;
    }
}

}  // namespace
}  // namespace kvt::testing
