#pragma once
// Encoder3gp: turns one SourceClip into a 3GP (kind 1) or 3G2 (kind 2) file of AAC-LC
// audio. The clip gets a silent tail, its channels and rate are converted, the built-in
// encoder codes it (and, for 3GP, the user's external encoder program may supply the
// tables and media data), File_3gp writes the boxes, and a 3GP file may be re-muxed for
// streaming.

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/engine_file.h"
#include "iso/external_encoder.h"

namespace kvt {

inline constexpr std::string_view kChannelErrorMessage = "error channel";
inline constexpr std::string_view kAacAbnormalMessage = "aac変換が異常です。";
inline constexpr std::string_view kAacParametersMessage =
    "元データが壊れているか、aac変換のパラメータが間違っています。";
inline constexpr std::string_view kAacCodingFailedMessage =
    "aac変換中にエラーが発生しました。ファイルは作成されません。";
inline constexpr int kMaxAacSampleRate = 44100;

class Encoder3gp : public EngineFile {
public:
    // `source` must outlive the encoder. The output base path (`path`) starts as the
    // clip's path; the conversion job replaces it with the saving directory and the
    // input's name.
    explicit Encoder3gp(const SourceClip& source);

    // kind 1 = 3GP, 2 = 3G2. `bitRate` is per channel; `samplingRate` and `channels` 0
    // keep the clip's. `bandwidth` 0 lets the encoder choose. `useExternal` (3GP only)
    // tries the program at `externalEncoderPath`, which is cleared when it is missing or
    // cannot be started. Returns 1 when the request was accepted and the writer ran (its
    // failures are shown, not returned), 0 when it was refused.
    int Convert3gp(int kind, int bitRate, int samplingRate, int channels, int streaming, int bandwidth,
                   int longBlocksOnly, const std::string& title, const std::string& scratchWavPath, int useExternal,
                   std::string& externalEncoderPath);

    // How long the external program may run before its output is looked for.
    std::chrono::milliseconds externalEncoderWait = kExternalEncoderWait;

    // The coded stream of the last call and what it was coded from. A 3GP and a 3G2 file
    // of the same clip with the same settings hold the same AAC frames; the second call
    // takes them from here instead of running the encoder again.
    struct CodedStream {
        struct Key {
            const uint8_t* clipData = nullptr;
            uint32_t clipBytes = 0;
            int bitRate = 0, samplingRate = 0, channels = 0, bandwidth = 0, longBlocksOnly = 0;
            bool operator==(const Key&) const = default;
        } key;
        std::vector<uint8_t> payload;
        std::vector<uint32_t> frameSizes;
        std::vector<uint8_t> decoderSpecificInfo;
        int codedBitRate = 0;  // per channel; below the asked rate when that overshot
    };

private:
    const SourceClip& source_;
    std::optional<CodedStream> lastStream_;
};

// Milliseconds of silence appended before coding, by requested rate (0 counts as 8000).
int SilentTailMilliseconds(int requestedRate);

// `path` with the extension of its file name replaced by ".3gp" (kind 1) or ".3g2";
// nothing when the file name has no '.'.
std::optional<std::string> Output3gpPath(const std::string& path, int kind);

}  // namespace kvt
