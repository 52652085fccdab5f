#include "iso/external_encoder.h"

#include <cstdio>
#include <optional>

#include "engine/engine_file.h"
#include "iso/side_files.h"
#include "platform/files.h"
#include "platform/message.h"
#include "platform/paths.h"
#include "platform/process.h"

namespace kvt {
namespace {

// Only a regular file: opening a named pipe for reading would wait for a writer.
bool IsReadableFile(const std::string& path) {
    return IsRegularFile(path) && AccessError(path, kMayRead) == 0;
}

// The program input: the clip as the built-in encoder codes it (the selection with its
// silent tail, at the requested rate and channel count), so the program's tables and our
// own headers describe the same audio.
bool WriteProgramInput(const EngineFile& clip, const std::string& inputPath) {
    EngineFile input;
    return input.CopyPcmFrom(clip) && input.WriteWave(inputPath);
}

}  // namespace

std::string ExternalInputPath(std::string_view scratchWavPath) {
    return std::string(scratchWavPath) + ".tmp";
}

std::string ExternalOutputPath(std::string_view scratchWavPath) {
    return std::string(PathWithoutExtension(scratchWavPath)) + ".m4a";
}

std::vector<std::string> ExternalEncoderArguments(int samplingRate, const std::string& inputPath,
                                                  const std::string& outputPath) {
    return FillParameterTemplate(kExternalEncoderParameters,
                                 {std::to_string(samplingRate), FileArgument(inputPath), FileArgument(outputPath)});
}

bool RunExternalEncoder(const std::string& scratchWavPath, const EngineFile& clip, std::string& encoderPath,
                        std::chrono::milliseconds wait) {
    const std::string inputPath = ExternalInputPath(scratchWavPath);
    const std::string outputPath = ExternalOutputPath(scratchWavPath);
    if (!scratchWavPath.empty()) {
        std::remove(outputPath.c_str());
    }

    if (!IsReadableFile(encoderPath)) {
        ShowMessage(kEncoderNotFoundText, kApplicationTitle, MessageButtons::Ok, true);
        encoderPath.clear();
        return false;
    }
    // The work file names the program's files and must still be there.
    if (!IsReadableFile(scratchWavPath) || !WriteProgramInput(clip, inputPath)) {
        std::remove(inputPath.c_str());
        return false;
    }

    const LaunchResult launch =
        RunProgram(FileArgument(encoderPath),
                   ExternalEncoderArguments(static_cast<int>(clip.format.sampleRate), inputPath, outputPath), wait);
    // The program input is scratch of this call. A program that outlived the wait is
    // not asked for anything later, so its input goes too.
    std::remove(inputPath.c_str());
    if (launch.outcome == LaunchOutcome::NotStarted) {
        encoderPath.clear();
        return false;
    }
    const std::optional<std::vector<uint8_t>> mp4 = ReadWholeFile(outputPath);
    if (!mp4) {
        return false;
    }
    ExtractSideFiles(*mp4, scratchWavPath);
    return true;
}

}  // namespace kvt
