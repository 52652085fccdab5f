#pragma once
// A conversion job on a thread of its own, so that the window hosting it stays alive while
// it runs. The job calls its host from that thread: a host with a window passes each call
// on to the window's thread. Messages go through ShowMessage, whose back end decides where
// they are shown.

#include <atomic>
#include <functional>
#include <stop_token>
#include <thread>

#include "convert/conversion_job.h"

namespace kvt {

class JobThread {
public:
    JobThread() = default;
    ~JobThread();  // stops the job and waits for it
    JobThread(const JobThread&) = delete;
    JobThread& operator=(const JobThread&) = delete;

    // Starts OnConvert(host) unless a job runs (false then). `ended` is the last thing the
    // job's thread does; the host and `ended` must stay valid until then.
    bool Start(ConversionHost& host, std::function<void(const JobReport&)> ended);
    // True from Start until the job has ended (its `ended` may still be running).
    bool Running() const { return running_.load(); }
    // The job ends after the output it is making (sooner within the AAC coding).
    void Stop();
    // Waits for the job's thread (stopped or not).
    void Wait();

private:
    std::atomic<bool> running_ = false;
    std::stop_source stop_;
    std::thread thread_;
};

}  // namespace kvt
