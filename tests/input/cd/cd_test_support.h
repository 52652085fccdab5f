#pragma once
// A simulated drive with a noise disc at D:, behind its own pass-through back end and
// device layer, and a look into the WAV files a rip writes.

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "input/cd/cd_device_layer.h"
#include "input/cd/pass_through.h"
#include "input/cd/simulated_drive.h"
#include "platform/temp_folder.h"

namespace kvt::testing {

inline constexpr int kDriveD = 3;

// Noise that never repeats within a read, so an overlap can only match at its true place.
inline std::vector<uint8_t> NoiseFrames(uint32_t frames, uint32_t seed = 7) {
    std::vector<uint8_t> bytes(size_t{frames} * cd::kFrameBytes);
    uint32_t state = seed * 2654435761u + 1;
    for (size_t i = 0; i < bytes.size(); i += 4) {  // xorshift32, four bytes a step
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        std::memcpy(bytes.data() + i, &state, 4);
    }
    return bytes;
}

// Tracks of the given lengths in frames, one after the other from LBA 0.
inline std::shared_ptr<cd::DiscImage> NoiseDisc(const std::vector<uint32_t>& trackFrames) {
    std::vector<uint32_t> starts;
    uint32_t total = 0;
    for (uint32_t frames : trackFrames) {
        starts.push_back(total);
        total += frames;
    }
    return cd::DiscImage::FromMemory(NoiseFrames(total), starts);
}

inline std::vector<uint8_t> DiscBytes(const cd::DiscImage& disc, uint32_t firstFrame, uint32_t frames) {
    std::vector<uint8_t> bytes(size_t{frames} * cd::kFrameBytes);
    disc.ReadBytes(int64_t{firstFrame} * cd::kFrameBytes, static_cast<uint32_t>(bytes.size()), bytes.data());
    return bytes;
}

struct SimulatedMachine {
    explicit SimulatedMachine(std::shared_ptr<cd::DiscImage> image, int letter = kDriveD)
        : disc(std::move(image)), drive(std::make_shared<cd::SimulatedDrive>(disc, "/dev/sim0")) {
        cd::DriveLetters letters;
        letters[letter] = drive;
        backEnd = std::make_shared<cd::PassThroughBackEnd>([letters] { return letters; });
        layer = std::make_unique<cd::CdDeviceLayer>(backEnd);
    }
    std::shared_ptr<cd::DiscImage> disc;
    std::shared_ptr<cd::SimulatedDrive> drive;
    std::shared_ptr<cd::PassThroughBackEnd> backEnd;
    std::unique_ptr<cd::CdDeviceLayer> layer;
};

// The "data" chunk of a WAV file after checking that its header sizes agree with the file.
inline std::vector<uint8_t> WaveData(const std::string& path) {
    std::vector<uint8_t> file = ReadFileBytes(path);
    auto le32 = [&](size_t at) {
        return uint32_t{file[at]} | uint32_t{file[at + 1]} << 8 | uint32_t{file[at + 2]} << 16 |
               uint32_t{file[at + 3]} << 24;
    };
    if (file.size() < 46 || std::memcmp(file.data(), "RIFF", 4) != 0 || le32(4) != file.size() - 8 ||
        std::memcmp(file.data() + 38, "data", 4) != 0 || le32(42) != file.size() - 46)
        return {0xFF};  // never a valid rip: a rip holds whole frames
    return {file.begin() + 46, file.end()};
}

}  // namespace kvt::testing
