#include "engine/crc16.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string_view>
#include <vector>

namespace kvt {
namespace {

std::span<const uint8_t> Bytes(std::string_view text) {
    return {reinterpret_cast<const uint8_t*>(text.data()), text.size()};
}

// Shift-register form, one bit at a time: shares nothing with the table.
uint16_t BitwiseCrc16(std::span<const uint8_t> bytes) {
    uint16_t reg = 0xFFFF;
    for (uint8_t byte : bytes) {
        for (int bit = 7; bit >= 0; --bit) {
            const bool feedback = ((reg >> 15) & 1) != ((byte >> bit) & 1);
            reg = static_cast<uint16_t>(reg << 1);
            if (feedback) {
                reg ^= 0x1021;
            }
        }
    }
    return static_cast<uint16_t>(~reg);
}

TEST(Crc16, PublishedCheckValues) {
    struct Case {
        std::string_view input;
        uint16_t crc;
    };
    const Case cases[] = {
        {"123456789", 0xD64E}, {"abc", 0xAEB5}, {"", 0x0000},  // nothing fed: the initial value inverted
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Crc16(Bytes(c.input)), c.crc) << '"' << c.input << '"';
    }
}

TEST(Crc16, EveryTableEntryMatchesTheShiftRegister) {
    // Single bytes reach each table entry from the initial register.
    for (int value = 0; value < 256; ++value) {
        const uint8_t byte = static_cast<uint8_t>(value);
        ASSERT_EQ(Crc16({&byte, 1}), BitwiseCrc16({&byte, 1})) << value;
    }
    std::mt19937 random(7);
    std::vector<uint8_t> data(4099);
    for (uint8_t& b : data) {
        b = static_cast<uint8_t>(random());
    }
    EXPECT_EQ(Crc16(data), BitwiseCrc16(data));
}

}  // namespace
}  // namespace kvt
