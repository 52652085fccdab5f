#include "iso/external_encoder.h"

#include <sys/stat.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <optional>

#include "engine/engine_file.h"
#include "iso/side_files.h"
#include "platform/message.h"
#include "platform/process.h"

namespace kvt {
namespace {

bool IsReadableFile(const std::string& path) {
    struct stat info {};
    // Only a regular file: opening a named pipe for reading would wait for a writer.
    if (stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) {
        return false;
    }
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        return false;
    }
    std::fclose(file);
    return true;
}

bool FileExists(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

std::optional<std::vector<uint8_t>> ReadWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return std::nullopt;
    }
    std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    if (in.bad()) {
        return std::nullopt;
    }
    return bytes;
}

// The program input: the clip as the built-in encoder codes it (the selection with its
// silent tail, at the requested rate and channel count), so the program's tables and our
// own headers describe the same audio.
bool WriteProgramInput(const EngineFile& clip, const std::string& inputPath) {
    EngineFile input;
    return input.CopyPcmFrom(clip) == 1 && input.WriteWave(inputPath) == 1;
}

}  // namespace

std::string ExternalInputPath(std::string_view scratchWavPath) {
    return std::string(scratchWavPath) + ".tmp";
}

std::string ExternalOutputPath(std::string_view scratchWavPath) {
    const size_t slash = scratchWavPath.rfind('/');
    const size_t dot = scratchWavPath.rfind('.');
    const bool nameHasDot = dot != std::string_view::npos && (slash == std::string_view::npos || dot > slash);
    return std::string(nameHasDot ? scratchWavPath.substr(0, dot) : scratchWavPath) + ".m4a";
}

std::vector<std::string> ExternalEncoderArguments(int samplingRate, const std::string& inputPath,
                                                  const std::string& outputPath) {
    return FillParameterTemplate(kExternalEncoderParameters,
                                 {std::to_string(samplingRate), FileArgument(inputPath), FileArgument(outputPath)});
}

int RunExternalEncoder(const std::string& scratchWavPath, const EngineFile& clip, std::string& encoderPath,
                       std::chrono::milliseconds wait) {
    const std::string inputPath = ExternalInputPath(scratchWavPath);
    const std::string outputPath = ExternalOutputPath(scratchWavPath);
    if (!scratchWavPath.empty()) {
        std::remove(outputPath.c_str());
    }

    if (!IsReadableFile(encoderPath)) {
        ShowMessage(kEncoderNotFoundMessage, kApplicationTitle, MessageButtons::Ok, true);
        encoderPath.clear();
        return 0;
    }
    // The work file names the program's files and must still be there.
    if (!IsReadableFile(scratchWavPath) || !WriteProgramInput(clip, inputPath)) {
        std::remove(inputPath.c_str());
        return 0;
    }

    const LaunchResult launch =
        RunProgram(FileArgument(encoderPath),
                   ExternalEncoderArguments(static_cast<int>(clip.format.sampleRate), inputPath, outputPath), wait);
    // The program input is scratch of this call. A program that outlived the wait is
    // not asked for anything later, so its input goes too.
    std::remove(inputPath.c_str());
    if (launch.outcome == LaunchOutcome::NotStarted) {
        encoderPath.clear();
        return 0;
    }
    if (!FileExists(outputPath)) {
        return 0;
    }
    const std::optional<std::vector<uint8_t>> mp4 = ReadWholeFile(outputPath);
    if (!mp4) {
        return 0;
    }
    ExtractSideFiles(*mp4, scratchWavPath);
    return 1;
}

}  // namespace kvt
