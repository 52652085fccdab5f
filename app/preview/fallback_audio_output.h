#pragma once
// An AudioOutput that tries a preferred output at every play and, when that one cannot
// open or start, plays through a second one. Qt's PulseAudio connection is made once per
// process and retried only once, three seconds after the server goes away: a server that
// comes back later is never reached again through Qt, but a client of our own that
// connects at each play reaches it.

#include <memory>

#include "app/preview/audio_output.h"

namespace kvt {

class FallbackAudioOutput : public AudioOutput {
public:
    FallbackAudioOutput(std::unique_ptr<AudioOutput> preferred, std::unique_ptr<AudioOutput> fallback);

    bool Open(int sampleRate, int channels) override;
    StartResult Start(QIODevice& source) override;
    uint64_t PlayedFrames() const override { return active_->PlayedFrames(); }
    bool Stopped() const override { return active_->Stopped(); }
    void Reset() override { active_->Reset(); }
    void Close() override;
    bool IsOpen() const override { return active_->IsOpen(); }

private:
    bool OpenFallback();

    std::unique_ptr<AudioOutput> preferred_;
    std::unique_ptr<AudioOutput> fallback_;
    AudioOutput* active_;
    int sampleRate_ = 0;
    int channels_ = 0;
};

}  // namespace kvt
