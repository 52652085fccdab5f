#include "platform/process.h"

#include "platform/cleanup_registry.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>
#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <thread>

extern char** environ;

namespace kvt {
namespace {

using Clock = std::chrono::steady_clock;

// Exit status as a shell reports it: the exit code, or 128 + signal for a killed program.
int ExitCodeOf(int status) {
    if (WIFEXITED(status)) return WEXITSTATUS(status);
    if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
    return -1;
}

// True once the child has ended; it is left unreaped, so its process group stays ours to
// end. Polls with a growing pause; used where the kernel offers no pidfd.
bool PollUntil(pid_t pid, Clock::time_point deadline) {
    auto pause = std::chrono::milliseconds(1);
    for (;;) {
        siginfo_t info{};
        int done = waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT);
        if (done == 0 && info.si_pid == pid) return true;
        if (done < 0 && errno != EINTR) return true;
        auto now = Clock::now();
        if (now >= deadline) return false;
        std::this_thread::sleep_for(std::min<Clock::duration>(pause, deadline - now));
        pause = std::min(pause * 2, std::chrono::milliseconds(20));
    }
}

// Waits until the child ends (without reaping it); false when it is still running at
// `deadline`. A pidfd lets poll() sleep until the exit.
bool WaitUntil(pid_t pid, Clock::time_point deadline) {
#ifdef SYS_pidfd_open
    int pidfd = static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
    if (pidfd >= 0) {
        int ready = -1;
        do {
            auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
            pollfd entry{pidfd, POLLIN, 0};
            ready = poll(&entry, 1, static_cast<int>(std::clamp<long long>(left, 0, 1 << 30)));
        } while (ready < 0 && errno == EINTR);
        close(pidfd);
        if (ready >= 0) return ready > 0;
    }
#endif
    return PollUntil(pid, deadline);
}

int Reap(pid_t pid) {
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) return -1;
    }
    return status;
}

// Spawn attributes for a program that runs hidden: default signal handling and an empty
// signal mask whatever the caller uses, stdin/stdout/stderr on /dev/null, and none of
// our other descriptors.
struct SpawnSetup {
    posix_spawnattr_t attributes;
    posix_spawn_file_actions_t actions;

    SpawnSetup() {
        posix_spawnattr_init(&attributes);
        sigset_t none;
        sigemptyset(&none);
        posix_spawnattr_setsigmask(&attributes, &none);
        sigset_t all;
        sigfillset(&all);
        posix_spawnattr_setsigdefault(&attributes, &all);
        // A group of its own: whatever the program starts can be ended with it, and a
        // terminal's Ctrl-C reaches us, not it.
        posix_spawnattr_setpgroup(&attributes, 0);
        posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETPGROUP);

        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_adddup2(&actions, 1, 2);
#if defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 34))
        posix_spawn_file_actions_addclosefrom_np(&actions, 3);
#endif
    }
    ~SpawnSetup() {
        posix_spawn_file_actions_destroy(&actions);
        posix_spawnattr_destroy(&attributes);
    }
    SpawnSetup(const SpawnSetup&) = delete;
    SpawnSetup& operator=(const SpawnSetup&) = delete;
};

}  // namespace

LaunchResult RunProgram(const std::string& program, const std::vector<std::string>& arguments,
                        std::chrono::milliseconds timeout) {
    LaunchResult result;
    if (program.empty()) return result;

    std::vector<char*> argv;
    argv.reserve(arguments.size() + 2);
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const auto& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);

    SpawnSetup setup;
    std::optional<pid_t> spawned = SpawnChildGroup([&]() -> pid_t {
        pid_t pid = 0;
        // A name without '/' is looked up in PATH, as a shell would; a path is used as given.
        return posix_spawnp(&pid, program.c_str(), &setup.actions, &setup.attributes, argv.data(), environ) == 0 ? pid
                                                                                                                 : 0;
    });
    if (!spawned) return result;
    const pid_t pid = *spawned;

    if (WaitUntil(pid, Clock::now() + timeout)) {
        // What the program left running in its group ends with it; its unreaped leader
        // keeps the group's id from being reused meanwhile.
        kill(-pid, SIGKILL);
        int status = Reap(pid);
        ReapProcessGroup(pid);
        result.outcome = LaunchOutcome::Finished;
        result.exitCode = status == -1 ? -1 : ExitCodeOf(status);
    } else {
        // Nobody waits for its output any more: the program and its group are ended.
        EndProcessGroup(pid);
        Reap(pid);
        ReapProcessGroup(pid);
        result.outcome = LaunchOutcome::TimedOut;
    }
    DropChildGroup(pid);
    return result;
}

std::vector<std::string> FillParameterTemplate(const std::string& parameterTemplate,
                                               const std::vector<std::string>& values) {
    std::vector<std::string> arguments;
    size_t nextValue = 0;
    std::string field;
    bool inField = false;  // a field has begun (even an empty quoted one "")
    bool quoted = false;
    for (size_t i = 0; i < parameterTemplate.size(); ++i) {
        char c = parameterTemplate[i];
        if (!quoted && (c == ' ' || c == '\t' || c == '\n' || c == '\r')) {
            if (inField) arguments.push_back(std::move(field));
            field.clear();
            inField = false;
            continue;
        }
        inField = true;
        if (c == '"') {
            quoted = !quoted;
            continue;
        }
        if (c == '%' && i + 1 < parameterTemplate.size()) {
            char conversion = parameterTemplate[i + 1];
            if (conversion == 's' || conversion == 'd') {
                // The value goes in after the split and is never scanned again, so
                // quotes, blanks or '%' inside it stay part of this one argument.
                if (nextValue < values.size()) field += values[nextValue];
                ++nextValue;
                ++i;
                continue;
            }
            if (conversion == '%') {
                field.push_back('%');
                ++i;
                continue;
            }
        }
        field.push_back(c);
    }
    if (inField) arguments.push_back(std::move(field));
    return arguments;
}

std::string FileArgument(const std::string& path) {
    if (path.empty() || path.front() == '/') return path;
    std::error_code error;
    std::filesystem::path absolute = std::filesystem::absolute(path, error);
    return error ? "./" + path : absolute.string();
}

}  // namespace kvt
