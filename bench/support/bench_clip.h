#pragma once
// Shared by the MLD and MMF benchmarks: a scratch folder for the files they write and the
// busy stereo noise they convert (every sample differs, so no coder takes a shortcut).

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace kvt::bench {

// A new folder "<prefix>-XXXXXX" under the temporary folder; aborts when none can be made.
inline std::string MakeScratchFolder(std::string_view prefix) {
    std::string pattern = (std::filesystem::temp_directory_path() / (std::string(prefix) + "-XXXXXX")).string();
    if (!mkdtemp(pattern.data())) std::abort();
    return pattern;
}

// `count` samples of low-passed pseudo-random noise at about a quarter of full scale.
inline std::vector<int16_t> BusyNoise(size_t count) {
    std::vector<int16_t> samples(count);
    uint32_t seed = 7;
    int32_t value = 0;
    for (int16_t& sample : samples) {
        seed = seed * 1664525u + 1013904223u;
        value = (value * 15) / 16 + static_cast<int32_t>(seed >> 22) - 512;
        sample = static_cast<int16_t>(value * 8);
    }
    return samples;
}

}  // namespace kvt::bench
