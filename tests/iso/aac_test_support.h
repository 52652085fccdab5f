#pragma once
// Helpers of the AAC and 3GP tests: test signals, FFmpeg's own tools as independent
// readers, and a delay-aligned comparison of decoded audio with the original.

#include <sys/wait.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <numbers>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "platform/temp_folder.h"

namespace kvt::aac_test {

using ::kvt::testing::ReadFileBytes;
using ::kvt::testing::TempFolder;

// Three tones whose levels move over time, interleaved for `channels`; the right channel
// is a different mix so a swapped or dropped channel shows.
inline std::vector<int16_t> MusicLike(int sampleRate, int channels, double seconds) {
    const size_t frames = static_cast<size_t>(sampleRate * seconds);
    std::vector<int16_t> samples(frames * channels);
    const double nyquistSafe = std::min(3000.0, sampleRate / 3.0);
    for (size_t i = 0; i < frames; ++i) {
        const double t = static_cast<double>(i) / sampleRate;
        const double swell = 0.6 + 0.4 * std::sin(2 * std::numbers::pi * 1.5 * t);
        const double a = std::sin(2 * std::numbers::pi * 440 * t);
        const double b = std::sin(2 * std::numbers::pi * 1000 * t);
        const double c = std::sin(2 * std::numbers::pi * nyquistSafe * t);
        const double left = swell * (0.5 * a + 0.25 * b + 0.1 * c);
        const double right = swell * (0.2 * a + 0.45 * b + 0.15 * c);
        samples[i * channels] = static_cast<int16_t>(std::lround(left * 20000));
        if (channels == 2) {
            samples[i * channels + 1] = static_cast<int16_t>(std::lround(right * 20000));
        }
    }
    return samples;
}

struct Alignment {
    size_t delay = 0;          // decoded frames before the original's first frame
    double correlation = 0.0;  // normalised, over the compared range
    double snrDb = 0.0;
};

// Finds the delay (in frames, up to `maxDelay`) at which `decoded` best matches
// `original` and measures the match over the original's length, channel by channel.
inline Alignment AlignAndCompare(const std::vector<int16_t>& original,
                                 const std::vector<int16_t>& decoded, int channels,
                                 size_t maxDelay = 2048) {
    const size_t frames = original.size() / channels;
    auto measure = [&](size_t delay, size_t step) {
        double cross = 0, energyA = 0, energyB = 0, noise = 0;
        for (size_t i = 0; i < frames; i += step) {
            for (int c = 0; c < channels; ++c) {
                const size_t at = (i + delay) * channels + c;
                const double a = original[i * channels + c];
                const double b = at < decoded.size() ? decoded[at] : 0.0;
                cross += a * b;
                energyA += a * a;
                energyB += b * b;
                noise += (a - b) * (a - b);
            }
        }
        Alignment result;
        result.delay = delay;
        result.correlation = energyA > 0 && energyB > 0 ? cross / std::sqrt(energyA * energyB) : 0;
        result.snrDb = noise > 0 ? 10 * std::log10(energyA / noise) : 200.0;
        return result;
    };
    Alignment best;
    best.correlation = -2;
    for (size_t delay = 0; delay <= maxDelay; ++delay) {
        const Alignment candidate = measure(delay, 7);
        if (candidate.correlation > best.correlation) {
            best = candidate;
        }
    }
    return measure(best.delay, 1);
}

struct CommandResult {
    int exitCode = -1;
    std::string output;
};

// Runs a fixed command line of the tests (file names come from the tests' own temp dir).
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

inline std::string Quote(const std::string& path) {
    return "'" + path + "'";
}

// The first audio stream as ffprobe reads it: codec_name, profile, sample_rate, channels,
// duration, nb_frames.
inline std::map<std::string, std::string> ProbeAudio(const std::string& path) {
    const CommandResult probe = RunCommand(
        "ffprobe -v error -select_streams a:0 -show_entries "
        "stream=codec_name,profile,sample_rate,channels,duration,nb_frames "
        "-of default=noprint_wrappers=1 " + Quote(path) + " 2>/dev/null");
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

// Decodes the file's audio with the ffmpeg program to interleaved 16-bit samples; nothing
// when ffmpeg reports any error.
inline std::optional<std::vector<int16_t>> DecodeWithFfmpeg(const std::string& path) {
    const CommandResult decode = RunCommand("ffmpeg -nostdin -v error -xerror -i " + Quote(path) +
                                            " -f s16le -c:a pcm_s16le - 2>/dev/null");
    if (decode.exitCode != 0) {
        return std::nullopt;
    }
    std::vector<int16_t> samples(decode.output.size() / 2);
    for (size_t i = 0; i < samples.size(); ++i) {
        samples[i] = static_cast<int16_t>(static_cast<uint8_t>(decode.output[2 * i]) |
                                          static_cast<uint8_t>(decode.output[2 * i + 1]) << 8);
    }
    return samples;
}

// A 16-bit PCM WAV file (44-byte header).
inline void WriteWav(const std::string& path, const std::vector<int16_t>& samples, int rate,
                     int channels) {
    std::ofstream out(path, std::ios::binary);
    auto u32 = [&](uint32_t v) {
        for (int i = 0; i < 4; ++i) out.put(static_cast<char>(v >> (8 * i)));
    };
    auto u16 = [&](uint16_t v) {
        out.put(static_cast<char>(v));
        out.put(static_cast<char>(v >> 8));
    };
    const uint32_t bytes = static_cast<uint32_t>(samples.size() * 2);
    out.write("RIFF", 4);
    u32(36 + bytes);
    out.write("WAVEfmt ", 8);
    u32(16);
    u16(1);
    u16(static_cast<uint16_t>(channels));
    u32(static_cast<uint32_t>(rate));
    u32(static_cast<uint32_t>(rate * channels * 2));
    u16(static_cast<uint16_t>(channels * 2));
    u16(16);
    out.write("data", 4);
    u32(bytes);
    for (int16_t s : samples) u16(static_cast<uint16_t>(s));
}

struct BoxSpan {
    std::string type;
    size_t offset = 0;  // of the box header in the file
    size_t size = 0;    // header included
};

// The boxes directly inside bytes[begin, end), read with 32-bit sizes.
inline std::vector<BoxSpan> ChildBoxes(const std::vector<uint8_t>& bytes, size_t begin, size_t end) {
    std::vector<BoxSpan> boxes;
    size_t at = begin;
    while (at + 8 <= end) {
        const size_t size = static_cast<size_t>(bytes[at]) << 24 | bytes[at + 1] << 16 | bytes[at + 2] << 8 | bytes[at + 3];
        if (size < 8 || at + size > end) {
            break;
        }
        boxes.push_back({std::string(bytes.begin() + at + 4, bytes.begin() + at + 8), at, size});
        at += size;
    }
    return boxes;
}

// Follows a path of box types from the top level ({"moov", "trak", ...}).
inline std::optional<BoxSpan> FindBoxPath(const std::vector<uint8_t>& bytes, const std::vector<std::string>& path) {
    size_t begin = 0;
    size_t end = bytes.size();
    std::optional<BoxSpan> found;
    for (const std::string& type : path) {
        found.reset();
        for (const BoxSpan& box : ChildBoxes(bytes, begin, end)) {
            if (box.type == type) {
                found = box;
                break;
            }
        }
        if (!found) {
            return std::nullopt;
        }
        begin = found->offset + 8;
        end = found->offset + found->size;
    }
    return found;
}

inline const std::vector<std::string> kStsdPath = {"moov", "trak", "mdia", "minf", "stbl", "stsd"};

}  // namespace kvt::aac_test
