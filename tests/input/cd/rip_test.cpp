// Whole rips through the simulated drive: the file must hold exactly the track's frames.

#include <gtest/gtest.h>

#include <future>
#include <thread>

#include "cd_test_support.h"
#include "input/cd/rip_controller.h"
#include "platform/message.h"

namespace kvt::cd {
namespace {

using testing::DiscBytes;
using testing::kDriveD;
using testing::NoiseDisc;
using testing::NoiseFrames;
using testing::SimulatedMachine;
using testing::TempFolder;
using testing::WaveData;

struct RipOutcome {
    int result = -1;
    std::vector<std::string> messages;
};

RipOutcome Rip(SimulatedMachine& machine, int drive, int track, const std::string& path) {
    MessageRecorder recorder;
    std::promise<int> finished;
    RipController controller(*machine.layer);
    controller.StartRip([&](int result) { finished.set_value(result); }, drive, track, path);
    RipOutcome outcome;
    outcome.result = finished.get_future().get();
    EXPECT_TRUE(controller.WaitRip());
    EXPECT_FALSE(controller.Running());
    outcome.messages = recorder.Texts();
    return outcome;
}

struct AccuracyCase {
    const char* name;
    std::vector<uint32_t> tracks;
    int track;
    std::vector<int> jitterSamples;
    uint32_t silentFrom = 0, silentFrames = 0;  // digital silence laid over the disc
};

class RipAccuracy : public ::testing::TestWithParam<AccuracyCase> {};

TEST_P(RipAccuracy, FileHoldsExactlyTheTrack) {
    const AccuracyCase& c = GetParam();
    std::vector<uint32_t> starts;
    uint32_t total = 0;
    for (uint32_t frames : c.tracks) starts.push_back(std::exchange(total, total + frames));
    std::vector<uint8_t> audio = NoiseFrames(total);
    std::fill_n(audio.begin() + size_t{c.silentFrom} * kFrameBytes, size_t{c.silentFrames} * kFrameBytes, 0);
    SimulatedMachine machine(DiscImage::FromMemory(audio, starts));
    machine.drive->SetFaults({.jitterSamples = c.jitterSamples});
    TempFolder folder;

    RipOutcome outcome = Rip(machine, kDriveD, c.track, folder / "rip.wav");

    EXPECT_EQ(outcome.result, 1);
    EXPECT_TRUE(outcome.messages.empty());
    std::vector<uint8_t> expected = DiscBytes(*machine.disc, starts[c.track], c.tracks[c.track]);
    std::vector<uint8_t> data = WaveData(folder / "rip.wav");
    ASSERT_EQ(data.size(), expected.size());
    size_t firstDifference = std::mismatch(data.begin(), data.end(), expected.begin()).first - data.begin();
    EXPECT_EQ(firstDifference, data.size()) << "ripped samples differ from the disc";
    EXPECT_EQ(machine.drive->OpenHandles(), 1) << "device stays open until the layer shuts down";
}

// Jitter: the first read (during detection) is on time, later ones start early or late by
// up to two frames, which the overlap search realigns.
INSTANTIATE_TEST_SUITE_P(
    Tracks, RipAccuracy,
    ::testing::Values(AccuracyCase{"WholeMiddleTrack", {300, 1000, 200}, 1, {}},
                      AccuracyCase{"LastTrack", {300, 1000, 202}, 2, {}},
                      AccuracyCase{"TrackEndingInAShortRead", {500, 56}, 1, {}},
                      AccuracyCase{"TrackOfTwoFrames", {100, 2, 100}, 1, {}},
                      AccuracyCase{"Jitter", {400, 1500, 100}, 1, {0, 37, -120, 588, -1100, 1170, 3, -1, 0}},
                      AccuracyCase{"JitterOnLastTrack", {400, 777}, 1, {0, -588, 1000, -2, 1175}},
                      AccuracyCase{"DigitalSilence", {300, 900}, 1, {}, 0, 1200},
                      AccuracyCase{"SilenceInsideTheTrack", {300, 900}, 1, {}, 500, 130},
                      AccuracyCase{"SilentStartThenSound", {300, 900}, 1, {}, 300, 40}),
    [](const auto& info) { return std::string(info.param.name); });

struct RefusalCase {
    const char* name;
    SimulatedFaults faults;
    int drive;
    int track;
    bool emptyPath;
    std::vector<std::string> messages;
};

class RipRefusal : public ::testing::TestWithParam<RefusalCase> {};

TEST_P(RipRefusal, ShowsTheReasonAndFails) {
    const RefusalCase& c = GetParam();
    SimulatedMachine machine(NoiseDisc({100, 100}));
    machine.drive->SetFaults(c.faults);
    TempFolder folder;
    RipOutcome outcome = Rip(machine, c.drive, c.track, c.emptyPath ? "" : folder / "rip.wav");
    EXPECT_EQ(outcome.result, 0);
    EXPECT_EQ(outcome.messages, c.messages);
}

INSTANTIATE_TEST_SUITE_P(
    Faults, RipRefusal,
    ::testing::Values(RefusalCase{"TrackPastTheLast", {}, kDriveD, 2, false, {"CDがセットされていません。"}},
                      RefusalCase{"TrackZero", {}, kDriveD, -1, false, {"CDがセットされていません。"}},
                      RefusalCase{"NoDisc", {.noDisc = true}, kDriveD, 0, false, {"CDがセットされていません。"}},
                      RefusalCase{"NoDriveAtTheLetter", {}, kDriveD + 1, 0, false, {"CD-ROMドライブではありません。"}},
                      RefusalCase{"DeviceBusyElsewhere",
                                  {.busy = true},
                                  kDriveD,
                                  0,
                                  false,
                                  {"CD-ROMドライブではありません。\n/dev/sim0: デバイスは使用中です"}},
                      RefusalCase{"NoPermission",
                                  {.accessDenied = true},
                                  kDriveD,
                                  0,
                                  false,
                                  {"CD-ROMドライブではありません。\n/dev/sim0: Permission denied（このユーザーが cdrom "
                                   "グループに入っていない可能性があります）"}},
                      RefusalCase{"NoOutputName", {}, kDriveD, 0, true, {"ファイル名が指定されていません。"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(RipRefusal, UnwritableOutputShowsBothMessages) {
    SimulatedMachine machine(NoiseDisc({100}));
    RipOutcome outcome = Rip(machine, kDriveD, 0, "/nonexistent-kvt-folder/rip.wav");
    EXPECT_EQ(outcome.result, 0);
    ASSERT_EQ(outcome.messages.size(), 2u);
    EXPECT_EQ(outcome.messages[1], "WAVファイルの作成に失敗しました。");
}

TEST(RipConcurrency, StopMidRipLeavesAClosedPrefixOfTheTrack) {
    SimulatedMachine machine(NoiseDisc({6000}));
    machine.drive->SetFaults({.readDelayMs = 1});
    TempFolder folder;
    MessageRecorder recorder;
    std::promise<int> finished;
    auto controller = std::make_unique<RipController>(*machine.layer);
    controller->StartRip([&](int result) { finished.set_value(result); }, kDriveD, 0, folder / "rip.wav");
    while (controller->Progress() < 0.05 && controller->Running())
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    controller->StartRip([](int) { ADD_FAILURE() << "second rip started"; }, kDriveD, 0, folder / "other.wav");
    // What the window does when it is closed.
    controller->StopRip();
    EXPECT_TRUE(controller->WaitRip());
    controller.reset();

    EXPECT_EQ(finished.get_future().get(), 1);
    std::vector<uint8_t> data = WaveData(folder / "rip.wav");
    ASSERT_GT(data.size(), 0u);
    ASSERT_LT(data.size(), 6000u * kFrameBytes);
    EXPECT_EQ(data.size() % kFrameBytes, 0u);
    EXPECT_TRUE(data == DiscBytes(*machine.disc, 0, static_cast<uint32_t>(data.size() / kFrameBytes)));
    EXPECT_FALSE(std::filesystem::exists(folder / "other.wav"));
    EXPECT_TRUE(recorder.Texts().empty());
}

TEST(RipConcurrency, StoppingOneRipLeavesAnotherControllersRipRunning) {
    SimulatedMachine first(NoiseDisc({3000})), second(NoiseDisc({1500}));
    first.drive->SetFaults({.readDelayMs = 1});
    second.drive->SetFaults({.readDelayMs = 1});
    TempFolder folder;
    std::promise<int> firstDone, secondDone;
    RipController firstRip(*first.layer), secondRip(*second.layer);
    firstRip.StartRip([&](int result) { firstDone.set_value(result); }, kDriveD, 0, folder / "first.wav");
    secondRip.StartRip([&](int result) { secondDone.set_value(result); }, kDriveD, 0, folder / "second.wav");
    while (firstRip.Progress() < 0.05 && firstRip.Running()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    firstRip.StopRip();
    EXPECT_EQ(firstDone.get_future().get(), 1);
    auto secondResult = secondDone.get_future();
    ASSERT_EQ(secondResult.wait_for(std::chrono::seconds(20)), std::future_status::ready) << "the second rip never ran";
    EXPECT_EQ(secondResult.get(), 1);
    EXPECT_TRUE(firstRip.WaitRip());
    EXPECT_TRUE(secondRip.WaitRip());
    EXPECT_LT(WaveData(folder / "first.wav").size(), 3000u * kFrameBytes);
    EXPECT_EQ(WaveData(folder / "second.wav").size(), 1500u * kFrameBytes) << "the other rip was stopped too";
}

TEST(RipConcurrency, ProgressRisesWhileRippingAndIsZeroAfter) {
    SimulatedMachine machine(NoiseDisc({1500}));
    machine.drive->SetFaults({.readDelayMs = 2});
    TempFolder folder;
    std::promise<int> finished;
    RipController controller(*machine.layer);
    controller.StartRip([&](int result) { finished.set_value(result); }, kDriveD, 0, folder / "rip.wav");
    double highest = 0;
    auto done = finished.get_future();
    while (done.wait_for(std::chrono::milliseconds(1)) != std::future_status::ready)
        highest = std::max(highest, controller.Progress());
    EXPECT_EQ(done.get(), 1);
    EXPECT_TRUE(controller.WaitRip());
    EXPECT_GT(highest, 0.0);
    EXPECT_LE(highest, 1.0);
    EXPECT_EQ(controller.Progress(), 0.0);
}

TEST(RipConcurrency, ReadFailurePartWayKeepsWhatWasRead) {
    SimulatedMachine machine(NoiseDisc({2000}));
    machine.drive->SetFaults({.readDelayMs = 1});
    TempFolder folder;
    MessageRecorder recorder;
    std::promise<int> finished;
    RipController controller(*machine.layer);
    controller.StartRip([&](int result) { finished.set_value(result); }, kDriveD, 0, folder / "rip.wav");
    while (controller.Progress() < 0.1 && controller.Running())
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    machine.drive->SetFaults({.failError = kDeviceFailure, .failCount = 1000});
    EXPECT_EQ(finished.get_future().get(), 1);
    EXPECT_TRUE(controller.WaitRip());
    std::vector<uint8_t> data = WaveData(folder / "rip.wav");
    ASSERT_GT(data.size(), 0u);
    EXPECT_TRUE(data == DiscBytes(*machine.disc, 0, static_cast<uint32_t>(data.size() / kFrameBytes)));
}

}  // namespace
}  // namespace kvt::cd
