#include "app/preview/pulse_audio_output.h"

#include <pulse/simple.h>

#include <QIODevice>
#include <algorithm>

namespace kvt {

namespace {
// What the server is asked to hold, and how far ahead of it the source is read: small
// enough that Close, which waits for the write under way, stays immediate.
constexpr int kServerBufferMilliseconds = 200;
constexpr int kReadAheadMilliseconds = 250;
constexpr int kChunkMilliseconds = 20;
}  // namespace

PulseAudioOutput::~PulseAudioOutput() {
    Close();
}

bool PulseAudioOutput::Open(int sampleRate, int channels) {
    Close();
    if (sampleRate <= 0 || channels < 1 || channels > static_cast<int>(PA_CHANNELS_MAX)) return false;
    const pa_sample_spec spec{PA_SAMPLE_S16LE, static_cast<uint32_t>(sampleRate), static_cast<uint8_t>(channels)};
    frameBytes_ = 2 * channels;
    sampleRate_ = sampleRate;
    const uint32_t unset = static_cast<uint32_t>(-1);
    const pa_buffer_attr buffer{
        unset, static_cast<uint32_t>(sampleRate / 1000 * kServerBufferMilliseconds * frameBytes_), unset, unset, unset};
    int error = 0;
    stream_ = pa_simple_new(nullptr, "kvt", PA_STREAM_PLAYBACK, nullptr, "preview", &spec, nullptr, &buffer, &error);
    return stream_ != nullptr;
}

AudioOutput::StartResult PulseAudioOutput::Start(QIODevice& source) {
    if (!stream_) return StartResult::OpenFailed;
    source_ = &source;
    queue_.clear();
    sourceEnded_ = closing_ = flushAtClose_ = false;
    writtenFrames_ = 0;
    playedFrames_ = 0;
    failed_ = drained_ = false;
    ReadAhead();
    QObject::connect(&readTimer_, &QTimer::timeout, [this] { ReadAhead(); });
    readTimer_.start(kChunkMilliseconds);
    writer_ = std::thread([this] { WriteUntilEnd(); });
    return StartResult::Playing;
}

void PulseAudioOutput::ReadAhead() {
    const qint64 limit = qint64{sampleRate_} * kReadAheadMilliseconds / 1000 * frameBytes_;
    std::lock_guard lock(mutex_);
    if (sourceEnded_ || queue_.size() >= limit) return;
    const QByteArray bytes = source_->read(limit - queue_.size());
    queue_.append(bytes);
    if (bytes.isEmpty() && source_->atEnd()) sourceEnded_ = true;
    wake_.notify_one();
}

bool PulseAudioOutput::WriteChunk(const QByteArray& chunk) {
    int error = 0;
    if (pa_simple_write(stream_, chunk.constData(), static_cast<size_t>(chunk.size()), &error) < 0) return false;
    writtenFrames_ += static_cast<uint64_t>(chunk.size() / frameBytes_);
    const pa_usec_t latency = pa_simple_get_latency(stream_, &error);
    const uint64_t queued = latency * static_cast<uint64_t>(sampleRate_) / 1000000u;
    playedFrames_ = writtenFrames_ - std::min(queued, writtenFrames_);
    return true;
}

void PulseAudioOutput::WriteUntilEnd() {
    const qint64 chunkBytes = std::max<qint64>(qint64{sampleRate_} * kChunkMilliseconds / 1000, 1) * frameBytes_;
    for (;;) {
        QByteArray chunk;
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [this] { return closing_ || sourceEnded_ || queue_.size() >= frameBytes_; });
            if (closing_) return;
            // Whole frames only; a part of one left at the end is dropped.
            if (queue_.size() < frameBytes_) break;
            const qint64 whole = std::min<qint64>(queue_.size(), chunkBytes) / frameBytes_ * frameBytes_;
            chunk = queue_.left(whole);
            queue_.remove(0, whole);
        }
        if (!WriteChunk(chunk)) {
            failed_ = true;
            return;
        }
    }
    int error = 0;
    if (pa_simple_drain(stream_, &error) < 0) {
        failed_ = true;
        return;
    }
    playedFrames_ = writtenFrames_;
    drained_ = true;
}

void PulseAudioOutput::Close() {
    readTimer_.stop();
    QObject::disconnect(&readTimer_, nullptr, nullptr, nullptr);
    if (writer_.joinable()) {
        {
            std::lock_guard lock(mutex_);
            closing_ = true;
        }
        wake_.notify_one();
        writer_.join();
    }
    source_ = nullptr;
    if (!stream_) return;
    int error = 0;
    if (flushAtClose_) pa_simple_flush(stream_, &error);
    pa_simple_free(stream_);
    stream_ = nullptr;
}

}  // namespace kvt
