#include "app/preview/qt_audio_output.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QMediaDevices>

namespace kvt {

namespace {
// Half a second queued ahead: enough that the 100 ms timer never lets the device run dry.
constexpr int kBufferMilliseconds = 500;
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
    return true;
}

AudioOutput::StartResult QtAudioOutput::Start(QIODevice& source) {
    if (!sink_) return StartResult::OpenFailed;
    source_ = &source;
    sink_->start(&source);
    switch (sink_->error()) {
    case QAudio::NoError: return sink_->state() == QAudio::StoppedState ? StartResult::Failed : StartResult::Playing;
    case QAudio::OpenError: return StartResult::OpenFailed;
    default: return StartResult::Failed;
    }
}

uint64_t QtAudioOutput::PlayedFrames() const {
    if (!sink_) return 0;
    return static_cast<uint64_t>(sink_->processedUSecs()) * static_cast<uint64_t>(sampleRate_) / 1000000u;
}

bool QtAudioOutput::Finished() const {
    if (!sink_) return true;
    const QAudio::State state = sink_->state();
    if (state == QAudio::StoppedState) return true;
    return state == QAudio::IdleState && source_ != nullptr && source_->atEnd();
}

void QtAudioOutput::Reset() {
    if (sink_) sink_->reset();
}

void QtAudioOutput::Close() {
    if (!sink_) return;
    sink_->stop();
    sink_.reset();
    source_ = nullptr;
}

}  // namespace kvt
