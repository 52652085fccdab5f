// Arbitrary bytes in a file named .wma through the in-process decoder, FFmpeg included.
// Whatever it delivers must be whole frames of the announced shape; the work per input is
// bounded in time and in samples, since a few bytes may claim hours of audio.

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <span>
#include <string>

#include "fuzz/common/scratch_folder.h"
#include "input/pcm_decoder.h"

namespace {

constexpr auto kTimePerInput = std::chrono::seconds(2);
constexpr size_t kSamplesPerInput = size_t{1} << 24;

const std::string& InputPath() {
    static const std::string path = kvt::fuzz::ScratchFolder::Path() + "/input.wma";
    return path;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    InputPath();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::FILE* file = std::fopen(InputPath().c_str(), "wb");
    if (!file) return 0;
    std::fwrite(data, 1, size, file);
    std::fclose(file);

    const auto deadline = std::chrono::steady_clock::now() + kTimePerInput;
    kvt::DecodedFormat shape;
    size_t samples = 0;
    kvt::DecodeAudio(
        InputPath(),
        [&](const kvt::DecodedFormat& format) {
            if (shape.channels != 0 || (format.channels != 1 && format.channels != 2) || format.sampleRate <= 0)
                std::abort();
            shape = format;
            return true;
        },
        [&](std::span<const int16_t> block) {
            if (shape.channels == 0 || block.size() % static_cast<size_t>(shape.channels) != 0) std::abort();
            samples += block.size();
            return samples < kSamplesPerInput && std::chrono::steady_clock::now() < deadline;
        });
    return 0;
}
