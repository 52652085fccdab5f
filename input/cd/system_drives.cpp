// The program's CD device layer over the machine's drives and any registered simulation.

#include <mutex>

#include "input/cd/cd_device_layer.h"
#include "input/cd/pass_through.h"
#include "input/cd/sg_drive.h"

namespace kvt::cd {
namespace {

constexpr int kFirstOpticalLetter = 3;  // D:

std::mutex registeredMutex;
DriveLetters registered;

DriveLetters SystemDrives() {
    DriveLetters letters;
    int letter = kFirstOpticalLetter;
    for (auto& drive : ListOpticalDrives()) {
        if (letter >= kDriveLetters) break;
        letters[letter++] = std::move(drive);
    }
    std::lock_guard lock(registeredMutex);
    for (int i = 0; i < kDriveLetters; ++i)
        if (registered[i]) letters[i] = registered[i];
    return letters;
}

}  // namespace

void RegisterDriveAtLetter(int letterIndex, std::shared_ptr<DriveDevice> device) {
    if (letterIndex < 0 || letterIndex >= kDriveLetters) return;
    std::lock_guard lock(registeredMutex);
    registered[letterIndex] = std::move(device);
}

CdDeviceLayer& SystemCdAccess() {
    static CdDeviceLayer layer(std::make_shared<PassThroughBackEnd>(SystemDrives));
    return layer;
}

}  // namespace kvt::cd
