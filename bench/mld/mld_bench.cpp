// ConvertMld of a 180 s 44.1 kHz stereo clip to every handset row, at the row's highest
// allowed rate and at 8000 Hz. The clip is longer than any layout stores, so this measures
// the whole path: copy, channel conversion, resampling, normalisation, coding, layout, write.

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "bench/support/bench_clip.h"
#include "engine/mld_encoder.h"
#include "engine/mld_preset_table.h"
#include "engine/pcm_operations.h"
#include "platform/message.h"

namespace kvt {
namespace {

constexpr uint32_t kRate = 44100;
constexpr size_t kSeconds = 180;

const SourceClip& Clip(const std::string& folder) {
    static const SourceClip clip(folder + "/bench.wav", FormatBlock::Pcm16(2, kRate),
                                 SamplesToBytes(bench::BusyNoise(kRate * kSeconds * 2)));
    return clip;
}

std::string Folder() {
    static const std::string folder = bench::MakeScratchFolder("kvt-mld-bench");
    return folder;
}

uint32_t HighestRate(const MldPreset& row) {
    if (row.f32 && !IsStereoMldType(row.type)) return 32000;
    if (row.f16) return 16000;
    return 8000;
}

void ConvertRow(benchmark::State& state, bool highest) {
    const MldPreset& row = MldPresetTable[static_cast<size_t>(state.range(0))];
    const uint32_t rate = highest ? HighestRate(row) : 8000;
    MldEncoder encoder(Clip(Folder()));
    MessageRecorder quiet;  // the size warnings of a 3-minute clip are expected
    for (auto _ : state) {
        const int result = encoder.ConvertMld(row.type, static_cast<int>(rate), 100);
        benchmark::DoNotOptimize(result);
    }
    state.SetLabel(std::string(row.name) + " " + std::to_string(rate) + " Hz");
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * kRate * kSeconds);
}

void BM_ConvertMldHighestRate(benchmark::State& state) {
    ConvertRow(state, true);
}
void BM_ConvertMld8000(benchmark::State& state) {
    ConvertRow(state, false);
}

BENCHMARK(BM_ConvertMldHighestRate)->DenseRange(1, 18)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ConvertMld8000)->DenseRange(1, 18)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace kvt

int main(int argc, char** argv) {
    return kvt::bench::RunBenchmarksAndRemove(argc, argv, kvt::Folder());
}
