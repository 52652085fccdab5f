#pragma once
// What must not outlive the program: temporary files and folders waiting for their rename
// or removal, and the process groups of external programs still running. Every exit path
// (normal end, SIGINT/SIGTERM/SIGHUP in kvt-convert) ends the groups and removes the paths.
// Safe to use from several threads at once.

#include <sys/types.h>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace kvt {

// Creates a file from a mkstemp pattern ("...XXXXXX" followed by `suffixLength` characters)
// and records it as pending in one step, so an interruption never finds it unrecorded.
// The open descriptor (O_CLOEXEC), or nothing with errno set.
std::optional<int> CreatePendingFile(std::string& pattern, int suffixLength = 0);

// The same for a folder (mkdtemp); its path, or nothing with errno set. The folder is
// held (a lock on it) until it is dropped or the process ends, however it ends, so that
// RemoveAbandonedFolders of another run leaves it alone.
std::optional<std::string> CreatePendingFolder(const std::string& pattern);

// Removes the folders in `parent` that a run of ours made and left behind when it was
// killed: named a prefix of `prefixes` and six more characters (mkdtemp), owned by this
// user, held by no running process, and unchanged for a minute (so that one being made
// just now is spared). Never anything else: no link, no file, no folder of another name.
void RemoveAbandonedFolders(const std::string& parent, const std::vector<std::string>& prefixes);

// The private folders of our runs in the temporary folder: kvt-convert's work folder and
// the window's CD track places.
inline constexpr const char* kWorkFolderPrefix = "kvt-convert-";
inline constexpr const char* kCdTrackPlacesPrefix = "kvt-cd-";
// RemoveAbandonedFolders for those two in the temporary folder; the front ends call it at start.
void RemoveAbandonedRunFolders();

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

// Ends a process group: SIGTERM, up to `graceMs` for its leader to go, then SIGKILL. The
// leader is left unreaped for its owner.
void EndProcessGroup(pid_t group, int graceMs = 200);

// Reaps every child of ours still in the ended `group` (its leader, and the members handed
// to us, see AdoptOrphanedDescendants), waiting up to a second for those still ending.
void ReapProcessGroup(pid_t group);

// Ends every recorded process group now (the window's way out on a signal); the groups
// stay recorded for their owners, who reap them.
void EndChildGroups();

// Makes this process the reaper of its orphaned descendants: when an external program (a
// wrapper script) ends before the programs it started, they become our children, so that
// ending its group can also reap them and nothing of a run is left, not even an exited
// process waiting for init. Process-wide: the front ends call it at start.
void AdoptOrphanedDescendants();

}  // namespace kvt
