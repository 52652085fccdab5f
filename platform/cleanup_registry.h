#pragma once
// What must not outlive the program: temporary files and folders waiting for their rename
// or removal, and the process groups of external programs still running. Every exit path
// (normal end, SIGINT/SIGTERM/SIGHUP in kvt-convert) ends the groups and removes the paths.
// Safe to use from several threads at once.

#include <sys/types.h>
#include <functional>
#include <optional>
#include <string>

namespace kvt {

// Creates a file from a mkstemp pattern ("...XXXXXX" followed by `suffixLength` characters)
// and records it as pending in one step, so an interruption never finds it unrecorded.
// The open descriptor (O_CLOEXEC), or nothing with errno set.
std::optional<int> CreatePendingFile(std::string& pattern, int suffixLength = 0);

// The same for a folder (mkdtemp); its path, or nothing with errno set.
std::optional<std::string> CreatePendingFolder(const std::string& pattern);

// The path was renamed to its final name or removed: nothing left to do for it.
void DropPendingPath(const std::string& path);

// Runs `spawn` (which starts a program as the leader of a new process group and returns its
// process id, or 0) and records the group in one step. The group is ended at exit unless
// dropped before.
std::optional<pid_t> SpawnChildGroup(const std::function<pid_t()>& spawn);
void DropChildGroup(pid_t group);

// Work that must run before the program ends on a signal, such as stopping a CD rip so the
// drive is closed and its block length set back. Runs first in CleanUpForExit, on the
// signal's thread, while the action is alive.
class ExitAction {
public:
    explicit ExitAction(std::function<void()> action);
    ~ExitAction();
    ExitAction(const ExitAction&) = delete;
    ExitAction& operator=(const ExitAction&) = delete;

private:
    unsigned long id_;
};

// Runs the live exit actions, then ends every recorded process group (SIGTERM, then SIGKILL for what is still there
// after a short grace) and removes every pending path. After this call nothing new is recorded: a thread that tries
// waits, so no file appears behind the clean-up's back. For the path that ends the process at once (_exit) after it.
void CleanUpForExit();

// Ends a process group: SIGTERM, up to `graceMs` for it to go, then SIGKILL.
void EndProcessGroup(pid_t group, int graceMs = 200);

}  // namespace kvt
