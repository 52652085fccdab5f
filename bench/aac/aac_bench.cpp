// Convert3gp of a 180 s 44.1 kHz stereo clip at 44100 Hz and 128000 bit/s per channel,
// against the ffmpeg program coding the same clip with the same encoder at 256 kbit/s.

#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <numbers>
#include <span>
#include <string>
#include <vector>

#include "bench/support/bench_clip.h"
#include "engine/byte_order.h"
#include "engine/engine_file.h"
#include "input/wave_file.h"
#include "iso/encoder_3gp.h"

namespace {

constexpr int kRate = 44100;
constexpr int kChannels = 2;
constexpr int kSeconds = 180;

// Tones with moving levels plus a little noise, so the coder has real work to do.
std::vector<uint8_t> ClipBytes() {
    const size_t frames = static_cast<size_t>(kRate) * kSeconds;
    std::vector<uint8_t> bytes(frames * kChannels * 2);
    uint32_t noise = 12345;
    for (size_t i = 0; i < frames; ++i) {
        const double t = static_cast<double>(i) / kRate;
        const double swell = 0.6 + 0.4 * std::sin(2 * std::numbers::pi * 0.7 * t);
        for (int c = 0; c < kChannels; ++c) {
            noise = noise * 1664525u + 1013904223u;
            const double tone = std::sin(2 * std::numbers::pi * (220.0 + 110 * c) * t) * 0.4 +
                                std::sin(2 * std::numbers::pi * 1760.0 * t) * 0.15;
            const double value = swell * tone + ((noise >> 16) / 65536.0 - 0.5) * 0.05;
            const auto sample = static_cast<int16_t>(std::lround(value * 24000));
            kvt::SetLe16(std::span(bytes).subspan((i * kChannels + c) * 2), static_cast<uint16_t>(sample));
        }
    }
    return bytes;
}

struct Workspace {
    std::string folder;
    std::vector<uint8_t> bytes = ClipBytes();

    Workspace() : folder(kvt::bench::MakeScratchFolder("kvt-aac-bench")) {
        // A 16-bit PCM WAV file with the 44-byte header.
        std::vector<uint8_t> wav;
        kvt::PutText(wav, "RIFF");
        kvt::PutLe32(wav, static_cast<uint32_t>(36 + bytes.size()));
        kvt::PutText(wav, "WAVEfmt ");
        kvt::PutLe32(wav, 16);
        kvt::PutLe16(wav, 1);
        kvt::PutLe16(wav, kChannels);
        kvt::PutLe32(wav, kRate);
        kvt::PutLe32(wav, kRate * kChannels * 2);
        kvt::PutLe16(wav, kChannels * 2);
        kvt::PutLe16(wav, 16);
        kvt::PutText(wav, "data");
        kvt::PutLe32(wav, static_cast<uint32_t>(bytes.size()));
        kvt::PutBytes(wav, bytes);
        std::ofstream(folder + "/clip.wav", std::ios::binary)
            .write(reinterpret_cast<const char*>(wav.data()), static_cast<std::streamsize>(wav.size()));
    }
    ~Workspace() {
        std::error_code ignored;
        std::filesystem::remove_all(folder, ignored);
    }
};

Workspace& Shared() {
    static Workspace workspace;
    return workspace;
}

void BM_Convert3gp(benchmark::State& state) {
    Workspace& work = Shared();
    const kvt::SourceClip clip(work.folder + "/clip.wav", kvt::FormatBlock::Pcm16(kChannels, kRate), work.bytes);
    for (auto _ : state) {
        kvt::Encoder3gp encoder(clip);
        std::string noProgram;
        if (encoder.Convert3gp(1, 128000, kRate, kChannels, 0, 0, 0, "", "", 0, noProgram) != 1) {
            state.SkipWithError("Convert3gp failed");
            break;
        }
    }
    state.counters["output_bytes"] = static_cast<double>(std::filesystem::file_size(work.folder + "/clip.3gp"));
}
BENCHMARK(BM_Convert3gp)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

// The rates where FFmpeg's encoder can overshoot the decoder buffer, on 60 s of the demo
// tune (its 6 s repeated) or of loud noise over music: arguments rate, channels, signal
// (0 tune, 1 noise). The files must keep every frame within 768 bytes a channel, which can
// take a second coding at a lower rate; the counters show what that costs.
std::vector<uint8_t> BudgetClip(int signal) {
    constexpr size_t kSeconds = 60;
    std::vector<uint8_t> out;
    if (signal == 0) {
        kvt::WaveFile wave;
        if (!wave.Load(KVT_DEMO_TUNE) || wave.sampleRate != 22050 || wave.channels != 2) std::abort();
        while (out.size() < kSeconds * 22050 * 4) out.insert(out.end(), wave.Samples().begin(), wave.Samples().end());
        return out;
    }
    out.resize(kSeconds * 22050 * 4);
    uint32_t seed = 7;
    for (size_t i = 0; i < out.size() / 2; ++i) {
        seed = seed * 1664525u + 1013904223u;
        const double t = static_cast<double>(i / 2) / 22050;
        const double music = 9000 * std::sin(2 * std::numbers::pi * 440 * t) * (0.6 + 0.4 * std::sin(9 * t));
        const auto sample = static_cast<int16_t>(std::lround(music) + static_cast<int>(seed >> 17) - 16384);
        kvt::SetLe16(std::span(out).subspan(i * 2), static_cast<uint16_t>(sample));
    }
    return out;
}

void BM_Convert3gpFrameBudget(benchmark::State& state) {
    Workspace& work = Shared();
    const int rate = static_cast<int>(state.range(0));
    const int channels = static_cast<int>(state.range(1));
    const std::vector<uint8_t> bytes = BudgetClip(static_cast<int>(state.range(2)));
    const kvt::SourceClip clip(work.folder + "/budget.wav", kvt::FormatBlock::Pcm16(2, 22050), bytes);
    for (auto _ : state) {
        kvt::Encoder3gp encoder(clip);
        std::string noProgram;
        if (encoder.Convert3gp(1, rate == 8000 ? 32000 : 64000, rate, channels, 0, 0, 0, "", "", 0, noProgram) != 1) {
            state.SkipWithError("Convert3gp failed");
            break;
        }
    }
    state.counters["output_bytes"] = static_cast<double>(std::filesystem::file_size(work.folder + "/budget.3gp"));
}
BENCHMARK(BM_Convert3gpFrameBudget)
    ->ArgsProduct({{8000, 16000}, {1, 2}, {0, 1}})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3)
    ->UseRealTime();

double ChildCpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// The CPU column only counts this process; the program's own CPU time is the counter.
void BM_FfmpegProgram(benchmark::State& state) {
    Workspace& work = Shared();
    const std::string command = "ffmpeg -nostdin -y -v error -i '" + work.folder + "/clip.wav' -c:a aac -b:a 256k '" +
                                work.folder + "/ffmpeg.3gp'";
    const double cpuBefore = ChildCpuSeconds();
    for (auto _ : state) {
        if (std::system(command.c_str()) != 0) {
            state.SkipWithError("ffmpeg failed");
            break;
        }
    }
    state.counters["program_cpu_ms"] =
        benchmark::Counter((ChildCpuSeconds() - cpuBefore) * 1000, benchmark::Counter::kAvgIterations);
    state.counters["output_bytes"] = static_cast<double>(std::filesystem::file_size(work.folder + "/ffmpeg.3gp"));
}
BENCHMARK(BM_FfmpegProgram)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
