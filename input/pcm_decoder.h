#pragma once
// In-process decoding of any audio file FFmpeg understands into a 16-bit PCM WAV file.

#include <cstdint>
#include <functional>
#include <span>
#include <string>

namespace kvt {

struct DecodedFormat {
    int sampleRate = 0;
    int channels = 0;  // 1 or 2
};

enum class DecodeOutcome { Decoded, NoAudio, WriteFailed };

// Decodes the first audio stream to interleaved 16-bit samples at the source rate; mono
// stays mono, everything else becomes stereo. `onFormat` is called once before the first
// `onSamples`. Returns NoAudio when nothing could be decoded.
DecodeOutcome DecodeAudio(const std::string& inputPath, const std::function<bool(const DecodedFormat&)>& onFormat,
                          const std::function<bool(std::span<const int16_t>)>& onSamples);

// DecodeAudio into a WAV file; the file appears complete under `outputPath` or not at all.
DecodeOutcome DecodeAudioToWav(const std::string& inputPath, const std::string& outputPath);

}  // namespace kvt
