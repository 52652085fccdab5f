// The clean-up on a signal runs the live exit actions before it removes the pending paths,
// and never an action whose owner has ended.

#include "platform/cleanup_registry.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "temp_folder.h"

namespace kvt::testing {
namespace {

TEST(CleanupRegistry, ExitRunsTheLiveActionsBeforeRemovingPendingPaths) {
    TempFolder folder;
    const std::string log = folder / "actions";
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        std::string pending = folder / "scratch-XXXXXX";
        std::optional<int> fd = CreatePendingFile(pending);
        auto note = [&](const char* what) {
            std::ofstream(log, std::ios::app) << what << (std::filesystem::exists(pending) ? "+file" : "-file") << "\n";
        };
        {
            ExitAction ended([&] { note("ended"); });
        }
        ExitAction live([&] { note("live"); });
        CleanUpForExit();
        _exit(fd && !std::filesystem::exists(pending) ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the pending file was not removed";
    EXPECT_EQ(ReadWholeFile(log), "live+file\n");
}

}  // namespace
}  // namespace kvt::testing
