#pragma once
// Shared by the benchmarks: a scratch folder for the files they write, the
// busy noise the MLD and MMF ones convert (every sample differs, so no coder takes a
// shortcut) and their main().

#include <benchmark/benchmark.h>

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

// Runs the registered benchmarks, then removes `scratch` with everything in it.
inline int RunBenchmarksAndRemove(int argc, char** argv, const std::string& scratch) {
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::error_code ignored;
    std::filesystem::remove_all(scratch, ignored);
    return 0;
}

}  // namespace kvt::bench
