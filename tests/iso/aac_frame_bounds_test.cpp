// Every AAC frame of a written file fits the decoder input buffer the esds declares
// (6144 bits a channel), and no frame carries the encoder library's version string.

#include <gtest/gtest.h>

#include <algorithm>
#include <string_view>

#include "aac_test_support.h"
#include "box_test_support.h"
#include "engine/pcm_operations.h"
#include "input/wave_file.h"
#include "iso/encoder_3gp.h"
#include "platform/message.h"

namespace kvt {
namespace {

// The rate cells of the 3GP page with their bit rates.
constexpr struct {
    int rate, bitRate;
} kRates[] = {{8000, 32000}, {16000, 64000}, {24000, 64000}, {32000, 96000}, {44100, 128000}};

std::vector<int16_t> DemoTune(int& rate, int& channels) {
    WaveFile wave;
    if (!wave.Load(KVT_DEMO_TUNE)) return {};
    rate = static_cast<int>(wave.sampleRate);
    channels = wave.channels;
    return BytesToSamples(wave.Samples());
}

// Music with loud wide-band noise over it: the hardest material for the frame budget.
std::vector<int16_t> NoisyMusic(int rate, int channels) {
    std::vector<int16_t> samples = testing::MusicLike(rate, channels, 4.0);
    uint32_t seed = 7;
    for (int16_t& s : samples) {
        seed = seed * 1664525u + 1013904223u;
        const int noise = static_cast<int>(seed >> 17) - 16384;
        s = static_cast<int16_t>(std::clamp(s / 2 + noise, -32768, 32767));
    }
    return samples;
}

std::vector<uint32_t> SampleSizes(const std::vector<uint8_t>& file) {
    const auto at = testing::BoxOffset(file, {"moov", "trak", "mdia", "minf", "stbl", "stsz"});
    if (!at) return {};
    const auto box = std::span(file).subspan(*at);
    std::vector<uint32_t> sizes(GetBe32(box.subspan(16)));
    for (size_t i = 0; i < sizes.size(); ++i) sizes[i] = GetBe32(box.subspan(20 + 4 * i));
    return sizes;
}

TEST(AacFrameBounds, EveryFrameFitsTheChannelBuffersAndCarriesNoVersionString) {
    int demoRate = 0, demoChannels = 0;
    const std::vector<int16_t> demo = DemoTune(demoRate, demoChannels);
    ASSERT_FALSE(demo.empty()) << KVT_DEMO_TUNE;
    const struct {
        const char* name;
        std::vector<int16_t> samples;
        int rate, channels;
    } signals[] = {
        {"demo tune", demo, demoRate, demoChannels},
        {"noisy music", NoisyMusic(22050, 2), 22050, 2},
    };
    testing::TempFolder folder;
    for (const auto& signal : signals) {
        const SourceClip clip(folder.File("song.wav"),
                              FormatBlock::Pcm16(static_cast<uint16_t>(signal.channels), signal.rate),
                              SamplesToBytes(signal.samples));
        for (const auto& [rate, bitRate] : kRates) {
            for (const int channels : {1, 2}) {
                SCOPED_TRACE(::testing::Message() << signal.name << ", " << rate << " Hz, " << channels << " ch");
                MessageRecorder messages;
                Encoder3gp encoder(clip);
                std::string noProgram;
                for (const int kind : {1, 2}) {
                    ASSERT_EQ(encoder.Convert3gp(kind, bitRate, rate, channels, 0, 0, 0, "", "", 0, noProgram), 1);
                    const std::vector<uint8_t> file =
                        testing::ReadFileBytes(folder.File(kind == 1 ? "song.3gp" : "song.3g2"));
                    const std::vector<uint32_t> sizes = SampleSizes(file);
                    ASSERT_FALSE(sizes.empty());
                    EXPECT_LE(*std::max_element(sizes.begin(), sizes.end()), 768u * channels);
                    const std::string_view bytes(reinterpret_cast<const char*>(file.data()), file.size());
                    EXPECT_EQ(bytes.find("Lavc"), std::string_view::npos);
                }
                EXPECT_TRUE(messages.Texts().empty());
            }
        }
    }
}

}  // namespace
}  // namespace kvt
