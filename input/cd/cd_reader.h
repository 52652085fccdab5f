#pragma once
// Reads one track of an audio CD in chunks of about 24 new frames, each read checked
// against the last frame of the one before.

#include <cstdint>
#include <span>

#include "input/cd/cd_device_layer.h"

namespace kvt::cd {

class CdReader {
public:
    explicit CdReader(CdDeviceLayer& layer = SystemCdAccess()) : layer_(layer) {}
    virtual ~CdReader();
    CdReader(const CdReader&) = delete;
    CdReader& operator=(const CdReader&) = delete;

    // True when the drive is open and its table of contents has been read.
    bool Open(int driveIndex);
    // True if the disc has track `trackIndex` + 1.
    bool SelectTrack(int trackIndex);
    // The next chunk of audio; empty at the end of the track or on a read failure.
    std::span<const uint8_t> ReadNext();
    virtual void Seek(int position);

    int TrackLength() const { return trackLength_; }
    int Position() const { return position_; }
    const uint8_t* Toc() const { return toc_; }

    static constexpr int kFramesPerRead = 27;
    static constexpr int kOverlapFrames = 3;

private:
    CdDeviceLayer& layer_;
    int handle_ = 0;
    uint8_t toc_[kTocBytes] = {};
    TrackBufferPtr readBuffer_;
    TrackBufferPtr overlapBuffer_;
    int driveIndex_ = 0;
    int trackIndex_ = 0;
    int trackStart_ = 0;
    int trackLength_ = 0;
    int framesPerRead_ = 0;
    int overlapFrames_ = 0;
    int position_ = 0;
    int lastPosition_ = 0;
};

}  // namespace kvt::cd
