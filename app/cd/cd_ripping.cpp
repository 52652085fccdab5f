#include "app/cd/cd_ripping.h"

#include <cerrno>
#include <cstring>

#include "app/cd/cd_track_places.h"
#include "app/main_window/main_window.h"
#include "input/cd/cda_path.h"
#include "platform/message.h"
#include "platform/paths.h"

namespace kvt {

CdRipping::CdRipping(CMFCzorvikDlg& window, cd::CdDeviceLayer& layer) : window_(window), controller_(layer) {
    connect(&timer5_, &QTimer::timeout, this, [this] { window_.ShowRipProgress(controller_.Progress()); });
    window_.SetRipStarter([this](const std::string& chosen) { Start(chosen); });
    window_.SetRipStopper([this] { StopAndWait(); });
}

CdRipping::~CdRipping() {
    StopAndWait();
    window_.SetRipStarter(nullptr);
    window_.SetRipStopper(nullptr);
}

void CdRipping::Start(const std::string& chosen) {
    const std::optional<cd::CdaTrack> track = cd::ParseCdaPath(CdaPathFromChosen(chosen));
    if (!track) {
        ShowMessage(cd::kBadCdaPathText);
        return;
    }
    if (controller_.Running()) return;
    std::optional<std::string> temporary = CreateTemporaryFile();
    if (!temporary) {
        ShowMessage(std::string(cd::kWaveNotCreatedText) + "\n" + TemporaryFolder() + ": " + std::strerror(errno));
        window_.RipFinished(false);
        return;
    }
    window_.BeginRip(*temporary);
    // Called on the ripping thread; the controller's destructor ends the calls before `this` goes.
    controller_.StartRip(
        [this](int result) {
            QMetaObject::invokeMethod(
                this, [this, result] { Finished(result); }, Qt::QueuedConnection);
        },
        track->driveIndex, track->trackIndex, *temporary);
    timer5_.start(100);
}

void CdRipping::Finished(int result) {
    timer5_.stop();
    window_.RipFinished(result != 0);
}

void CdRipping::StopAndWait() {
    timer5_.stop();
    controller_.StopRip();
    controller_.WaitRip();
}

}  // namespace kvt
