#include "input/cd/simulated_drive.h"

#include <algorithm>
#include <cstring>
#include <thread>

#include "input/cd/track_buffer.h"

namespace kvt::cd {
namespace {

constexpr std::string_view kBusyText = ": デバイスは使用中です";
constexpr std::string_view kPermissionDeniedText = ": Permission denied";

constexpr uint8_t kInquiryAnswer[36] = {0x05, 0x80, 0x05, 0x02, 31,  0,   0,   0,    // CD-ROM, removable, 31 more bytes
                                        'K',  'V',  'T',  ' ',  ' ', ' ', ' ', ' ',  // vendor
                                        'S',  'I',  'M',  'U',  'L', 'A', 'T', 'E',
                                        'D',  ' ',  'C',  'D',  ' ', ' ', ' ', ' ',  // product
                                        '1',  '.',  '0',  ' '};                      // revision

uint32_t Lba(const uint8_t* cdb) {
    return uint32_t{cdb[2]} << 24 | uint32_t{cdb[3]} << 16 | uint32_t{cdb[4]} << 8 | cdb[5];
}

}  // namespace

class SimulatedHandle : public DeviceHandle {
public:
    explicit SimulatedHandle(SimulatedDrive& drive) : drive_(drive) { ++drive_.openHandles_; }
    ~SimulatedHandle() override { --drive_.openHandles_; }
    int Execute(const DeviceCommand& command) override { return drive_.Execute(command); }
    std::optional<ScsiAddress> QueryAddress() override { return std::nullopt; }

private:
    SimulatedDrive& drive_;
};

SimulatedDrive::SimulatedDrive(std::shared_ptr<const DiscImage> disc, std::string name)
    : disc_(std::move(disc)), name_(std::move(name)) {}

OpenResult SimulatedDrive::Open(bool) {
    std::lock_guard lock(mutex_);
    if (faults_.busy) return {nullptr, kDeviceBusy, name_ + std::string(kBusyText)};
    if (faults_.accessDenied)
        return {nullptr, kDeviceAccessDenied,
                name_ + std::string(kPermissionDeniedText) + std::string(kNotInCdromGroupText)};
    return {std::make_unique<SimulatedHandle>(*this), kDeviceOk, {}};
}

void SimulatedDrive::SetFaults(const SimulatedFaults& faults) {
    std::lock_guard lock(mutex_);
    faults_ = faults;
    jitterIndex_ = 0;
}

SimulatedFaults SimulatedDrive::Faults() const {
    std::lock_guard lock(mutex_);
    return faults_;
}

void SimulatedDrive::RecordCommands(bool on) {
    std::lock_guard lock(mutex_);
    record_ = on;
}

std::vector<RecordedCommand> SimulatedDrive::Commands() const {
    std::lock_guard lock(mutex_);
    return commands_;
}

void SimulatedDrive::ClearCommands() {
    std::lock_guard lock(mutex_);
    commands_.clear();
}

int SimulatedDrive::Execute(const DeviceCommand& command) {
    if (command.cdb.empty()) return kDeviceFailure;
    const uint8_t* cdb = command.cdb.data();
    std::unique_lock lock(mutex_);
    if (record_) {
        RecordedCommand recorded{{command.cdb.begin(), command.cdb.end()}, {}};
        if (command.direction == DataDirection::Out && command.data)
            recorded.parameters.assign(command.data, command.data + command.length);
        commands_.push_back(std::move(recorded));
    }
    if (faults_.hangCount > 0) {
        --faults_.hangCount;
        lock.unlock();
        std::this_thread::sleep_for(std::chrono::milliseconds(hangPerSecond_ * command.timeoutSeconds));
        return kDeviceTimeout;
    }
    if (faults_.readDelayMs > 0 && (cdb[0] == 0xBE || cdb[0] == 0x28 || cdb[0] == 0xD8 || cdb[0] == 0xD4)) {
        const auto delay = std::chrono::milliseconds(faults_.readDelayMs);
        lock.unlock();
        std::this_thread::sleep_for(delay);
        lock.lock();
    }
    if (cdb[0] != 0x12 && faults_.failCount > 0) {
        --faults_.failCount;
        return faults_.failError;
    }
    switch (cdb[0]) {
    case 0x12:  // INQUIRY
        if (command.direction != DataDirection::In || !command.data) return kDeviceFailure;
        std::memcpy(command.data, kInquiryAnswer, std::min<uint32_t>(command.length, sizeof kInquiryAnswer));
        return kDeviceOk;
    case 0x00:  // TEST UNIT READY
        return faults_.noDisc ? kDeviceNotReady : kDeviceOk;
    case 0x43:  // READ TOC
        return ReadToc(command);
    case 0x15:  // MODE SELECT(6)
        return ModeSelect(command);
    case 0xBE:  // READ CD
        if (command.cdb.size() < 12 || faults_.refuseReadCd) return kDeviceFailure;
        if (faults_.readCdUntouched && !faults_.noDisc) return kDeviceOk;
        return Read(command, Lba(cdb), uint32_t{cdb[6]} << 16 | uint32_t{cdb[7]} << 8 | cdb[8]);
    case 0x28:  // READ(10): raw frames only once the block length is 2352
        if (command.cdb.size() < 10 || blockLength_ != kFrameBytes) return kDeviceFailure;
        return Read(command, Lba(cdb), uint32_t{cdb[7]} << 8 | cdb[8]);
    case 0xD8:
        if (command.cdb.size() < 12 || !faults_.vendorReads) return kDeviceFailure;
        return Read(command, Lba(cdb), ReadBigEndian32(cdb + 6));
    case 0xD4:
        if (command.cdb.size() < 10 || !faults_.vendorReads) return kDeviceFailure;
        return Read(command, Lba(cdb), uint32_t{cdb[7]} << 8 | cdb[8]);
    default: return kDeviceFailure;
    }
}

int SimulatedDrive::ReadToc(const DeviceCommand& command) {
    if (faults_.noDisc) return kDeviceNotReady;
    if (command.direction != DataDirection::In || !command.data || command.cdb.size() < 10) return kDeviceFailure;
    std::vector<uint8_t> toc = disc_->Toc((command.cdb[1] & 0x02) != 0);
    const uint32_t allocation = uint32_t{command.cdb[7]} << 8 | command.cdb[8];
    std::memcpy(command.data, toc.data(), std::min<size_t>({toc.size(), allocation, command.length}));
    return kDeviceOk;
}

int SimulatedDrive::ModeSelect(const DeviceCommand& command) {
    const uint32_t listLength = command.cdb.size() >= 6 ? command.cdb[4] : 0;
    if (command.direction != DataDirection::Out || !command.data || command.length < listLength) return kDeviceFailure;
    const uint8_t* list = command.data;
    if (listLength >= 12 && list[3] >= 8) blockLength_ = uint32_t{list[9]} << 16 | uint32_t{list[10]} << 8 | list[11];
    return kDeviceOk;
}

int SimulatedDrive::Read(const DeviceCommand& command, uint32_t lba, uint32_t count) {
    if (faults_.noDisc) return kDeviceNotReady;
    if (command.direction != DataDirection::In || !command.data) return kDeviceFailure;
    if (uint64_t{count} * kFrameBytes > command.length) return kDeviceFailure;
    if (uint64_t{lba} + count > disc_->LeadOut()) return kDeviceFailure;
    ++readCommands_;
    int64_t jitter = 0;
    if (!faults_.jitterSamples.empty()) {
        jitter = faults_.jitterSamples[jitterIndex_ % faults_.jitterSamples.size()];
        ++jitterIndex_;
    }
    const int64_t offset = int64_t{lba} * kFrameBytes + jitter * 4;
    return disc_->ReadBytes(offset, count * kFrameBytes, command.data) ? kDeviceOk : kDeviceIoError;
}

}  // namespace kvt::cd
