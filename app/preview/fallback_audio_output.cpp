#include "app/preview/fallback_audio_output.h"

#include <QIODevice>

namespace kvt {

FallbackAudioOutput::FallbackAudioOutput(std::unique_ptr<AudioOutput> preferred, std::unique_ptr<AudioOutput> fallback)
    : preferred_(std::move(preferred)), fallback_(std::move(fallback)), active_(preferred_.get()) {}

bool FallbackAudioOutput::OpenFallback() {
    active_ = fallback_.get();
    return fallback_->Open(sampleRate_, channels_);
}

bool FallbackAudioOutput::Open(int sampleRate, int channels) {
    Close();
    sampleRate_ = sampleRate;
    channels_ = channels;
    active_ = preferred_.get();
    return preferred_->Open(sampleRate, channels) || OpenFallback();
}

AudioOutput::StartResult FallbackAudioOutput::Start(QIODevice& source) {
    const qint64 position = source.pos();
    const StartResult result = active_->Start(source);
    if (result == StartResult::Playing || active_ == fallback_.get()) return result;
    // The preferred output may have read some of the source before it failed.
    preferred_->Close();
    if (!source.seek(position) || !OpenFallback()) return result;
    return fallback_->Start(source);
}

void FallbackAudioOutput::Close() {
    preferred_->Close();
    fallback_->Close();
}

}  // namespace kvt
