#pragma once
// What the CD device layer needs from whatever carries its commands to the drives.

#include <optional>
#include <string>

#include "input/cd/scsi_request.h"

namespace kvt::cd {

class CdBackEnd {
public:
    virtual ~CdBackEnd() = default;
    // Finds the drives; 0 leaves the back end inactive.
    virtual int ProbeDrives() = 0;
    virtual std::optional<ScsiAddress> FindDriveAddress(int letterIndex) = 0;
    virtual void EnsureDeviceOpen(ScsiAddress address) = 0;
    // Runs one request block and returns its status (kSrbPending if it completes later
    // and signals the block's event).
    virtual uint8_t Command(ScsiRequest& request) = 0;
    virtual void ReleaseDrives() = 0;
    // A line for the user on why the drive at this letter could not be used; empty when
    // there is nothing to say.
    virtual std::string DriveProblem(int /*letterIndex*/) const { return {}; }
};

}  // namespace kvt::cd
