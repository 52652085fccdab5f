// The audio of a written MLD file decoded by an independent decoder: FFmpeg's Yamaha
// ADPCM decoder (first code in the low nibble) reads the codes of a codec-1 row.

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "engine/byte_order.h"
#include "engine/mld_encoder.h"
#include "engine/pcm_operations.h"
#include "engine_test_support.h"
#include "ffmpeg_yamaha_decoder.h"
#include "platform/message.h"

namespace kvt {
namespace {

TEST(MldDecode, YamahaCodesOfARowOneFileDecodeBackToTheSine) {
    testing::TempFolder folder;
    std::vector<int16_t> sine(8000);
    for (size_t i = 0; i < sine.size(); ++i)
        sine[i] = static_cast<int16_t>(std::lround(16384 * std::sin(2 * std::numbers::pi * 440 * i / 8000.0)));
    const SourceClip clip = testing::MakeClip(folder.File("sine.wav"), 1, 8000, sine);
    MldEncoder encoder(clip);
    ASSERT_EQ(encoder.ConvertMld(1, 8000, 2000), 1);

    // Row 1: header, "trac", 8 bytes of head events, then 00 FF FF hi lo and 5 event bytes.
    const auto file = testing::ReadFileBytes(folder.File("sine_n1.mld"));
    const std::span<const uint8_t> f(file);
    const size_t event = 10 + GetBe16(f.subspan(8)) + 8 + 8;
    ASSERT_EQ(GetBe32(f.subspan(event, 3 + 4)) & 0xFFFFFF00u, 0x00FFFF00u);
    const size_t pieceSize = GetBe16(f.subspan(event + 3)) - 5;
    ASSERT_EQ(pieceSize, 4000u);
    const std::vector<int16_t> decoded = testing::DecodeYamahaWithFfmpeg(f.subspan(event + 10, pieceSize), 8000);
    ASSERT_EQ(decoded.size(), sine.size());

    double signal = 0, noise = 0;
    for (size_t i = 0; i < sine.size(); ++i) {
        const double wanted = sine[i];
        const double got = decoded[i];
        signal += wanted * wanted;
        noise += (got - wanted) * (got - wanted);
    }
    const double snr = 10 * std::log10(signal / std::max(noise, 1.0));
    EXPECT_GT(snr, 20.0);
    RecordProperty("snr_db", std::to_string(snr));
}

}  // namespace
}  // namespace kvt
