#pragma once
// An optical drive as the operating system offers it: a device that can be opened and
// that runs one SCSI command at a time. The Linux drives (/dev/sr*) and the simulated
// drive both have this shape, so the pass-through back end runs either.

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "input/cd/scsi_request.h"

namespace kvt::cd {

// Outcome of a device call, in the error numbering the back end's retry rules use.
enum DeviceError : int {
    kDeviceOk = 0,
    kDeviceAccessDenied = 5,     // EACCES, EPERM
    kDeviceInvalidHandle = 6,    // EBADF, ENODEV
    kDeviceNotReady = 21,        // NOT READY sense other than a medium change
    kDeviceFailure = 31,         // the drive refused the command (CHECK CONDITION)
    kDeviceBusy = 170,           // EBUSY
    kDeviceMediaChanged = 1110,  // ENOMEDIUM, UNIT ATTENTION "medium may have changed"
    kDeviceIoError = 1117,       // EIO, a failed transport
    kDeviceTimeout = 1460,       // the command did not finish in its time
};

enum class DataDirection { None, In, Out };

// Follows the reason a drive could not be opened for lack of permission.
inline constexpr std::string_view kNotInCdromGroupText =
    "（このユーザーが cdrom グループに入っていない可能性があります）";

struct DeviceCommand {
    std::span<const uint8_t> cdb;
    DataDirection direction = DataDirection::None;
    uint8_t* data = nullptr;
    uint32_t length = 0;
    int timeoutSeconds = 5;
};

class DeviceHandle {
public:
    virtual ~DeviceHandle() = default;
    virtual int Execute(const DeviceCommand& command) = 0;
    // The drive's SCSI address as the system numbers it; nothing when it cannot tell.
    virtual std::optional<ScsiAddress> QueryAddress() = 0;
};

struct OpenResult {
    std::unique_ptr<DeviceHandle> handle;
    int error = kDeviceOk;
    std::string reason;  // why the open failed, for the user
};

class DriveDevice {
public:
    virtual ~DriveDevice() = default;
    virtual std::string Name() const = 0;  // "/dev/sr0"
    virtual OpenResult Open(bool writeAccess) = 0;
};

}  // namespace kvt::cd
