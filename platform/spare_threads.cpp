#include "platform/spare_threads.h"

#include <sched.h>

#include <algorithm>
#include <mutex>

namespace kvt {
namespace {

std::mutex spareMutex;
int spareLimit = -1;  // not set yet: AvailableCores() - 1
int spareTaken = 0;

}  // namespace

int AvailableCores() {
    cpu_set_t cpus;
    CPU_ZERO(&cpus);
    if (sched_getaffinity(0, sizeof cpus, &cpus) != 0) return 1;
    return std::max(1, CPU_COUNT(&cpus));
}

void SetSpareThreads(int count) {
    std::lock_guard lock(spareMutex);
    spareLimit = std::max(0, count);
}

std::optional<SpareThread> SpareThread::Take() {
    std::lock_guard lock(spareMutex);
    if (spareLimit < 0) spareLimit = AvailableCores() - 1;
    if (spareTaken >= spareLimit) return std::nullopt;
    ++spareTaken;
    return SpareThread();
}

SpareThread::~SpareThread() {
    if (!held_) return;
    std::lock_guard lock(spareMutex);
    --spareTaken;
}

}  // namespace kvt
