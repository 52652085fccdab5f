#include "cli/work_folder.h"

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <pthread.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "platform/paths.h"

namespace kvt::cli {

PrivateWorkFolder::PrivateWorkFolder() {
    std::string pattern = JoinPath(TemporaryFolder(), "kvt-convert-XXXXXX");
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    if (mkdtemp(buffer.data())) path_ = buffer.data();
}

PrivateWorkFolder::~PrivateWorkFolder() {
    if (path_.empty()) return;
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

std::string PrivateWorkFolder::MakeJobFolder(int job) const {
    if (path_.empty()) return {};
    std::string folder = JoinPath(path_, "job" + std::to_string(job));
    std::error_code error;
    std::filesystem::create_directory(folder, error);
    return error ? std::string() : folder;
}

void PrivateWorkFolder::RemoveOnSignal() {
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    sigaddset(&signals, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    std::thread([signals, folder = path_] {
        int signal = 0;
        if (sigwait(&signals, &signal) != 0) return;
        std::error_code ignored;
        if (!folder.empty()) std::filesystem::remove_all(folder, ignored);
        std::fputs("\n", stderr);
        _exit(128 + signal);
    }).detach();
}

}  // namespace kvt::cli
