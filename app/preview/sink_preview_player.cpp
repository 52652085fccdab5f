#include "app/preview/sink_preview_player.h"

#include <algorithm>
#include <string>

#include "platform/message.h"

namespace kvt {

namespace {
std::string WithReason(std::string_view text, std::string_view reason) {
    return std::string(text) + "\n" + std::string(reason);
}
}  // namespace

SinkPreviewPlayer::SinkPreviewPlayer(std::unique_ptr<AudioOutput> output) : output_(std::move(output)) {}

SinkPreviewPlayer::~SinkPreviewPlayer() {
    CloseOutput();
}

void SinkPreviewPlayer::CloseOutput() {
    // A device still holding queued audio does not close cleanly: return it first.
    if (output_->IsOpen()) {
        output_->Reset();
        output_->Close();
    }
    reader_.reset();
}

void SinkPreviewPlayer::Play(const LoadedInput& input) {
    if (playing_ || !input.isLoaded) return;
    CloseOutput();

    const int channels = input.format.channels;
    const PcmRange selection = SelectedRange(input, ReversedSelection::Nothing);
    firstFrame_ = static_cast<int64_t>(selection.offset / input.FrameBytes());
    frameCount_ = static_cast<int64_t>(selection.length / input.FrameBytes());

    if (!output_->Open(static_cast<int>(input.format.sampleRate), channels)) {
        ShowMessage(WithReason(kCannotPlayText, kNoSoundDeviceText));
        return;
    }
    reader_ = std::make_unique<PcmBlockReader>(input.pcm, selection.offset, selection.length);
    if (!reader_->open(QIODevice::ReadOnly)) {
        ShowMessage(kPlayHeaderErrorText);
        CloseOutput();
        return;
    }
    switch (output_->Start(*reader_)) {
    case AudioOutput::StartResult::Playing: break;
    case AudioOutput::StartResult::OpenFailed:
        ShowMessage(WithReason(kCannotPlayText, kNoSoundDeviceText));
        CloseOutput();
        return;
    case AudioOutput::StartResult::Failed:
        ShowMessage(WithReason(kPlayWriteErrorText, kSoundServerStoppedText));
        CloseOutput();
        return;
    }
    playing_ = true;
    playFrame_ = firstFrame_;
}

void SinkPreviewPlayer::Stop() {
    if (!playing_) return;
    CloseOutput();
    playing_ = false;
}

void SinkPreviewPlayer::OnTimer() {
    if (!playing_) return;
    // The end is what the device has played, not what it was handed: its buffer still
    // holds the last half second when the range has been read.
    const uint64_t played = output_->PlayedFrames();
    if (played >= static_cast<uint64_t>(frameCount_) || output_->Stopped()) {
        Stop();
        return;
    }
    playFrame_ = firstFrame_ + static_cast<int64_t>(played);
}

}  // namespace kvt
