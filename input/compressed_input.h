#pragma once
// Turning compressed inputs into a WAV file the loader can read: WMA (and anything else
// FFmpeg can decode) in-process, MP3 through the user's external decoder program.

#include <chrono>
#include <string>

namespace kvt {

class WaveFile;

inline constexpr std::chrono::milliseconds kExternalDecoderWait{30000};

// Decodes the first audio stream of `inputPath` into a 16-bit PCM WAV file at the input's
// own rate and channel count (more than two channels are mixed down to stereo). 1 when the
// file was decoded completely, 0 when there was no decodable audio (message shown).
int DecodeWithGraph(const std::string& inputPath, const std::string& outputPath);
// The same into memory (no file): true when `wave` holds the decoded input; false after the
// message, when there was no decodable audio.
bool DecodeWithGraph(const std::string& inputPath, WaveFile& wave);

// Runs `decoderPath` with " --decode "in" "out" " and waits at most `wait`. 1 when the
// program ran and `outputPath` can then be opened. A decoder that cannot be opened shows
// "エンコーダが見つかりませんでした。" and clears `decoderPath`.
int DecodeWithExternalProgram(std::string& decoderPath, const std::string& inputPath, const std::string& outputPath,
                              std::chrono::milliseconds wait = kExternalDecoderWait);

}  // namespace kvt
