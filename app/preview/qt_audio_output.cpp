#include "app/preview/qt_audio_output.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QMediaDevices>
#include <algorithm>

namespace kvt {

namespace {
// Half a second queued ahead: enough that the 100 ms timer never lets the device run dry.
constexpr int kBufferMilliseconds = 500;
// Behind the source: twice the buffer, so the server starts even a one-frame stream and
// plays the source's last frame before it runs dry.
constexpr int kSilenceMilliseconds = 2 * kBufferMilliseconds;
// The sink's position runs this far ahead of the sound leaving the server (measured with
// PulseAudio: a position taken as heard cut the last 5 to 12 ms of a range).
constexpr qint64 kPositionLeadMicroseconds = 50000;
}  // namespace

QtAudioOutput::~QtAudioOutput() {
    Close();
}

bool QtAudioOutput::Open(int sampleRate, int channels) {
    Close();
    // Without a sound server there is no default device, and a sink on it would fail anyway.
    const QAudioDevice device = QMediaDevices::defaultAudioOutput();
    if (device.isNull() || sampleRate <= 0 || channels < 1) return false;
    QAudioFormat format;
    format.setSampleRate(sampleRate);
    format.setChannelCount(channels);
    format.setSampleFormat(QAudioFormat::Int16);
    sink_ = std::make_unique<QAudioSink>(device, format);
    sink_->setBufferSize(format.bytesForDuration(kBufferMilliseconds * 1000));
    sampleRate_ = sampleRate;
    frameBytes_ = format.bytesPerFrame();
    return true;
}

AudioOutput::StartResult QtAudioOutput::Start(QIODevice& source) {
    if (!sink_) return StartResult::OpenFailed;
    const qint64 silenceFrames = qint64{sampleRate_} * kSilenceMilliseconds / 1000;
    tail_ = std::make_unique<SilenceTailReader>(source, silenceFrames * frameBytes_);
    tail_->open(QIODevice::ReadOnly);
    sink_->start(tail_.get());
    switch (sink_->error()) {
    case QAudio::NoError: return sink_->state() == QAudio::StoppedState ? StartResult::Failed : StartResult::Playing;
    case QAudio::OpenError: return StartResult::OpenFailed;
    default: return StartResult::Failed;
    }
}

uint64_t QtAudioOutput::PlayedFrames() const {
    if (!sink_) return 0;
    const qint64 heard = std::max<qint64>(sink_->processedUSecs() - kPositionLeadMicroseconds, 0);
    return static_cast<uint64_t>(heard) * static_cast<uint64_t>(sampleRate_) / 1000000u;
}

bool QtAudioOutput::Stopped() const {
    if (!sink_) return true;
    const QAudio::State state = sink_->state();
    if (state == QAudio::StoppedState) return true;
    // Idle with the silence used up: the device played it all, or stalls and never will.
    return state == QAudio::IdleState && tail_ != nullptr && tail_->atEnd();
}

void QtAudioOutput::Reset() {
    if (sink_) sink_->reset();
}

void QtAudioOutput::Close() {
    if (!sink_) return;
    sink_->stop();
    sink_.reset();
    tail_.reset();
}

}  // namespace kvt
