#include "input/cd/rip_controller.h"

#include <chrono>

#include "input/cd/cd_reader.h"
#include "input/wave_writer.h"
#include "platform/message.h"

namespace kvt::cd {

namespace {

constexpr auto kWaitLimit = std::chrono::milliseconds(1000);
constexpr std::string_view kNoFileNameText = "ファイル名が指定されていません。";
constexpr std::string_view kWaveNotClosedText = "WAVファイルのクローズに失敗しました。";

}  // namespace

struct RipController::Shared {
    std::mutex mutex;
    std::condition_variable ended;
    bool finished = false;
    RipFinished notify;
    int driveIndex = 0;
    int trackIndex = 0;
    std::string outputPath;
    std::atomic<int> framesDone{0};
    std::atomic<int> framesTotal{1};
    // This controller's rip: a stop of one rip leaves the others (another drive, the window
    // beside a kvt-convert job in one process) running.
    std::atomic<bool> running{false};
};

namespace {

void Reset(RipController::Shared& shared) {
    shared.framesTotal = 1;
    shared.framesDone = 0;
    shared.running = false;
}

// Reads the track into the file; 1 on success (also after a stop or a read failure part
// way), 0 after a failure that has been shown.
int RipTrack(RipController::Shared& shared, CdDeviceLayer& layer) {
    if (shared.outputPath.empty()) {
        ShowMessage(kNoFileNameText);
        return 0;
    }
    CdReader reader(layer);
    if (!reader.Open(shared.driveIndex)) {
        std::string text(kNotCdDriveText);
        std::string problem = layer.DriveProblem(shared.driveIndex);
        if (!problem.empty()) text += "\n" + problem;
        ShowMessage(text);
        return 0;
    }
    if (!reader.SelectTrack(shared.trackIndex)) {
        ShowMessage(kNoDiscText);
        return 0;
    }
    shared.framesTotal = std::max(reader.TrackLength(), 1);
    shared.framesDone = 0;
    WaveWriter writer;
    if (!writer.Open(shared.outputPath, 44100, 16, 2).Ok()) {
        (void)writer.Close();
        ShowMessage(kWaveNotCreatedText);
        return 0;
    }
    bool written = true;
    while (shared.running) {
        std::span<const uint8_t> chunk = reader.ReadNext();
        if (chunk.empty()) break;
        shared.framesDone = reader.Position();
        // A file that cannot take the samples would only repeat the writer's message for
        // every chunk and end as a track with a hole: stop at the first failure.
        if (!writer.Write(chunk.data(), chunk.size()).Ok()) {
            written = false;
            break;
        }
    }
    if (!writer.Close().Ok()) {
        ShowMessage(kWaveNotClosedText);
        return 0;
    }
    return written ? 1 : 0;
}

}  // namespace

RipController::RipController(CdDeviceLayer& layer) : layer_(layer), shared_(std::make_shared<Shared>()) {}

RipController::~RipController() {
    if (!thread_.joinable()) return;
    StopRip();
    if (WaitRip()) return;
    {
        std::lock_guard lock(shared_->mutex);
        shared_->notify = nullptr;
    }
    thread_.detach();
}

bool RipController::Running() const {
    return shared_->running;
}

void RipController::StartRip(RipFinished notify, int driveIndex, int trackIndex, std::string outputPath) {
    if (Running()) return;
    // A finished rip's thread, or one ending its last read after a stop, ends before the
    // next rip begins.
    if (thread_.joinable()) thread_.join();

    shared_ = std::make_shared<Shared>();
    // Set here rather than on the new thread, so that Running() holds from this call on.
    shared_->running = true;
    shared_->notify = std::move(notify);
    shared_->driveIndex = driveIndex;
    shared_->trackIndex = trackIndex;
    shared_->outputPath = std::move(outputPath);
    thread_ = std::thread([shared = shared_, &layer = layer_] {
        int result = RipTrack(*shared, layer);
        Reset(*shared);
        std::lock_guard lock(shared->mutex);
        if (shared->notify) shared->notify(result);
        shared->finished = true;
        shared->ended.notify_all();
    });
}

double RipController::Progress() const {
    if (!shared_->running) return 0.0;
    const int total = shared_->framesTotal;
    return total > 0 ? static_cast<double>(shared_->framesDone) / total : 0.0;
}

void RipController::StopRip() {
    shared_->running = false;
}

bool RipController::WaitRip() {
    if (!thread_.joinable()) return true;
    std::unique_lock lock(shared_->mutex);
    if (!shared_->ended.wait_for(lock, kWaitLimit, [this] { return shared_->finished; })) return false;
    lock.unlock();
    thread_.join();
    return true;
}

}  // namespace kvt::cd
