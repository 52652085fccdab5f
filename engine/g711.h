#pragma once
// ITU-T G.711 expansion of A-law and µ-law bytes to 16-bit linear samples.

#include <cstdint>

namespace kvt {

int16_t ExpandALaw(uint8_t code);
int16_t ExpandMuLaw(uint8_t code);

}  // namespace kvt
