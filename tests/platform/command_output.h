#pragma once
// Fixed command lines of the tests run through the shell (the paths in them are the tests'
// own temporary names), ffprobe's view of a file's first audio stream, and the ffmpeg
// program's decoding of a file as an independent reference.

#include <sys/wait.h>

#include <cstdint>
#include <cstdio>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

namespace kvt::testing {

struct CommandResult {
    int exitCode = -1;  // -1 when the shell did not start or the command did not exit
    std::string output;
};

// `text` as one shell word.
inline std::string Quote(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

inline CommandResult RunCommand(const std::string& command) {
    CommandResult result;
    std::FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) {
        return result;
    }
    char buffer[65536];
    size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) {
        result.output.append(buffer, got);
    }
    const int status = pclose(pipe);
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

// The `entries` (ffprobe's comma-separated stream fields) of the first audio stream, by
// name; empty when ffprobe cannot read the file.
inline std::map<std::string, std::string> ProbeAudioStream(const std::string& path, std::string_view entries) {
    const CommandResult probe =
        RunCommand("ffprobe -v error -select_streams a:0 -show_entries stream=" + std::string(entries) +
                   " -of default=noprint_wrappers=1 " + Quote(path) + " 2>/dev/null");
    std::map<std::string, std::string> fields;
    std::istringstream lines(probe.output);
    std::string line;
    while (std::getline(lines, line)) {
        const size_t equals = line.find('=');
        if (equals != std::string::npos) {
            fields[line.substr(0, equals)] = line.substr(equals + 1);
        }
    }
    return fields;
}

// The ffmpeg program's decoding of `path` to raw bytes as `output` asks for them (such as
// "-ac 1 -f s16le"); nothing when ffmpeg fails. `strict` also fails on any decoding error.
inline std::optional<std::vector<uint8_t>> FfmpegDecodeRaw(const std::string& path, const std::string& output,
                                                           bool strict = false) {
    const CommandResult decode = RunCommand("ffmpeg -nostdin -v error " + std::string(strict ? "-xerror " : "") +
                                            "-i " + Quote(path) + " " + output + " - 2>/dev/null");
    if (decode.exitCode != 0) return std::nullopt;
    return std::vector<uint8_t>(decode.output.begin(), decode.output.end());
}

}  // namespace kvt::testing
