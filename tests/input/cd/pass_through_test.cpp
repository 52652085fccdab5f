// The pass-through back end's retries and cached INQUIRY, the SG_IO error mapping and the
// drive list, through the simulated drive.

#include <gtest/gtest.h>

#include <cerrno>
#include <fstream>

#include "cd_test_support.h"
#include "input/cd/sg_drive.h"

namespace kvt::cd {
namespace {

using testing::kDriveD;
using testing::NoiseDisc;
using testing::SimulatedMachine;
using testing::TempFolder;

struct PassThroughFixture : ::testing::Test {
    SimulatedMachine machine{NoiseDisc({100})};
    ScsiAddress address;
    void SetUp() override {
        ASSERT_EQ(machine.backEnd->ProbeDrives(), 1);
        address = *machine.backEnd->FindDriveAddress(kDriveD);
        machine.drive->RecordCommands(true);
    }
    uint8_t ReadToc() {
        uint8_t toc[kTocBytes];
        ScsiRequest request;
        request.command = kSrbExecuteScsi;
        request.address = address;
        request.flags = kSrbDataIn;
        request.data = toc;
        request.dataLength = kTocBytes;
        request.cdbLength = 10;
        const uint8_t cdb[] = {0x43, 0, 0, 0, 0, 0, 0, 0x03, 0x24, 0};
        std::copy(std::begin(cdb), std::end(cdb), request.cdb);
        return machine.backEnd->Command(request);
    }
    size_t Sent() const { return machine.drive->Commands().size(); }
};

TEST_F(PassThroughFixture, IoErrorsRetryFiveTimesThenTheSixthIsRefused) {
    for (int command = 1; command <= 6; ++command) {
        machine.drive->ClearCommands();
        machine.drive->SetFaults({.failError = kDeviceIoError, .failCount = 1});
        const bool retried = command <= kRetryLimit;
        EXPECT_EQ(ReadToc(), retried ? kSrbComplete : kSrbError) << "command " << command;
        // A retry re-probes (INQUIRY) and sends the command again.
        EXPECT_EQ(Sent(), retried ? 3u : 1u) << "command " << command;
    }
    machine.drive->SetFaults({.failError = kDeviceAccessDenied, .failCount = 1});
    EXPECT_EQ(ReadToc(), kSrbComplete) << "the count starts again after a refusal";
}

struct RetryCase {
    int error;
    uint8_t status;
    size_t sent;  // commands reaching the drive: with a retry, the re-probe's INQUIRY and the repeat
};

TEST_F(PassThroughFixture, OneRetryByError) {
    const RetryCase cases[] = {
        {kDeviceMediaChanged, kSrbComplete, 3}, {kDeviceInvalidHandle, kSrbComplete, 3},
        {kDeviceAccessDenied, kSrbComplete, 3}, {kDeviceFailure, kSrbError, 1},
        {kDeviceNotReady, kSrbError, 1},
    };
    for (const RetryCase& c : cases) {
        machine.drive->ClearCommands();
        machine.drive->SetFaults({.failError = c.error, .failCount = 1});
        EXPECT_EQ(ReadToc(), c.status) << "error " << c.error;
        EXPECT_EQ(Sent(), c.sent) << "error " << c.error;
        machine.drive->SetFaults({.failError = c.error, .failCount = 2});
        EXPECT_EQ(ReadToc(), kSrbError) << "a failing retry is not retried: error " << c.error;
        EXPECT_LE(machine.drive->OpenHandles(), 1);
    }
}

TEST_F(PassThroughFixture, InquiryIsAnsweredFromTheCacheAndDeviceTypeFromTheTable) {
    uint8_t answer[36] = {};
    ScsiRequest inquiry;
    inquiry.command = kSrbExecuteScsi;
    inquiry.address = address;
    inquiry.flags = kSrbDataIn;
    inquiry.data = answer;
    inquiry.dataLength = sizeof answer;
    inquiry.cdb[0] = 0x12;
    inquiry.cdbLength = 6;
    machine.drive->SetFaults({.noDisc = true});
    EXPECT_EQ(machine.backEnd->Command(inquiry), kSrbComplete);
    EXPECT_EQ(answer[0], kDeviceTypeCdRom);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(answer) + 8, 3), "KVT");
    EXPECT_EQ(Sent(), 0u);

    ScsiRequest type;
    type.command = kSrbGetDeviceType;
    type.address = address;
    EXPECT_EQ(machine.backEnd->Command(type), kSrbComplete);
    EXPECT_EQ(type.deviceType, kDeviceTypeCdRom);
    type.address.target = 9;
    EXPECT_EQ(machine.backEnd->Command(type), kSrbNoDevice);
    EXPECT_EQ(type.deviceType, kDeviceTypeUnknown);
}

TEST(PassThrough, NoDriveLeavesTheLayerAnsweringNoManager) {
    auto backEnd = std::make_shared<PassThroughBackEnd>([] { return DriveLetters{}; });
    CdDeviceLayer layer(backEnd);
    layer.InitCdAccess();
    EXPECT_FALSE(backEnd->Active());
    EXPECT_FALSE(layer.FindDriveAddress(kDriveD));
    EXPECT_FALSE(layer.FindDriveAddress(0)) << "an unprobed letter has no address";
    EXPECT_EQ(layer.OpenCdDrive(DriveOpenRequest::For({255, 255, 3}, 0, 1, 3)), 0);
}

struct SgOutcomeCase {
    int ioctlErrno, host, driver, scsi;
    std::vector<uint8_t> sense;
    int expected;
};

TEST(SgErrorMapping, LinuxOutcomesBecomeTheRetryRulesErrors) {
    const std::vector<uint8_t> mediumChanged = {0x70, 0, 0x06, 0, 0, 0, 0, 10, 0, 0, 0, 0, 0x28, 0};
    const std::vector<uint8_t> noMedium = {0x70, 0, 0x02, 0, 0, 0, 0, 10, 0, 0, 0, 0, 0x3A, 0};
    const std::vector<uint8_t> illegal = {0x70, 0, 0x05, 0, 0, 0, 0, 10, 0, 0, 0, 0, 0x20, 0};
    const SgOutcomeCase cases[] = {
        {0, 0, 0, 0, {}, kDeviceOk},
        {EIO, 0, 0, 0, {}, kDeviceIoError},
        {EACCES, 0, 0, 0, {}, kDeviceAccessDenied},
        {EPERM, 0, 0, 0, {}, kDeviceAccessDenied},
        {ENOMEDIUM, 0, 0, 0, {}, kDeviceMediaChanged},
        {EBADF, 0, 0, 0, {}, kDeviceInvalidHandle},
        {ENODEV, 0, 0, 0, {}, kDeviceInvalidHandle},
        {0, 0x07, 0, 0, {}, kDeviceIoError},  // DID_ERROR: the transport failed
        {0, 0x03, 0, 0, {}, kDeviceTimeout},
        {0, 0, 0x08, 0x02, mediumChanged, kDeviceMediaChanged},
        {0, 0, 0x08, 0x02, noMedium, kDeviceNotReady},
        {0, 0, 0x08, 0x02, illegal, kDeviceFailure},
    };
    for (const SgOutcomeCase& c : cases)
        EXPECT_EQ(
            MapSgOutcome(c.ioctlErrno, c.host, c.driver, c.scsi, c.sense.data(), static_cast<int>(c.sense.size())),
            c.expected)
            << "errno " << c.ioctlErrno << " host " << c.host << " sense key " << (c.sense.empty() ? -1 : c.sense[2]);
}

TEST(OpticalDrives, ListedInDeviceNumberOrder) {
    TempFolder folder;
    for (const char* name : {"sr10", "sda", "sr2", "sr0", "srx", "sr"}) std::ofstream(folder / name) << "";
    std::vector<std::string> names;
    for (const auto& drive : ListOpticalDrives(folder.Path())) names.push_back(drive->Name());
    EXPECT_EQ(names, (std::vector<std::string>{folder / "sr0", folder / "sr2", folder / "sr10"}));
}

}  // namespace
}  // namespace kvt::cd
