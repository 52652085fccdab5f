// Damaged WAV files: cut short at every byte, with lying chunk sizes, with empty and odd
// data. Each must load or be refused with its message box; none may read past the file.

#include <gtest/gtest.h>

#include "input/wave_file.h"
#include "input/wave_test_support.h"
#include "platform/message.h"

namespace kvt {
namespace {

using testing::Chunk;
using testing::FilledChunk;
using testing::RiffImage;
using testing::UnknownTagText;

// Every kind of chunk the walk knows, with odd sizes where a chunk may have one.
const std::vector<Chunk> kRichFile = {
    FilledChunk("bext", 5, 0x11), testing::FmtChunk(2, 44100, 16, 2),
    FilledChunk("fact", 4, 0x11), FilledChunk("umid", 3, 0x11),
    FilledChunk("smpl", 7, 0x11), testing::DataChunk(testing::Int16Bytes({1, 2, 3, 4, 5, 6})),
};

// Offsets where each chunk of kRichFile starts, after the 12-byte RIFF header.
std::vector<size_t> ChunkStarts() {
    std::vector<size_t> starts;
    size_t at = 12;
    for (const Chunk& chunk : kRichFile) {
        starts.push_back(at);
        at += 8 + chunk.body.size();
    }
    return starts;
}

TEST(WaveCorpus, TheUncutFileLoads) {
    MessageRecorder recorder;
    WaveFile wave;
    ASSERT_TRUE(wave.LoadFromMemory(RiffImage(kRichFile)));
    EXPECT_EQ(recorder.Texts(), std::vector<std::string>{UnknownTagText("smpl")});
    EXPECT_EQ(wave.SampleBytes(), 12u);
}

// A cut before the samples is refused with one final box; a cut inside them (a file still
// being written) loads the whole frames that are there.
TEST(WaveCorpus, EveryCutIsRefusedBeforeTheSamplesAndKeepsWholeFramesAfter) {
    const std::vector<uint8_t> whole = RiffImage(kRichFile);
    const std::vector<size_t> starts = ChunkStarts();
    const size_t samplesStart = starts[5] + 8;
    for (size_t length = 0; length < whole.size(); ++length) {
        SCOPED_TRACE(length);
        // Exact-size copy so the sanitizers see any read past the cut.
        std::vector<uint8_t> cut(whole.begin(), whole.begin() + static_cast<long>(length));
        MessageRecorder recorder;
        WaveFile wave;
        if (length >= samplesStart) {
            ASSERT_TRUE(wave.LoadFromMemory(cut));
            const size_t kept = (length - samplesStart) / 4 * 4;  // stereo 16-bit frames
            EXPECT_TRUE(std::equal(wave.Samples().begin(), wave.Samples().end(), whole.begin() + samplesStart));
            EXPECT_EQ(wave.SampleBytes(), kept);
            const auto texts = recorder.Texts();
            // Fewer frames than the header promised are loaded with one word that says so.
            ASSERT_EQ(texts.size(), kept < 12 ? 2u : 1u);
            EXPECT_EQ(texts[0], UnknownTagText("smpl"));
            if (kept < 12) {
                EXPECT_EQ(texts[1].rfind("ファイルが途中で切れています。", 0), 0u) << texts[1];
            }
            continue;
        }
        EXPECT_FALSE(wave.LoadFromMemory(cut));
        EXPECT_FALSE(wave.HasData());
        ASSERT_FALSE(recorder.Texts().empty());
        for (const std::string& text : recorder.Texts())
            EXPECT_EQ(text.rfind(testing::kUnknownTagText + " [", 0), 0u) << text;
    }
    // At each chunk boundary the box names what was missing.
    const std::pair<size_t, std::vector<std::string>> boundaries[] = {
        {0, {UnknownTagText("RIFF")}},
        {8, {UnknownTagText("WAVE")}},
        {starts[0], {UnknownTagText("fmt ")}},  // nothing after the header
        {starts[1], {UnknownTagText("fmt ")}},  // the leading chunk, then nothing
        {starts[2], {UnknownTagText("data")}},  // fmt complete, no data
        {starts[3], {UnknownTagText("data")}},  // after fact
        {starts[4], {UnknownTagText("data")}},  // after umid
        {starts[5], {UnknownTagText("smpl"), UnknownTagText("data")}},
        {starts[5] + 7, {UnknownTagText("smpl"), UnknownTagText("data")}},  // half a data header
    };
    for (const auto& [length, texts] : boundaries) {
        SCOPED_TRACE(length);
        MessageRecorder recorder;
        WaveFile wave;
        EXPECT_FALSE(
            wave.LoadFromMemory(std::vector<uint8_t>(whole.begin(), whole.begin() + static_cast<long>(length))));
        EXPECT_EQ(recorder.Texts(), texts);
    }
}

TEST(WaveCorpus, LyingSizesNeverReachBeyondTheFile) {
    const std::vector<size_t> starts = ChunkStarts();
    const uint32_t lies[] = {0, 1, 2, 3, 15, 17, 0x7FFFFFFF, 0x80000000, 0xFFFFFFF7, 0xFFFFFFF8, 0xFFFFFFFF};
    for (size_t chunk = 0; chunk < kRichFile.size(); ++chunk) {
        for (uint32_t lie : lies) {
            SCOPED_TRACE(kRichFile[chunk].id + " " + std::to_string(lie));
            std::vector<Chunk> chunks = kRichFile;
            chunks[chunk].sizeField = lie;
            const std::vector<uint8_t> image = RiffImage(chunks);
            MessageRecorder recorder;
            WaveFile wave;
            const bool loaded = wave.LoadFromMemory(image);
            EXPECT_EQ(loaded, wave.HasData());
            if (loaded) {
                // The samples are a run of the file's own bytes.
                auto samples = wave.Samples();
                EXPECT_NE(std::search(image.begin(), image.end(), samples.begin(), samples.end()), image.end());
                EXPECT_LE(samples.size() + 8, image.size() - starts[0]);
            } else {
                EXPECT_FALSE(recorder.Texts().empty());
                EXPECT_EQ(wave.SampleBytes(), 0u);
            }
        }
    }
}

TEST(WaveCorpus, FilesOnDiskBehaveLikeImages) {
    testing::TempFolder folder;
    const std::vector<uint8_t> whole = RiffImage(kRichFile);
    const std::vector<uint8_t> images[] = {
        whole,
        {whole.begin(), whole.end() - 1},
        RiffImage({testing::FmtChunk(1, 8000, 16), testing::DataChunk({})}),
        RiffImage({testing::FmtChunk(1, 8000, 8), testing::DataChunk({7, 8, 9})}),
        {},
    };
    for (size_t i = 0; i < std::size(images); ++i) {
        SCOPED_TRACE(i);
        const std::string path = folder.File("case.wav");
        testing::WriteFileBytes(path, images[i]);
        MessageRecorder fromDisk;
        WaveFile onDisk;
        const bool diskResult = onDisk.Load(path);
        const auto diskTexts = fromDisk.Texts();
        MessageRecorder fromMemory;
        WaveFile inMemory;
        EXPECT_EQ(diskResult, inMemory.LoadFromMemory(images[i]));
        EXPECT_EQ(diskTexts, fromMemory.Texts());
        EXPECT_TRUE(std::ranges::equal(onDisk.Samples(), inMemory.Samples()));
    }
}

}  // namespace
}  // namespace kvt
