#include "cli/exit_on_signal.h"

#include <pthread.h>
#include <unistd.h>
#include <csignal>
#include <cstdio>
#include <mutex>
#include <thread>

#include "platform/cleanup_registry.h"

namespace kvt::cli {
namespace {

void TakeSignals() {
    std::signal(SIGPIPE, SIG_IGN);
    std::signal(SIGXFSZ, SIG_IGN);
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    sigaddset(&signals, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    std::thread([signals] {
        int signal = 0;
        if (sigwait(&signals, &signal) != 0) return;
        CleanUpForExit();
        std::fputs("\n", stderr);
        _exit(128 + signal);
    }).detach();
}

}  // namespace

void EndCleanlyOnSignals() {
    static std::once_flag once;
    std::call_once(once, TakeSignals);
}

}  // namespace kvt::cli
