// The sample decoders hear what each encoder meant: decoding an encoder's codes gives
// exactly its own reconstruction, sample for sample, for every codec and packing.

#include <gtest/gtest.h>

#include "codec_test_signals.h"
#include "engine/sample_codecs.h"
#include "engine/sample_decoders.h"

namespace kvt {
namespace {

TEST(SampleDecoders, DecodingTheCodesReproducesTheEncodersReconstruction) {
    const std::vector<std::pair<const char*, std::vector<int16_t>>> signals = {
        {"speech", test::SpeechLike(8001)},
        {"full-scale noise (clamps the predictors)", test::Noise(4000, 32767)},
        {"silence (codec 2 fills it)", std::vector<int16_t>(1003)},
        {"loud sine", test::Sine(3000, 32000, 0.01)},
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
    const std::vector<int16_t> left = test::SpeechLike(2000), right = test::Noise(2000, 8000);
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

TEST(SampleDecoders, UnknownCodecAndEmptyInputDecodeToNothing) {
    EXPECT_TRUE(DecodeWithCodec(7, std::vector<uint8_t>(10)).empty());
    EXPECT_TRUE(DecodeWithCodec(6, std::vector<uint8_t>(3)).empty()) << "lead-in only";
    EXPECT_TRUE(DecodeWithCodec(1, {}).empty());
}

}  // namespace
}  // namespace kvt
