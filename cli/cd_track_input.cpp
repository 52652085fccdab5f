#include "cli/cd_track_input.h"

#include <atomic>
#include <chrono>
#include <future>
#include <mutex>
#include <thread>

#include "Module/General/General/GeneralFile.h"
#include "cli/console.h"
#include "input/cd/cda_path.h"
#include "input/cd/image_drive.h"
#include "input/cd/rip_controller.h"
#include "platform/cleanup_registry.h"
#include "platform/message.h"
#include "platform/paths.h"

namespace kvt::cli {

std::optional<std::string> CdImageValueProblem(const std::string& value) {
    if (cd::ParseCdImageChoice(value)) return std::nullopt;
    return "takes a drive letter and a cue sheet, as in D=disc.cue, not '" + value + "'";
}

std::optional<std::string> MountCdImage(const std::string& letterAndCue) {
    std::optional<cd::CdImageChoice> choice = cd::ParseCdImageChoice(letterAndCue);
    if (!choice) return "--cd-image " + *CdImageValueProblem(letterAndCue);
    if (auto problem = cd::InsertCdImage(*choice)) return "--cd-image: " + problem->text;
    return std::nullopt;
}

bool IsCdaPath(const std::string& path) {
    return GneGetExtension(path) == "cda";
}

std::optional<std::string> RipCdaInput(const std::string& cdaPath, const std::string& folder, Console& console) {
    const std::optional<cd::CdaTrack> track = cd::ParseCdaPath(cdaPath);
    if (!track) {
        ShowMessage(cd::kBadCdaPathText);
        return std::nullopt;
    }
    // The program rips one track at a time: a second StartRip would do nothing.
    static std::mutex oneRipAtATime;
    std::lock_guard lock(oneRipAtATime);
    // The ripping thread's messages concern this input.
    Console::SetRippingInput(cdaPath);
    const std::string wavPath = JoinPath(folder, cdaPath.substr(3, 7) + ".wav");  // "Track02.wav"
    std::promise<int> finished;
    std::future<int> result = finished.get_future();
    std::atomic<bool> ended{false};
    cd::RipController controller;
    // Interrupted, the rip is stopped and given a moment to end, so that the drive is closed
    // and its block length set back before the program goes.
    ExitAction stopOnExit([&controller, &ended] {
        controller.StopRip();
        for (int waited = 0; waited < 1000 && !ended; waited += 10)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    });
    controller.StartRip(
        [&finished, &ended](int ok) {
            finished.set_value(ok);
            ended = true;
        },
        track->driveIndex, track->trackIndex, wavPath);
    console.ShowRipProgress(0);
    while (result.wait_for(std::chrono::milliseconds(100)) != std::future_status::ready)
        console.ShowRipProgress(controller.Progress());
    controller.WaitRip();
    console.ShowRipProgress(-1);
    Console::SetRippingInput("");
    if (result.get() == 0) {
        ShowMessage(cd::kRipFailedText);
        return std::nullopt;
    }
    return wavPath;
}

}  // namespace kvt::cli
