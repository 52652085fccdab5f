#pragma once
// The CD device layer: drives opened as numbered handles (16 slots), the table of
// contents, raw frame reads with a read method found per drive, and reads checked against
// the tail of the previous one.

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>

#include "input/cd/cd_back_end.h"
#include "input/cd/reentrant_mutex.h"
#include "input/cd/track_buffer.h"

namespace kvt::cd {

inline constexpr int kSlotCount = 16;
inline constexpr uint32_t kTocBytes = 804;

// Result codes of the reading operations.
inline constexpr int kCdOk = 1;
inline constexpr int kCdFailed = 4;

// Option codes of SetCdOption.
inline constexpr int kOptionMsf = 0x24;
inline constexpr int kOptionBackUpFrames = 0x25;
inline constexpr int kOptionCompareFrames = 0x26;
inline constexpr int kOptionSpare = 0x27;

// The 12 bytes given to OpenCdDrive.
struct DriveOpenRequest {
    uint8_t bytes[12] = {12, 1};

    static DriveOpenRequest For(ScsiAddress address, uint8_t method, uint8_t compareFrames, uint8_t backUpFrames);
};

class CdDeviceLayer {
public:
    explicit CdDeviceLayer(std::shared_ptr<CdBackEnd> backEnd);
    ~CdDeviceLayer();
    CdDeviceLayer(const CdDeviceLayer&) = delete;
    CdDeviceLayer& operator=(const CdDeviceLayer&) = delete;

    // Probes the drives the first time; later calls do nothing. Always 1.
    int InitCdAccess();
    void ShutdownCdAccess();

    std::optional<ScsiAddress> FindDriveAddress(int letterIndex);
    std::string DriveProblem(int letterIndex);

    int OpenCdDrive(const DriveOpenRequest& request);  // handle 1..16, or 0
    bool SetCdOption(int handle, int code, int value);
    int ReadToc(int handle, uint8_t* toc);  // toc: kTocBytes
    int ReadFrames(int handle, TrackBuffer& buffer);
    int ReadFramesChecked(int handle, TrackBuffer& buffer, TrackBuffer& overlap);
    int CloseCdDrive(int handle);  // 1, or 0

    // The read method the slot settled on (0 while it detects), -1 for a bad handle.
    int ReadMethod(int handle) const;

    // How long a slot mutex and a pending command are waited for (10 s each).
    void SetWaitLimits(std::chrono::milliseconds slotMutex, std::chrono::milliseconds command);

private:
    enum class Routine { Detect, ReadCd, Read10, Vendor8, Vendor4 };

    struct Slot {
        ScsiAddress address;
        uint8_t method = 0;
        std::atomic<bool> inUse{false};
        bool msf = false;
        bool setupDone = false;
        Routine routine = Routine::ReadCd;
        bool restore = false;
        int compareFrames = 0;
        int backUpFrames = 0;
        int spare = 0;
    };

    Slot* UsedSlot(int handle);
    uint8_t Issue(const Slot& slot, uint8_t flags, std::span<const uint8_t> cdb, uint8_t* data, uint32_t length);
    uint8_t Send(ScsiRequest& request);

    // read_methods.cpp
    int RunRoutine(Slot& slot, TrackBuffer& buffer);
    int DetectReadMethod(Slot& slot, TrackBuffer& buffer);
    int TestRead(Slot& slot, TrackBuffer& buffer);
    int ReadCd(Slot& slot, TrackBuffer& buffer);
    int Read10(Slot& slot, TrackBuffer& buffer);
    int VendorRead(Slot& slot, TrackBuffer& buffer, uint8_t opcode);
    int IssueRead(Slot& slot, TrackBuffer& buffer, std::span<const uint8_t> cdb, uint32_t length);
    bool SetupSectorSize(Slot& slot);
    void RestoreSectorSize(Slot& slot);
    bool ModeSelect(const Slot& slot, std::span<const uint8_t> cdb, std::span<const uint8_t> list, uint8_t flags);
    static Routine RoutineOf(int method);

    std::shared_ptr<CdBackEnd> backEnd_;
    std::mutex startMutex_;
    bool started_ = false;
    std::atomic<bool> backEndActive_{false};
    std::mutex tableMutex_;
    std::array<Slot, kSlotCount> slots_;
    mutable std::array<ReentrantMutex, kSlotCount> slotMutexes_;
    int nextSlot_ = 0;
    std::atomic<std::chrono::milliseconds::rep> slotMutexLimitMs_{10000};
    std::atomic<std::chrono::milliseconds::rep> commandLimitMs_{10000};
};

// The program's layer: the machine's optical drives in order from D: (the first /dev/sr*),
// with any simulated drive registered in place of the one at its letter.
CdDeviceLayer& SystemCdAccess();

class DriveDevice;
// Puts `device` at the letter (0 = A) for the next probe of the program's layer; an empty
// pointer gives the letter back to the machine.
void RegisterDriveAtLetter(int letterIndex, std::shared_ptr<DriveDevice> device);

}  // namespace kvt::cd
