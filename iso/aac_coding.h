#pragma once
// The built-in AAC coding of a 3GP/3G2 file: 16-bit PCM in; the raw AAC-LC frames, their
// sizes and the decoder-specific info out, every frame within the decoder buffer. It shows
// no message: a failure is a value, and ShowAacFailure says it to the user.

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <stop_token>
#include <string_view>
#include <variant>
#include <vector>

namespace kvt {

class AacEncoder;

inline constexpr std::string_view kAacAbnormalText = "aac変換が異常です。";
inline constexpr std::string_view kAacParametersText = "元データが壊れているか、aac変換のパラメータが間違っています。";
inline constexpr std::string_view kAacCodingFailedText = "aac変換中にエラーが発生しました。ファイルは作成されません。";

struct AacSettings {
    int sampleRate = 8000;
    int channels = 1;
    int bitRate = 32000;  // per channel
    int bandwidth = 0;    // Hz; 0 lets the encoder choose
    int longBlocksOnly = 0;
    bool operator==(const AacSettings&) const = default;
};

struct AacStream {
    std::vector<uint8_t> payload;  // the frames back to back
    std::vector<uint32_t> frameSizes;
    std::vector<uint8_t> decoderSpecificInfo;
    int bitRate = 0;  // per channel as the frames were coded: below the asked one after an overshoot
};

enum class AacFailure {
    CannotOpen,         // the rate or channel count cannot be coded
    Abnormal,           // the library's configuration is not the one this code knows
    ParametersRefused,  // the configuration was refused
    CodingFailed,       // the encoder failed, or no rate kept every frame within the buffer
    Stopped,            // the caller asked to stop
};

using AacCoding = std::variant<AacStream, AacFailure>;

// Told the share (0..1) of the clip coded so far, after each batch of frames.
using AacProgress = std::function<void(double)>;

// One call per 1024 sample frames of `pcm` (the last padded with silence), no flush: calls
// that return no bytes (the encoder's look-ahead) are not frames. `stop` is looked at
// between frames. A stream coded again at a lower rate reports its progress anew.
AacCoding CodeAac(std::span<const uint8_t> pcm, const AacSettings& settings, std::stop_token stop = {},
                  const AacProgress& progress = {});

// The encoder CodeAac codes with, opened and configured for `settings` at `bitRate` (per
// channel); the failure when it cannot be.
std::variant<std::unique_ptr<AacEncoder>, AacFailure> OpenAacEncoder(const AacSettings& settings, int bitRate);

// The user's message for a failure (none for Stopped).
void ShowAacFailure(AacFailure failure, const AacSettings& settings);

}  // namespace kvt
