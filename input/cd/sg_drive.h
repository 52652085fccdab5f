#pragma once
// The machine's optical drives (/dev/sr0, /dev/sr1, …) driven through Linux SG_IO.

#include <memory>
#include <string>
#include <vector>

#include "input/cd/drive_device.h"

namespace kvt::cd {

// Every /dev/srN in the order of N.
std::vector<std::shared_ptr<DriveDevice>> ListOpticalDrives(const std::string& deviceFolder = "/dev");

std::shared_ptr<DriveDevice> MakeSgDrive(std::string path);

// How SG_IO's outcome maps onto DeviceError: the ioctl's errno (0 when it returned), the
// transport's host and driver status, the SCSI status and the fixed-format sense bytes.
int MapSgOutcome(int ioctlErrno, int hostStatus, int driverStatus, int scsiStatus, const uint8_t* sense,
                 int senseLength);

int MapOpenErrno(int error);

}  // namespace kvt::cd
