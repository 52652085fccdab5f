#include "engine/engine_file.h"

#include <gtest/gtest.h>

#include "engine/byte_order.h"
#include "engine/g711.h"
#include "engine_test_support.h"
#include "platform/message.h"

namespace kvt {
namespace {

using testing::Hex;

// A RIFF/WAVE file with the given format tag, "fmt " length and data bytes.
std::vector<uint8_t> WaveBytes(uint16_t tag, uint16_t channels, uint32_t rate, uint16_t bits, uint32_t formatLength,
                               std::span<const uint8_t> body) {
    std::vector<uint8_t> out;
    PutText(out, "RIFF");
    PutLe32(out, static_cast<uint32_t>(4 + 8 + formatLength + 8 + body.size()));
    PutText(out, "WAVE");
    PutText(out, "fmt ");
    PutLe32(out, formatLength);
    const uint16_t align = static_cast<uint16_t>(channels * bits / 8);
    PutLe16(out, tag);
    PutLe16(out, channels);
    PutLe32(out, rate);
    PutLe32(out, rate * align);
    PutLe16(out, align);
    PutLe16(out, bits);
    for (uint32_t i = 16; i < formatLength; ++i) out.push_back(static_cast<uint8_t>(0x40 + i));
    PutText(out, "data");
    PutLe32(out, static_cast<uint32_t>(body.size()));
    PutBytes(out, body);
    return out;
}

struct LoadedWave {
    int result = 0;
    EngineFile file;
    std::vector<std::string> messages;
};

LoadedWave LoadWaveBytes(std::span<const uint8_t> bytes) {
    testing::TempFolder folder;
    const std::string path = folder.File("in.wav");
    testing::WriteFileBytes(path, bytes);
    MessageRecorder recorder;
    LoadedWave loaded;
    loaded.result = loaded.file.LoadWave(path);
    loaded.messages = recorder.Texts();
    return loaded;
}

TEST(EngineFileImage, ReadsPastTheEndYieldZeroAndStopAtTheEnd) {
    EngineFile file;
    file.image = Hex("AABB");
    file.cursor = 1;
    EXPECT_EQ(file.ReadU32(), 0xBBu);  // little-endian, missing bytes are 0
    EXPECT_EQ(file.cursor, 2u);
    file.cursor = 100;  // a cursor beyond the image must not read out of bounds
    EXPECT_EQ(file.Remaining(), 0u);
    EXPECT_EQ(file.ReadU32(), 0u);
}

TEST(EngineFileImage, FindTagSearchesFromTheCursorAndStaysOnTheMatch) {
    EngineFile file;
    file.image = Hex("00 41424344 00 41424344 41 42 43");
    EXPECT_EQ(file.FindTagFromStart("ABCD"), 1u);
    EXPECT_EQ(file.cursor, 1u);
    file.cursor = 2;
    EXPECT_EQ(file.FindTag("ABCD"), 6u);
    file.cursor = 7;
    EXPECT_FALSE(file.FindTag("ABCD"));  // "ABC" at the very end is no match
    EXPECT_FALSE(file.FindTagFromStart("WXYZ"));
    file.image.clear();
    EXPECT_FALSE(file.FindTagFromStart("ABCD"));
}

TEST(EngineFileImage, AllocateRefusesAnEmptyImage) {
    MessageRecorder recorder;
    EngineFile file;
    EXPECT_EQ(file.Allocate(0), 0);
    EXPECT_EQ(recorder.Texts(), std::vector<std::string>{"filesize"});
    ASSERT_EQ(file.Allocate(6), 1);
    file.WriteTag("MMMD");
    file.WriteU32(0x0A0B);  // runs past the end: the image grows
    EXPECT_EQ(file.image, Hex("4D4D4D44 0B0A0000"));
}

TEST(EngineFileImage, LoadAndSaveReportFilesThatCannotBeUsed) {
    testing::TempFolder folder;
    MessageRecorder recorder;
    EngineFile file;
    EXPECT_EQ(file.Load(folder.File("missing.wav")), 0);
    EXPECT_EQ(file.Load(folder.Path()), 0);  // a folder is not a file
    file.image = Hex("01020304");
    EXPECT_EQ(file.Save(folder.File("no/such/folder/out.bin")), 0);
    EXPECT_EQ(recorder.Texts(),
              (std::vector<std::string>{"file is not found", "file is not found", "ファイルが書き込めませんでした。"}));

    ASSERT_EQ(file.Save(folder.File("out.bin")), 1);
    EngineFile loaded;
    ASSERT_EQ(loaded.Load(folder.File("out.bin")), 1);
    EXPECT_EQ(loaded.image, file.image);
    EXPECT_EQ(loaded.path, folder.File("out.bin"));
}

TEST(EngineFileClip, KeepsItsOwnCopyOfTheBytes) {
    std::vector<uint8_t> bytes = Hex("01000200");
    SourceClip clip("in.wav", FormatBlock::Pcm16(1, 8000), bytes);
    bytes[0] = 9;
    EXPECT_EQ(clip.data, Hex("01000200"));
    EXPECT_EQ(clip.format.byteRate, 16000u);
    EXPECT_EQ(clip.path, "in.wav");
}

TEST(EngineWave, ReadsSixteenBitPcmAndItsFormatBlock) {
    const auto body = Hex("0100 FFFF 0080 FF7F");
    const LoadedWave wave = LoadWaveBytes(WaveBytes(1, 2, 22050, 16, 18, body));
    ASSERT_EQ(wave.result, 1);
    EXPECT_TRUE(wave.messages.empty());
    EXPECT_EQ(wave.file.format, FormatBlock::FromBytes(Hex("0100 0200 22560000 88580100 0400 1000 5051")));
    EXPECT_EQ(wave.file.data, body);
}

TEST(EngineWave, FormatChunkLengthDecidesWhatIsCopied) {
    // 16 bytes leave the extra-size field 0; a longer chunk keeps only 20 bytes.
    const auto body = Hex("0100");
    const LoadedWave shortChunk = LoadWaveBytes(WaveBytes(1, 1, 8000, 16, 16, body));
    ASSERT_EQ(shortChunk.result, 1);
    EXPECT_EQ(shortChunk.file.format.extraSize, 0);
    const LoadedWave longChunk = LoadWaveBytes(WaveBytes(1, 1, 8000, 16, 40, body));
    ASSERT_EQ(longChunk.result, 1);
    EXPECT_EQ(longChunk.file.format.extraSize, 0x5150);
    EXPECT_EQ(longChunk.file.format.spare, 0x5352);
    EXPECT_EQ(longChunk.file.data, body);
}

TEST(EngineWave, ExpandsG711ToSixteenBitSamples) {
    struct Case {
        uint16_t tag;
        std::vector<uint8_t> codes;
        std::vector<int16_t> samples;
    };
    const Case cases[] = {
        {7, {0xFF, 0x00, 0x7F, 0x80, 0xEF}, {0, -32124, 0, 32124, 132}},
        {6, {0xD5, 0x55, 0xAA, 0x2A}, {8, -8, 32256, -32256}},
    };
    for (const Case& c : cases) {
        const LoadedWave wave = LoadWaveBytes(WaveBytes(c.tag, 1, 8000, 8, 16, c.codes));
        ASSERT_EQ(wave.result, 1) << c.tag;
        EXPECT_EQ(BytesToSamples(wave.file.data), c.samples) << c.tag;
        // The block now describes what it holds: 16-bit linear PCM.
        EXPECT_EQ(wave.file.format, FormatBlock::Pcm16(1, 8000)) << c.tag;
    }
}

TEST(EngineWave, EveryMuLawCodeExpandsLikeTheReferenceFormula) {
    for (int code = 0; code < 256; ++code) {
        const int u = ~code & 0xFF;
        int t = ((u & 0x0F) << 3) + 0x84;
        t <<= (u & 0x70) >> 4;
        const int expected = (u & 0x80) ? 0x84 - t : t - 0x84;
        EXPECT_EQ(ExpandMuLaw(static_cast<uint8_t>(code)), expected) << code;
    }
    // A-law: sign and mirror symmetry, and the largest magnitude.
    for (int code = 0; code < 128; ++code)
        EXPECT_EQ(ExpandALaw(static_cast<uint8_t>(code)), -ExpandALaw(static_cast<uint8_t>(code | 0x80)));
}

TEST(EngineWave, RefusesFilesThatAreNotUsableWave) {
    const auto body = Hex("0100 0200");
    const auto good = WaveBytes(1, 1, 8000, 16, 16, body);
    auto notRiff = good;
    notRiff[0] = 'X';
    auto notWave = good;
    notWave[8] = 'X';
    auto noFormat = good;
    noFormat[12] = 'X';
    auto noData = good;
    noData[36] = 'X';
    auto shortFormat = WaveBytes(1, 1, 8000, 16, 16, body);
    SetLe32(std::span(shortFormat).subspan(16), 12);
    auto lyingFormat = good;
    SetLe32(std::span(lyingFormat).subspan(16), 0xFFFFFFF0);
    auto lyingData = good;
    SetLe32(std::span(lyingData).subspan(40), 0xFFFFFFFF);
    auto oneByteTooLong = good;
    SetLe32(std::span(oneByteTooLong).subspan(40), 5);

    const struct {
        const char* name;
        std::vector<uint8_t> bytes;
        const char* message;
    } cases[] = {
        {"not RIFF", notRiff, "RIFF"},
        {"not WAVE", notWave, "WAVE"},
        {"no fmt", noFormat, "fmt"},
        {"no data", noData, "data"},
        {"fmt shorter than PCM record", shortFormat, "fmt"},
        {"fmt length past the end", lyingFormat, "fmt"},
        {"data length past the end", lyingData, "data"},
        {"data one byte past the end", oneByteTooLong, "data"},
        {"float samples", WaveBytes(3, 1, 8000, 32, 16, body), "This is not pcm data."},
        {"empty file", {}, "RIFF"},
    };
    for (const auto& c : cases) {
        const LoadedWave wave = LoadWaveBytes(c.bytes);
        EXPECT_EQ(wave.result, 0) << c.name;
        EXPECT_EQ(wave.messages, std::vector<std::string>{c.message}) << c.name;
        EXPECT_TRUE(wave.file.data.empty()) << c.name;
    }
}

TEST(EngineWave, EveryTruncationOfAFileIsRefusedWithOneMessage) {
    const auto good = WaveBytes(7, 1, 8000, 8, 18, Hex("FF00 7F80 1234"));
    for (size_t length = 0; length < good.size(); ++length) {
        const LoadedWave wave = LoadWaveBytes(std::span(good).first(length));
        EXPECT_EQ(wave.result, 0) << length;
        EXPECT_EQ(wave.messages.size(), 1u) << length;
    }
    EXPECT_EQ(LoadWaveBytes(good).result, 1);
}

TEST(EngineWave, WrittenFileReadsBackAndHasStandardSizes) {
    testing::TempFolder folder;
    const std::vector<int16_t> samples = {1, -1, 300, -32768, 32767, 0};
    SourceClip clip = testing::MakeClip("x.wav", 2, 16000, samples);
    ASSERT_EQ(clip.WriteWave(folder.File("out.wav")), 1);
    const auto bytes = testing::ReadFileBytes(folder.File("out.wav"));
    ASSERT_EQ(bytes.size(), 46u + 12u);
    EXPECT_EQ(GetLe32(std::span(bytes).subspan(4)), bytes.size() - 8);  // RIFF size
    EXPECT_EQ(GetLe32(std::span(bytes).subspan(16)), 18u);              // fmt length
    EXPECT_EQ(GetLe32(std::span(bytes).subspan(42)), 12u);              // data length

    EngineFile back;
    ASSERT_EQ(back.LoadWave(folder.File("out.wav")), 1);
    EXPECT_EQ(back.format, clip.format);
    EXPECT_EQ(BytesToSamples(back.data), samples);
}

}  // namespace
}  // namespace kvt
