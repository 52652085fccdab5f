// Output sizes of every codec for short and odd inputs (run under the sanitizers for
// out-of-bounds access), and the dispatch by codec number.

#include <gtest/gtest.h>

#include "codec_test_signals.h"
#include "engine/sample_codecs.h"

namespace kvt {
namespace {

TEST(SampleCodecs, OutputSizeForShortAndOddCounts) {
    for (size_t count : {0u, 1u, 2u, 3u, 4u, 5u, 7u, 8u, 9u, 10u, 11u, 4097u}) {
        const std::vector<int16_t> samples = testing::Noise(count, 30000, static_cast<uint32_t>(count));
        for (int codec = 1; codec <= 6; ++codec) {
            std::vector<int16_t> copy = samples;  // exact size: a read past the end is caught
            const size_t expected = codec == 4 ? count / 4 : count / 2;
            EXPECT_EQ(EncodeWithCodec(codec, copy).size(), expected)
                << "codec " << codec << ", " << count << " samples";
        }
    }
}

TEST(SampleCodecs, DispatchByCodecNumber) {
    const std::vector<int16_t> samples = testing::SpeechLike(4000);
    using Encoder = std::vector<uint8_t> (*)(std::span<const int16_t>);
    const Encoder constEncoders[] = {EncodeYamahaAdpcm,   nullptr,          EncodeG726_32, EncodeG726_16,
                                     EncodeImaTableAdpcm, EncodeAdpcm19Step};
    for (int codec = 1; codec <= 6; ++codec) {
        std::vector<int16_t> viaNumber = samples;
        std::vector<int16_t> direct = samples;
        const auto expected = codec == 2 ? EncodeAdpcm25Step(direct) : constEncoders[codec - 1](direct);
        EXPECT_EQ(EncodeWithCodec(codec, viaNumber), expected) << "codec " << codec;
    }
    for (int codec : {0, 7, -1}) {
        std::vector<int16_t> copy = samples;
        EXPECT_TRUE(EncodeWithCodec(codec, copy).empty()) << "codec " << codec;
        EXPECT_EQ(copy, samples) << "an unknown codec leaves the samples alone";
    }
}

}  // namespace
}  // namespace kvt
