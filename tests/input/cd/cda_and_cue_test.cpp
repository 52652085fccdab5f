// ".cda" names and cue sheets: what is taken, what is refused, and a rip from a BIN/CUE image.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <future>

#include "cd_test_support.h"
#include "input/cd/cd_reader.h"
#include "input/cd/cda_path.h"
#include "input/cd/cue_sheet.h"
#include "input/cd/image_drive.h"
#include "input/cd/rip_controller.h"

namespace kvt::cd {
namespace {

// The fault's text, empty when the result holds a value.
template <class Result>
std::string FaultText(const Result& result) {
    const ImageFault* fault = std::get_if<ImageFault>(&result);
    return fault ? fault->text : std::string();
}

using testing::kDriveD;
using testing::NoiseFrames;
using testing::SimulatedMachine;
using testing::TempFolder;
using testing::WaveData;

TEST(CdaPath, FormAndNumbers) {
    struct Case {
        const char* path;
        bool valid;
        int drive, track;
    };
    const Case cases[] = {
        {"D:\\Track05.cda", true, 3, 4},
        {"E:/Track12.cda", true, 4, 11},
        {"A:\\Track1x.cda", true, 0, 0},   // the number is read as atoi reads it
        {"D:\\Track00.cda", true, 3, -1},  // no such track: refused when selected
        {"d:\\Track05.cda", false, 0, 0},
        {"D:\\track05.cda", false, 0, 0},
        {"D:\\Track05.CDA", false, 0, 0},
        {"D:\\Track5.cda", false, 0, 0},
        {"D:\\Track05.cda.wav", false, 0, 0},
        {"/home/user/Track05.cda", false, 0, 0},
        {"", false, 0, 0},
        {"D:", false, 0, 0},
    };
    for (const Case& c : cases) {
        const std::optional<CdaTrack> track = ParseCdaPath(c.path);
        ASSERT_EQ(track.has_value(), c.valid) << c.path;
        if (c.valid) {
            EXPECT_EQ(track->driveIndex * 100 + track->trackIndex, c.drive * 100 + c.track) << c.path;
        }
    }
    EXPECT_EQ(CdaPathFor(3, 4), "D:\\Track05.cda");
    EXPECT_EQ(CdaPathFor(25, 98), "Z:\\Track99.cda");
}

TEST(CdImageChoice, LetterEqualsCueSheet) {
    const std::pair<const char*, int> cases[] = {
        {"D=disc.cue", 3}, {"e=/m/a=b.cue", 4}, {"D", -1}, {"D=", -1}, {"1=x.cue", -1}, {"Dx.cue", -1}, {"", -1},
    };
    for (const auto& [value, drive] : cases) {
        std::optional<CdImageChoice> choice = ParseCdImageChoice(value);
        ASSERT_EQ(choice.has_value(), drive >= 0) << value;
        if (choice) {
            EXPECT_EQ(choice->driveIndex, drive) << value;
            EXPECT_EQ(choice->cuePath, std::string(value).substr(2)) << value;
        }
    }
}

TEST(CueSheet, RefusesWhatItCannotPlaceAndSkipsWhatDoesNotMatter) {
    struct Case {
        const char* name;
        const char* text;
        bool valid;
    };
    const Case cases[] = {
        {"TwoFilesWithPregaps",
         "\xEF\xBB\xBFREM GENRE Pop\r\nFILE \"a b.bin\" BINARY\r\n  TRACK 01 AUDIO\r\n    TITLE \"x\"\r\n"
         "    INDEX 01 00:00:00\r\n  TRACK 02 AUDIO\r\n    PREGAP 00:02:00\r\n    INDEX 00 00:10:00\r\n"
         "    INDEX 01 00:12:05\r\nFILE c.bin BINARY\r\n  TRACK 03 AUDIO\r\n    INDEX 01 00:00:00\r\n",
         true},
        {"DataTrack", "FILE a.bin BINARY\nTRACK 01 MODE1/2352\nINDEX 01 00:00:00\n", false},
        {"WaveFile", "FILE a.wav WAVE\nTRACK 01 AUDIO\nINDEX 01 00:00:00\n", false},
        {"TrackBeforeFile", "TRACK 01 AUDIO\nINDEX 01 00:00:00\n", false},
        {"MissingIndex01", "FILE a.bin BINARY\nTRACK 01 AUDIO\nTRACK 02 AUDIO\nINDEX 01 00:00:00\n", false},
        {"LastTrackWithoutIndex", "FILE a.bin BINARY\nTRACK 01 AUDIO\nINDEX 00 00:00:00\n", false},
        {"NumbersOutOfOrder", "FILE a.bin BINARY\nTRACK 02 AUDIO\nINDEX 01 00:00:00\n", false},
        {"StartsGoingBack", "FILE a.bin BINARY\nTRACK 01 AUDIO\nINDEX 01 00:10:00\nTRACK 02 AUDIO\nINDEX 01 00:05:00\n",
         false},
        {"SeventyFifthFrame", "FILE a.bin BINARY\nTRACK 01 AUDIO\nINDEX 01 00:00:75\n", false},
        {"SixtiethSecond", "FILE a.bin BINARY\nTRACK 01 AUDIO\nINDEX 01 00:60:00\n", false},
        {"Track100", "FILE a.bin BINARY\nTRACK 100 AUDIO\nINDEX 01 00:00:00\n", false},
        {"NoTracks", "REM nothing\n", false},
    };
    for (const Case& c : cases) {
        const auto parsed = ParseCueSheet(c.text);
        EXPECT_EQ(std::holds_alternative<CueSheet>(parsed), c.valid) << c.name << ": " << FaultText(parsed);
        EXPECT_EQ(FaultText(parsed).empty(), c.valid) << c.name;
    }
    const auto parsed = ParseCueSheet(cases[0].text);
    ASSERT_TRUE(std::holds_alternative<CueSheet>(parsed)) << FaultText(parsed);
    const CueSheet& sheet = std::get<CueSheet>(parsed);
    EXPECT_EQ(sheet.files, (std::vector<std::string>{"a b.bin", "c.bin"}));
    ASSERT_EQ(sheet.tracks.size(), 3u);
    EXPECT_EQ(sheet.tracks[1].startFrame, 12u * 75 + 5);
    EXPECT_EQ(sheet.tracks[2].file, 1u);
}

TEST(CueImage, RipsATrackThatSpansNoFileBoundaryExactly) {
    TempFolder folder;
    std::vector<uint8_t> first = NoiseFrames(400, 1), second = NoiseFrames(300, 2);
    ::kvt::testing::WriteFileBytes(folder / "one.bin", first);
    second.push_back(0x55);  // a partial frame at the end is not part of the disc
    ::kvt::testing::WriteFileBytes(folder / "two.bin", second);
    folder.Write("disc.cue",
                 "FILE \"one.bin\" BINARY\n TRACK 01 AUDIO\n  INDEX 01 00:00:00\n"
                 " TRACK 02 AUDIO\n  INDEX 01 00:02:00\n"
                 "FILE \"two.bin\" BINARY\n TRACK 03 AUDIO\n  INDEX 01 00:00:10\n");
    const auto loaded = LoadCueImage(folder / "disc.cue");
    ASSERT_TRUE(std::holds_alternative<std::shared_ptr<DiscImage>>(loaded)) << FaultText(loaded);
    const std::shared_ptr<DiscImage> disc = std::get<std::shared_ptr<DiscImage>>(loaded);
    EXPECT_EQ(disc->TrackStarts(), (std::vector<uint32_t>{0, 150, 410}));
    EXPECT_EQ(disc->LeadOut(), 700u);

    SimulatedMachine machine(disc);
    std::promise<int> finished;
    RipController controller(*machine.layer);
    controller.StartRip([&](int r) { finished.set_value(r); }, kDriveD, 2, folder / "t3.wav");
    ASSERT_EQ(finished.get_future().get(), 1);
    controller.WaitRip();
    std::vector<uint8_t> expected(second.begin() + 10 * kFrameBytes, second.end() - 1);
    EXPECT_TRUE(WaveData(folder / "t3.wav") == expected);

    folder.Write("bad.cue", "FILE \"one.bin\" BINARY\n TRACK 01 AUDIO\n  INDEX 01 01:00:00\n");
    EXPECT_FALSE(FaultText(LoadCueImage(folder / "bad.cue")).empty()) << "track starts past its file";
    folder.Write("missing.cue", "FILE \"gone.bin\" BINARY\n TRACK 01 AUDIO\n  INDEX 01 00:00:00\n");
    EXPECT_NE(FaultText(LoadCueImage(folder / "missing.cue")).find("gone.bin"), std::string::npos);
}

// A named pipe opened for reading waits for a writer: as the sheet or as its BIN, it is
// refused at once, as are a folder and a device.
TEST(CueImage, WhatIsNotARegularFileIsRefusedAtOnce) {
    TempFolder folder;
    ASSERT_EQ(mkfifo((folder / "pipe").c_str(), 0600), 0);
    std::filesystem::create_directory(folder / "folder");
    ::kvt::testing::WriteFileBytes(folder / "one.bin", NoiseFrames(100, 1));
    const std::string sheetOf = "\" BINARY\n TRACK 01 AUDIO\n  INDEX 01 00:00:00\n";
    for (const std::string& named : {folder / "pipe", folder / "folder", std::string("/dev/zero")}) {
        SCOPED_TRACE(named);
        folder.Write("bin.cue", "FILE \"" + named + sheetOf);
        for (const std::string& cue : {named, folder / "bin.cue"}) {
            auto loading = std::async(std::launch::async, [&] { return FaultText(LoadCueImage(cue)); });
            if (loading.wait_for(std::chrono::seconds(5)) != std::future_status::ready) {
                ADD_FAILURE() << cue << " blocks";
                close(open((folder / "pipe").c_str(), O_WRONLY | O_NONBLOCK));  // lets the read end
            }
            EXPECT_EQ(loading.get(), named + ": 通常のファイルではありません") << cue;
        }
    }
}

}  // namespace
}  // namespace kvt::cd
