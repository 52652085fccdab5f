// The main window on a 10-minute 44.1 kHz stereo input: building the overview, one full
// paint of the window, one volume step (with the overview it invalidates).

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include <benchmark/benchmark.h>
#include <QApplication>

#include "app/main_window/main_window.h"
#include "app/main_window/waveform_painter.h"

namespace kvt {
namespace {

constexpr uint32_t kRate = 44100;
constexpr uint32_t kFrames = kRate * 600;

const LoadedInput& TenMinutes() {
    static const LoadedInput input = [] {
        LoadedInput made;
        made.isLoaded = true;
        made.inputPath = "/bench/song.wav";
        made.format = FormatBlock::Pcm16(2, kRate);
        made.totalFrames = kFrames;
        made.endFrame = kFrames;
        made.pcm.resize(size_t{kFrames} * 4);
        for (uint32_t f = 0; f < kFrames; ++f) {
            const double envelope = 0.5 + 0.5 * std::sin(f * 0.00001);
            const auto left = static_cast<int16_t>(20000 * envelope * std::sin(f * 0.0627));
            const auto right = static_cast<int16_t>(18000 * envelope * std::sin(f * 0.0411));
            std::memcpy(made.pcm.data() + size_t{f} * 4, &left, 2);
            std::memcpy(made.pcm.data() + size_t{f} * 4 + 2, &right, 2);
        }
        return made;
    }();
    return input;
}

QImage Skin() {
    QImage skin(main_window::kSkinWidth, main_window::kSkinHeight, QImage::Format_RGB32);
    skin.fill(qRgb(200, 200, 200));
    return skin;
}

// A window working in a scratch folder that goes away with it.
struct BenchWindow {
    std::filesystem::path folder = std::filesystem::temp_directory_path() / "kvt-app-bench";
    std::unique_ptr<CMFCzorvikDlg> window;

    BenchWindow() {
        std::filesystem::create_directories(folder);
        window = std::make_unique<CMFCzorvikDlg>(Skin(), Skin(), folder.string());
        MainWindowModel& model = window->MutableModel();
        model.input = TenMinutes();
        model.input.startFrame = kFrames / 4;
        model.input.endFrame = kFrames / 2;
        model.viewOffset = kFrames / 3;
        model.cursorX = 250;
    }
    ~BenchWindow() {
        window.reset();
        std::filesystem::remove_all(folder);
    }
};

void BM_OverviewBuild(benchmark::State& state) {
    const QImage skin = Skin();
    const LoadedInput& input = TenMinutes();
    for (auto _ : state) benchmark::DoNotOptimize(BuildOverviewCache(skin, input));
}
BENCHMARK(BM_OverviewBuild)->Unit(benchmark::kMillisecond);

void BM_FullWindowPaint(benchmark::State& state) {
    BenchWindow bench;
    bench.window->RenderBackBuffer();  // the overview cache, once per load
    for (auto _ : state) benchmark::DoNotOptimize(bench.window->RenderBackBuffer().constBits());
}
BENCHMARK(BM_FullWindowPaint)->Unit(benchmark::kMillisecond);

void BM_VolumeStep(benchmark::State& state) {
    BenchWindow bench;
    bool up = false;
    for (auto _ : state) {
        bench.window->ApplyVolume(up ? VolumeCommand::Up : VolumeCommand::Down);
        bench.window->RenderBackBuffer();  // the paint that rebuilds the overview
        up = !up;
    }
}
BENCHMARK(BM_VolumeStep)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace kvt

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
