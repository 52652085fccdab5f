// The desktop program run as a process: ended by a signal, and started where it cannot
// open a window.

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "platform/command_output.h"
#include "platform/temp_folder.h"

namespace kvt::testing {
namespace {

using namespace std::chrono_literals;

// Waits up to `limit` for the process to end: its exit status, or nothing (then it is
// killed) when it did not end or ended by a signal.
std::optional<int> ExitStatusWithin(pid_t pid, std::chrono::milliseconds limit) {
    for (auto waited = 0ms; waited < limit; waited += 50ms) {
        int status = 0;
        if (waitpid(pid, &status, WNOHANG) == pid) {
            if (WIFEXITED(status)) return WEXITSTATUS(status);
            return std::nullopt;
        }
        std::this_thread::sleep_for(50ms);
    }
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    return std::nullopt;
}

// kvt started in `folder` (its work folder, also its home) on the offscreen platform.
pid_t StartWindow(const TempFolder& folder, const std::vector<std::string>& arguments) {
    const pid_t pid = fork();
    if (pid != 0) return pid;
    if (chdir(folder.Path().c_str()) != 0) _exit(126);
    setenv("HOME", folder.Path().c_str(), 1);
    setenv("XDG_CONFIG_HOME", folder.Path().c_str(), 1);
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    const int null = open("/dev/null", O_WRONLY);
    dup2(null, STDOUT_FILENO);
    dup2(null, STDERR_FILENO);
    std::vector<char*> argv{const_cast<char*>("kvt")};
    for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    execv(KVT_WINDOW_BINARY, argv.data());
    _exit(127);
}

// A box waiting for its OK ("ファイルが見つかりませんでした。" for a missing input) must not
// keep the program alive; the settings are still written on the way out.
TEST(DesktopProgram, ATerminationSignalEndsItWhileAMessageBoxWaits) {
    TempFolder folder;
    const std::string settings = folder.Write("setup.ini", "[kvt]\ndirectory=" + folder.Path() + "\n");
    const pid_t pid = StartWindow(folder, {folder / "missing.wav"});
    ASSERT_GE(pid, 0);
    std::this_thread::sleep_for(2s);  // the window is up and the box shown
    kill(pid, SIGTERM);
    EXPECT_EQ(ExitStatusWithin(pid, 10s), 128 + SIGTERM) << "still running behind the box, or not ended by exit";
    EXPECT_NE(ReadWholeFile(settings).find("button000="), std::string::npos) << "settings not saved";
}

// On a first start the folder browser opens before the window: the signal handling must
// already be in place there (a logout while it is open), and the run says how it ended.
TEST(DesktopProgram, ASignalDuringTheFirstStartDialogSavesAndExitsWithItsNumber) {
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
        SCOPED_TRACE(signal);
        TempFolder folder;
        const pid_t pid = StartWindow(folder, {});
        ASSERT_GE(pid, 0);
        std::this_thread::sleep_for(1500ms);  // the first-start dialogs are open
        kill(pid, signal);
        EXPECT_EQ(ExitStatusWithin(pid, 10s), 128 + signal);
        EXPECT_TRUE(std::filesystem::exists(folder / "setup.ini")) << "settings not saved";
    }
}

// --help and --version answer without a display and leave the work folder alone; an
// unknown option is a usage error; without a display the program says so in one line.
TEST(DesktopProgram, AnswersItsOptionsAndRefusesToStartWithoutADisplay) {
    struct Case {
        const char* arguments;
        int exitCode;
        const char* outputStart;
    };
    const Case cases[] = {
        {"--help", 0, "Usage: kvt "},
        {"--version", 0, "kvt "},
        {"--no-such-option", 2, "kvt: unknown option --no-such-option"},
        {"song.wav", 1, "kvt: this window needs a graphical session"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments);
        TempFolder folder;
        const CommandResult run =
            RunCommand("cd " + Quote(folder.Path()) + " && env -u QT_QPA_PLATFORM -u DISPLAY -u WAYLAND_DISPLAY " +
                       Quote(KVT_WINDOW_BINARY) + " " + c.arguments + " 2>&1");
        EXPECT_EQ(run.exitCode, c.exitCode);
        EXPECT_TRUE(run.output.starts_with(c.outputStart)) << run.output;
        if (c.exitCode != 0) {
            EXPECT_EQ(std::count(run.output.begin(), run.output.end(), '\n'), 1) << run.output;
        }
        EXPECT_TRUE(std::filesystem::is_empty(folder.Path())) << "the work folder was touched";
    }
}

// The window waits for an MP3 decoder (a wrapper script and the program it runs): a signal
// ends both with their group and reaps them, and the program ends with the signal's status.
TEST(DesktopProgram, ATerminationSignalEndsTheDecoderItWaitsFor) {
    TempFolder folder;
    const std::string pids = folder / "pids";
    const std::string wrapper =
        folder.Write("wrapper.sh", "#!/bin/sh\necho $$ > " + pids + ".part\nsh -c 'echo $$ >> " + pids + ".part; mv " +
                                       pids + ".part " + pids + "; exec sleep 30'\n");
    chmod(wrapper.c_str(), 0755);
    folder.Write("setup.ini", "[kvt]\ndirectory=" + folder.Path() + "\nmp3=" + wrapper + "\n");
    const pid_t pid = StartWindow(folder, {folder.Write("tune.mp3", "not looked at by the wrapper")});
    ASSERT_GE(pid, 0);
    std::vector<long> started;
    for (int i = 0; i < 1000 && started.size() < 2; ++i) {
        std::this_thread::sleep_for(10ms);
        std::ifstream in(pids);
        started.clear();
        for (long program; in >> program;) started.push_back(program);
    }
    ASSERT_EQ(started.size(), 2u) << "the decoder did not start";
    kill(pid, SIGTERM);
    EXPECT_EQ(ExitStatusWithin(pid, 10s), 128 + SIGTERM) << "still waiting for the decoder";
    for (long program : started)
        EXPECT_FALSE(std::filesystem::exists("/proc/" + std::to_string(program))) << "process " << program << " left";
}

}  // namespace
}  // namespace kvt::testing
