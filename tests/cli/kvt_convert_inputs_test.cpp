// Every kind of input kvt-convert takes besides WAV/WMA/MP3, made by FFmpeg from one tone
// and converted to MMF and 3GP: each output, decoded by FFmpeg, sounds as long as the
// input and carries its tone.

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <numbers>

#include "kvt_convert_fixture.h"
#include "platform/command_output.h"

namespace kvt {
namespace {

using testing::KvtConvert;
using testing::Quote;
using testing::ReadWholeFile;

constexpr double kToneHz = 660.0;
constexpr double kSeconds = 1.5;
constexpr int kOutputRate = 8000;

std::vector<double> Samples(const std::string& s16le) {
    std::vector<double> samples;
    for (size_t i = 0; i + 1 < s16le.size(); i += 2)
        samples.push_back(static_cast<int16_t>(uint8_t(s16le[i]) | (uint8_t(s16le[i + 1]) << 8)) / 32768.0);
    return samples;
}

// The span from the first to the last 10 ms block louder than a tenth of the loudest one.
std::pair<size_t, size_t> SoundingSpan(const std::vector<double>& samples, int rate) {
    const size_t block = static_cast<size_t>(rate / 100);
    std::vector<double> levels;
    for (size_t at = 0; at + block <= samples.size(); at += block) {
        double sum = 0;
        for (size_t i = at; i < at + block; ++i) sum += samples[i] * samples[i];
        levels.push_back(std::sqrt(sum / static_cast<double>(block)));
    }
    const double loudest = levels.empty() ? 0.0 : *std::max_element(levels.begin(), levels.end());
    size_t first = levels.size(), last = 0;
    for (size_t i = 0; i < levels.size(); ++i) {
        if (levels[i] <= loudest / 10) continue;
        first = std::min(first, i);
        last = i;
    }
    if (first > last) return {0, 0};
    return {first * block, (last + 1) * block};
}

// The share of the signal's power at `hz` (its projection on sine and cosine).
double ToneShare(const std::vector<double>& samples, size_t from, size_t to, int rate, double hz) {
    double sine = 0, cosine = 0, power = 0;
    for (size_t i = from; i < to; ++i) {
        const double phase = 2 * std::numbers::pi * hz * static_cast<double>(i) / rate;
        sine += samples[i] * std::sin(phase);
        cosine += samples[i] * std::cos(phase);
        power += samples[i] * samples[i];
    }
    const double n = static_cast<double>(to - from);
    return power == 0 ? 0 : 2 * (sine * sine + cosine * cosine) / (n * power);
}

// The samples of an MMF file's wave data, decoded by FFmpeg's Yamaha ADPCM decoder.
std::string DecodedMmf(const std::string& path, const std::string& scratch) {
    const std::string bytes = ReadWholeFile(path);
    const size_t mwa = bytes.find("Mwa");
    if (mwa == std::string::npos || mwa + 11 > bytes.size()) return {};
    const uint32_t size = (uint32_t(uint8_t(bytes[mwa + 4])) << 24) | (uint32_t(uint8_t(bytes[mwa + 5])) << 16) |
                          (uint32_t(uint8_t(bytes[mwa + 6])) << 8) | uint8_t(bytes[mwa + 7]);
    std::ofstream(scratch, std::ios::binary) << bytes.substr(mwa + 11, size - 3);
    return testing::RunCommand("ffmpeg -v error -f u8 -ar " + std::to_string(kOutputRate) +
                               " -ac 1 -c:a adpcm_yamaha -i " + Quote(scratch) + " -f s16le - 2>/dev/null")
        .output;
}

std::string DecodedAudio(const std::string& path) {
    return testing::RunCommand("ffmpeg -v error -i " + Quote(path) + " -ac 1 -f s16le - 2>/dev/null").output;
}

TEST_F(KvtConvert, EveryInputKindConvertsToItsToneAndLength) {
    struct Kind {
        const char* name;
        const char* encode;  // ffmpeg's output options
    };
    const Kind kinds[] = {
        {"flac.flac", "-c:a flac"},
        {"aac.m4a", "-c:a aac"},
        {"alac.m4a", "-c:a alac"},
        {"vorbis.ogg", "-c:a libvorbis"},
        {"oggflac.ogg", "-c:a flac -f ogg"},
        {"opus.opus", "-c:a libopus"},
        {"aiff.aiff", "-c:a pcm_s16be"},
        {"float.aifc", "-c:a pcm_f32be -f aiff"},
        {"float32.wav", "-c:a pcm_f32le"},  // FFmpeg writes these extensible, with LIST
        {"float64.wav", "-c:a pcm_f64le"},
        {"int32.wav", "-c:a pcm_s32le"},
        {"phone.mp4", "VIDEO"},
        {"flac-named.wav", "-c:a flac -f flac"},
    };
    const std::string tone = "aevalsrc='0.5*sin(2*PI*660*t)':s=44100:c=stereo:d=" + std::to_string(kSeconds);
    std::vector<std::string> arguments = {
        "--mmf", "--3gp", "--mmf-rate", std::to_string(kOutputRate), "--3gp-rate", std::to_string(kOutputRate),
        "-o",    out()};
    for (const Kind& kind : kinds) {
        const std::string path = folder / kind.name;
        const std::string encode = kind.encode == std::string("VIDEO")
                                       ? "-f lavfi -i testsrc=s=64x48:d=1.5 -map 1:v -map 0:a -c:v mpeg4 -c:a aac"
                                       : kind.encode;
        ASSERT_EQ(
            std::system(("ffmpeg -v error -y -f lavfi -i " + Quote(tone) + " " + encode + " " + Quote(path)).c_str()),
            0)
            << kind.name;
        arguments.push_back(path);
    }
    testing::RunResult run = Convert(arguments);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    // The only box: the mislabelled file's, before it is read as the FLAC it is. FFmpeg's
    // LIST chunks in the WAV files raise none.
    const std::string notRiff = "flac-named.wav: 不明なタグが検出されました。処理は継続可能です。 [RIFF]";
    EXPECT_NE(run.err.find(notRiff), std::string::npos) << run.err;
    EXPECT_EQ(run.err.find("不明なタグ"), run.err.rfind("不明なタグ")) << run.err;

    for (const Kind& kind : kinds) {
        const std::string base = std::filesystem::path(kind.name).stem();
        for (const char* extension : {".mmf", ".3gp"}) {
            SCOPED_TRACE(base + extension);
            const std::string output = out() + "/" + base + extension;
            const std::string decoded =
                extension == std::string(".mmf") ? DecodedMmf(output, folder / "mwa.raw") : DecodedAudio(output);
            const std::vector<double> samples = Samples(decoded);
            const auto [from, to] = SoundingSpan(samples, kOutputRate);
            EXPECT_NEAR(static_cast<double>(to - from) / kOutputRate, kSeconds, 0.05);
            EXPECT_GT(ToneShare(samples, from, to, kOutputRate, kToneHz), 0.9);
        }
    }
}

}  // namespace
}  // namespace kvt
