// The eight ways of reading raw audio frames, the sector-size setups some of them need,
// and the detection that finds the first one a drive answers with real data.

#include <cstring>

#include "input/cd/cd_device_layer.h"

namespace kvt::cd {
namespace {

constexpr uint8_t kFlagsDataIn = kSrbDataIn | kSrbEventNotify;          // 0x48
constexpr uint8_t kFlagsModeSelect = kSrbEventNotify;                   // 0x40
constexpr uint8_t kFlagsRestore = kSrbEventNotify | kSrbResidualCount;  // 0x44

constexpr int kDetectionOrder[] = {2, 1, 8, 4, 5, 6, 7};
constexpr int kTestReadsPerMethod = 3;
constexpr uint8_t kUntouchedByte = 0xAA;
constexpr int kUntouchedWordRun = 8;  // words of 0xAAAAAAAA in a row: the drive wrote nothing

// MODE SELECT(6) commands and their parameter lists: 4-byte header, 8-byte block
// descriptor (density, 3 bytes of block count, reserved, 3 bytes of block length), page.
constexpr uint8_t kSelect12[] = {0x15, 0x00, 0x00, 0x00, 0x0C, 0x00};
constexpr uint8_t kSelectPages[] = {0x15, 0x10, 0x00, 0x00, 0x14, 0x00};
constexpr uint8_t kSelectShort[] = {0x15, 0x10, 0x00, 0x00, 0x08, 0x00};

constexpr uint8_t kSetupA[] = {0x00, 0x00, 0x00, 0x08, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x09, 0x30};
constexpr uint8_t kSetupBVendorPage[] = {0x00, 0x00, 0x00, 0x08, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
                                         0x09, 0x30, 0x23, 0x06, 0x00, 0x00, 0x00, 0x00, 0x00, 0x80};
constexpr uint8_t kSetupBRecoveryPage[] = {0x00, 0x00, 0x00, 0x08, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
                                           0x09, 0x30, 0x01, 0x06, 0x20, 0x07, 0x00, 0x00, 0x00, 0x00};
// No block descriptor length in the header; the CDB announces 8 of these 12 bytes.
constexpr uint8_t kSetupC[] = {0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x09, 0x30};
// Back to 2048-byte blocks, density 0x53.
constexpr uint8_t kRestore[] = {0x00, 0x00, 0x00, 0x08, 0x53, 0x00, 0x00, 0x00, 0x00, 0x00, 0x08, 0x00};

uint8_t LbaByte(uint32_t lba, int shift) {
    return static_cast<uint8_t>(lba >> shift);
}

bool Untouched(const TrackBuffer& buffer) {
    int run = 0;
    const uint8_t* bytes = buffer.Valid();
    for (uint32_t i = 0; i + 4 <= buffer.validBytes; i += 4) {
        bool marker = bytes[i] == kUntouchedByte && bytes[i + 1] == kUntouchedByte && bytes[i + 2] == kUntouchedByte &&
                      bytes[i + 3] == kUntouchedByte;
        run = marker ? run + 1 : 0;
        if (run >= kUntouchedWordRun) return true;
    }
    return false;
}

}  // namespace

CdDeviceLayer::Routine CdDeviceLayer::RoutineOf(int method) {
    switch (method) {
    case 1:
    case 2: return Routine::ReadCd;
    case 3:
    case 4:
    case 8: return Routine::Read10;
    case 5: return Routine::Vendor8;
    case 6:
    case 7: return Routine::Vendor4;
    default: return Routine::Detect;
    }
}

int CdDeviceLayer::RunRoutine(Slot& slot, TrackBuffer& buffer) {
    switch (slot.routine) {
    case Routine::Detect: return DetectReadMethod(slot, buffer);
    case Routine::ReadCd: return ReadCd(slot, buffer);
    case Routine::Read10: return Read10(slot, buffer);
    case Routine::Vendor8: return VendorRead(slot, buffer, 0xD8);
    case Routine::Vendor4: return VendorRead(slot, buffer, 0xD4);
    }
    return kCdFailed;
}

int CdDeviceLayer::DetectReadMethod(Slot& slot, TrackBuffer& buffer) {
    if (uint64_t{buffer.frameCount} * kFrameBytes > buffer.capacity) return kCdFailed;
    int result = kCdFailed;
    for (int method : kDetectionOrder) {
        slot.method = static_cast<uint8_t>(method);
        slot.routine = RoutineOf(method);
        slot.restore = false;
        slot.setupDone = false;
        for (int attempt = 0; attempt < kTestReadsPerMethod; ++attempt) {
            result = TestRead(slot, buffer);
            if (result == kCdOk) return kCdOk;
        }
    }
    slot.method = 0;
    slot.routine = Routine::Detect;
    return result;
}

int CdDeviceLayer::TestRead(Slot& slot, TrackBuffer& buffer) {
    std::memset(buffer.data.get(), kUntouchedByte, size_t{buffer.frameCount} * kFrameBytes);
    int result = RunRoutine(slot, buffer);
    if (result != kCdOk) return result;
    return Untouched(buffer) ? kCdFailed : kCdOk;
}

int CdDeviceLayer::IssueRead(Slot& slot, TrackBuffer& buffer, std::span<const uint8_t> cdb, uint32_t length) {
    if (Issue(slot, kFlagsDataIn, cdb, buffer.data.get(), length) != kSrbComplete) return kCdFailed;
    buffer.dataOffset = 0;
    buffer.readStatus = 1;
    buffer.validBytes = buffer.frameCount * kFrameBytes;
    return kCdOk;
}

int CdDeviceLayer::ReadCd(Slot& slot, TrackBuffer& buffer) {
    if (uint64_t{buffer.frameCount} * kFrameBytes > buffer.capacity) return kCdFailed;
    const uint32_t lba = buffer.firstLba;
    const uint8_t fields = slot.method == 1 ? 0x10 : 0xF0;  // user data / sync to EDC-ECC
    const uint8_t cdb[] = {
        0xBE,   0, 0, LbaByte(lba, 16), LbaByte(lba, 8), LbaByte(lba, 0), 0, 0, static_cast<uint8_t>(buffer.frameCount),
        fields, 0, 0};
    return IssueRead(slot, buffer, cdb, buffer.capacity);
}

int CdDeviceLayer::Read10(Slot& slot, TrackBuffer& buffer) {
    if (uint64_t{buffer.frameCount} * kFrameBytes > buffer.capacity) return kCdFailed;
    if (!slot.setupDone) {
        if (!SetupSectorSize(slot)) return kCdFailed;
        slot.setupDone = true;
    }
    const uint32_t lba = buffer.firstLba;
    const uint8_t cdb[] = {
        0x28, static_cast<uint8_t>(slot.address.lun << 5), 0, LbaByte(lba, 16), LbaByte(lba, 8), LbaByte(lba, 0), 0,
        0,    static_cast<uint8_t>(buffer.frameCount),     0};
    return IssueRead(slot, buffer, cdb, buffer.capacity);
}

int CdDeviceLayer::VendorRead(Slot& slot, TrackBuffer& buffer, uint8_t opcode) {
    if (uint64_t{buffer.frameCount} * kFrameBytes > buffer.capacity) return kCdFailed;
    const uint32_t lba = buffer.firstLba;
    const uint8_t count = static_cast<uint8_t>(buffer.frameCount);
    if (opcode == 0xD8) {
        const uint8_t cdb[] = {0xD8, 0, 0, LbaByte(lba, 16), LbaByte(lba, 8), LbaByte(lba, 0), 0, 0, 0, count, 0, 0};
        return IssueRead(slot, buffer, cdb, buffer.frameCount * kFrameBytes);
    }
    if (!slot.setupDone) {
        if (slot.method == 7) ModeSelect(slot, kSelectShort, kSetupC, kFlagsModeSelect);
        slot.setupDone = true;
    }
    const uint8_t cdb[] = {0xD4, 0, 0, LbaByte(lba, 16), LbaByte(lba, 8), LbaByte(lba, 0), 0, 0, count, 0};
    return IssueRead(slot, buffer, cdb, buffer.capacity);
}

bool CdDeviceLayer::ModeSelect(const Slot& slot, std::span<const uint8_t> cdb, std::span<const uint8_t> list,
                               uint8_t flags) {
    uint8_t parameters[20];
    std::memcpy(parameters, list.data(), list.size());
    return Issue(slot, flags, cdb, parameters, static_cast<uint32_t>(list.size())) == kSrbComplete;
}

bool CdDeviceLayer::SetupSectorSize(Slot& slot) {
    if (slot.method == 8) {
        if (!ModeSelect(slot, kSelectPages, kSetupBVendorPage, kFlagsModeSelect)) return false;
        if (!ModeSelect(slot, kSelectPages, kSetupBRecoveryPage, kFlagsModeSelect)) return false;
    } else if (!ModeSelect(slot, kSelect12, kSetupA, kFlagsModeSelect)) {
        return false;
    }
    slot.restore = true;
    return true;
}

void CdDeviceLayer::RestoreSectorSize(Slot& slot) {
    slot.setupDone = false;
    ModeSelect(slot, kSelect12, kRestore, kFlagsRestore);
}

}  // namespace kvt::cd
