#pragma once
// A CD drive that answers the SCSI commands the device layer sends from a disc image,
// with faults that can be switched on to try the error paths.

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "input/cd/disc_image.h"
#include "input/cd/drive_device.h"

namespace kvt::cd {

struct SimulatedFaults {
    bool refuseReadCd = false;     // READ CD answered with CHECK CONDITION
    bool readCdUntouched = false;  // READ CD "succeeds" without writing the buffer
    bool vendorReads = false;      // answers the 0xD8 and 0xD4 reads
    // Offsets in samples (4 bytes), one per read command in turn: where each read really
    // starts against where it was asked to (positive: late).
    std::vector<int> jitterSamples;
    int failError = 0;  // the next `failCount` commands other than INQUIRY end with this error
    int failCount = 0;
    bool busy = false;          // the device cannot be opened: in use elsewhere
    bool accessDenied = false;  // the device cannot be opened: no permission
    bool noDisc = false;
    int hangCount = 0;    // the next commands that never finish: each runs out its time-out
    int readDelayMs = 0;  // how long each read takes, as a real drive's speed would
};

struct RecordedCommand {
    std::vector<uint8_t> cdb;
    std::vector<uint8_t> parameters;  // the data of a command that sends data
};

class SimulatedDrive : public DriveDevice {
public:
    explicit SimulatedDrive(std::shared_ptr<const DiscImage> disc, std::string name = "simulated drive");

    std::string Name() const override { return name_; }
    OpenResult Open(bool writeAccess) override;

    void SetFaults(const SimulatedFaults& faults);
    SimulatedFaults Faults() const;
    // Commands are recorded (CDB and parameter list) only while this is on.
    void RecordCommands(bool on);
    std::vector<RecordedCommand> Commands() const;
    void ClearCommands();
    int OpenHandles() const { return openHandles_; }
    int ReadCommands() const { return readCommands_; }
    // A hung command waits this long for each second of its time-out.
    void SetHangScale(std::chrono::milliseconds perSecond) { hangPerSecond_ = perSecond.count(); }

    int Execute(const DeviceCommand& command);

private:
    friend class SimulatedHandle;
    int Read(const DeviceCommand& command, uint32_t lba, uint32_t count);
    int ReadToc(const DeviceCommand& command);
    int ModeSelect(const DeviceCommand& command);

    std::shared_ptr<const DiscImage> disc_;
    std::string name_;
    mutable std::mutex mutex_;
    SimulatedFaults faults_;
    size_t jitterIndex_ = 0;
    uint32_t blockLength_ = 2048;
    bool record_ = false;
    std::vector<RecordedCommand> commands_;
    std::atomic<int> openHandles_{0};
    std::atomic<int> readCommands_{0};
    std::atomic<long> hangPerSecond_{1000};
};

}  // namespace kvt::cd
