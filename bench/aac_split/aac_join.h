#pragma once
// Where two AAC streams coded apart may be joined. The decoder overlaps each frame's first
// half with the previous frame's second half; the aliasing cancels only when the frame's
// window sequence follows the previous one's (a long window before eight short ones needs
// the start window between). So a stream coded from a later point may take over after
// frame k only when its own frame k had the window sequence and shape of the stream it
// continues.

#include <cstdint>
#include <optional>
#include <span>

namespace kvt::bench {

// The window sequence and shape at the head of a raw AAC-LC frame of one element.
struct AacWindows {
    bool shared = true;  // one window for both channels of a pair; false: the first channel's
    int sequence = 0;    // 0 long, 1 long start, 2 eight short, 3 long stop
    int shape = 0;       // 0 sine, 1 Kaiser-Bessel derived
    bool operator==(const AacWindows&) const = default;
};

// Nothing when the frame does not start with a single channel or a channel pair element.
std::optional<AacWindows> ReadAacWindows(std::span<const uint8_t> frame);

// True when the frames `ours` and `theirs` (the same frame of two codings) have the same
// windows in every channel, so that the frame after `theirs` may follow `ours`. A pair
// with a window for each channel is never taken: only the first one can be read.
bool SameAacWindows(std::span<const uint8_t> ours, std::span<const uint8_t> theirs);

}  // namespace kvt::bench
