#include "engine/mmf_layout.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "mmf_test_support.h"

namespace kvt {
namespace {

// Expected bytes spelled out field by field, independent of the writer.
class Bytes {
public:
    Bytes& Text(std::string_view text) {
        bytes_.insert(bytes_.end(), text.begin(), text.end());
        return *this;
    }
    Bytes& Raw(std::initializer_list<uint8_t> raw) {
        bytes_.insert(bytes_.end(), raw);
        return *this;
    }
    Bytes& U16(uint16_t v) { return Raw({static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v)}); }
    Bytes& U32(uint32_t v) {
        return Raw({static_cast<uint8_t>(v >> 24), static_cast<uint8_t>(v >> 16), static_cast<uint8_t>(v >> 8),
                    static_cast<uint8_t>(v)});
    }
    Bytes& Zeros(size_t n) {
        bytes_.insert(bytes_.end(), n, 0);
        return *this;
    }
    const std::vector<uint8_t>& Get() const { return bytes_; }

private:
    std::vector<uint8_t> bytes_;
};

std::vector<uint8_t> Pattern(size_t size) {
    std::vector<uint8_t> wave(size);
    for (size_t i = 0; i < size; ++i) {
        wave[i] = static_cast<uint8_t>(i * 37 + 11);
    }
    return wave;
}

MmfLayout Layout(bool stereo, uint16_t sampleRate, uint16_t durationTicks, std::string title = {}) {
    MmfLayout layout;
    layout.stereo = stereo;
    layout.sampleRate = sampleRate;
    layout.durationTicks = durationTicks;
    layout.title = std::move(title);
    return layout;
}

std::vector<uint8_t> BuildOrFail(const MmfLayout& layout, std::span<const uint8_t> wave) {
    auto image = BuildMmfImage(layout, wave);
    EXPECT_TRUE(image.has_value());
    return image.value_or(std::vector<uint8_t>{});
}

TEST(MmfLayout, MonoEightThousandSamplesAtEightKilohertz) {
    // 8000 samples of 16-bit mono: 16000 PCM bytes at a byte rate of 16000.
    const uint64_t ticks = MmfDurationTicks(16000, 16000);
    ASSERT_EQ(ticks, 251u);
    const std::vector<uint8_t> wave = Pattern(16000 / 4);
    const std::vector<uint8_t> file = BuildOrFail(Layout(false, 8000, 251), wave);

    Bytes expected;
    expected.Text("MMMD").U32(4155);
    expected.Text("CNTI").U32(5).Raw({0x00, 0x32, 0x01, 0xFC, 0x00});
    expected.Text("OPDA").U32(20).Text("Dch").Raw({0x80}).U32(12).Text("ST").U16(8).Text("Untitled");
    expected.Text("MTR").Raw({0x05}).U32(17 + 32 + 4000 + 55).Raw({0x02, 0x00, 0x02, 0x02}).Zeros(16);
    expected.Text("Mtsu").U32(17);
    expected.Raw(
        {0xF0, 0x06, 0x43, 0x79, 0x06, 0x7F, 0x7F, 0xF7, 0xF0, 0x07, 0x43, 0x79, 0x06, 0x7F, 0x07, 0x01, 0xF7});
    expected.Text("Mtsq").U32(32);
    expected.Raw({0x00, 0xF0, 0x07, 0x43, 0x79, 0x06, 0x7F, 0x00, 0x7F, 0xF7});
    expected.Raw({0x00, 0xB0, 0x00, 0x7D, 0x00, 0xB0, 0x20, 0x00, 0x00, 0xC0, 0x00, 0x00, 0x90, 0x00, 0x7F});
    expected.Raw({0x81, 0x7B, 0x81, 0x7B, 0xFF, 0x2F, 0x00});
    expected.Text("Mtsp").U32(4000 + 11).Text("Mwa").Raw({0x01}).U32(4000 + 3).Raw({0x20}).U16(8000);
    const std::vector<uint8_t>& head = expected.Get();

    ASSERT_EQ(file.size(), 4165u);
    EXPECT_EQ(std::vector<uint8_t>(file.begin(), file.begin() + head.size()), head);
    EXPECT_EQ(std::vector<uint8_t>(file.begin() + head.size(), file.end() - 4), wave);
    EXPECT_EQ(file[4163], 0x1D);
    EXPECT_EQ(file[4164], 0x0F);

    auto parts = testing::ParseMmf(file);
    ASSERT_TRUE(parts.has_value());
    EXPECT_EQ(parts->storedCrc, parts->computedCrc);
}

TEST(MmfLayout, StereoCarriesTheFixedOptionalDataAndStereoTypeBytes) {
    const std::vector<uint8_t> wave = Pattern(1000);
    const std::vector<uint8_t> file = BuildOrFail(Layout(true, 16000, 1001, "ignored"), wave);
    auto parts = testing::ParseMmf(file);
    ASSERT_TRUE(parts.has_value());

    EXPECT_EQ(parts->cnti[1], 0x34);
    EXPECT_EQ(parts->trackType, 0x06);
    EXPECT_EQ(parts->waveType, 0xA0);
    EXPECT_EQ(file[file.size() - 4 - wave.size() - 2], 0x3E);  // rate 16000, big-endian
    EXPECT_EQ(file[file.size() - 4 - wave.size() - 1], 0x80);
    EXPECT_EQ(parts->storedCrc, parts->computedCrc);

    Bytes opda;
    opda.Text("Dch").Raw({0xFF}).U32(25);
    opda.Text("ES").U16(1).Raw({0xF8});
    opda.Text("A0").U16(6).Text("YK11AF");
    opda.Text("A2").U16(6).Text("YK11D3");
    opda.Text("Pro").Raw({0x05}).U32(12).Zeros(8).U32(1001);
    EXPECT_EQ(std::vector<uint8_t>(parts->opda.begin(), parts->opda.end()), opda.Get());

    const std::vector<uint8_t> setup = {0xF0, 0x07, 0x43, 0x79, 0x07, 0x7F, 0x07, 0x01, 0xF7};
    EXPECT_EQ(std::vector<uint8_t>(parts->mtsu.begin(), parts->mtsu.end()), setup);
    ASSERT_EQ(parts->mtsq.size(), 32u);  // V(1001) = 87 69
    EXPECT_EQ(parts->mtsq[5], 0x07);
    EXPECT_EQ(std::vector<uint8_t>(parts->mtsq.begin() + 25, parts->mtsq.end()),
              (std::vector<uint8_t>{0x87, 0x69, 0x87, 0x69, 0xFF, 0x2F, 0x00}));
    EXPECT_EQ(parts->mmmdLength, 53 + 9 + 32 + 1000 + 86u);
}

TEST(MmfLayout, MonoTitleIsWrittenWithItsLength) {
    const std::string title = "\x83\x65\x83\x58\x83\x67 song";  // CP932 bytes
    const std::vector<uint8_t> file = BuildOrFail(Layout(false, 4000, 5, title), {});
    auto parts = testing::ParseMmf(file);
    ASSERT_TRUE(parts.has_value());
    Bytes opda;
    opda.Text("Dch")
        .Raw({0x80})
        .U32(static_cast<uint32_t>(title.size() + 4))
        .Text("ST")
        .U16(static_cast<uint16_t>(title.size()));
    opda.Text(title);
    EXPECT_EQ(std::vector<uint8_t>(parts->opda.begin(), parts->opda.end()), opda.Get());
    EXPECT_TRUE(parts->wave.empty());
    EXPECT_EQ(parts->storedCrc, parts->computedCrc);
}

TEST(MmfLayout, VariableLengthNumbers) {
    struct Case {
        uint32_t value;
        std::vector<uint8_t> bytes;
    };
    const Case cases[] = {
        {0, {0x00}},
        {127, {0x7F}},
        {128, {0x81, 0x00}},
        {251, {0x81, 0x7B}},
        {16383, {0xFF, 0x7F}},
        {16384, {0x81, 0x80, 0x00}},
        {65535, {0x83, 0xFF, 0x7F}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(MmfVariableLength(c.value), c.bytes) << c.value;
    }
}

TEST(MmfLayout, SequenceGrowsWithTheLengthOfTheDurationNumber) {
    struct Case {
        uint16_t ticks;
        size_t sequenceSize;
    };
    for (const Case& c : {Case{127, 30}, Case{128, 32}, Case{16384, 34}, Case{65535, 34}}) {
        const std::vector<uint8_t> file = BuildOrFail(Layout(false, 8000, c.ticks), Pattern(3));
        auto parts = testing::ParseMmf(file);
        ASSERT_TRUE(parts.has_value()) << c.ticks;
        EXPECT_EQ(parts->mtsq.size(), c.sequenceSize) << c.ticks;
        EXPECT_EQ(parts->storedCrc, parts->computedCrc) << c.ticks;
    }
}

TEST(MmfLayout, DurationTicksAreFourMillisecondsPlusOne) {
    struct Case {
        uint64_t pcmBytes;
        uint32_t byteRate;
        uint64_t ticks;
    };
    const Case cases[] = {
        {0, 16000, 1},           {16000, 16000, 251}, {63, 16000, 1},  // 0.98 ticks round down before the +1
        {64, 16000, 2},          {96000, 96000, 251},                  // one second of 24000 Hz stereo
        {4194240, 16000, 65536},  // 262.14 s of 8000 Hz mono: past the 16-bit fields
    };
    for (const Case& c : cases) {
        EXPECT_EQ(MmfDurationTicks(c.pcmBytes, c.byteRate), c.ticks) << c.pcmBytes << " / " << c.byteRate;
    }
}

TEST(MmfLayout, RefusesATitleLongerThanItsSixteenBitLength) {
    EXPECT_TRUE(BuildMmfImage(Layout(false, 8000, 1, std::string(65535, 'a')), {}).has_value());
    EXPECT_FALSE(BuildMmfImage(Layout(false, 8000, 1, std::string(65536, 'a')), {}).has_value());
}

}  // namespace
}  // namespace kvt
