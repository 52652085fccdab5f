#pragma once
// The request block every CD command travels in: the shape of an ASPI "execute SCSI
// command" / "get device type" block. The device layer builds it once; the back end that
// runs it (pass-through or none) fills in the status.

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace kvt::cd {

struct ScsiAddress {
    uint8_t hostAdapter = 0;
    uint8_t target = 0;
    uint8_t lun = 0;
    friend bool operator==(const ScsiAddress&, const ScsiAddress&) = default;
};

// Command codes.
inline constexpr uint8_t kSrbGetDeviceType = 1;
inline constexpr uint8_t kSrbExecuteScsi = 2;

// Flags.
inline constexpr uint8_t kSrbResidualCount = 0x04;
inline constexpr uint8_t kSrbDataIn = 0x08;
inline constexpr uint8_t kSrbDataOut = 0x10;
inline constexpr uint8_t kSrbEventNotify = 0x40;

// Status values.
inline constexpr uint8_t kSrbPending = 0;
inline constexpr uint8_t kSrbComplete = 1;
inline constexpr uint8_t kSrbError = 4;
inline constexpr uint8_t kSrbNoDevice = 0x82;
inline constexpr uint8_t kSrbNoManager = 0xE3;

inline constexpr uint8_t kDeviceTypeCdRom = 5;
inline constexpr uint8_t kDeviceTypeUnknown = 0x1F;

// Signalled by a back end that answered "pending" once the command has completed.
class CommandEvent {
public:
    void Signal() {
        std::lock_guard lock(mutex_);
        signalled_ = true;
        changed_.notify_all();
    }
    bool WaitFor(std::chrono::milliseconds limit) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, limit, [this] { return signalled_; });
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    bool signalled_ = false;
};

struct ScsiRequest {
    uint8_t command = 0;
    uint8_t status = kSrbPending;
    ScsiAddress address;
    uint8_t flags = 0;
    uint32_t dataLength = 0;
    uint8_t* data = nullptr;
    uint8_t senseLength = 0;
    uint8_t cdbLength = 0;
    uint8_t hostStatus = 0;
    uint8_t targetStatus = 0;
    uint8_t deviceType = 0;  // answer of kSrbGetDeviceType
    CommandEvent* event = nullptr;
    uint8_t cdb[16] = {};
    uint8_t sense[14] = {};
};

}  // namespace kvt::cd
