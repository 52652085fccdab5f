// Opening a long MP3 and FLAC as the window does, from the file to a loaded input (decoding,
// the scratch image and "tempkvt.wav", the overview of the whole input), timed against
// FFmpeg's decoding of the same file alone (`ffmpeg -i FILE -f s16le -y /dev/null`) in the
// same run.
//
//   open_bench [SECONDS [RUNS]]     (defaults: 600 s of 44.1 kHz stereo, 3 runs)
//
// Prints, per file, the median wall and CPU seconds of each side and the ratio kvt/FFmpeg.

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <QGuiApplication>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "app/main_window/main_window_layout.h"
#include "app/main_window/waveform_painter.h"
#include "convert/input_loader.h"
#include "platform/message.h"

namespace {

namespace fs = std::filesystem;

struct Times {
    double wall = 0;
    double cpu = 0;
};

double Seconds(const timeval& t) {
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
}

double CpuOf(const rusage& usage) {
    return Seconds(usage.ru_utime) + Seconds(usage.ru_stime);
}

// Runs a program with its output thrown away; its wall time and the CPU time it used.
Times RunProgram(const std::vector<std::string>& arguments) {
    std::vector<char*> argv;
    for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    const auto start = std::chrono::steady_clock::now();
    pid_t pid = -1;
    if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) std::abort();
    posix_spawn_file_actions_destroy(&actions);
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "%s failed\n", arguments.front().c_str());
        std::exit(1);
    }
    return {std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(), CpuOf(usage)};
}

Times OpenAsTheWindowDoes(const std::string& path, const std::string& workFolder, const QImage& skin) {
    rusage before{}, after{};
    getrusage(RUSAGE_SELF, &before);
    const auto start = std::chrono::steady_clock::now();
    kvt::Settings settings;
    settings.workFolder = workFolder;
    kvt::LoadedInput input;
    if (!kvt::LoadInputFile(path, input, settings)) std::exit(1);
    const QImage overview = kvt::BuildOverviewCache(skin, input);
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    getrusage(RUSAGE_SELF, &after);
    if (overview.isNull() || input.totalFrames == 0) std::exit(1);
    return {wall, CpuOf(after) - CpuOf(before)};
}

Times Median(std::vector<Times> runs) {
    auto middle = [&](auto member) {
        std::vector<double> values;
        for (const Times& t : runs) values.push_back(t.*member);
        std::sort(values.begin(), values.end());
        return values[values.size() / 2];
    };
    return {middle(&Times::wall), middle(&Times::cpu)};
}

}  // namespace

int main(int argc, char** argv) {
    const std::string seconds = argc > 1 ? argv[1] : "600";
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication application(argc, argv);
    kvt::SetMessageSink(kvt::ConsoleMessageSink());

    const fs::path folder = fs::temp_directory_path() / ("kvt-open-bench-" + std::to_string(getpid()));
    fs::create_directories(folder);
    // Music-like stereo: two voices with a slow swell, different in each channel.
    const std::string source =
        "aevalsrc='0.4*(0.6+0.4*sin(0.3*t))*sin(2*PI*330*t)+0.2*sin(2*PI*1250*t)|"
        "0.4*(0.6+0.4*cos(0.2*t))*sin(2*PI*440*t)+0.2*sin(2*PI*2100*t)':s=44100:d=" +
        seconds;
    const std::pair<const char*, std::vector<std::string>> files[] = {
        {"song.mp3", {"-c:a", "libmp3lame", "-b:a", "192k"}},
        {"song.flac", {"-c:a", "flac"}},
    };
    QImage skin(kvt::main_window::kSkinWidth, kvt::main_window::kSkinHeight, QImage::Format_RGB32);
    skin.fill(qRgb(200, 200, 200));

    std::printf("%-10s %8s %8s %8s %8s %8s %8s\n", "file", "ff_wall", "kvt_wall", "wall_kf", "ff_cpu", "kvt_cpu",
                "cpu_kf");
    for (const auto& [name, codec] : files) {
        const std::string path = folder / name;
        std::vector<std::string> make = {"ffmpeg", "-v", "error", "-y", "-f", "lavfi", "-i", source};
        make.insert(make.end(), codec.begin(), codec.end());
        make.push_back(path);
        RunProgram(make);
        std::vector<Times> ffmpeg, kvt;
        for (int run = 0; run < runs; ++run) {
            ffmpeg.push_back(RunProgram({"ffmpeg", "-v", "error", "-i", path, "-f", "s16le", "-y", "/dev/null"}));
            kvt.push_back(OpenAsTheWindowDoes(path, folder.string(), skin));
        }
        const Times ff = Median(ffmpeg), ours = Median(kvt);
        std::printf("%-10s %8.2f %8.2f %8.2f %8.2f %8.2f %8.2f\n", name, ff.wall, ours.wall, ours.wall / ff.wall,
                    ff.cpu, ours.cpu, ours.cpu / ff.cpu);
    }
    fs::remove_all(folder);
    return 0;
}
