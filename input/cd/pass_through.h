#pragma once
// The pass-through back end: one table entry per drive letter, INQUIRY answered from a
// cache, every other SCSI command run on the drive's device, and a re-open and one retry
// for the device errors that a re-open can cure.

#include <array>
#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "input/cd/cd_back_end.h"
#include "input/cd/drive_device.h"

namespace kvt::cd {

inline constexpr int kDriveLetters = 26;
using DriveLetters = std::array<std::shared_ptr<DriveDevice>, kDriveLetters>;

inline constexpr int kInquiryCacheBytes = 36;
inline constexpr int kRetryLimit = 5;  // 1117/5 retries in a row before one is refused

class PassThroughBackEnd : public CdBackEnd {
public:
    // `drives` tells, at each probe, which device sits at which letter.
    explicit PassThroughBackEnd(std::function<DriveLetters()> drives);
    ~PassThroughBackEnd() override;

    int ProbeDrives() override;
    std::optional<ScsiAddress> FindDriveAddress(int letterIndex) override;
    void EnsureDeviceOpen(ScsiAddress address) override;
    uint8_t Command(ScsiRequest& request) override;
    void ReleaseDrives() override;
    std::string DriveProblem(int letterIndex) const override;

    bool Active() const { return active_; }

private:
    struct Entry {
        ScsiAddress address;
        int letterIndex = -1;  // -1: never probed
        bool present = false;
        std::unique_ptr<DeviceHandle> handle;
        uint8_t inquiry[kInquiryCacheBytes] = {};
        std::shared_ptr<DriveDevice> device;
        std::string problem;
    };

    bool ProbeLetter(int letterIndex);
    OpenResult OpenDevice(Entry& entry);
    Entry* FindPresent(ScsiAddress address);
    uint8_t Execute(ScsiRequest& request, bool retry);

    std::function<DriveLetters()> drives_;
    std::array<Entry, kDriveLetters> table_;
    mutable std::recursive_mutex mutex_;
    int retryCount_ = 0;
    std::atomic<bool> active_{false};
};

}  // namespace kvt::cd
