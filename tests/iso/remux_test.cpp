#include "iso/remux.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>

#include "aac_test_support.h"
#include "box_test_support.h"
#include "engine/byte_order.h"
#include "engine/pcm_operations.h"
#include "iso/encoder_3gp.h"
#include "platform/library_log.h"
#include "platform/message.h"

namespace kvt {
namespace {

namespace fs = std::filesystem;

std::vector<std::string> TopLevelTypes(const std::vector<uint8_t>& file) {
    std::vector<std::string> types;
    for (const auto& box : testing::TopLevelBoxes(file)) {
        types.push_back(box.type);
    }
    return types;
}

size_t IndexOf(const std::vector<std::string>& types, const std::string& type) {
    return static_cast<size_t>(std::find(types.begin(), types.end(), type) - types.begin());
}

class Remux : public ::testing::Test {
protected:
    Remux() { SetLibraryLog(LibraryLog::ErrorsAsNotes); }  // as the front ends do

    // A 3GP file written by the built-in path, optionally re-muxed by it.
    std::string Write3gp(int streaming, int kind = 1) {
        const auto samples = testing::MusicLike(16000, 2, 1.2);
        const SourceClip clip(dir_.File("song.wav"), FormatBlock::Pcm16(2, 16000), SamplesToBytes(samples));
        Encoder3gp encoder(clip);
        std::string noProgram;
        EXPECT_EQ(encoder.Convert3gp(kind, 48000, 16000, 2, streaming, 0, 0, "", "", 0, noProgram), 1);
        return dir_.File(kind == 1 ? "song.3gp" : "song.3g2");
    }

    // Files of the folder other than `kept`: the re-mux must leave no scratch behind.
    std::vector<std::string> Others(const std::string& kept) {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(dir_.Path())) {
            if (entry.path().string() != kept) names.push_back(entry.path().filename().string());
        }
        return names;
    }

    testing::TempFolder dir_;
    MessageRecorder messages_;
};

TEST_F(Remux, StreamingFileHasMovieFirstAndTheBrandsOfTheHandsets) {
    ::testing::internal::CaptureStderr();
    const std::string path = Write3gp(1);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "Converting to 3GP file...\n");
    EXPECT_TRUE(messages_.Texts().empty());
    EXPECT_TRUE(Others(path).empty());

    const auto file = testing::ReadFileBytes(path);
    const auto types = TopLevelTypes(file);
    ASSERT_LT(IndexOf(types, "mdat"), types.size());
    EXPECT_EQ(types.front(), "ftyp");
    EXPECT_LT(IndexOf(types, "moov"), IndexOf(types, "mdat"));
    const std::vector<uint8_t> ftyp(file.begin(), file.begin() + 28);
    const std::vector<uint8_t> expected = {0, 0, 0,   28,  'f', 't', 'y', 'p', 'm', 'm', 'p', '4', 0,   0,
                                           0, 1, 'm', 'm', 'p', '4', '3', 'g', 'p', '5', '3', 'g', 'p', '4'};
    EXPECT_EQ(ftyp, expected);

    // An independent reader agrees on the brands.
    const auto probe = testing::RunCommand(
        "ffprobe -v error -show_entries format_tags=major_brand,minor_version,compatible_brands "
        "-of default=noprint_wrappers=1 " +
        testing::Quote(path));
    EXPECT_NE(probe.output.find("major_brand=mmp4"), std::string::npos) << probe.output;
    EXPECT_NE(probe.output.find("minor_version=1"), std::string::npos) << probe.output;
    EXPECT_NE(probe.output.find("compatible_brands=mmp43gp53gp4"), std::string::npos) << probe.output;

    // Stream copy: the same audio as the file written without the re-mux.
    const std::string remuxed = dir_.File("remuxed.3gp");
    fs::rename(path, remuxed);
    const std::string plain = Write3gp(0);
    const auto before = testing::DecodeWithFfmpeg(plain);
    const auto after = testing::DecodeWithFfmpeg(remuxed);
    ASSERT_TRUE(before && after);
    EXPECT_EQ(*before, *after);
    EXPECT_EQ(testing::ProbeAudio(remuxed)["nb_frames"], testing::ProbeAudio(plain)["nb_frames"]);
}

// The chunk sizes of a file's sample-to-chunk table, one per chunk.
std::vector<uint32_t> SamplesPerChunk(const std::vector<uint8_t>& file, uint32_t chunkCount) {
    const auto stsc = testing::BoxOffset(file, {"moov", "trak", "mdia", "minf", "stbl", "stsc"});
    if (!stsc) return {};
    const auto box = std::span(file).subspan(*stsc);
    const uint32_t entries = GetBe32(box.subspan(12));
    std::vector<uint32_t> counts;
    for (uint32_t e = 0; e < entries; ++e) {
        const uint32_t end = e + 1 < entries ? GetBe32(box.subspan(16 + 12 * (e + 1))) : chunkCount + 1;
        for (uint32_t chunk = GetBe32(box.subspan(16 + 12 * e)); chunk < end; ++chunk)
            counts.push_back(GetBe32(box.subspan(20 + 12 * e)));
    }
    return counts;
}

std::vector<uint32_t> Table(const std::vector<uint8_t>& file, std::string_view type, size_t countAt) {
    const auto at = testing::BoxOffset(file, {"moov", "trak", "mdia", "minf", "stbl", type});
    if (!at) return {};
    const auto box = std::span(file).subspan(*at);
    std::vector<uint32_t> values(GetBe32(box.subspan(countAt)));
    for (size_t i = 0; i < values.size(); ++i) values[i] = GetBe32(box.subspan(countAt + 4 + 4 * i));
    return values;
}

// Creation and modification time of mvhd, tkhd and mdhd.
std::vector<uint32_t> Times(const std::vector<uint8_t>& file) {
    std::vector<uint32_t> times;
    for (const auto& path : {std::initializer_list<std::string_view>{"moov", "mvhd"},
                             {"moov", "trak", "tkhd"},
                             {"moov", "trak", "mdia", "mdhd"}}) {
        const auto at = testing::BoxOffset(file, path);
        if (!at) return {};
        times.push_back(GetBe32(std::span(file).subspan(*at + 12)));
        times.push_back(GetBe32(std::span(file).subspan(*at + 16)));
    }
    return times;
}

TEST_F(Remux, StreamingFileHasHalfSecondChunksAndKeepsItsTimes) {
    const std::string plainPath = Write3gp(0);
    const auto plain = testing::ReadFileBytes(plainPath);
    fs::rename(plainPath, dir_.File("plain.3gp"));
    ::testing::internal::CaptureStderr();
    const auto file = testing::ReadFileBytes(Write3gp(1));
    ::testing::internal::GetCapturedStderr();

    // 16000 Hz: a chunk per 8000 samples of media time, frames of 1024 samples.
    const std::vector<uint32_t> sizes = Table(plain, "stsz", 16);
    const std::vector<uint32_t> plainOffsets = Table(plain, "stco", 12);
    const std::vector<uint32_t> offsets = Table(file, "stco", 12);
    ASSERT_FALSE(sizes.empty());
    EXPECT_EQ(Table(file, "stsz", 16), sizes);
    EXPECT_EQ(offsets.size(), (sizes.size() - 1) * 1024 / 8000 + 1);
    const std::vector<uint32_t> perChunk = SamplesPerChunk(file, static_cast<uint32_t>(offsets.size()));
    ASSERT_EQ(perChunk.size(), offsets.size());
    size_t frame = 0;
    for (size_t chunk = 0; chunk < offsets.size(); ++chunk) {
        SCOPED_TRACE(chunk);
        EXPECT_EQ(frame * 1024 / 8000, chunk) << "first frame of the chunk in its half second";
        uint64_t at = offsets[chunk];
        for (uint32_t k = 0; k < perChunk[chunk]; ++k, ++frame) {
            ASSERT_LT(frame, sizes.size());
            ASSERT_LE(at + sizes[frame], file.size());
            EXPECT_TRUE(
                std::equal(file.begin() + at, file.begin() + at + sizes[frame], plain.begin() + plainOffsets[frame]))
                << "frame " << frame;
            at += sizes[frame];
        }
    }
    EXPECT_EQ(frame, sizes.size());

    const std::vector<uint32_t> times = Times(file);
    const std::vector<uint32_t> plainTimes = Times(plain);
    ASSERT_EQ(times.size(), 6u);
    for (size_t i = 0; i < times.size(); ++i) {
        EXPECT_NE(times[i], 0u) << i;
        EXPECT_NEAR(times[i], plainTimes[i], 2) << i;
    }
}

TEST_F(Remux, ThreeG2IsNeverRemuxed) {
    const std::string path = Write3gp(1, 2);
    const auto file = testing::ReadFileBytes(path);
    EXPECT_EQ(TopLevelTypes(file), (std::vector<std::string>{"ftyp", "mdat", "moov"}));
    EXPECT_EQ(std::string(file.begin() + 8, file.begin() + 12), "3g2a");
}

TEST_F(Remux, KeepsTheModeOfTheFileItReplaces) {
    const std::string path = Write3gp(0);
    chmod(path.c_str(), 0644);
    ASSERT_TRUE(RemuxForStreaming(path));
    struct stat info {};
    ASSERT_EQ(stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0644u);
}

TEST_F(Remux, FailureLeavesTheFileAsItWasAndNoScratch) {
    struct Case {
        const char* name;
        std::vector<uint8_t> content;
        const char* message;
    };
    const std::string wavPath = dir_.File("tone.wav");
    testing::WriteWav(wavPath, testing::MusicLike(8000, 1, 0.2), 8000, 1);
    const Case cases[] = {
        {"not a media file", {'j', 'u', 'n', 'k', 0, 1, 2, 3}, "読み込みエラー。"},
        {"empty file", {}, "読み込みエラー。"},
        // PCM cannot go into a 3GP file: the muxer refuses it.
        {"track the 3GP muxer refuses", testing::ReadFileBytes(wavPath), "エラー。"},
    };
    fs::remove(wavPath);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        messages_.Clear();
        const std::string path = dir_.File("broken.3gp");
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(c.content.data()), static_cast<std::streamsize>(c.content.size()));
        ::testing::internal::CaptureStderr();
        EXPECT_FALSE(RemuxForStreaming(path));
        ::testing::internal::GetCapturedStderr();
        EXPECT_EQ(messages_.Texts(), std::vector<std::string>{c.message});
        EXPECT_EQ(testing::ReadFileBytes(path), c.content);
        EXPECT_TRUE(Others(path).empty());
    }
}

TEST_F(Remux, UnwritableFolderShowsTheOpenMessage) {
    const std::string path = dir_.File("missing-folder/song.3gp");
    EXPECT_FALSE(RemuxForStreaming(path));
    EXPECT_EQ(messages_.Texts(), std::vector<std::string>{"出力ファイル開けませんでした。"});
}

}  // namespace
}  // namespace kvt
