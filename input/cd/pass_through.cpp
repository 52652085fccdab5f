#include "input/cd/pass_through.h"

#include <algorithm>
#include <cstring>

namespace kvt::cd {
namespace {

constexpr std::string_view kNoInquiryAnswerText = ": INQUIRY に応答がありません";

constexpr int kFirstProbedLetter = 2;  // C: — A: and B: are never optical drives
constexpr uint8_t kInquiry = 0x12;
constexpr uint8_t kProbeInquiry[] = {0x12, 0x00, 0x00, 0x00, 0x64, 0x00};
constexpr uint32_t kProbeInquiryBytes = 100;
constexpr int kProbeTimeoutSeconds = 2;
constexpr int kCommandTimeoutSeconds = 5;

DataDirection DirectionOf(const ScsiRequest& request) {
    if (request.flags & kSrbDataIn) return DataDirection::In;
    if (request.flags & kSrbDataOut) return DataDirection::Out;
    // Linux refuses a transfer of unknown direction. The only blocks sent without a
    // direction carry MODE SELECT parameter lists, which go to the drive.
    return request.dataLength > 0 ? DataDirection::Out : DataDirection::None;
}

}  // namespace

PassThroughBackEnd::PassThroughBackEnd(std::function<DriveLetters()> drives) : drives_(std::move(drives)) {}

PassThroughBackEnd::~PassThroughBackEnd() {
    ReleaseDrives();
}

OpenResult PassThroughBackEnd::OpenDevice(Entry& entry) {
    if (!entry.device) return {nullptr, kDeviceInvalidHandle, {}};
    OpenResult opened = entry.device->Open(true);
    if (!opened.handle) {
        // Read-only is enough for every command the layer sends.
        OpenResult readOnly = entry.device->Open(false);
        if (readOnly.handle || readOnly.error != kDeviceAccessDenied) return readOnly;
    }
    return opened;
}

bool PassThroughBackEnd::ProbeLetter(int letterIndex) {
    Entry& entry = table_[letterIndex];
    entry.handle.reset();
    OpenResult opened = OpenDevice(entry);
    if (!opened.handle) {
        entry.present = false;
        entry.problem = opened.reason;
        return false;
    }
    uint8_t answer[kProbeInquiryBytes] = {};
    DeviceCommand inquiry{kProbeInquiry, DataDirection::In, answer, kProbeInquiryBytes, kProbeTimeoutSeconds};
    if (opened.handle->Execute(inquiry) != kDeviceOk) {
        entry.present = false;
        entry.problem = entry.device->Name() + std::string(kNoInquiryAnswerText);
        return false;
    }
    std::memcpy(entry.inquiry, answer, kInquiryCacheBytes);
    std::optional<ScsiAddress> address = opened.handle->QueryAddress();
    entry.present = true;
    entry.problem.clear();
    entry.address = address.value_or(ScsiAddress{255, 255, static_cast<uint8_t>(letterIndex)});
    entry.letterIndex = letterIndex;
    return true;
}

int PassThroughBackEnd::ProbeDrives() {
    std::lock_guard lock(mutex_);
    DriveLetters drives = drives_ ? drives_() : DriveLetters{};
    int count = 0;
    for (int letter = 0; letter < kDriveLetters; ++letter) {
        table_[letter] = Entry{};
        table_[letter].device = drives[letter];
    }
    for (int letter = kFirstProbedLetter; letter < kDriveLetters; ++letter) {
        Entry& entry = table_[letter];
        if (!entry.device) continue;
        if (ProbeLetter(letter)) {
            ++count;
        } else {
            // A drive that could not be probed still has an address of its own, so that
            // opening it fails as "not a CD-ROM drive" and the user hears why.
            entry.address = ScsiAddress{255, 255, static_cast<uint8_t>(letter)};
            entry.letterIndex = letter;
        }
    }
    active_ = count >= 1;
    return count;
}

std::optional<ScsiAddress> PassThroughBackEnd::FindDriveAddress(int letterIndex) {
    std::lock_guard lock(mutex_);
    for (const Entry& entry : table_)
        if (entry.letterIndex >= 0 && entry.letterIndex == letterIndex) return entry.address;
    return std::nullopt;
}

PassThroughBackEnd::Entry* PassThroughBackEnd::FindPresent(ScsiAddress address) {
    for (int letter = kFirstProbedLetter; letter < kDriveLetters; ++letter)
        if (table_[letter].present && table_[letter].address == address) return &table_[letter];
    return nullptr;
}

void PassThroughBackEnd::EnsureDeviceOpen(ScsiAddress address) {
    std::lock_guard lock(mutex_);
    Entry* entry = FindPresent(address);
    if (entry && !entry->handle) entry->handle = OpenDevice(*entry).handle;
}

uint8_t PassThroughBackEnd::Command(ScsiRequest& request) {
    std::lock_guard lock(mutex_);
    switch (request.command) {
    case kSrbGetDeviceType:
        if (FindPresent(request.address)) {
            request.deviceType = kDeviceTypeCdRom;
            return request.status = kSrbComplete;
        }
        request.deviceType = kDeviceTypeUnknown;
        return request.status = kSrbNoDevice;
    case kSrbExecuteScsi: return Execute(request, false);
    default: return request.status = kSrbError;
    }
}

uint8_t PassThroughBackEnd::Execute(ScsiRequest& request, bool retry) {
    Entry* entry = FindPresent(request.address);
    if (!entry) return request.status = kSrbError;
    if (request.cdb[0] == kInquiry) {
        if (request.data)
            std::memcpy(request.data, entry->inquiry, std::min<uint32_t>(request.dataLength, kInquiryCacheBytes));
        return request.status = kSrbComplete;
    }
    int error = kDeviceInvalidHandle;
    if (!entry->handle) {
        OpenResult opened = OpenDevice(*entry);
        entry->handle = std::move(opened.handle);
        if (!entry->handle) error = opened.error;
    }
    if (entry->handle) {
        DeviceCommand command{std::span<const uint8_t>(request.cdb, request.cdbLength), DirectionOf(request),
                              request.data, request.dataLength, kCommandTimeoutSeconds};
        error = entry->handle->Execute(command);
    }
    if (error == kDeviceOk) return request.status = kSrbComplete;

    request.status = kSrbError;
    request.targetStatus = kSrbError;
    const int letter = entry->letterIndex;
    if (!retry && (error == kDeviceIoError || error == kDeviceAccessDenied)) {
        if (retryCount_ < kRetryLimit) {
            ++retryCount_;
            entry->handle.reset();
            ProbeLetter(letter);
            return Execute(request, true);
        }
        retryCount_ = 0;
        return kSrbError;
    }
    retryCount_ = 0;
    if (retry) return kSrbError;
    if (error == kDeviceMediaChanged) {
        entry->handle.reset();
        ProbeLetter(letter);
        return Execute(request, true);
    }
    if (error == kDeviceInvalidHandle) {
        ProbeLetter(letter);
        return Execute(request, true);
    }
    return kSrbError;
}

void PassThroughBackEnd::ReleaseDrives() {
    std::lock_guard lock(mutex_);
    for (Entry& entry : table_) entry = Entry{};
    active_ = false;
}

std::string PassThroughBackEnd::DriveProblem(int letterIndex) const {
    std::lock_guard lock(mutex_);
    if (letterIndex < 0 || letterIndex >= kDriveLetters) return {};
    return table_[letterIndex].problem;
}

}  // namespace kvt::cd
