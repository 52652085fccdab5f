#pragma once
// The sound device preview playback talks to: opened for 16-bit PCM, it pulls the bytes
// it plays from a QIODevice. The program uses QAudioSink; tests use a fake.

#include <cstdint>

class QIODevice;

namespace kvt {

class AudioOutput {
public:
    enum class StartResult { Playing, OpenFailed, Failed };

    virtual ~AudioOutput() = default;
    // Opens the device for signed 16-bit samples; false when there is none to open.
    virtual bool Open(int sampleRate, int channels) = 0;
    // Starts pulling from `source`, which must stay alive until Close.
    virtual StartResult Start(QIODevice& source) = 0;
    // Frames heard since Start: what the device has played, not what it was handed.
    virtual uint64_t PlayedFrames() const = 0;
    // The device stopped on its own before playing everything: the sound server went
    // away or the device failed. A device that stopped stays unusable until opened anew.
    virtual bool Stopped() const = 0;
    // Drops whatever is queued and not yet played.
    virtual void Reset() = 0;
    virtual void Close() = 0;
    virtual bool IsOpen() const = 0;
};

}  // namespace kvt
