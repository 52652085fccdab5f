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
    thread_ = std::jthread([this, &host, ended = std::move(ended)](std::stop_token stop) {
        const JobReport report = OnConvert(host, stop);
        running_.store(false);
        if (ended) ended(report);
    });
    return true;
}

void JobThread::Stop() {
    thread_.request_stop();
}

void JobThread::Wait() {
    if (thread_.joinable()) thread_.join();
}

}  // namespace kvt
