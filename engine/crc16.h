#pragma once
// CRC-16 over the polynomial 0x1021, most significant bit first, starting from 0xFFFF and
// inverted at the end (the CRC-16/GENIBUS parameter set). SMAF files close with it.

#include <cstdint>
#include <span>

namespace kvt {

// The finished CRC of `bytes`: initial 0xFFFF, final value inverted.
uint16_t Crc16(std::span<const uint8_t> bytes);

}  // namespace kvt
