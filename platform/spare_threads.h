#pragma once
// Threads a conversion may start beside the one it runs on (the AAC coding of a job's
// 3GP/3G2 files while its MLD and MMF files are made), so that all threads together never
// ask for more cores than the process may use. A front end that runs N jobs side by side
// leaves cores − N; by default one job runs and cores − 1 are spare.

#include <optional>

namespace kvt {

// The cores this process may run on (its CPU affinity), at least 1.
int AvailableCores();

// How many spare threads may run at once from now on (negative counts as 0).
void SetSpareThreads(int count);

// One spare thread, given back when destroyed.
class SpareThread {
public:
    // Nothing when every spare thread is taken.
    static std::optional<SpareThread> Take();

    SpareThread(SpareThread&& other) noexcept : held_(other.held_) { other.held_ = false; }
    SpareThread& operator=(SpareThread&&) = delete;
    SpareThread(const SpareThread&) = delete;
    ~SpareThread();

private:
    SpareThread() = default;
    bool held_ = true;
};

}  // namespace kvt
