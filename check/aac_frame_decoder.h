#pragma once
// Decodes raw AAC frames (no ADTS headers) with FFmpeg, for checking written files.

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace kvt {

class AacFrameDecoder {
public:
    // `decoderSpecificInfo` is the AudioSpecificConfig of the esds.
    explicit AacFrameDecoder(std::span<const uint8_t> decoderSpecificInfo);
    ~AacFrameDecoder();
    AacFrameDecoder(const AacFrameDecoder&) = delete;
    AacFrameDecoder& operator=(const AacFrameDecoder&) = delete;

    // Why the decoder could not be opened; empty when it is open.
    const std::string& OpenError() const { return openError_; }
    // Appends the frame's samples, interleaved and clamped to 16 bits; the FFmpeg error
    // text when the frame does not decode.
    std::optional<std::string> Decode(std::span<const uint8_t> frame, std::vector<int16_t>& samples);
    int Channels() const;
    int SampleRate() const;

private:
    struct State;
    std::unique_ptr<State> state_;
    std::string openError_;
};

}  // namespace kvt
