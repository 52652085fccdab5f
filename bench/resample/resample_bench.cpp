// The rate conversion of 180 s of 44.1 kHz stereo to each output rate, band-limited
// against classic.

#include <benchmark/benchmark.h>

#include "bench/support/bench_clip.h"
#include "engine/engine_file.h"
#include "engine/pcm_operations.h"

namespace {

const kvt::SourceClip& Song() {
    static const kvt::SourceClip clip("song", kvt::FormatBlock::Pcm16(2, 44100),
                                      kvt::SamplesToBytes(kvt::bench::BusyNoise(44100 * 180 * 2)));
    return clip;
}

void Convert(benchmark::State& state, kvt::ResamplerKind kind) {
    const auto rate = static_cast<uint32_t>(state.range(0));
    for (auto _ : state) {
        kvt::EngineFile pcm(Song());
        if (kvt::Resample(pcm, rate, kind) != 1) state.SkipWithError("resample failed");
        benchmark::DoNotOptimize(pcm.data.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * Song().data.size());
}

void BM_BandLimited(benchmark::State& state) {
    Convert(state, kvt::ResamplerKind::BandLimited);
}
void BM_Classic(benchmark::State& state) {
    Convert(state, kvt::ResamplerKind::Classic);
}

BENCHMARK(BM_BandLimited)->DenseRange(8000, 32000, 8000)->Arg(4000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Classic)->DenseRange(8000, 32000, 8000)->Arg(4000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
