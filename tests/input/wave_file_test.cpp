#include "input/wave_file.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>

#include "input/wave_test_support.h"
#include "platform/message.h"

namespace kvt {
namespace {

using testing::Chunk;
using testing::DataChunk;
using testing::FilledChunk;
using testing::FmtChunk;
using testing::Int16Bytes;
using testing::Int16Samples;
using testing::RiffImage;
using testing::UnknownTagText;

std::vector<std::string> Tags(std::initializer_list<const char*> tags) {
    std::vector<std::string> texts;
    for (const char* tag : tags) texts.push_back(UnknownTagText(tag));
    return texts;
}

const std::vector<uint8_t> kPcm = Int16Bytes({1, -2, 300, -400});

WaveFile Loaded(const std::vector<uint8_t>& image) {
    WaveFile wave;
    EXPECT_TRUE(wave.LoadFromMemory(image));
    return wave;
}

TEST(WaveFileLoad, FmtChunkLongerThanThePcmRecordIsSkippedAndSavedAs16Bytes) {
    for (size_t extra : {0u, 2u, 24u}) {
        SCOPED_TRACE(16 + extra);
        MessageRecorder recorder;
        WaveFile wave;
        ASSERT_TRUE(wave.LoadFromMemory(RiffImage({FmtChunk(2, 22050, 16, extra), DataChunk(kPcm)})));
        EXPECT_TRUE(recorder.Texts().empty());
        EXPECT_EQ(wave.fmtSize, 16 + extra);
        EXPECT_EQ(wave.channels, 2);
        EXPECT_EQ(wave.sampleRate, 22050u);
        EXPECT_EQ(wave.byteRate, 88200u);
        EXPECT_EQ(wave.blockAlign, 4);
        EXPECT_EQ(wave.bitsPerSample, 16);
        EXPECT_EQ(std::vector<uint8_t>(wave.Samples().begin(), wave.Samples().end()), kPcm);
        // The saved image starts over with the canonical header.
        std::vector<uint8_t> saved = wave.SavedBytes();
        EXPECT_EQ(saved, RiffImage({FmtChunk(2, 22050, 16), DataChunk(kPcm)}));
    }
}

TEST(WaveFileLoad, ExtensibleFormatTakesTheTagOfItsSubFormat) {
    struct Case {
        size_t extra;
        uint16_t subFormat;
        uint16_t expected;
    };
    // A 40-byte extensible chunk names PCM (1) or IEEE float (3) in its GUID; a chunk too
    // short to hold the GUID keeps the tag as read.
    for (const Case& c : {Case{24, 1, 1}, Case{24, 3, 3}, Case{2, 1, 0xFFFE}}) {
        SCOPED_TRACE(c.expected);
        Chunk fmt = FmtChunk(2, 48000, 24, c.extra);
        SetLe16(fmt.body, 0xFFFE);
        if (fmt.body.size() >= 26) SetLe16(std::span(fmt.body).subspan(24), c.subFormat);
        WaveFile wave = Loaded(RiffImage({fmt, DataChunk({1, 2, 3})}));
        EXPECT_EQ(wave.formatTag, c.expected);
        const std::vector<uint8_t> saved = wave.SavedBytes();
        EXPECT_EQ(GetLe16(std::span(saved).subspan(20)), c.expected);
    }
}

struct ChunkOrderCase {
    const char* name;
    std::vector<Chunk> chunks;
    std::vector<std::string> messages;
};

TEST(WaveFileLoad, ForeignChunksAreSkippedWithOneBoxPerUnknownChunk) {
    const Chunk fmt = FmtChunk(1, 8000, 16);
    const Chunk data = DataChunk(kPcm);
    const ChunkOrderCase cases[] = {
        {"plain", {fmt, data}, {}},
        {"leading chunks in order",
         {FilledChunk("PAD ", 4), FilledChunk("bext", 602), FilledChunk("minf", 16), FilledChunk("elm1", 3), fmt, data},
         {}},
        {"one leading chunk", {FilledChunk("minf", 16), fmt, data}, {}},
        {"fact of 4", {fmt, FilledChunk("fact", 4), data}, {}},
        {"known chunks", {fmt, FilledChunk("umid", 24), FilledChunk("regn", 10), FilledChunk("pad ", 1), data}, {}},
        {"fact then known", {fmt, FilledChunk("fact", 4), FilledChunk("ovwf", 8), data}, {}},
        {"smpl", {fmt, FilledChunk("smpl", 26), data}, Tags({"smpl"})},
        {"smpl then umid", {fmt, FilledChunk("smpl", 26), FilledChunk("umid", 24), data}, Tags({"smpl", "umid"})},
        {"umid then smpl", {fmt, FilledChunk("umid", 24), FilledChunk("smpl", 26), data}, Tags({"smpl"})},
        {"fact after smpl", {fmt, FilledChunk("smpl", 4), FilledChunk("fact", 8), data}, Tags({"smpl", "fact"})},
        // Every editor's and FFmpeg's tags: never a box, wherever they stand before "data".
        {"LIST after fmt", {fmt, FilledChunk("LIST", 26), data}, {}},
        {"LIST around the leading chunks",
         {FilledChunk("LIST", 4), FilledChunk("bext", 2), FilledChunk("LIST", 6), fmt, FilledChunk("LIST", 2),
          FilledChunk("fact", 4), FilledChunk("LIST", 3), FilledChunk("umid", 2), data},
         {}},
        {"LIST after an unknown chunk",
         {fmt, FilledChunk("smpl", 4), FilledChunk("LIST", 8), FilledChunk("umid", 2), data},
         Tags({"smpl", "umid"})},
        {"empty unknown chunk", {fmt, FilledChunk("JUNK", 0), data}, Tags({"JUNK"})},
        {"unprintable identifier", {fmt, FilledChunk(std::string("\0\0ab", 4), 2), data}, Tags({"??ab"})},
    };
    for (const ChunkOrderCase& c : cases) {
        SCOPED_TRACE(c.name);
        MessageRecorder recorder;
        WaveFile wave;
        EXPECT_TRUE(wave.LoadFromMemory(RiffImage(c.chunks)));
        EXPECT_EQ(recorder.Texts(), c.messages);
        EXPECT_EQ(wave.SampleBytes(), kPcm.size());
        EXPECT_EQ(std::string(wave.dataId.data(), 4), "data");
    }
}

struct RefusedCase {
    const char* name;
    std::vector<uint8_t> image;
    std::vector<std::string> messages;
};

std::vector<uint8_t> Concat(std::vector<uint8_t> a, const std::vector<uint8_t>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

TEST(WaveFileLoad, RefusedFilesHoldNoSamplesAndSayWhere) {
    const Chunk fmt = FmtChunk(1, 8000, 16);
    const Chunk data = DataChunk(kPcm);
    const std::vector<uint8_t> good = RiffImage({fmt, data});
    std::vector<uint8_t> rifx = good;
    rifx[3] = 'X';
    const RefusedCase cases[] = {
        {"empty file", {}, Tags({"RIFF"})},
        {"three bytes", {'R', 'I', 'F'}, Tags({"RIFF"})},
        {"RIFF without size", {'R', 'I', 'F', 'F', 0}, Tags({"RIFF"})},
        {"big-endian RIFX", rifx, Tags({"RIFF"})},
        {"RIFF without form", std::vector<uint8_t>(good.begin(), good.begin() + 10), Tags({"WAVE"})},
        {"AVI form", RiffImage({fmt, data}, "AVI "), Tags({"WAVE"})},
        {"no chunks", RiffImage({}), Tags({"fmt "})},
        {"cue before fmt", RiffImage({FilledChunk("cue ", 26), fmt, data}), Tags({"fmt "})},
        {"LIST past the end", RiffImage({fmt, {"LIST", {}, 100}, data}), Tags({"LIST"})},
        {"LIST past the end before fmt", RiffImage({{"LIST", {}, 100}, fmt, data}), Tags({"LIST"})},
        {"second bext before fmt", RiffImage({FilledChunk("bext", 2), FilledChunk("bext", 2), fmt, data}),
         Tags({"fmt "})},
        {"leading chunks out of order", RiffImage({FilledChunk("minf", 2), FilledChunk("bext", 2), fmt, data}),
         Tags({"fmt "})},
        {"fmt shorter than the PCM record", RiffImage({{"fmt ", std::vector<uint8_t>(14), std::nullopt}, data}),
         Tags({"fmt "})},
        {"fact of 8", RiffImage({fmt, FilledChunk("fact", 8), data}), Tags({"fact"})},
        {"no data chunk", RiffImage({fmt}), Tags({"data"})},
        {"no data after unknown chunk", RiffImage({fmt, FilledChunk("smpl", 4)}), Tags({"smpl", "data"})},
        {"leading chunk past the end", RiffImage({{"bext", {}, 0xFFFFFFF0}, fmt, data}), Tags({"bext"})},
        {"fmt past the end", RiffImage({{"fmt ", std::vector<uint8_t>(16), 0xFFFFFFFF}}), Tags({"fmt "})},
        {"known chunk past the end", RiffImage({fmt, {"umid", {}, 100}, data}), Tags({"umid"})},
        {"unknown chunk past the end", RiffImage({fmt, {"smpl", {}, 0x80000000}, data}), Tags({"smpl"})},
        {"half a chunk header before data", Concat(RiffImage({fmt}), {'d', 'a', 't'}), Tags({"data"})},
    };
    for (const RefusedCase& c : cases) {
        SCOPED_TRACE(c.name);
        MessageRecorder recorder;
        WaveFile wave;
        EXPECT_FALSE(wave.LoadFromMemory(c.image));
        EXPECT_FALSE(wave.HasData());
        EXPECT_EQ(wave.SampleBytes(), 0u);
        EXPECT_EQ(recorder.Texts(), c.messages);
        EXPECT_FALSE(wave.Save("/nonexistent-folder-of-kvt/never.wav"));
    }
}

// A "data" size beyond the file is what a WAV still being written (0x7FFFFFFF) or sent
// down a pipe (0xFFFFFFFF) carries: the whole frames present load, nothing past the end.
// A real size that the file falls short of says so once.
TEST(WaveFileLoad, DataRunningPastTheEndKeepsTheWholeFramesThatAreThere) {
    struct Case {
        const char* name;
        uint16_t channels;
        uint32_t sizeField;
        size_t present;
        size_t kept;
        std::vector<std::string> messages;
    };
    const std::string cutShort = "ファイルが途中で切れています。ヘッダーでは2.5秒ですが、読み込めたのは0.2秒です。";
    const std::vector<uint8_t> pcm = Int16Bytes(std::vector<int16_t>(1600, 1234));
    const Case cases[] = {
        {"half a frame missing", 1, 9, 8, 8, {}},
        {"cut short", 1, 40000, 3200, 3200, {cutShort}},
        {"cut short in a frame", 2, 80000, 6403, 6400, {cutShort}},
        {"decoder still running", 2, 0x7FFFFFFF, 8, 8, {}},
        {"piped, half a frame at the end", 2, 0xFFFFFFFF, 7, 4, {}},
        {"piped, no samples yet", 2, 0xFFFFFFFF, 0, 0, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<uint8_t> present(pcm.begin(), pcm.begin() + static_cast<long>(std::min(c.present, pcm.size())));
        present.resize(c.present, 0);
        MessageRecorder recorder;
        WaveFile wave = Loaded(RiffImage({FmtChunk(c.channels, 8000, 16), {"data", present, c.sizeField}}));
        EXPECT_EQ(wave.dataSize, c.sizeField);
        EXPECT_EQ(wave.SampleBytes(), c.kept);
        EXPECT_TRUE(std::equal(wave.Samples().begin(), wave.Samples().end(), present.begin()));
        EXPECT_EQ(recorder.Texts(), c.messages);
    }
}

TEST(WaveFileLoad, SizesOutsideTheChunkSearchAreNotTrusted) {
    // The RIFF size is never looked at, and bytes after the data chunk are ignored.
    std::vector<uint8_t> image = RiffImage({FmtChunk(1, 8000, 16), DataChunk(kPcm)});
    SetLe32(std::span(image).subspan(4), 3);
    image.insert(image.end(), {'J', 'U', 'N', 'K', 0xFF, 0xFF});
    MessageRecorder recorder;
    WaveFile wave = Loaded(image);
    EXPECT_EQ(wave.riffSize, 3u);
    EXPECT_EQ(wave.SampleBytes(), kPcm.size());
    EXPECT_TRUE(recorder.Texts().empty());
}

TEST(WaveFileLoad, OddChunkSizesAreTakenWithoutPadByte) {
    // An odd chunk is followed directly by the next header, as the chunk walk reads it.
    MessageRecorder recorder;
    WaveFile wave = Loaded(RiffImage({FmtChunk(1, 8000, 8), FilledChunk("umid", 3), DataChunk({1, 2, 3})}));
    EXPECT_EQ(wave.SampleBytes(), 3u);
    EXPECT_TRUE(recorder.Texts().empty());
}

TEST(WaveFileLoad, EmptyDataLoadsAndSavesAHeaderOnly) {
    WaveFile wave = Loaded(RiffImage({FmtChunk(2, 44100, 16), DataChunk({})}));
    EXPECT_TRUE(wave.HasData());
    EXPECT_EQ(wave.SampleBytes(), 0u);
    EXPECT_EQ(wave.SavedSize(), 44u);
    EXPECT_EQ(wave.SavedBytes().size(), 44u);
}

TEST(WaveFileLoad, MissingFileOrFolderIsNotFound) {
    testing::TempFolder folder;
    for (const std::string& path : {folder.File("absent.wav"), folder.File("")}) {
        SCOPED_TRACE(path);
        MessageRecorder recorder;
        WaveFile wave;
        EXPECT_FALSE(wave.Load(path));
        EXPECT_FALSE(wave.HasData());
        EXPECT_EQ(recorder.Texts(), std::vector<std::string>{"ファイルが見つかりませんでした。"});
    }
}

TEST(WaveFileLoad, ALaterFailedLoadDropsTheEarlierSamples) {
    testing::TempFolder folder;
    const std::string path = folder.File("in.wav");
    testing::WriteFileBytes(path, RiffImage({FmtChunk(1, 8000, 16), DataChunk(kPcm)}));
    MessageRecorder recorder;
    WaveFile wave;
    ASSERT_TRUE(wave.Load(path));
    EXPECT_EQ(wave.SampleBytes(), kPcm.size());
    EXPECT_FALSE(wave.Load(folder.File("gone.wav")));
    EXPECT_FALSE(wave.HasData());
    EXPECT_EQ(wave.SampleBytes(), 0u);
    EXPECT_EQ(wave.sampleRate, 0u);
}

TEST(WaveFileConvert, EightBitBecomesSigned16Bit) {
    WaveFile wave = Loaded(RiffImage({FmtChunk(1, 8000, 8), DataChunk({0, 128, 255, 1})}));
    wave.Convert8To16();
    EXPECT_EQ(Int16Samples(wave.Samples()), (std::vector<int16_t>{-32768, 0, 32512, -32512}));
    EXPECT_EQ(wave.SampleBytes(), 8u);
    EXPECT_EQ(wave.byteRate, 16000u);
    EXPECT_EQ(wave.blockAlign, 2);
    EXPECT_EQ(wave.bitsPerSample, 16);
    EXPECT_EQ(wave.channels, 1);
}

TEST(WaveFileConvert, ThreeByteSamplesKeepTheirUpperTwoBytes) {
    // 20-bit data sits in the same 3-byte containers and is cut the same way.
    for (uint16_t bits : {20, 24}) {
        SCOPED_TRACE(bits);
        // Two stereo frames and a stray byte that makes no whole sample.
        const std::vector<uint8_t> data = {0xFF, 0x34, 0x12, 0x00, 0x00, 0x80, 0x80,
                                           0xFF, 0x7F, 0x01, 0xFF, 0xFF, 0x77};
        WaveFile wave = Loaded(RiffImage({FmtChunk(2, 48000, bits), DataChunk(data)}));
        ASSERT_EQ(wave.blockAlign, 6);
        wave.Convert24To16();
        EXPECT_EQ(Int16Samples(wave.Samples()), (std::vector<int16_t>{0x1234, -32768, 0x7FFF, -1}));
        EXPECT_EQ(wave.SampleBytes(), 8u);
        EXPECT_EQ(wave.byteRate, 192000u);
        EXPECT_EQ(wave.blockAlign, 4);
        EXPECT_EQ(wave.bitsPerSample, 16);
    }
}

struct MixCase {
    int left, right, mono;
};

TEST(WaveFileConvert, SixteenBitStereoMixesTowardZero) {
    const MixCase cases[] = {
        {-3, 0, -1},           {3, 0, 1},         {-1, 0, 0}, {-32768, 32767, 0}, {-32768, -32768, -32768},
        {32767, 32767, 32767}, {100, -301, -100},
    };
    std::vector<int16_t> stereo, expected;
    for (const MixCase& c : cases) {
        stereo.push_back(static_cast<int16_t>(c.left));
        stereo.push_back(static_cast<int16_t>(c.right));
        expected.push_back(static_cast<int16_t>(c.mono));
    }
    WaveFile wave = Loaded(RiffImage({FmtChunk(2, 44100, 16), DataChunk(Int16Bytes(stereo))}));
    wave.MixToMono();
    EXPECT_EQ(Int16Samples(wave.Samples()), expected);
    EXPECT_EQ(wave.channels, 1);
    EXPECT_EQ(wave.byteRate, 88200u);
    EXPECT_EQ(wave.blockAlign, 2);
    EXPECT_EQ(wave.SampleBytes(), 2 * expected.size());
}

TEST(WaveFileConvert, EightBitStereoMixesAroundSilence) {
    const MixCase cases[] = {{125, 128, 127}, {131, 128, 129}, {0, 255, 128}, {0, 0, 0}, {255, 255, 255}, {1, 0, 1}};
    std::vector<uint8_t> stereo, expected;
    for (const MixCase& c : cases) {
        stereo.push_back(static_cast<uint8_t>(c.left));
        stereo.push_back(static_cast<uint8_t>(c.right));
        expected.push_back(static_cast<uint8_t>(c.mono));
    }
    WaveFile wave = Loaded(RiffImage({FmtChunk(2, 8000, 8), DataChunk(stereo)}));
    wave.MixToMono();
    EXPECT_EQ(std::vector<uint8_t>(wave.Samples().begin(), wave.Samples().end()), expected);
    EXPECT_EQ(wave.byteRate, 8000u);
    EXPECT_EQ(wave.blockAlign, 1);
}

TEST(WaveFileConvert, MixingLeavesMonoAloneAndDropsAHalfFrame) {
    WaveFile mono = Loaded(RiffImage({FmtChunk(1, 8000, 16), DataChunk(kPcm)}));
    mono.MixToMono();
    EXPECT_EQ(std::vector<uint8_t>(mono.Samples().begin(), mono.Samples().end()), kPcm);
    EXPECT_EQ(mono.byteRate, 16000u);

    // 1.5 frames of 16-bit stereo: the trailing left sample has no partner.
    WaveFile stereo = Loaded(RiffImage({FmtChunk(2, 8000, 16), DataChunk(Int16Bytes({10, 20, 30}))}));
    stereo.MixToMono();
    EXPECT_EQ(Int16Samples(stereo.Samples()), std::vector<int16_t>{15});
    EXPECT_EQ(stereo.SampleBytes(), 2u);
}

TEST(WaveFileConvert, NormalisationBringsEveryAcceptedDepthTo16Bits) {
    struct Case {
        uint16_t bits;
        std::vector<uint8_t> data;
        std::vector<int16_t> samples;
    };
    const Case cases[] = {
        {8, {0, 128}, {-32768, 0}},
        {16, Int16Bytes({-5, 7}), {-5, 7}},
        {20, {0xF0, 0xFF, 0x7F, 0x00, 0x00, 0x80}, {0x7FFF, -32768}},
        {24, {0xFF, 0x34, 0x12}, {0x1234}},
        {32, {0xFF, 0xFF, 0x34, 0x12, 0x00, 0x00, 0x00, 0x80}, {0x1234, -32768}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.bits);
        MessageRecorder recorder;
        WaveFile wave = Loaded(RiffImage({FmtChunk(1, 11025, c.bits), DataChunk(c.data)}));
        EXPECT_TRUE(NormalizeTo16Bits(wave));
        EXPECT_EQ(wave.bitsPerSample, 16);
        EXPECT_EQ(wave.blockAlign, 2);
        EXPECT_EQ(wave.byteRate, 22050u);
        EXPECT_EQ(Int16Samples(wave.Samples()), c.samples);
        EXPECT_TRUE(recorder.Texts().empty());
    }
}

TEST(WaveFileConvert, NormalisationRefusesOtherBitCounts) {
    for (uint16_t bits : {0, 4, 12, 48, 64}) {
        SCOPED_TRACE(bits);
        MessageRecorder recorder;
        WaveFile wave = Loaded(RiffImage({FmtChunk(1, 8000, bits), DataChunk(kPcm)}));
        EXPECT_FALSE(NormalizeTo16Bits(wave));
        EXPECT_EQ(recorder.Texts(),
                  std::vector<std::string>{"対応していないビット数のWAVファイルです。 [" + std::to_string(bits) + "]"});
    }
}

std::vector<uint8_t> FloatBytes(const std::vector<double>& values, uint16_t bits) {
    std::vector<uint8_t> bytes;
    for (double v : values) {
        if (bits == 32)
            PutLe32(bytes, std::bit_cast<uint32_t>(static_cast<float>(v)));
        else
            PutLe64(bytes, std::bit_cast<uint64_t>(v));
    }
    return bytes;
}

// Audio editors export float, where a loud master goes beyond ±1.0: it must clip at full
// scale, never wrap round to the other sign. Plain and extensible headers alike.
TEST(WaveFileConvert, FloatSamplesAreScaledAndClipped) {
    const std::vector<double> values = {0.0, 0.5, -0.25, 1.0, -1.0, 1.5, -2.0, 1e9, std::nan(""), 0.99999};
    const std::vector<int16_t> expected = {0, 16384, -8192, 32767, -32768, 32767, -32768, 32767, 0, 32767};
    for (uint16_t bits : {32, 64}) {
        for (bool extensible : {false, true}) {
            SCOPED_TRACE(std::to_string(bits) + (extensible ? " extensible" : " plain"));
            Chunk fmt = FmtChunk(2, 44100, bits, extensible ? 24 : 2);
            SetLe16(fmt.body, extensible ? 0xFFFE : 3);
            if (extensible) SetLe16(std::span(fmt.body).subspan(24), 3);
            MessageRecorder recorder;
            WaveFile wave = Loaded(RiffImage({fmt, FilledChunk("fact", 4), DataChunk(FloatBytes(values, bits))}));
            ASSERT_TRUE(NormalizeTo16Bits(wave));
            EXPECT_EQ(Int16Samples(wave.Samples()), expected);
            EXPECT_EQ(wave.formatTag, 1);
            EXPECT_EQ(wave.bitsPerSample, 16);
            EXPECT_EQ(wave.blockAlign, 4);
            EXPECT_EQ(wave.byteRate, 176400u);
            EXPECT_TRUE(recorder.Texts().empty());
        }
    }
}

TEST(WaveFileSave, WritesTheCanonicalFileAndNothingOnFailure) {
    testing::TempFolder folder;
    const std::vector<uint8_t> odd = {1, 2, 3, 4, 5};
    MessageRecorder recorder;
    WaveFile wave =
        Loaded(RiffImage({FilledChunk("PAD ", 2), FmtChunk(1, 8000, 8, 2), FilledChunk("smpl", 4), DataChunk(odd)}));
    EXPECT_EQ(recorder.Texts(), Tags({"smpl"}));
    const std::string path = folder.File("out.wav");
    ASSERT_TRUE(wave.Save(path));
    const std::vector<uint8_t> saved = testing::ReadFileBytes(path);
    EXPECT_EQ(saved.size(), wave.SavedSize());
    EXPECT_EQ(saved.size(), odd.size() + 44);  // no pad byte after odd data
    EXPECT_EQ(saved, RiffImage({FmtChunk(1, 8000, 8), DataChunk(odd)}));

    recorder.Clear();
    EXPECT_FALSE(wave.Save(folder.File("no-such-folder/out.wav")));
    EXPECT_EQ(recorder.Texts(), std::vector<std::string>{"ファイルが開けませんでした。"});
    EXPECT_FALSE(std::filesystem::exists(folder.File("no-such-folder")));
}

TEST(WaveFileMessages, CodesAndTagKindsPickTheirTexts) {
    const std::pair<int, std::string> codes[] = {
        {0, "ファイルが見つかりませんでした。"},
        {1, "不明なタグが検出されました。"},
        {2, "ファイルが開けませんでした。"},
        {3, "フォーマットが違う音声ファイルを処理しようとしました。"},
        {4, "ビット数を変更しました。"},
        {5, ""},
        {-1, ""},
    };
    for (const auto& [code, text] : codes) {
        MessageRecorder recorder;
        WaveFile::ShowMessage(code);
        EXPECT_EQ(recorder.Texts(), std::vector<std::string>{text}) << code;
    }
    MessageRecorder recorder;
    WaveFile::ShowTagMessage(1, "LIST");
    WaveFile::ShowTagMessage(0, "LIST");
    EXPECT_EQ(recorder.Texts(), (std::vector<std::string>{UnknownTagText("LIST"), " [LIST]"}));
}

}  // namespace
}  // namespace kvt
