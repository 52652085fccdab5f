#include "engine/g711.h"

#include <array>

namespace kvt {

namespace {

// Magnitudes for the 7 bits below the sign bit, after the line inversion of each law.
constexpr std::array<int16_t, 128> MakeALawMagnitudes() {
    std::array<int16_t, 128> table{};
    for (int code = 0; code < 128; ++code) {
        const int value = code ^ 0x55;  // even bits are inverted on the line
        const int segment = (value >> 4) & 0x07;
        int magnitude = (value & 0x0F) << 4;
        magnitude += segment == 0 ? 8 : 0x108;
        if (segment > 1) magnitude <<= segment - 1;
        table[code] = static_cast<int16_t>(magnitude);
    }
    return table;
}

constexpr std::array<int16_t, 128> MakeMuLawMagnitudes() {
    constexpr int kBias = 0x84;
    std::array<int16_t, 128> table{};
    for (int code = 0; code < 128; ++code) {
        const int value = ~code & 0x7F;  // every bit is inverted on the line
        const int magnitude = ((((value & 0x0F) << 3) + kBias) << ((value >> 4) & 0x07)) - kBias;
        table[code] = static_cast<int16_t>(magnitude);
    }
    return table;
}

constexpr auto kALaw = MakeALawMagnitudes();
constexpr auto kMuLaw = MakeMuLawMagnitudes();

}  // namespace

// A-law: sign bit (after the 0x55 inversion) set means positive.
int16_t ExpandALaw(uint8_t code) {
    const int16_t magnitude = kALaw[code & 0x7F];
    return (code & 0x80) ? magnitude : static_cast<int16_t>(-magnitude);
}

// µ-law: sign bit set on the line means positive (the line inverts it).
int16_t ExpandMuLaw(uint8_t code) {
    const int16_t magnitude = kMuLaw[code & 0x7F];
    return (code & 0x80) ? magnitude : static_cast<int16_t>(-magnitude);
}

}  // namespace kvt
