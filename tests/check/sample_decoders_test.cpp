// The sample decoders hear what each encoder meant: decoding an encoder's codes gives
// exactly its own reconstruction, sample for sample, for every codec and packing.

#include <gtest/gtest.h>
#include <spandsp.h>

#include "check/sample_decoders.h"
#include "engine/codec_test_signals.h"
#include "engine/sample_codecs.h"

namespace kvt {
namespace {

TEST(SampleDecoders, DecodingTheCodesReproducesTheEncodersReconstruction) {
    const std::vector<std::pair<const char*, std::vector<int16_t>>> signals = {
        {"speech", testing::SpeechLike(8001)},
        {"full-scale noise (clamps the predictors)", testing::Noise(4000, 32767)},
        {"silence (codec 2 fills it)", std::vector<int16_t>(1003)},
        {"loud sine", testing::Sine(3000, 32000, 0.01)},
    };
    for (int codec = 1; codec <= 6; ++codec) {
        for (const auto& [name, signal] : signals) {
            std::vector<int16_t> samples = signal;
            const std::vector<int16_t> heard = ReconstructWithCodec(codec, samples);
            const std::vector<uint8_t> codes = EncodeWithCodec(codec, samples);
            const std::vector<int16_t> decoded = DecodeWithCodec(codec, codes);
            ASSERT_FALSE(heard.empty()) << codec << " " << name;
            EXPECT_EQ(decoded, heard) << "codec " << codec << ", " << name;
        }
    }
}

TEST(SampleDecoders, MmfStereoTakesLeftFromTheHighNibbleEachChannelItsOwnCoder) {
    const std::vector<int16_t> left = testing::SpeechLike(2000), right = testing::Noise(2000, 8000);
    const std::vector<uint8_t> leftCodes = EncodeYamahaAdpcm(left), rightCodes = EncodeYamahaAdpcm(right);
    // The MMF packing: one byte a frame, left code high. Unpack each channel's own pairs.
    std::vector<uint8_t> frames;
    for (size_t i = 0; i < leftCodes.size(); ++i) {
        frames.push_back(static_cast<uint8_t>((leftCodes[i] & 0x0F) << 4 | (rightCodes[i] & 0x0F)));
        frames.push_back(static_cast<uint8_t>((leftCodes[i] & 0xF0) | rightCodes[i] >> 4));
    }
    const std::vector<int16_t> decoded = DecodeYamahaAdpcmStereo(frames);
    const std::vector<int16_t> heardLeft = ReconstructYamahaAdpcm(left), heardRight = ReconstructYamahaAdpcm(right);
    ASSERT_EQ(decoded.size(), 2 * heardLeft.size());
    for (size_t i = 0; i < heardLeft.size(); ++i) {
        ASSERT_EQ(decoded[2 * i], heardLeft[i]) << "left, frame " << i;
        ASSERT_EQ(decoded[2 * i + 1], heardRight[i]) << "right, frame " << i;
    }
}

// G.726 decoding shares the Recommendation's adaptation with our encoder, so it is also
// held against spandsp's decoder, an independent implementation.
TEST(SampleDecoders, G726DecodingMatchesSpandsp) {
    const std::vector<int16_t> speech = testing::SpeechLike(8000);
    for (const auto& [codec, bitRate, bits] : {std::tuple{3, 32000, 4}, std::tuple{4, 16000, 2}}) {
        std::vector<int16_t> samples = speech;
        const std::vector<uint8_t> packed = EncodeWithCodec(codec, samples);
        std::vector<uint8_t> codes;
        for (uint8_t byte : packed)
            for (int shift = 0; shift < 8; shift += bits)
                codes.push_back(static_cast<uint8_t>((byte >> shift) & ((1 << bits) - 1)));
        g726_state_t* state = g726_init(nullptr, bitRate, G726_ENCODING_LINEAR, G726_PACKING_NONE);
        std::vector<int16_t> theirs(codes.size());
        theirs.resize(
            static_cast<size_t>(g726_decode(state, theirs.data(), codes.data(), static_cast<int>(codes.size()))));
        g726_free(state);
        EXPECT_EQ(DecodeWithCodec(codec, packed), theirs) << "codec " << codec;
    }
}

TEST(SampleDecoders, UnknownCodecAndEmptyInputDecodeToNothing) {
    EXPECT_TRUE(DecodeWithCodec(7, std::vector<uint8_t>(10)).empty());
    EXPECT_TRUE(DecodeWithCodec(6, std::vector<uint8_t>(3)).empty()) << "lead-in only";
    EXPECT_TRUE(DecodeWithCodec(1, {}).empty());
}

}  // namespace
}  // namespace kvt
