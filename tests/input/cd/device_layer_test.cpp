// The device layer's slots, read-method detection with its command bytes, the sector-size
// restore, waits that run out, and the overlap check of ReadFramesChecked.

#include <gtest/gtest.h>

#include <future>
#include <thread>

#include "cd_test_support.h"

namespace kvt::cd {
namespace {

using testing::DiscBytes;
using testing::kDriveD;
using testing::NoiseDisc;
using testing::SimulatedMachine;

using Bytes = std::vector<uint8_t>;

// Answers every address as a CD-ROM drive, records each command, and fails or hangs
// commands by their opcode.
class ScriptedBackEnd : public CdBackEnd {
public:
    std::function<uint8_t(const ScsiRequest&)> answer = [](const ScsiRequest&) { return kSrbComplete; };
    std::vector<Bytes> commands;
    std::vector<uint8_t> flags;

    int ProbeDrives() override { return 1; }
    std::optional<ScsiAddress> FindDriveAddress(int letter) override {
        return ScsiAddress{1, static_cast<uint8_t>(letter), 2};
    }
    void EnsureDeviceOpen(ScsiAddress) override {}
    void ReleaseDrives() override {}
    uint8_t Command(ScsiRequest& request) override {
        if (request.command == kSrbGetDeviceType) {
            request.deviceType = kDeviceTypeCdRom;
            return request.status = kSrbComplete;
        }
        commands.emplace_back(request.cdb, request.cdb + request.cdbLength);
        flags.push_back(request.flags);
        return request.status = answer(request);
    }
};

struct ScriptedLayer {
    std::shared_ptr<ScriptedBackEnd> backEnd = std::make_shared<ScriptedBackEnd>();
    CdDeviceLayer layer{backEnd};
    int Open(int letter = 3) {
        layer.InitCdAccess();
        return layer.OpenCdDrive(DriveOpenRequest::For(*layer.FindDriveAddress(letter), 0, 1, 3));
    }
};

TrackBufferPtr Buffer(uint32_t frames, uint32_t lba, uint32_t count) {
    TrackBufferPtr buffer = NewTrackBuffer(frames);
    buffer->firstLba = lba;
    buffer->frameCount = count;
    return buffer;
}

TEST(ReadMethodDetection, TriesEveryMethodInOrderWithItsCommandBytes) {
    ScriptedLayer s;
    // Every read fails; every MODE SELECT succeeds.
    s.backEnd->answer = [](const ScsiRequest& r) { return r.cdb[0] == 0x15 ? kSrbComplete : kSrbError; };
    int handle = s.Open();
    TrackBufferPtr buffer = Buffer(30, 0x012345, 27);
    EXPECT_EQ(s.layer.ReadFrames(handle, *buffer), kCdFailed);
    EXPECT_EQ(s.layer.ReadMethod(handle), 0);

    const Bytes readCd2 = {0xBE, 0, 0, 0x01, 0x23, 0x45, 0, 0, 27, 0xF0, 0, 0};
    const Bytes readCd1 = {0xBE, 0, 0, 0x01, 0x23, 0x45, 0, 0, 27, 0x10, 0, 0};
    const Bytes read10 = {0x28, 2 << 5, 0, 0x01, 0x23, 0x45, 0, 0, 27, 0};
    const Bytes vendorD8 = {0xD8, 0, 0, 0x01, 0x23, 0x45, 0, 0, 0, 27, 0, 0};
    const Bytes vendorD4 = {0xD4, 0, 0, 0x01, 0x23, 0x45, 0, 0, 27, 0};
    const Bytes select12 = {0x15, 0, 0, 0, 0x0C, 0};
    const Bytes selectPages = {0x15, 0x10, 0, 0, 0x14, 0};
    const Bytes selectShort = {0x15, 0x10, 0, 0, 0x08, 0};
    const std::vector<Bytes> expected = {
        readCd2,     readCd2,     readCd2,                     // method 2
        readCd1,     readCd1,     readCd1,                     // method 1
        selectPages, selectPages, read10,   read10,   read10,  // method 8: setup B once
        select12,    read10,      read10,   read10,            // method 4: setup A once
        vendorD8,    vendorD8,    vendorD8,                    // method 5
        vendorD4,    vendorD4,    vendorD4,                    // method 6
        selectShort, vendorD4,    vendorD4, vendorD4,          // method 7: setup C once
    };
    EXPECT_EQ(s.backEnd->commands, expected);
    EXPECT_EQ(s.backEnd->flags[0], 0x48);
    EXPECT_EQ(s.backEnd->flags[6], 0x40);
}

struct SettleCase {
    const char* name;
    SimulatedFaults faults;
    int method;
};

class ReadMethodSettles : public ::testing::TestWithParam<SettleCase> {};

TEST_P(ReadMethodSettles, OnTheFirstMethodThatDeliversData) {
    SimulatedMachine machine(NoiseDisc({100}));
    machine.drive->SetFaults(GetParam().faults);
    machine.layer->InitCdAccess();
    int handle = machine.layer->OpenCdDrive(DriveOpenRequest::For(*machine.layer->FindDriveAddress(kDriveD), 0, 1, 3));
    TrackBufferPtr buffer = Buffer(30, 10, 27);
    ASSERT_EQ(machine.layer->ReadFrames(handle, *buffer), kCdOk);
    EXPECT_EQ(machine.layer->ReadMethod(handle), GetParam().method);
    EXPECT_TRUE(Bytes(buffer->Valid(), buffer->Valid() + buffer->validBytes) == DiscBytes(*machine.disc, 10, 27));

    machine.drive->RecordCommands(true);
    EXPECT_EQ(machine.layer->CloseCdDrive(handle), 1);
    std::vector<RecordedCommand> sent = machine.drive->Commands();
    if (GetParam().method == 8) {
        ASSERT_EQ(sent.size(), 1u);
        EXPECT_EQ(sent[0].cdb, (Bytes{0x15, 0, 0, 0, 0x0C, 0}));
        EXPECT_EQ(sent[0].parameters, (Bytes{0, 0, 0, 8, 0x53, 0, 0, 0, 0, 0, 0x08, 0x00}));
    } else {
        EXPECT_TRUE(sent.empty());
    }
    EXPECT_EQ(machine.layer->CloseCdDrive(handle), 0);
}

INSTANTIATE_TEST_SUITE_P(Drives, ReadMethodSettles,
                         ::testing::Values(SettleCase{"ReadCd", {}, 2},
                                           SettleCase{"ReadCdRefused", {.refuseReadCd = true}, 8},
                                           SettleCase{"ReadCdLeavesTheBufferUntouched", {.readCdUntouched = true}, 8}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ReadMethodSettles, RestoreAfterMethod4) {
    ScriptedLayer s;
    // READ CD refused and setup B refused: method 4 (setup A) is the first to work.
    s.backEnd->answer = [](const ScsiRequest& r) {
        if (r.cdb[0] == 0xBE || (r.cdb[0] == 0x15 && r.cdb[4] == 0x14)) return kSrbError;
        std::memset(r.data, 0x11, r.dataLength);
        return kSrbComplete;
    };
    int handle = s.Open();
    TrackBufferPtr buffer = Buffer(30, 0, 27);
    ASSERT_EQ(s.layer.ReadFrames(handle, *buffer), kCdOk);
    EXPECT_EQ(s.layer.ReadMethod(handle), 4);
    ASSERT_EQ(s.layer.CloseCdDrive(handle), 1);
    EXPECT_EQ(s.backEnd->commands.back(), (Bytes{0x15, 0, 0, 0, 0x0C, 0}));
    EXPECT_EQ(s.backEnd->flags.back(), 0x44);
}

TEST(DeviceSlots, BusyDriveAndSixteenSlots) {
    ScriptedLayer s;
    std::vector<int> handles;
    for (int letter = 0; letter < kSlotCount; ++letter) handles.push_back(s.Open(letter));
    for (int i = 0; i < kSlotCount; ++i) EXPECT_EQ(handles[i], i + 1);
    EXPECT_EQ(s.Open(20), 0) << "all 16 slots in use";
    EXPECT_EQ(s.Open(0), 0) << "the drive is open already";
    EXPECT_EQ(s.layer.CloseCdDrive(5), 1);
    EXPECT_EQ(s.Open(0), 0);
    EXPECT_EQ(s.Open(20), 5);
    for (int bad : {0, 17, -1}) EXPECT_EQ(s.layer.CloseCdDrive(bad), 0);
    EXPECT_EQ(s.layer.ReadToc(17, nullptr), kCdFailed);
    EXPECT_FALSE(s.layer.SetCdOption(1, 0x28, 0));
    EXPECT_TRUE(s.layer.SetCdOption(1, kOptionMsf, 1));
    uint8_t toc[kTocBytes];
    s.layer.ReadToc(1, toc);
    EXPECT_EQ(s.backEnd->commands.back(), (Bytes{0x43, 0x02, 0, 0, 0, 0, 0, 0x03, 0x24, 0}));
}

TEST(DeviceSlots, CommandThatNeverCompletesAndSlotHeldTooLong) {
    ScriptedLayer s;
    s.layer.SetWaitLimits(std::chrono::milliseconds(50), std::chrono::milliseconds(300));
    std::promise<void> inCommand;
    s.backEnd->answer = [&](const ScsiRequest&) {
        inCommand.set_value();
        return kSrbPending;  // the event is never signalled
    };
    int handle = s.Open();
    uint8_t toc[kTocBytes];
    auto hung = std::async(std::launch::async, [&] { return s.layer.ReadToc(handle, toc); });
    inCommand.get_future().wait();
    TrackBufferPtr buffer = Buffer(30, 0, 27);
    EXPECT_EQ(s.layer.ReadFrames(handle, *buffer), kCdFailed) << "slot mutex not had within the limit";
    EXPECT_EQ(hung.get(), kCdFailed);
    buffer->frameCount = 31;
    s.backEnd->commands.clear();
    EXPECT_EQ(s.layer.ReadFrames(handle, *buffer), kCdFailed) << "buffer too small";
    EXPECT_TRUE(s.backEnd->commands.empty());
}

TEST(CheckedRead, BacksUpRealignsAndRefusesAMissingOverlap) {
    SimulatedMachine machine(NoiseDisc({200}));
    machine.layer->InitCdAccess();
    int handle = machine.layer->OpenCdDrive(DriveOpenRequest::For(*machine.layer->FindDriveAddress(kDriveD), 2, 1, 3));
    TrackBufferPtr read = Buffer(30, 10, 27);
    TrackBufferPtr overlap = NewTrackBuffer(3);
    // First read: nothing to compare with; the last frame is kept.
    ASSERT_EQ(machine.layer->ReadFramesChecked(handle, *read, *overlap), kCdOk);
    EXPECT_EQ(read->dataOffset, 0);
    EXPECT_EQ(overlap->firstLba, 36u);
    EXPECT_EQ(overlap->validBytes, kFrameBytes);

    read->firstLba = 37;
    read->frameCount = 27;
    machine.drive->SetFaults({.jitterSamples = {-300}});
    ASSERT_EQ(machine.layer->ReadFramesChecked(handle, *read, *overlap), kCdOk);
    EXPECT_EQ(read->firstLba, 37u);
    EXPECT_EQ(read->frameCount, 23u) << "read 3 back, 300 samples early: 23 whole new frames";
    EXPECT_TRUE(Bytes(read->Valid(), read->Valid() + read->validBytes) == DiscBytes(*machine.disc, 37, 23));

    // The kept frame no longer appears in what the drive sends.
    const TrackBuffer before = {overlap->firstLba, overlap->frameCount, 0, overlap->validBytes};
    read->firstLba = 60;
    read->frameCount = 27;
    machine.drive->SetFaults({.jitterSamples = {588 * 3}});
    EXPECT_EQ(machine.layer->ReadFramesChecked(handle, *read, *overlap), kCdFailed);
    EXPECT_EQ(overlap->firstLba, before.firstLba);
    EXPECT_EQ(overlap->validBytes, before.validBytes);
}

}  // namespace
}  // namespace kvt::cd
