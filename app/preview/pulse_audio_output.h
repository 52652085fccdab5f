#pragma once
// AudioOutput as a PulseAudio client of our own (libpulse-simple). It connects anew at
// every Open, so a sound server that was restarted is reached again. The source is read
// on the caller's thread by a timer, a little ahead of the server; a thread of its own
// hands the bytes to the blocking PulseAudio calls.

#include <QByteArray>
#include <QTimer>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "app/preview/audio_output.h"

struct pa_simple;

namespace kvt {

class PulseAudioOutput : public AudioOutput {
public:
    ~PulseAudioOutput() override;

    bool Open(int sampleRate, int channels) override;
    StartResult Start(QIODevice& source) override;
    uint64_t PlayedFrames() const override { return playedFrames_; }
    bool Stopped() const override { return failed_ || drained_; }
    void Reset() override { flushAtClose_ = true; }
    void Close() override;
    bool IsOpen() const override { return stream_ != nullptr; }

private:
    void ReadAhead();
    void WriteUntilEnd();
    bool WriteChunk(const QByteArray& chunk);

    pa_simple* stream_ = nullptr;
    int sampleRate_ = 0;
    int frameBytes_ = 0;
    QIODevice* source_ = nullptr;
    QTimer readTimer_;
    std::thread writer_;

    std::mutex mutex_;  // guards queue_, sourceEnded_, closing_
    std::condition_variable wake_;
    QByteArray queue_;
    bool sourceEnded_ = false;
    bool closing_ = false;

    uint64_t writtenFrames_ = 0;  // the writer thread's own
    std::atomic<uint64_t> playedFrames_ = 0;
    std::atomic<bool> failed_ = false;
    std::atomic<bool> drained_ = false;
    bool flushAtClose_ = false;
};

}  // namespace kvt
