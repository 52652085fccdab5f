#include "input/cd/cd_device_layer.h"

#include <algorithm>
#include <cstring>

namespace kvt::cd {
namespace {

constexpr uint8_t kSenseLength = 14;
constexpr uint8_t kFlagsDataIn = kSrbDataIn | kSrbEventNotify;  // 0x48

using Lock = std::unique_lock<ReentrantMutex>;

bool AllZero(const uint8_t* bytes, uint32_t count) {
    for (uint32_t i = 0; i < count; ++i)
        if (bytes[i] != 0) return false;
    return true;
}

void ClearBuffer(TrackBuffer& buffer) {
    buffer.firstLba = 0;
    buffer.frameCount = 0;
    buffer.validBytes = 0;
}

}  // namespace

DriveOpenRequest DriveOpenRequest::For(ScsiAddress address, uint8_t method, uint8_t compareFrames,
                                       uint8_t backUpFrames) {
    DriveOpenRequest request;
    request.bytes[2] = address.hostAdapter;
    request.bytes[3] = address.target;
    request.bytes[4] = address.lun;
    request.bytes[5] = method;
    request.bytes[6] = 1;
    request.bytes[10] = compareFrames;
    request.bytes[11] = backUpFrames;
    return request;
}

CdDeviceLayer::CdDeviceLayer(std::shared_ptr<CdBackEnd> backEnd) : backEnd_(std::move(backEnd)) {}

CdDeviceLayer::~CdDeviceLayer() {
    ShutdownCdAccess();
}

int CdDeviceLayer::InitCdAccess() {
    std::lock_guard lock(startMutex_);
    if (started_) return 1;
    // Without a drive every command is answered "no manager".
    backEndActive_ = backEnd_ && backEnd_->ProbeDrives() > 0;
    std::lock_guard table(tableMutex_);
    for (int i = 0; i < kSlotCount; ++i) slots_[i].inUse = false;
    nextSlot_ = 0;
    started_ = true;
    return 1;
}

void CdDeviceLayer::ShutdownCdAccess() {
    std::lock_guard lock(startMutex_);
    if (!started_) return;
    if (backEnd_) backEnd_->ReleaseDrives();
    backEndActive_ = false;
    for (Slot& slot : slots_) slot.inUse = false;
    started_ = false;
}

void CdDeviceLayer::SetWaitLimits(std::chrono::milliseconds slotMutex, std::chrono::milliseconds command) {
    slotMutexLimitMs_ = slotMutex.count();
    commandLimitMs_ = command.count();
}

std::optional<ScsiAddress> CdDeviceLayer::FindDriveAddress(int letterIndex) {
    return backEnd_ ? backEnd_->FindDriveAddress(letterIndex) : std::nullopt;
}

std::string CdDeviceLayer::DriveProblem(int letterIndex) {
    return backEnd_ ? backEnd_->DriveProblem(letterIndex) : std::string();
}

uint8_t CdDeviceLayer::Send(ScsiRequest& request) {
    if (!backEndActive_) return request.status = kSrbNoManager;
    return backEnd_->Command(request);
}

uint8_t CdDeviceLayer::Issue(const Slot& slot, uint8_t flags, std::span<const uint8_t> cdb, uint8_t* data,
                             uint32_t length) {
    CommandEvent event;
    ScsiRequest request;
    request.command = kSrbExecuteScsi;
    request.address = slot.address;
    request.flags = flags;
    request.dataLength = length;
    request.data = data;
    request.senseLength = kSenseLength;
    request.cdbLength = static_cast<uint8_t>(cdb.size());
    request.event = &event;
    std::memcpy(request.cdb, cdb.data(), std::min(cdb.size(), sizeof request.cdb));
    if (Send(request) == kSrbPending) event.WaitFor(std::chrono::milliseconds(commandLimitMs_.load()));
    return request.status;
}

CdDeviceLayer::Slot* CdDeviceLayer::UsedSlot(int handle) {
    if (handle < 1 || handle > kSlotCount) return nullptr;
    Slot& slot = slots_[handle - 1];
    return slot.inUse ? &slot : nullptr;
}

int CdDeviceLayer::OpenCdDrive(const DriveOpenRequest& open) {
    const uint8_t* bytes = open.bytes;
    if (bytes[1] != 1 || bytes[0] < 12) return 0;
    const ScsiAddress address{bytes[2], bytes[3], bytes[4]};
    std::lock_guard table(tableMutex_);
    for (const Slot& slot : slots_)
        if (slot.inUse && slot.address == address) return 0;  // the drive is busy

    ScsiRequest type;
    type.command = kSrbGetDeviceType;
    type.address = address;
    if (Send(type) != kSrbComplete || type.deviceType != kDeviceTypeCdRom) return 0;

    int free = -1;
    for (int i = 0; i < kSlotCount; ++i) {
        int index = (nextSlot_ + i) % kSlotCount;
        if (!slots_[index].inUse) {
            free = index;
            break;
        }
    }
    if (free < 0) return 0;

    Lock lock(slotMutexes_[free]);
    Slot& slot = slots_[free];
    slot.address = address;
    slot.msf = false;
    slot.setupDone = false;
    slot.restore = false;
    slot.spare = 0;
    slot.method = bytes[5];
    slot.routine = Routine::ReadCd;
    if (slot.method < 1 || slot.method > 8) {
        slot.method = 0;
        slot.routine = Routine::Detect;
    }
    slot.compareFrames = bytes[10];
    slot.backUpFrames = bytes[11];
    slot.inUse = true;
    nextSlot_ = free;
    if (backEndActive_) backEnd_->EnsureDeviceOpen(address);
    return free + 1;
}

bool CdDeviceLayer::SetCdOption(int handle, int code, int value) {
    Slot* slot = UsedSlot(handle);
    if (!slot) return false;
    Lock lock(slotMutexes_[handle - 1], std::chrono::milliseconds(slotMutexLimitMs_.load()));
    if (!lock.owns_lock()) return false;
    switch (code) {
    case kOptionMsf: slot->msf = value != 0; return true;
    case kOptionBackUpFrames: slot->backUpFrames = value; return true;
    case kOptionCompareFrames: slot->compareFrames = value; return true;
    case kOptionSpare: slot->spare = value; return true;
    default: return false;
    }
}

int CdDeviceLayer::ReadToc(int handle, uint8_t* toc) {
    Slot* slot = UsedSlot(handle);
    if (!slot) return kCdFailed;
    Lock lock(slotMutexes_[handle - 1], std::chrono::milliseconds(slotMutexLimitMs_.load()));
    if (!lock.owns_lock()) return kCdFailed;
    const uint8_t cdb[] = {0x43, static_cast<uint8_t>(slot->msf ? 0x02 : 0x00), 0, 0, 0, 0, 0, 0x03, 0x24, 0};
    return Issue(*slot, kFlagsDataIn, cdb, toc, kTocBytes) == kSrbComplete ? kCdOk : kCdFailed;
}

int CdDeviceLayer::ReadFrames(int handle, TrackBuffer& buffer) {
    Slot* slot = UsedSlot(handle);
    if (!slot) return kCdFailed;
    Lock lock(slotMutexes_[handle - 1], std::chrono::milliseconds(slotMutexLimitMs_.load()));
    if (!lock.owns_lock()) return kCdFailed;
    return RunRoutine(*slot, buffer);
}

int CdDeviceLayer::ReadFramesChecked(int handle, TrackBuffer& t, TrackBuffer& o) {
    Slot* slot = UsedSlot(handle);
    if (!slot) return kCdFailed;
    Lock lock(slotMutexes_[handle - 1], std::chrono::milliseconds(slotMutexLimitMs_.load()));
    if (!lock.owns_lock()) return kCdFailed;

    const uint32_t c = static_cast<uint32_t>(std::max(slot->compareFrames, 0));
    const uint32_t b = static_cast<uint32_t>(std::max(slot->backUpFrames, 0));
    const uint32_t compareBytes = c * kFrameBytes;
    const bool overlapFits = o.capacity / kFrameBytes >= c;
    const bool checkPossible = overlapFits && o.validBytes != 0 && !AllZero(o.Valid(), o.validBytes);
    if (checkPossible && o.firstLba != 0 && o.frameCount != 0 && o.validBytes != 0) {
        if (o.firstLba + c == t.firstLba) {
            t.firstLba -= std::min(b, t.firstLba);
            if (t.frameCount < b && (t.frameCount + b) * kFrameBytes <= t.capacity) t.frameCount += b;
        } else {
            ClearBuffer(o);
        }
    }

    int result = RunRoutine(*slot, t);
    if (result != kCdOk) return result;

    if (o.validBytes != 0 && overlapFits && compareBytes > 0 && !AllZero(o.Valid(), o.validBytes)) {
        // The frame kept from the previous read marks where the new frames begin.
        bool matched = false;
        const int64_t last = int64_t{t.validBytes} - compareBytes;
        for (int64_t i = 0; i < last; ++i) {
            if (std::memcmp(t.Valid() + i, o.Valid(), compareBytes) == 0) {
                t.dataOffset += static_cast<int32_t>(i + compareBytes);
                t.validBytes -= static_cast<uint32_t>(i + compareBytes);
                t.firstLba = o.firstLba + c;
                matched = true;
                break;
            }
        }
        t.frameCount = t.validBytes / kFrameBytes;
        t.validBytes = t.frameCount * kFrameBytes;
        if (!matched) return kCdFailed;
    }

    if (!overlapFits || t.frameCount < c) {
        ClearBuffer(o);
    } else {
        std::memcpy(o.data.get(), t.Valid() + (t.frameCount - c) * kFrameBytes, compareBytes);
        o.firstLba = t.firstLba + t.frameCount - c;
        o.frameCount = c;
        o.validBytes = compareBytes;
        o.dataOffset = 0;
    }
    return kCdOk;
}

int CdDeviceLayer::CloseCdDrive(int handle) {
    Slot* slot = UsedSlot(handle);
    if (!slot) return 0;
    Lock lock(slotMutexes_[handle - 1], std::chrono::milliseconds(slotMutexLimitMs_.load()));
    if (!lock.owns_lock()) return 0;
    if (slot->restore) RestoreSectorSize(*slot);
    slot->address = {};
    slot->method = 0;
    slot->msf = false;
    slot->setupDone = false;
    slot->restore = false;
    slot->compareFrames = slot->backUpFrames = slot->spare = 0;
    slot->inUse = false;
    return 1;
}

int CdDeviceLayer::ReadMethod(int handle) const {
    if (handle < 1 || handle > kSlotCount || !slots_[handle - 1].inUse) return -1;
    std::lock_guard lock(slotMutexes_[handle - 1]);
    return slots_[handle - 1].method;
}

}  // namespace kvt::cd
