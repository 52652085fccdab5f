// G.726 at 32 and 16 kbit/s, compared code for code with spandsp's encoder, an independent
// implementation of the Recommendation that passes its test sequences. spandsp takes the
// same 16-bit samples and reduces them to 14 bits with the same arithmetic shift by 2.

#include <gtest/gtest.h>
#include <spandsp.h>

#include <string>

#include "codec_test_signals.h"
#include "engine/sample_codecs.h"

namespace kvt {
namespace {

struct Rate {
    int bitRate;
    int bits;  // per code
    std::vector<uint8_t> (*encode)(std::span<const int16_t>);
};
const Rate kRate32 = {32000, 4, EncodeG726_32};
const Rate kRate16 = {16000, 2, EncodeG726_16};

// One code per sample, from spandsp without packing.
std::vector<uint8_t> SpandspCodes(const Rate& rate, const std::vector<int16_t>& samples) {
    g726_state_t* state = g726_init(nullptr, rate.bitRate, G726_ENCODING_LINEAR, G726_PACKING_NONE);
    std::vector<uint8_t> codes(samples.size());
    const int count = g726_encode(state, codes.data(), samples.data(), static_cast<int>(samples.size()));
    g726_free(state);
    codes.resize(static_cast<size_t>(count));
    return codes;
}

// Our packed bytes spread back to one code per sample, first code in the lowest bits.
std::vector<uint8_t> Unpack(const Rate& rate, const std::vector<uint8_t>& bytes) {
    const int perByte = 8 / rate.bits;
    std::vector<uint8_t> codes;
    codes.reserve(bytes.size() * perByte);
    for (uint8_t byte : bytes)
        for (int k = 0; k < perByte; ++k)
            codes.push_back(static_cast<uint8_t>((byte >> (k * rate.bits)) & ((1 << rate.bits) - 1)));
    return codes;
}

struct Signal {
    const char* name;
    std::vector<int16_t> samples;
};

std::vector<Signal> ReferenceSignals() {
    std::vector<int16_t> steps(6000);  // silence, a loud burst, silence again
    for (size_t i = 2000; i < 4000; ++i) steps[i] = static_cast<int16_t>((i % 16) < 8 ? 20000 : -20000);
    return {
        {"speech-like", testing::SpeechLike(24000)},
        {"quiet 1 kHz sine", testing::Sine(8000, 300, 1000.0 / 8000)},
        {"half-scale 440 Hz sine", testing::Sine(8000, 16384, 440.0 / 8000)},
        {"full-scale 3 kHz sine", testing::Sine(8000, 40000, 3000.0 / 8000)},  // clipped
        {"white noise", testing::Noise(8000, 8000)},
        {"full-scale white noise", testing::Noise(8000, 32767, 99)},
        {"silence", std::vector<int16_t>(4000)},
        {"full-scale square", testing::FullScaleSquare(8000, 20)},
        {"burst between silences", steps},
        {"single sample", {12345}},
        {"three samples", {-32768, 32767, 5}},
        {"odd length 4001", testing::SpeechLike(4001)},
        {"length 4003", testing::Noise(4003, 20000, 7)},
    };
}

void ExpectSameCodesAsSpandsp(const Rate& rate) {
    for (const auto& signal : ReferenceSignals()) {
        const auto ours = Unpack(rate, rate.encode(signal.samples));
        const auto reference = SpandspCodes(rate, signal.samples);
        const size_t perByte = 8 / rate.bits;
        // Only whole bytes are kept: the codes of a trailing partial byte are dropped.
        ASSERT_EQ(ours.size(), signal.samples.size() / perByte * perByte) << signal.name;
        ASSERT_GE(reference.size(), ours.size()) << signal.name;
        for (size_t i = 0; i < ours.size(); ++i) ASSERT_EQ(ours[i], reference[i]) << signal.name << ", sample " << i;
    }
}

TEST(G726, SameCodesAsSpandspAt32kbits) {
    ExpectSameCodesAsSpandsp(kRate32);
}

// Our quantiser gives the smallest positive level the all-ones code 3 first and then turns
// a 3 for a non-negative difference into 0; spandsp's quantiser gives 0 directly for an
// even number of levels. The codes agree: silence and every small positive difference
// in the signals above go through that path.
TEST(G726, SameCodesAsSpandspAt16kbits) {
    ExpectSameCodesAsSpandsp(kRate16);
}

// First code from the reset state (scale factor 544, estimate 0), worked out by hand:
// the difference is the input >> 2, its log is compared with the decision levels less 136.
TEST(G726, FirstCodeFromTheResetState) {
    struct Case {
        int16_t sample;
        unsigned code32;
        unsigned code16;
    };
    const Case cases[] = {
        {0, 15, 0},    // log 0 -> -136: below -124; all ones, or 0 at 16 kbit/s
        {3, 15, 0},    // the shift leaves 0
        {8, 1, 0},     // input 2: log 128 -> -8: level 1 of 32k, under 261
        {-8, 14, 3},   // the same level with the sign: one's complement
        {-1, 15, 3},   // input -1 (arithmetic shift): log 0 with the sign, all ones too
        {1000, 7, 1},  // input 250: log 1018 -> 882: top level of both
        {-1000, 8, 2},
    };
    for (const auto& c : cases) {
        const std::vector<int16_t> pair = {c.sample, c.sample};
        const std::vector<int16_t> quad = {c.sample, c.sample, c.sample, c.sample};
        EXPECT_EQ(EncodeG726_32(pair).at(0) & 0x0F, c.code32) << "32 kbit/s, sample " << c.sample;
        EXPECT_EQ(EncodeG726_16(quad).at(0) & 0x03, c.code16) << "16 kbit/s, sample " << c.sample;
    }
}

TEST(G726, PackingOrderAndDroppedTail) {
    // 1000, -1000 from the reset state: codes 7 and then a negative one in the high nibble.
    const auto bytes32 = EncodeG726_32(std::vector<int16_t>{1000, -1000, 77});
    ASSERT_EQ(bytes32.size(), 1u);
    EXPECT_EQ(bytes32[0] & 0x0F, 7);
    EXPECT_GE(bytes32[0] >> 4, 8) << "second code is negative";

    // Four codes a byte at 16 kbit/s, the first in bits 0-1; up to three trailing codes drop.
    const std::vector<int16_t> seven = {1000, 0, 0, 0, -1000, 0, 0};
    const auto bytes16 = EncodeG726_16(seven);
    ASSERT_EQ(bytes16.size(), 1u);
    EXPECT_EQ(bytes16[0] & 0x03, 1);
    const auto reference = SpandspCodes(kRate16, seven);
    EXPECT_EQ(bytes16[0], reference[0] | reference[1] << 2 | reference[2] << 4 | reference[3] << 6);
}

}  // namespace
}  // namespace kvt
