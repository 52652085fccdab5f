#pragma once
// The decoder config of a written file's esds and its btrt box: where their buffer size
// and bit rates lie, so that a file re-muxed by a library, or spliced from an encoder, that
// declares other rates gets the measured ones in place (the same bytes: no offset moves).

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "iso/aac_bit_rates.h"

namespace kvt {

// buffer size (24 bits), maximum and average bit rate
inline constexpr size_t kEsdsBitRateBytes = 11;

// The offset of the buffer size field in the first esds after the first "stsd" and
// "mp4a" of `file`, whose movie box comes before its media data; nothing when the esds
// is not there or is cut short.
std::optional<size_t> FindEsdsBitRates(std::span<const uint8_t> file);

// The body of the first "btrt" box (buffer size, maximum and average bit rate, u32 each)
// after the first "stsd" and "mp4a" of `file`; nothing when there is none.
inline constexpr size_t kBtrtBytes = 12;
std::optional<size_t> FindBtrtBitRates(std::span<const uint8_t> file);

// The buffer size an esds declares for `rates`: 6144 bytes, which every AAC frame of up
// to two channels fits, or the largest frame when it is larger.
uint32_t EsdsBufferBytes(const AacBitRates& rates);

// Writes the buffer size, maximum and average bit rate of `rates` over the
// kEsdsBitRateBytes of `fields`.
void SetEsdsBitRates(std::span<uint8_t> fields, const AacBitRates& rates);

// Writes `rates` over the kBtrtBytes of a btrt body.
void SetBtrtBitRates(std::span<uint8_t> body, const AacBitRates& rates);

// The frame sizes of a whole "stsz" box; empty when it is cut short.
std::vector<uint32_t> StszFrameSizes(std::span<const uint8_t> stsz);

}  // namespace kvt
