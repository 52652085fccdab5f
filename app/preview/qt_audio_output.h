#pragma once
// AudioOutput on Qt Multimedia: a QAudioSink on the system's default output device. The
// one place of the program that opens the sound device.

#include <QAudioSink>
#include <memory>

#include "app/preview/audio_output.h"
#include "app/preview/silence_tail_reader.h"

namespace kvt {

class QtAudioOutput : public AudioOutput {
public:
    ~QtAudioOutput() override;

    bool Open(int sampleRate, int channels) override;
    StartResult Start(QIODevice& source) override;
    uint64_t PlayedFrames() const override;
    bool Stopped() const override;
    void Reset() override;
    void Close() override;
    bool IsOpen() const override { return sink_ != nullptr; }

private:
    std::unique_ptr<QAudioSink> sink_;
    std::unique_ptr<SilenceTailReader> tail_;  // the source, then silence, as the sink reads it
    int sampleRate_ = 0;
    int frameBytes_ = 0;
};

}  // namespace kvt
