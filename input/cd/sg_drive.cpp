#include "input/cd/sg_drive.h"

#include <fcntl.h>
#include <scsi/scsi.h>
#include <scsi/scsi_ioctl.h>
#include <scsi/sg.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>

namespace kvt::cd {
namespace {

constexpr int kDriverTimeout = 0x06;  // DRIVER_TIMEOUT
constexpr int kHostTimeout = 0x03;    // DID_TIME_OUT
constexpr int kCheckCondition = 0x02;
constexpr uint8_t kSenseNotReady = 0x02;
constexpr uint8_t kSenseUnitAttention = 0x06;
constexpr uint8_t kAscMediumMayHaveChanged = 0x28;

class SgHandle : public DeviceHandle {
public:
    explicit SgHandle(int fd) : fd_(fd) {}
    ~SgHandle() override { close(fd_); }

    int Execute(const DeviceCommand& command) override {
        sg_io_hdr_t header{};
        uint8_t sense[32] = {};
        header.interface_id = 'S';
        header.cmd_len = static_cast<unsigned char>(command.cdb.size());
        header.cmdp = const_cast<unsigned char*>(command.cdb.data());
        header.mx_sb_len = sizeof sense;
        header.sbp = sense;
        header.dxfer_len = command.length;
        header.dxferp = command.data;
        header.timeout = static_cast<unsigned>(command.timeoutSeconds) * 1000;
        switch (command.direction) {
        case DataDirection::In: header.dxfer_direction = SG_DXFER_FROM_DEV; break;
        case DataDirection::Out: header.dxfer_direction = SG_DXFER_TO_DEV; break;
        case DataDirection::None:
            header.dxfer_direction = SG_DXFER_NONE;
            header.dxfer_len = 0;
            header.dxferp = nullptr;
            break;
        }
        int result;
        do {
            result = ioctl(fd_, SG_IO, &header);
        } while (result < 0 && errno == EINTR);
        return MapSgOutcome(result < 0 ? errno : 0, header.host_status, header.driver_status, header.status, sense,
                            header.sb_len_wr);
    }

    std::optional<ScsiAddress> QueryAddress() override {
        sg_scsi_id id{};
        if (ioctl(fd_, SG_GET_SCSI_ID, &id) == 0)
            return ScsiAddress{static_cast<uint8_t>(id.host_no), static_cast<uint8_t>(id.scsi_id),
                               static_cast<uint8_t>(id.lun)};
        // The sr driver answers the older query instead: id, lun, channel, host in one word.
        int idLun[2] = {};
        if (ioctl(fd_, SCSI_IOCTL_GET_IDLUN, idLun) == 0)
            return ScsiAddress{static_cast<uint8_t>(idLun[0] >> 24), static_cast<uint8_t>(idLun[0]),
                               static_cast<uint8_t>(idLun[0] >> 8)};
        return std::nullopt;
    }

private:
    int fd_;
};

std::string OpenFailureReason(const std::string& path, int error) {
    std::string reason = path + ": " + std::strerror(error);
    if (error == EACCES || error == EPERM) reason += kNotInCdromGroupText;
    return reason;
}

class SgDrive : public DriveDevice {
public:
    explicit SgDrive(std::string path) : path_(std::move(path)) {}
    std::string Name() const override { return path_; }

    OpenResult Open(bool writeAccess) override {
        int fd = open(path_.c_str(), (writeAccess ? O_RDWR : O_RDONLY) | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) {
            int error = errno;
            return {nullptr, MapOpenErrno(error), OpenFailureReason(path_, error)};
        }
        return {std::make_unique<SgHandle>(fd), kDeviceOk, {}};
    }

private:
    std::string path_;
};

// "sr12" → 12; anything else → -1.
int SrNumber(const std::string& name) {
    if (name.size() < 3 || name.compare(0, 2, "sr") != 0) return -1;
    int number = 0;
    for (size_t i = 2; i < name.size(); ++i) {
        if (name[i] < '0' || name[i] > '9' || number > 9999) return -1;
        number = number * 10 + (name[i] - '0');
    }
    return number;
}

}  // namespace

int MapOpenErrno(int error) {
    switch (error) {
    case EACCES:
    case EPERM:
    case EROFS: return kDeviceAccessDenied;
    case ENOMEDIUM: return kDeviceMediaChanged;
    case EBADF:
    case ENODEV:
    case ENXIO:
    case ENOENT: return kDeviceInvalidHandle;
    case EBUSY: return kDeviceBusy;
    default: return kDeviceIoError;
    }
}

int MapSgOutcome(int ioctlErrno, int hostStatus, int driverStatus, int scsiStatus, const uint8_t* sense,
                 int senseLength) {
    if (ioctlErrno != 0) {
        switch (ioctlErrno) {
        case EACCES:
        case EPERM: return kDeviceAccessDenied;
        case ENOMEDIUM: return kDeviceMediaChanged;
        case EBADF:
        case ENODEV: return kDeviceInvalidHandle;
        case EIO: return kDeviceIoError;
        default: return kDeviceFailure;
        }
    }
    if (hostStatus == kHostTimeout || (driverStatus & 0x0F) == kDriverTimeout) return kDeviceTimeout;
    if (hostStatus != 0) return kDeviceIoError;
    if ((scsiStatus & 0x3E) == 0 && (driverStatus & 0x0F) == 0) return kDeviceOk;
    if ((scsiStatus & 0x3E) == kCheckCondition || (driverStatus & 0x08) != 0) {
        if (senseLength >= 14 && (sense[0] & 0x7E) == 0x70) {
            uint8_t key = sense[2] & 0x0F;
            if (key == kSenseUnitAttention && sense[12] == kAscMediumMayHaveChanged) return kDeviceMediaChanged;
            if (key == kSenseNotReady) return kDeviceNotReady;
        }
        return kDeviceFailure;
    }
    return kDeviceIoError;
}

std::shared_ptr<DriveDevice> MakeSgDrive(std::string path) {
    return std::make_shared<SgDrive>(std::move(path));
}

std::vector<std::shared_ptr<DriveDevice>> ListOpticalDrives(const std::string& deviceFolder) {
    std::vector<std::pair<int, std::string>> found;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(deviceFolder, error)) {
        int number = SrNumber(entry.path().filename().string());
        if (number >= 0) found.emplace_back(number, entry.path().string());
    }
    std::sort(found.begin(), found.end());
    std::vector<std::shared_ptr<DriveDevice>> drives;
    for (auto& [number, path] : found) drives.push_back(MakeSgDrive(std::move(path)));
    return drives;
}

}  // namespace kvt::cd
