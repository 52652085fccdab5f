#pragma once
// Rips one CD track into a 44100 Hz 16-bit stereo WAV file on a worker thread, with its
// progress readable from any thread and a notice when it is done.

#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "input/cd/cd_device_layer.h"

namespace kvt::cd {

// The finish notice: 1 when the track (or the part read before a stop or a read failure)
// is in the file, 0 after a failure the user has been told about. Called on the ripping
// thread; the window forwards it to its own thread.
using RipFinished = std::function<void(int result)>;

inline constexpr std::string_view kRipFailedText = "リッピングは異常終了しました。";
inline constexpr std::string_view kNotCdDriveText = "CD-ROMドライブではありません。";
inline constexpr std::string_view kNoDiscText = "CDがセットされていません。";
inline constexpr std::string_view kWaveNotCreatedText = "WAVファイルの作成に失敗しました。";

class RipController {
public:
    explicit RipController(CdDeviceLayer& layer = SystemCdAccess());
    // Stops a running rip and waits for it like WaitRip; a thread still reading after
    // that is left to finish on its own and no longer notifies.
    virtual ~RipController();
    RipController(const RipController&) = delete;
    RipController& operator=(const RipController&) = delete;

    // Does nothing while this controller's rip is in progress.
    void StartRip(RipFinished notify, int driveIndex, int trackIndex, std::string outputPath);
    // Frames done / frames total while a rip is in progress, else 0.
    double Progress() const;
    // This controller's rip ends after the read in progress and keeps what was read.
    void StopRip();
    // Waits up to 1000 ms for the thread to end; true when it has.
    bool WaitRip();

    // This controller's rip is in progress.
    bool Running() const;

    struct Shared;

private:
    CdDeviceLayer& layer_;
    std::thread thread_;
    std::shared_ptr<Shared> shared_;
};

}  // namespace kvt::cd
