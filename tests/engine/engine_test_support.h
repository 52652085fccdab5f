#pragma once
// Helpers for the engine and MLD tests: a temporary folder, hex byte strings, PCM clips.

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "engine/engine_file.h"
#include "engine/format_block.h"
#include "engine/pcm_operations.h"

namespace kvt::engine_test {

// A fresh folder under the temporary folder, removed with everything in it.
class TempFolder {
public:
    TempFolder() {
        std::string pattern = (std::filesystem::temp_directory_path() / "kvt-engine-XXXXXX").string();
        if (!mkdtemp(pattern.data())) ADD_FAILURE() << "cannot create a temporary folder";
        path_ = pattern;
    }
    ~TempFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    std::string File(std::string_view name) const { return (path_ / name).string(); }
    const std::filesystem::path& Path() const { return path_; }

private:
    std::filesystem::path path_;
};

// "00 FF d0" -> {0x00, 0xFF, 0xD0}; spaces and commas are ignored.
inline std::vector<uint8_t> Hex(std::string_view text) {
    std::vector<uint8_t> bytes;
    int high = -1;
    for (const char c : text) {
        int nibble = -1;
        if (c >= '0' && c <= '9') nibble = c - '0';
        else if (c >= 'a' && c <= 'f') nibble = c - 'a' + 10;
        else if (c >= 'A' && c <= 'F') nibble = c - 'A' + 10;
        else continue;
        if (high < 0) {
            high = nibble;
        } else {
            bytes.push_back(static_cast<uint8_t>(high << 4 | nibble));
            high = -1;
        }
    }
    return bytes;
}

inline std::vector<uint8_t> ReadFileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void WriteFileBytes(const std::string& path, std::span<const uint8_t> bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

inline SourceClip MakeClip(std::string path, uint16_t channels, uint32_t rate,
                           std::span<const int16_t> samples) {
    const std::vector<uint8_t> bytes = SamplesToBytes(samples);
    return SourceClip(std::move(path), FormatBlock::Pcm16(channels, rate), bytes);
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

}  // namespace kvt::engine_test
