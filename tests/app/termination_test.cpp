// The desktop program run as a process and ended by a signal.

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include <gtest/gtest.h>

#include "platform/temp_folder.h"

namespace kvt::testing {
namespace {

using namespace std::chrono_literals;

// Waits up to `limit` for the process to end; kills it when it does not.
bool EndsWithin(pid_t pid, std::chrono::milliseconds limit) {
    for (auto waited = 0ms; waited < limit; waited += 50ms) {
        if (waitpid(pid, nullptr, WNOHANG) == pid) return true;
        std::this_thread::sleep_for(50ms);
    }
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    return false;
}

// A box waiting for its OK ("ファイルが見つかりませんでした。" for a missing input) must not
// keep the program alive; the settings are still written on the way out.
TEST(DesktopProgram, ATerminationSignalEndsItWhileAMessageBoxWaits) {
    TempFolder folder;
    const std::string settings = folder.Write("setup.ini", "[kvt]\ndirectory=" + folder.Path() + "\n");
    const std::string missing = folder / "missing.wav";
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        if (chdir(folder.Path().c_str()) != 0) _exit(126);
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, STDOUT_FILENO);
        dup2(null, STDERR_FILENO);
        execl(KVT_WINDOW_BINARY, "kvt", missing.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    std::this_thread::sleep_for(2s);  // the window is up and the box shown
    kill(pid, SIGTERM);
    EXPECT_TRUE(EndsWithin(pid, 10s)) << "still running behind the box";
    EXPECT_NE(ReadWholeFile(settings).find("button000="), std::string::npos) << "settings not saved";
}

}  // namespace
}  // namespace kvt::testing
