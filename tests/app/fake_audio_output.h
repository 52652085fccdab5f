#pragma once
// An AudioOutput for tests: it plays nothing, reads its source only when told to, and
// fails at whichever step a test chooses.

#include <QByteArray>
#include <QIODevice>

#include "app/preview/audio_output.h"

namespace kvt::testing {

class FakeAudioOutput : public AudioOutput {
public:
    bool failOpen = false;
    StartResult startResult = StartResult::Playing;
    uint64_t playedFrames = 0;
    bool stopped = false;

    int openRate = 0, openChannels = 0, opens = 0, resets = 0;
    bool closedWithQueuedAudio = false;  // a Close that no Reset preceded

    bool Open(int sampleRate, int channels) override {
        if (failOpen) return false;
        open_ = true;
        ++opens;
        queued_ = false;
        openRate = sampleRate;
        openChannels = channels;
        return true;
    }
    StartResult Start(QIODevice& source) override {
        source_ = &source;
        queued_ = true;
        return startResult;
    }
    uint64_t PlayedFrames() const override { return playedFrames; }
    bool Stopped() const override { return stopped; }
    void Reset() override { ++resets, queued_ = false; }
    void Close() override {
        closedWithQueuedAudio = closedWithQueuedAudio || queued_;
        open_ = false;
        source_ = nullptr;
    }
    bool IsOpen() const override { return open_; }

    // The device pulling up to `bytes` bytes from its source.
    QByteArray Pull(qint64 bytes) { return source_ ? source_->read(bytes) : QByteArray(); }

private:
    bool open_ = false, queued_ = false;
    QIODevice* source_ = nullptr;
};

}  // namespace kvt::testing
