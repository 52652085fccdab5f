#pragma once
// Helpers for the engine and MLD tests: hex byte strings and PCM clips, and the shared
// temporary folder and whole-file helpers.

#include <gtest/gtest.h>

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "engine/engine_file.h"
#include "engine/format_block.h"
#include "engine/pcm_operations.h"
#include "platform/temp_folder.h"

namespace kvt::testing {

// "00 FF d0" -> {0x00, 0xFF, 0xD0}; spaces and commas are ignored.
inline std::vector<uint8_t> Hex(std::string_view text) {
    std::vector<uint8_t> bytes;
    int high = -1;
    for (const char c : text) {
        int nibble = -1;
        if (c >= '0' && c <= '9')
            nibble = c - '0';
        else if (c >= 'a' && c <= 'f')
            nibble = c - 'a' + 10;
        else if (c >= 'A' && c <= 'F')
            nibble = c - 'A' + 10;
        else
            continue;
        if (high < 0) {
            high = nibble;
        } else {
            bytes.push_back(static_cast<uint8_t>(high << 4 | nibble));
            high = -1;
        }
    }
    return bytes;
}

inline SourceClip MakeClip(std::string path, uint16_t channels, uint32_t rate, std::span<const int16_t> samples) {
    const std::vector<uint8_t> bytes = SamplesToBytes(samples);
    return SourceClip(std::move(path), FormatBlock::Pcm16(channels, rate), bytes);
}

// One channel of interleaved stereo frames (whole frames only).
inline std::vector<int16_t> StereoChannel(const std::vector<int16_t>& frames, size_t channel) {
    std::vector<int16_t> out;
    for (size_t frame = 0; frame < frames.size() / 2; ++frame) out.push_back(frames[2 * frame + channel]);
    return out;
}

// A loud, busy signal: every sample differs, so codecs produce non-trivial codes.
inline std::vector<int16_t> TestSignal(size_t count, uint32_t seed = 1) {
    std::vector<int16_t> samples(count);
    int32_t value = 0;
    for (auto& s : samples) {
        seed = seed * 1664525u + 1013904223u;
        value = (value * 7) / 8 + static_cast<int32_t>(seed >> 20) - 2048;
        s = static_cast<int16_t>(value * 4);
    }
    return samples;
}

}  // namespace kvt::testing
