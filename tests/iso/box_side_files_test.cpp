#include "iso/side_files.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>

#include "box_test_support.h"
#include "engine/byte_order.h"
#include "iso/file_3gp.h"
#include "iso/file_3gp_splice.h"
#include "platform/message.h"

namespace kvt {
namespace {

using testing::BoxOffset;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::IsEmpty;
using testing::ReadFileBytes;
using testing::TempFolder;

std::vector<uint8_t> BodyAt(std::span<const uint8_t> file, uint64_t offset) {
    const uint32_t size = GetBe32(file.subspan(offset));
    return {file.begin() + offset + 8, file.begin() + offset + size};
}

TEST(BoxSideFiles, PathsSitBesideTheScratchWav) {
    EXPECT_EQ(SideFilePath("/work/kvt/tempkvt.wav", "stsd"), "/work/kvt/stsd.bx");
    EXPECT_EQ(SideFilePath("tempkvt.wav", "mdat"), "./mdat.bx");
    EXPECT_EQ(SideFilePath("/tempkvt.wav", "stco"), "/stco.bx");
    EXPECT_EQ(SideFilePath("dir/sub/a.b.wav", "drm "), "dir/sub/drm .bx");
}

TEST(BoxSideFiles, ExtractsTheEightBodiesOfAnMp4File) {
    TempFolder folder;
    const std::vector<uint8_t> file = testing::MakeMp4(folder, 8000, 1, 0.5);
    ASSERT_GT(file.size(), 1000u) << "ffmpeg made no MP4 file";
    const std::string scratchWav = folder.File("tempkvt.wav");
    MessageRecorder recorder;
    EXPECT_EQ(ExtractSideFiles(file, scratchWav), 8);
    EXPECT_THAT(recorder.Texts(), IsEmpty());

    const std::string stbl[] = {"moov", "trak", "mdia", "minf", "stbl"};
    const std::pair<std::string_view, std::optional<uint64_t>> expected[] = {
        {"stsd", BoxOffset(file, {"moov", "trak", "mdia", "minf", "stbl", "stsd"})},
        {"stts", BoxOffset(file, {"moov", "trak", "mdia", "minf", "stbl", "stts"})},
        {"stsc", BoxOffset(file, {"moov", "trak", "mdia", "minf", "stbl", "stsc"})},
        {"stsz", BoxOffset(file, {"moov", "trak", "mdia", "minf", "stbl", "stsz"})},
        {"stco", BoxOffset(file, {"moov", "trak", "mdia", "minf", "stbl", "stco"})},
        {"hdlr", BoxOffset(file, {"moov", "trak", "mdia", "hdlr"})},  // the track's, not udta's
        {"mvhd", BoxOffset(file, {"moov", "mvhd"})},
        {"mdat", BoxOffset(file, {"mdat"})},
    };
    for (const auto& [type, offset] : expected) {
        ASSERT_TRUE(offset.has_value()) << type;
        EXPECT_EQ(ReadSideFile(scratchWav, type), BodyAt(file, *offset)) << type;
    }

    DeleteSideFiles(scratchWav);
    for (std::string_view type : kSideFileTypes) EXPECT_FALSE(std::filesystem::exists(SideFilePath(scratchWav, type)));
    DeleteSideFiles(scratchWav);  // nothing left to delete is fine
}

TEST(BoxSideFiles, MissingBoxesAreReportedOneByOne) {
    TempFolder folder;
    const std::string scratchWav = folder.File("tempkvt.wav");
    std::vector<uint8_t> file = {0,   0, 0, 12, 'f', 't', 'y', 'p', 'M', '4', 'A',
                                 ' ', 0, 0, 0,  10,  'm', 'd', 'a', 't', 1,   2};
    MessageRecorder recorder;
    EXPECT_EQ(ExtractSideFiles(file, scratchWav), 1);
    EXPECT_EQ(recorder.Texts(), std::vector<std::string>(7, std::string(kMissingBoxText)));
    EXPECT_THAT(ReadSideFile(scratchWav, "mdat").value_or(std::vector<uint8_t>{}), ElementsAre(1, 2));
    EXPECT_FALSE(ReadSideFile(scratchWav, "stsd").has_value());

    recorder.Clear();
    EXPECT_EQ(ExtractSideFiles({}, scratchWav), 0);
    EXPECT_EQ(recorder.Texts().size(), 8u);
}

// An external encoder whose first chunk starts 8 bytes into its mdat body: an ffmpeg
// file with 8 bytes put in front of its frames and its chunk offsets moved to match.
std::vector<uint8_t> WithEightBytesBeforeTheFrames(std::vector<uint8_t> file) {
    const auto mdat = BoxOffset(file, {"mdat"});
    const auto moov = BoxOffset(file, {"moov"});
    if (!mdat || !moov || *moov < *mdat) return {};
    SetBe32(std::span(file).subspan(*mdat), GetBe32(std::span(file).subspan(*mdat)) + 8);
    file.insert(file.begin() + *mdat + 8, 8, 0);
    const auto stco = BoxOffset(file, {"moov", "trak", "mdia", "minf", "stbl", "stco"});
    if (!stco) return {};
    const uint32_t count = GetBe32(std::span(file).subspan(*stco + 12));
    for (uint32_t i = 0; i < count; ++i) {
        const std::span<uint8_t> entry = std::span(file).subspan(*stco + 16 + 4 * i);
        SetBe32(entry, GetBe32(entry) + 8);
    }
    return file;
}

// Every packet of the file's audio, also those its edit list leaves out of the presentation
// (a spliced file's edit ends with the program's movie, inside the silent tail).
std::string PacketsMd5(const std::string& path, bool isoFile = true) {
    const std::string md5 = testing::RunCommand("ffmpeg -v error " + std::string(isoFile ? "-ignore_editlist 1 " : "") +
                                                "-i " + path + " -map 0:a -c copy -f adts - | md5sum")
                                .output;
    EXPECT_NE(md5, testing::kEmptyMd5) << "no packets read from " << path;
    return md5;
}

TEST(BoxSideFiles, SplicedFileCarriesTheExternalFrames) {
    TempFolder folder;
    const std::vector<uint8_t> external = WithEightBytesBeforeTheFrames(testing::MakeMp4(folder, 16000, 1, 1.5));
    ASSERT_FALSE(external.empty()) << "ffmpeg made no usable MP4 file";
    const std::string externalPath = folder.File("shifted.m4a");
    testing::WriteFileBytes(externalPath, external);
    const std::string scratchWav = folder.File("tempkvt.wav");
    MessageRecorder recorder;
    ASSERT_EQ(ExtractSideFiles(external, scratchWav), 8);

    // The writer's own frames (stand-ins here) only set the durations.
    const std::vector<uint8_t> ownPayload(40, 0);
    const std::vector<uint32_t> ownSizes(4, 10);
    const std::array<uint8_t, 2> info = {0x14, 0x08};
    File3gpOptions options;
    options.spliced = true;
    options.title = "ext";
    const std::string path = folder.File("ring.3gp");
    File_3gp writer(scratchWav);
    ASSERT_TRUE(writer.Write(path, AacTrack{ownPayload, ownSizes, info, 1, 16000, 2}, options));
    EXPECT_THAT(recorder.Texts(), IsEmpty());

    EXPECT_EQ(PacketsMd5(path), PacketsMd5(externalPath));
    EXPECT_EQ(testing::RunCommand("ffmpeg -v error -i " + path + " -f null - 2>&1").output, "");
    const std::vector<uint8_t> image = ReadFileBytes(path);
    EXPECT_EQ(std::string(image.begin() + 8, image.begin() + 12), "3gp5");
    for (std::string_view type : kSideFileTypes) EXPECT_FALSE(std::filesystem::exists(SideFilePath(scratchWav, type)));
}

TEST(BoxSideFiles, UnshiftedExternalFramesFallBackToOwn) {
    TempFolder folder;
    const std::vector<uint8_t> external = testing::MakeMp4(folder, 8000, 1, 0.5);
    const std::string scratchWav = folder.File("tempkvt.wav");
    MessageRecorder recorder;
    ASSERT_EQ(ExtractSideFiles(external, scratchWav), 8);
    const std::optional<testing::AacFrames> frames = testing::MakeAacFrames(folder, 8000, 1, 0.5);
    ASSERT_TRUE(frames.has_value());
    File3gpOptions options;
    options.spliced = true;
    const std::string path = folder.File("ring.3gp");
    ASSERT_TRUE(File_3gp(scratchWav)
                    .Write(path, AacTrack{frames->payload, frames->sizes, frames->decoderInfo, 1, 8000, 2}, options));
    EXPECT_EQ(recorder.Texts(), std::vector<std::string>{std::string(kExternalFallbackText)});
    EXPECT_EQ(PacketsMd5(path), PacketsMd5(folder.File("frames.aac"), false));
}

}  // namespace
}  // namespace kvt
