// A 5-minute track (22500 frames) read from the simulated drive through the pass-through
// back end and the device layer, every read checked against the last: frames a second,
// and heap allocations a read (the reader and layer should make none).

#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <span>
#include <vector>

#include "input/cd/cd_reader.h"
#include "input/cd/pass_through.h"
#include "input/cd/simulated_drive.h"

namespace {

std::atomic<long> allocations{0};

}  // namespace

void* operator new(std::size_t size) {
    ++allocations;
    if (void* p = std::malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}

namespace kvt::cd {
namespace {

constexpr uint32_t kTrackFrames = 5 * 60 * 75;
constexpr int kDriveD = 3;

std::shared_ptr<DiscImage> Disc() {
    static std::shared_ptr<DiscImage> disc = [] {
        std::vector<uint8_t> audio(size_t{kTrackFrames + 150} * kFrameBytes);
        uint32_t state = 12345;
        for (size_t i = 0; i < audio.size(); i += 4) {
            state ^= state << 13;
            state ^= state >> 17;
            state ^= state << 5;
            std::memcpy(audio.data() + i, &state, 4);
        }
        return DiscImage::FromMemory(std::move(audio), {0, kTrackFrames});
    }();
    return disc;
}

void BM_RipFiveMinuteTrack(benchmark::State& state) {
    auto drive = std::make_shared<SimulatedDrive>(Disc());
    DriveLetters letters;
    letters[kDriveD] = drive;
    CdDeviceLayer layer(std::make_shared<PassThroughBackEnd>([letters] { return letters; }));
    long reads = 0, allocationsInReads = 0, frames = 0;
    for (auto _ : state) {
        CdReader reader(layer);
        if (!reader.Open(kDriveD) || !reader.SelectTrack(0)) {
            state.SkipWithError("the simulated disc did not open");
            break;
        }
        for (;;) {
            const long before = allocations;
            std::span<const uint8_t> chunk = reader.ReadNext();
            allocationsInReads += allocations - before;
            if (chunk.empty()) break;
            ++reads;
            frames += static_cast<long>(chunk.size() / kFrameBytes);
            benchmark::DoNotOptimize(chunk.data());
        }
        if (reader.Position() != static_cast<int>(kTrackFrames)) {
            state.SkipWithError("the track was not read to its end");
            break;
        }
    }
    state.counters["frames/s"] = benchmark::Counter(static_cast<double>(frames), benchmark::Counter::kIsRate);
    state.counters["allocs/read"] = reads ? static_cast<double>(allocationsInReads) / reads : 0;
    state.counters["reads"] = static_cast<double>(reads) / static_cast<double>(state.iterations());
}

BENCHMARK(BM_RipFiveMinuteTrack)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace kvt::cd

BENCHMARK_MAIN();
