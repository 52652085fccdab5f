#pragma once
// A private folder for fuzzers that need real files. A crash ends a fuzzer without running
// exit handlers, so the folder is not removed by the fuzzer itself: a small watcher process,
// started before fuzzing begins, waits on a pipe that only the fuzzer holds open and removes
// the folder when the fuzzer ends, however it ends (crash report, abort, time-out, kill).

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

namespace kvt::fuzz {

class ScratchFolder {
public:
    // Call from LLVMFuzzerInitialize, while the fuzzer has no other threads.
    static const std::string& Path() {
        static const std::string path = Create();
        return path;
    }

private:
    static std::string Create() {
        const char* tmp = std::getenv("TMPDIR");
        std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/kvt-fuzz-XXXXXX";
        if (!mkdtemp(pattern.data())) std::abort();
        int ends[2];
        if (pipe2(ends, O_CLOEXEC) != 0) std::abort();
        pid_t watcher = fork();
        if (watcher < 0) std::abort();
        if (watcher == 0) Watch(pattern, ends);
        close(ends[0]);  // the write end stays open, unread, for the fuzzer's lifetime
        return pattern;
    }

    // The watcher: out of the fuzzer's process group, so that an interrupt meant for the
    // fuzzer does not stop it before the fuzzer is gone. Only plain system calls.
    [[noreturn]] static void Watch(const std::string& folder, const int ends[2]) {
        close(ends[1]);
        setsid();
        signal(SIGINT, SIG_IGN);
        signal(SIGHUP, SIG_IGN);
        char byte;
        while (read(ends[0], &byte, 1) != 0) {
        }
        if (DIR* dir = opendir(folder.c_str())) {
            while (dirent* entry = readdir(dir)) {
                std::string name = entry->d_name;
                if (name != "." && name != "..") unlink((folder + "/" + name).c_str());
            }
            closedir(dir);
        }
        rmdir(folder.c_str());
        _exit(0);
    }
};

}  // namespace kvt::fuzz
