#pragma once
// The three MLD file layouts. Each takes the whole preset row, the title (CP932 bytes, cut
// to 255) and the coded stream(s), and returns the finished file, or nothing after it has
// shown why it could not be built.

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "engine/mld_preset_table.h"

namespace kvt {

using MldFile = std::optional<std::vector<uint8_t>>;

// Version "0400" layout (rows with useV4Layout). `sampleRate` is the rate the file
// records; `ticks` the clip's duration in ticks of 5 ms; `stereo` the one-stream stereo row.
MldFile BuildMldV4Layout(const MldPreset& row, std::string_view title, std::span<const uint8_t> stream,
                         uint32_t sampleRate, uint32_t ticks, bool stereo);

// One-track layout for the mono types 1 to 11 and 18. `codedByteRate` is R, the coded
// bytes per second.
MldFile BuildMldOneTrackLayout(const MldPreset& row, std::string_view title, std::span<const uint8_t> stream,
                               uint32_t sampleRate, uint32_t codedByteRate);

// Two-stream layout for the stereo types 13, 15, 16, 17. `codedByteRate` is R of both
// channels together.
MldFile BuildMldTwoStreamLayout(const MldPreset& row, std::string_view title, std::span<const uint8_t> left,
                                std::span<const uint8_t> right, uint32_t sampleRate, uint32_t codedByteRate);

// The largest stream the one-track layout stores for type 18: its data event's u16
// length counts the piece plus 8 bytes, and the last 5 coded bytes are never stored.
inline constexpr size_t kMldType18StreamLimit = 0xFFFF - 8 + 5;

// The coded bytes the one-track layout of `row` keeps of a stream of `streamBytes` when
// its type (1, 7, 11, 18) stores one piece and the stream is longer than that piece;
// nothing when the whole stream is stored.
std::optional<size_t> MldKeptStreamBytes(const MldPreset& row, size_t streamBytes);

}  // namespace kvt
