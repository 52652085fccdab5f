#pragma once
// Helpers of the AAC and 3GP tests: test signals, FFmpeg's own tools as independent
// readers, and a delay-aligned comparison of decoded audio with the original.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <numbers>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "engine/byte_order.h"
#include "engine/pcm_operations.h"
#include "platform/command_output.h"
#include "platform/temp_folder.h"

namespace kvt::testing {

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
inline Alignment AlignAndCompare(const std::vector<int16_t>& original, const std::vector<int16_t>& decoded,
                                 int channels, size_t maxDelay = 2048) {
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

// The first audio stream as ffprobe reads it: codec_name, profile, sample_rate, channels,
// duration, nb_frames.
inline std::map<std::string, std::string> ProbeAudio(const std::string& path) {
    return ProbeAudioStream(path, "codec_name,profile,sample_rate,channels,duration,nb_frames");
}

// Decodes the file's audio with the ffmpeg program to interleaved 16-bit samples; nothing
// when ffmpeg reports any error.
inline std::optional<std::vector<int16_t>> DecodeWithFfmpeg(const std::string& path) {
    const auto bytes = ::kvt::testing::FfmpegDecodeRaw(path, "-f s16le -c:a pcm_s16le", true);
    if (!bytes) {
        return std::nullopt;
    }
    return BytesToSamples(*bytes);
}

// A 16-bit PCM WAV file (44-byte header).
inline void WriteWav(const std::string& path, const std::vector<int16_t>& samples, int rate, int channels) {
    const uint32_t bytes = static_cast<uint32_t>(samples.size() * 2);
    std::vector<uint8_t> file;
    PutText(file, "RIFF");
    PutLe32(file, 36 + bytes);
    PutText(file, "WAVEfmt ");
    PutLe32(file, 16);
    PutLe16(file, 1);
    PutLe16(file, static_cast<uint16_t>(channels));
    PutLe32(file, static_cast<uint32_t>(rate));
    PutLe32(file, static_cast<uint32_t>(rate * channels * 2));
    PutLe16(file, static_cast<uint16_t>(channels * 2));
    PutLe16(file, 16);
    PutText(file, "data");
    PutLe32(file, bytes);
    PutBytes(file, SamplesToBytes(samples));
    WriteFileBytes(path, file);
}

}  // namespace kvt::testing
