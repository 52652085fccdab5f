#include "engine/crc16.h"

#include <array>

namespace kvt {
namespace {

constexpr uint16_t kPolynomial = 0x1021;

// Register after shifting the byte value `index` through an all-zero register.
constexpr std::array<uint16_t, 256> MakeCrc16Table() {
    std::array<uint16_t, 256> table{};
    for (unsigned index = 0; index < 256; ++index) {
        unsigned reg = index << 8;
        for (int bit = 0; bit < 8; ++bit) {
            reg = (reg & 0x8000) ? (reg << 1) ^ kPolynomial : reg << 1;
        }
        table[index] = static_cast<uint16_t>(reg);
    }
    return table;
}

constexpr std::array<uint16_t, 256> kCrc16Table = MakeCrc16Table();

}  // namespace

uint16_t Crc16(std::span<const uint8_t> bytes) {
    uint16_t reg = 0xFFFF;
    for (uint8_t byte : bytes) {
        reg = static_cast<uint16_t>((reg << 8) ^ kCrc16Table[((reg >> 8) ^ byte) & 0xFF]);
    }
    return static_cast<uint16_t>(reg ^ 0xFFFF);
}

}  // namespace kvt
