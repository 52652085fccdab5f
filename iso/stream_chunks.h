#pragma once
// Chunking of a streaming 3GP file. FFmpeg's muxer puts the samples of a lone track in one
// chunk; a file for progressive playback groups them into chunks of about half a second,
// so a player reading from the front meets the index of each stretch of media near it.

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace kvt {

inline constexpr double kStreamingChunkSeconds = 0.5;

// The file with the sample-to-chunk and chunk-offset tables of its one track rebuilt so
// that each chunk holds the samples of one `seconds` window of media time (a chunk also
// ends where the samples stop lying back to back). Everything else is kept; the media
// data moves by the change in the movie box's size when it follows that box. Nothing when
// the file is not a single-track ISO file with 32-bit chunk offsets and sound tables.
std::optional<std::vector<uint8_t>> ChunkBySeconds(std::span<const uint8_t> file, double seconds);

}  // namespace kvt
