#pragma once
// Scratch folders, file bytes, the ISO top-level walk and real AAC frames (made by the
// ffmpeg program, read from ADTS) for the box writer and reader tests.

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <vector>

#include "engine/byte_order.h"
#include "platform/command_output.h"
#include "platform/temp_folder.h"

namespace kvt::testing {

// What md5sum prints for no input at all: a decode that failed on both sides.
inline constexpr std::string_view kEmptyMd5 = "d41d8cd98f00b204e9800998ecf8427e  -\n";

struct TopLevelBox {
    std::string type;
    uint64_t offset;
    uint32_t size;
};

// The top-level boxes of a file image, walked independently of the box reader.
inline std::vector<TopLevelBox> TopLevelBoxes(std::span<const uint8_t> image) {
    std::vector<TopLevelBox> boxes;
    uint64_t offset = 0;
    while (image.size() - offset >= 8) {
        const uint32_t size = GetBe32(image.subspan(offset));
        boxes.push_back({std::string(reinterpret_cast<const char*>(image.data()) + offset + 4, 4), offset, size});
        if (size < 8 || size > image.size() - offset) break;
        offset += size;
    }
    return boxes;
}

// Offset of the box reached by following `path` from the top level, or nothing.
inline std::optional<uint64_t> BoxOffset(std::span<const uint8_t> image, std::initializer_list<std::string_view> path) {
    uint64_t base = 0;
    std::span<const uint8_t> level = image;
    std::optional<uint64_t> found;
    for (std::string_view type : path) {
        found.reset();
        for (const TopLevelBox& box : TopLevelBoxes(level)) {
            if (box.type == type && box.size >= 8 && box.size <= level.size() - box.offset) {
                found = base + box.offset;
                level = level.subspan(box.offset + 8, box.size - 8);
                base = *found + 8;
                break;
            }
        }
        if (!found) return std::nullopt;
    }
    return found;
}

// An MP4 file made by the ffmpeg program from a sine.
inline std::vector<uint8_t> MakeMp4(const TempFolder& folder, int sampleRate, int channels, double seconds) {
    const std::string path = folder.File("external.m4a");
    RunCommand("ffmpeg -v error -y -f lavfi -i sine=frequency=330:sample_rate=" + std::to_string(sampleRate) +
               ":duration=" + std::to_string(seconds) + " -ac " + std::to_string(channels) + " -c:a aac -b:a 48k " +
               path + " 2>&1");
    return ReadFileBytes(path);
}

struct AacFrames {
    std::vector<uint8_t> payload;
    std::vector<uint32_t> sizes;
    std::array<uint8_t, 2> decoderInfo{};  // AudioSpecificConfig of AAC LC
    int sampleRate = 0;
    int channels = 0;
};

// Encodes `seconds` of a sine with ffmpeg's AAC encoder to ADTS and splits it into raw
// frames. Nothing when ffmpeg is missing or the stream cannot be parsed.
inline std::optional<AacFrames> MakeAacFrames(const TempFolder& folder, int sampleRate, int channels, double seconds) {
    const std::string adts = folder.File("frames.aac");
    RunCommand("ffmpeg -v error -y -f lavfi -i sine=frequency=440:sample_rate=" + std::to_string(sampleRate) +
               ":duration=" + std::to_string(seconds) + " -ac " + std::to_string(channels) +
               " -c:a aac -b:a 64k -f adts " + adts + " 2>&1");
    const std::vector<uint8_t> stream = ReadFileBytes(adts);
    AacFrames frames;
    frames.sampleRate = sampleRate;
    frames.channels = channels;
    size_t at = 0;
    while (stream.size() - at >= 7) {
        const uint8_t* h = stream.data() + at;
        if (h[0] != 0xFF || (h[1] & 0xF0) != 0xF0) return std::nullopt;
        const size_t headerBytes = (h[1] & 0x01) ? 7 : 9;  // protection absent: no CRC
        const size_t frameBytes = ((h[3] & 0x03) << 11) | (h[4] << 3) | (h[5] >> 5);
        if (frameBytes < headerBytes || frameBytes > stream.size() - at) return std::nullopt;
        const int objectType = ((h[2] >> 6) & 0x03) + 1;
        const int rateIndex = (h[2] >> 2) & 0x0F;
        const int channelConfig = ((h[2] & 0x01) << 2) | (h[3] >> 6);
        frames.decoderInfo = {static_cast<uint8_t>((objectType << 3) | (rateIndex >> 1)),
                              static_cast<uint8_t>(((rateIndex & 1) << 7) | (channelConfig << 3))};
        frames.payload.insert(frames.payload.end(), h + headerBytes, h + frameBytes);
        frames.sizes.push_back(static_cast<uint32_t>(frameBytes - headerBytes));
        at += frameBytes;
    }
    if (frames.sizes.empty()) return std::nullopt;
    return frames;
}

}  // namespace kvt::testing
