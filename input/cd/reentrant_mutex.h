#pragma once
// A mutex the owning thread may take again, waited for with a time limit. (Built on a
// plain mutex and condition variable: the timed lock of std::recursive_timed_mutex goes
// round the thread checker's view of the mutex.)

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace kvt::cd {

class ReentrantMutex {
public:
    bool try_lock_for(std::chrono::milliseconds limit) {
        std::unique_lock lock(mutex_);
        const auto self = std::this_thread::get_id();
        if (!released_.wait_for(lock, limit, [&] { return depth_ == 0 || owner_ == self; })) return false;
        owner_ = self;
        ++depth_;
        return true;
    }
    void lock() {
        while (!try_lock_for(std::chrono::hours(1))) {
        }
    }
    void unlock() {
        std::lock_guard lock(mutex_);
        if (--depth_ == 0) {
            owner_ = {};
            released_.notify_one();
        }
    }

private:
    std::mutex mutex_;
    std::condition_variable released_;
    std::thread::id owner_;
    int depth_ = 0;
};

}  // namespace kvt::cd
