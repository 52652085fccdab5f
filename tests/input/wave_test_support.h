#pragma once
// Helpers for the WAV tests: RIFF images built chunk by chunk and an ffprobe look at a
// written file, with the shared temporary folder and whole-file helpers.

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "engine/byte_order.h"
#include "platform/command_output.h"
#include "platform/temp_folder.h"

namespace kvt::testing {

struct Chunk {
    std::string id;
    std::vector<uint8_t> body;
    std::optional<uint32_t> sizeField;  // a size that lies about the body; else its length
};

// "RIFF" <size> <form> followed by the chunks as given (no pad bytes).
inline std::vector<uint8_t> RiffImage(const std::vector<Chunk>& chunks, const std::string& form = "WAVE") {
    std::vector<uint8_t> body;
    PutText(body, form);
    for (const Chunk& chunk : chunks) {
        PutText(body, chunk.id);
        PutLe32(body, chunk.sizeField.value_or(static_cast<uint32_t>(chunk.body.size())));
        PutBytes(body, chunk.body);
    }
    std::vector<uint8_t> image;
    PutText(image, "RIFF");
    PutLe32(image, static_cast<uint32_t>(body.size()));
    PutBytes(image, body);
    return image;
}

// A PCM "fmt " body of 16 bytes plus `extra` trailing bytes (18 and 40-byte variants).
inline Chunk FmtChunk(uint16_t channels, uint32_t rate, uint16_t bits, size_t extra = 0) {
    const uint16_t align = static_cast<uint16_t>(channels * ((bits + 7) / 8));
    std::vector<uint8_t> body;
    PutLe16(body, 1);
    PutLe16(body, channels);
    PutLe32(body, rate);
    PutLe32(body, rate * align);
    PutLe16(body, align);
    PutLe16(body, bits);
    body.resize(body.size() + extra, 0xEE);
    return {"fmt ", body, std::nullopt};
}

// A chunk whose body is `size` bytes of `fill`.
inline Chunk FilledChunk(const std::string& id, size_t size, uint8_t fill = 0x5A) {
    return {id, std::vector<uint8_t>(size, fill), std::nullopt};
}

// The message of a chunk the reader skips, followed by " [tag]".
inline const std::string kUnknownTagText = "不明なタグが検出されました。処理は継続可能です。";
inline std::string UnknownTagText(const std::string& tag) {
    return kUnknownTagText + " [" + tag + "]";
}

inline Chunk DataChunk(std::vector<uint8_t> samples) {
    return {"data", std::move(samples), std::nullopt};
}

inline std::vector<uint8_t> Int16Bytes(const std::vector<int16_t>& samples) {
    std::vector<uint8_t> bytes;
    for (int16_t s : samples) PutLe16(bytes, static_cast<uint16_t>(s));
    return bytes;
}

inline std::vector<int16_t> Int16Samples(std::span<const uint8_t> bytes) {
    std::vector<int16_t> samples;
    for (size_t i = 0; i + 1 < bytes.size(); i += 2) samples.push_back(static_cast<int16_t>(GetLe16(bytes.subspan(i))));
    return samples;
}

// Runs a command with fixed arguments on a path of our temporary folder (no quotes in it)
// and returns its standard output; nothing when it could not run or failed.
inline std::optional<std::string> CommandOutput(const std::string& command) {
    ::kvt::testing::CommandResult result = ::kvt::testing::RunCommand(command);
    if (result.exitCode != 0) return std::nullopt;
    return std::move(result.output);
}

// The first audio stream as ffprobe sees it: codec_name, sample_rate, channels,
// bits_per_sample, duration_ts (frames) and duration.
inline std::map<std::string, std::string> ProbeStream(const std::string& path) {
    return ::kvt::testing::ProbeAudioStream(path,
                                            "codec_name,sample_rate,channels,bits_per_sample,duration_ts,duration");
}

}  // namespace kvt::testing
