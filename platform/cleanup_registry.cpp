#include "platform/cleanup_registry.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>
#include <algorithm>
#include <csignal>
#include <filesystem>
#include <mutex>
#include <vector>

namespace kvt {
namespace {

struct Registry {
    std::mutex mutex;
    std::vector<std::string> paths;
    std::vector<pid_t> groups;
    // Its own lock: the actions run without the one above, as they may wait for threads that
    // record paths.
    std::mutex actionsMutex;
    std::vector<std::pair<unsigned long, std::function<void()>>> actions;
    unsigned long lastActionId = 0;
};

// Never destroyed: the clean-up may run on a signal's thread while the program ends.
Registry& TheRegistry() {
    static Registry* registry = new Registry;
    return *registry;
}

template <typename T>
void Erase(std::vector<T>& values, const T& value) {
    auto found = std::find(values.begin(), values.end(), value);
    if (found != values.end()) values.erase(found);
}

}  // namespace

std::optional<int> CreatePendingFile(std::string& pattern, int suffixLength) {
    Registry& registry = TheRegistry();
    std::lock_guard lock(registry.mutex);
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    int fd = mkostemps(buffer.data(), suffixLength, O_CLOEXEC);
    if (fd < 0) return std::nullopt;
    pattern = buffer.data();
    registry.paths.push_back(pattern);
    return fd;
}

std::optional<std::string> CreatePendingFolder(const std::string& pattern) {
    Registry& registry = TheRegistry();
    std::lock_guard lock(registry.mutex);
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    if (!mkdtemp(buffer.data())) return std::nullopt;
    registry.paths.emplace_back(buffer.data());
    return registry.paths.back();
}

void DropPendingPath(const std::string& path) {
    Registry& registry = TheRegistry();
    std::lock_guard lock(registry.mutex);
    Erase(registry.paths, path);
}

std::optional<pid_t> SpawnChildGroup(const std::function<pid_t()>& spawn) {
    Registry& registry = TheRegistry();
    std::lock_guard lock(registry.mutex);
    pid_t group = spawn();
    if (group <= 0) return std::nullopt;
    registry.groups.push_back(group);
    return group;
}

void DropChildGroup(pid_t group) {
    Registry& registry = TheRegistry();
    std::lock_guard lock(registry.mutex);
    Erase(registry.groups, group);
}

void EndProcessGroup(pid_t group, int graceMs) {
    if (group <= 0 || kill(-group, SIGTERM) != 0) return;
    // The leader's end is seen without reaping it: its owner still waits for it.
    for (int waited = 0; waited < graceMs; waited += 5) {
        siginfo_t info{};
        if (waitid(P_PID, static_cast<id_t>(group), &info, WEXITED | WNOHANG | WNOWAIT) == 0 && info.si_pid == group)
            break;
        usleep(5000);
    }
    kill(-group, SIGKILL);
}

ExitAction::ExitAction(std::function<void()> action) {
    Registry& registry = TheRegistry();
    std::lock_guard lock(registry.actionsMutex);
    id_ = ++registry.lastActionId;
    registry.actions.emplace_back(id_, std::move(action));
}

// Once the clean-up has begun this waits for _exit, so an action never outlives what it uses.
ExitAction::~ExitAction() {
    Registry& registry = TheRegistry();
    std::lock_guard lock(registry.actionsMutex);
    std::erase_if(registry.actions, [this](const auto& entry) { return entry.first == id_; });
}

void CleanUpForExit() {
    Registry& registry = TheRegistry();
    registry.actionsMutex.lock();  // held until the process ends, as the lock below
    for (const auto& entry : registry.actions) entry.second();
    // Held until the process ends: whoever wants to record something now waits for _exit.
    registry.mutex.lock();
    for (pid_t group : registry.groups) EndProcessGroup(group);
    for (auto path = registry.paths.rbegin(); path != registry.paths.rend(); ++path) {
        std::error_code ignored;
        std::filesystem::remove_all(*path, ignored);
    }
}

}  // namespace kvt
