#include "convert/job_thread.h"

#include <utility>

namespace kvt {

JobThread::~JobThread() {
    Stop();
    Wait();
}

bool JobThread::Start(ConversionHost& host, std::function<void(const JobReport&)> ended) {
    if (running_.exchange(true)) return false;
    Wait();  // the thread of the last job, done but not yet joined
    // Set before the thread starts: the job's thread itself may call Stop.
    stop_ = std::stop_source();
    thread_ = std::thread([this, &host, stop = stop_.get_token(), ended = std::move(ended)] {
        const JobReport report = OnConvert(host, stop);
        running_.store(false);
        if (ended) ended(report);
    });
    return true;
}

void JobThread::Stop() {
    stop_.request_stop();
}

void JobThread::Wait() {
    if (thread_.joinable()) thread_.join();
}

}  // namespace kvt
