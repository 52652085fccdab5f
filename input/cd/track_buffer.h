#pragma once
// A buffer of raw CD-DA frames with the fields a read fills in.

#include <cstdint>
#include <memory>

namespace kvt::cd {

inline constexpr uint32_t kFrameBytes = 2352;  // one CD-DA sector: 588 stereo 16-bit samples

struct TrackBuffer {
    uint32_t firstLba = 0;    // first frame to read; after a checked read, first valid frame
    uint32_t frameCount = 0;  // frames to read; after a checked read, whole valid frames
    uint32_t capacity = 0;    // bytes in `data`
    uint32_t validBytes = 0;
    uint32_t readStatus = 0;  // 1 after a successful read
    int32_t dataOffset = 0;   // first valid byte inside `data`
    std::unique_ptr<uint8_t[]> data;

    const uint8_t* Valid() const { return data.get() + dataOffset; }
};

using TrackBufferPtr = std::unique_ptr<TrackBuffer>;

// A buffer for `frames` frames with every field but `capacity` zero; nothing when the
// memory cannot be had.
TrackBufferPtr NewTrackBuffer(uint32_t frames);

uint32_t ReadBigEndian32(const uint8_t* bytes);

}  // namespace kvt::cd
