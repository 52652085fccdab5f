#pragma once
// AudioOutput on Qt Multimedia: a QAudioSink on the system's default output device.

#include <QAudioSink>
#include <memory>

#include "app/preview/audio_output.h"

namespace kvt {

class QtAudioOutput : public AudioOutput {
public:
    ~QtAudioOutput() override;

    bool Open(int sampleRate, int channels) override;
    StartResult Start(QIODevice& source) override;
    uint64_t PlayedFrames() const override;
    bool Finished() const override;
    void Reset() override;
    void Close() override;
    bool IsOpen() const override { return sink_ != nullptr; }

private:
    std::unique_ptr<QAudioSink> sink_;
    QIODevice* source_ = nullptr;
    int sampleRate_ = 0;
};

}  // namespace kvt
