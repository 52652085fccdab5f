#pragma once
// The external AAC encoder path of 3GP files: the user's encoder program codes the
// converted clip into an MP4 file, whose sample tables, handler, movie header and media data
// are saved as side files for File_3gp to splice in.

#include <chrono>
#include <string>
#include <string_view>
#include <vector>

namespace kvt {

class EngineFile;

inline constexpr std::string_view kEncoderNotFoundText = "エンコーダが見つかりませんでした。";
// Each field is one argument of the program; the values never pass through a shell.
inline constexpr char kExternalEncoderParameters[] = " -br %d -he -if \"%s\" -of \"%s\" ";
inline constexpr std::chrono::milliseconds kExternalEncoderWait{30000};

// The work WAV path followed by ".tmp" (tempkvt.wav gives tempkvt.wav.tmp).
std::string ExternalInputPath(std::string_view scratchWavPath);
// The work WAV path with the extension of its file name replaced by ".m4a" (appended when
// the file name has none).
std::string ExternalOutputPath(std::string_view scratchWavPath);

// The program's arguments: the number after "-br" is the sampling rate.
std::vector<std::string> ExternalEncoderArguments(int samplingRate, const std::string& inputPath,
                                                  const std::string& outputPath);

// Runs the program on `clip` (the PCM the built-in encoder codes, at the requested rate
// and channel count) and extracts the eight boxes of its output into side files named
// after the work WAV file, which must exist. True when the program wrote its output.
// A missing or unstartable program shows kEncoderNotFoundText (for a missing one) and
// clears `encoderPath`. A program still running after `wait` is left to finish on its
// own; its output is looked for anyway.
bool RunExternalEncoder(const std::string& scratchWavPath, const EngineFile& clip, std::string& encoderPath,
                        std::chrono::milliseconds wait = kExternalEncoderWait);

}  // namespace kvt
