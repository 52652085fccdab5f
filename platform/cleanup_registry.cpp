#include "platform/cleanup_registry.h"

#include <dirent.h>
#include <fcntl.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <algorithm>
#include <csignal>
#include <ctime>
#include <filesystem>
#include <map>
#include <mutex>
#include <vector>

#include "platform/paths.h"

namespace kvt {
namespace {

struct Registry {
    std::mutex mutex;
    std::vector<std::string> paths;
    std::vector<pid_t> groups;
    std::map<std::string, int> heldFolders;  // pending folder → descriptor holding its lock
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
    const int fd = open(buffer.data(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0 && flock(fd, LOCK_EX | LOCK_NB) == 0)
        registry.heldFolders[buffer.data()] = fd;
    else if (fd >= 0)
        close(fd);
    return registry.paths.back();
}

void DropPendingPath(const std::string& path) {
    Registry& registry = TheRegistry();
    std::lock_guard lock(registry.mutex);
    Erase(registry.paths, path);
    if (auto held = registry.heldFolders.find(path); held != registry.heldFolders.end()) {
        close(held->second);
        registry.heldFolders.erase(held);
    }
}

namespace {

constexpr size_t kMkdtempLetters = 6;
constexpr time_t kSpareSeconds = 60;

bool IsAbandoned(const std::string& path) {
    struct stat info {};
    if (lstat(path.c_str(), &info) != 0 || !S_ISDIR(info.st_mode) || info.st_uid != geteuid()) return false;
    if (std::time(nullptr) - info.st_mtime < kSpareSeconds) return false;
    const int fd = open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return false;
    // A run that holds its folder keeps the lock until it ends, a kill included.
    const bool free = flock(fd, LOCK_EX | LOCK_NB) == 0;
    close(fd);
    return free;
}

}  // namespace

void RemoveAbandonedFolders(const std::string& parent, const std::vector<std::string>& prefixes) {
    DIR* folder = opendir(parent.c_str());
    if (!folder) return;
    std::vector<std::string> abandoned;
    while (dirent* entry = readdir(folder)) {
        const std::string name = entry->d_name;
        for (const std::string& prefix : prefixes) {
            if (name.size() == prefix.size() + kMkdtempLetters && name.starts_with(prefix) &&
                IsAbandoned(parent + "/" + name))
                abandoned.push_back(parent + "/" + name);
        }
    }
    closedir(folder);
    for (const std::string& path : abandoned) {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
}

void RemoveAbandonedRunFolders() {
    RemoveAbandonedFolders(TemporaryFolder(), {kWorkFolderPrefix, kCdTrackPlacesPrefix});
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

namespace {

bool LeaderEnded(pid_t group) {
    siginfo_t info{};
    const int done = waitid(P_PID, static_cast<id_t>(group), &info, WEXITED | WNOHANG | WNOWAIT);
    // An error: it was reaped already, or is not ours to watch.
    return done != 0 || info.si_pid == group;
}

}  // namespace

void ReapProcessGroup(pid_t group) {
    if (group <= 0) return;
    for (int waited = 0; waited < 1000;) {
        siginfo_t info{};
        // An error: no child of ours is left in the group.
        if (waitid(P_PGID, static_cast<id_t>(group), &info, WEXITED | WNOHANG | WNOWAIT) != 0) return;
        if (info.si_pid == 0) {  // members still ending after the kill
            usleep(2000);
            waited += 2;
            continue;
        }
        waitpid(info.si_pid, nullptr, 0);
    }
}

void EndProcessGroup(pid_t group, int graceMs) {
    if (group <= 0 || kill(-group, SIGTERM) != 0) return;
    // The leader's end is seen without reaping it: its owner still waits for it.
    for (int waited = 0; waited < graceMs && !LeaderEnded(group); waited += 5) usleep(5000);
    kill(-group, SIGKILL);
}

void EndChildGroups() {
    Registry& registry = TheRegistry();
    std::vector<pid_t> groups;
    {
        std::lock_guard lock(registry.mutex);
        groups = registry.groups;
    }
    for (pid_t group : groups) EndProcessGroup(group);
}

void AdoptOrphanedDescendants() {
    prctl(PR_SET_CHILD_SUBREAPER, 1);
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
    // The owners of the leaders wait for the lock above: the exit reaps them.
    for (pid_t group : registry.groups) ReapProcessGroup(group);
    for (auto path = registry.paths.rbegin(); path != registry.paths.rend(); ++path) {
        std::error_code ignored;
        std::filesystem::remove_all(*path, ignored);
    }
}

}  // namespace kvt
