#include "input/cd/track_buffer.h"

#include <limits>
#include <new>

namespace kvt::cd {

TrackBufferPtr NewTrackBuffer(uint32_t frames) {
    if (frames > std::numeric_limits<uint32_t>::max() / kFrameBytes) return nullptr;
    auto buffer = TrackBufferPtr(new (std::nothrow) TrackBuffer);
    if (!buffer) return nullptr;
    buffer->capacity = frames * kFrameBytes;
    buffer->data.reset(new (std::nothrow) uint8_t[buffer->capacity]());
    if (!buffer->data) return nullptr;
    return buffer;
}

uint32_t ReadBigEndian32(const uint8_t* bytes) {
    return uint32_t{bytes[0]} << 24 | uint32_t{bytes[1]} << 16 | uint32_t{bytes[2]} << 8 | bytes[3];
}

}  // namespace kvt::cd
