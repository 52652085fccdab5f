// ConvertMmf of a 240 s 44.1 kHz stereo clip (just inside the longest MMF) as mono at
// 4000, 8000 and 16000 Hz and as stereo at 16000 and 24000 Hz: copy, channel conversion,
// resampling, coding, layout, CRC and write.

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "bench/support/bench_clip.h"
#include "engine/mmf_encoder.h"
#include "engine/pcm_operations.h"
#include "platform/message.h"

namespace kvt {
namespace {

constexpr uint32_t kRate = 44100;
constexpr size_t kSeconds = 240;

std::string Folder() {
    static const std::string folder = bench::MakeScratchFolder("kvt-mmf-bench");
    return folder;
}

const SourceClip& Clip() {
    static const SourceClip clip(Folder() + "/bench.wav", FormatBlock::Pcm16(2, kRate),
                                 SamplesToBytes(bench::BusyNoise(kRate * kSeconds * 2)));
    return clip;
}

void BM_ConvertMmf(benchmark::State& state) {
    const int rate = static_cast<int>(state.range(0));
    const int stereo = static_cast<int>(state.range(1));
    MmfEncoder encoder(Clip());
    MessageRecorder messages;
    for (auto _ : state) {
        if (encoder.ConvertMmf(rate, stereo) != 1 || !messages.Texts().empty()) {
            state.SkipWithError("ConvertMmf refused the clip");
            break;
        }
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * kRate * kSeconds);
}

BENCHMARK(BM_ConvertMmf)
    ->ArgNames({"rate", "stereo"})
    ->Args({4000, 0})
    ->Args({8000, 0})
    ->Args({16000, 0})
    ->Args({16000, 1})
    ->Args({24000, 1})
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace kvt

int main(int argc, char** argv) {
    return kvt::bench::RunBenchmarksAndRemove(argc, argv, kvt::Folder());
}
