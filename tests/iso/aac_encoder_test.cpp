#include "iso/aac_encoder.h"

#include <gtest/gtest.h>

#include <cmath>

extern "C" {
#include <libavcodec/avcodec.h>
}

#include "aac_test_support.h"

namespace kvt {
namespace {

struct EncodedStream {
    std::vector<std::vector<uint8_t>> frames;
    int emptyCalls = 0;  // calls before the first frame
    std::vector<uint8_t> decoderSpecificInfo;
};

// Runs the frame loop of the 3GP path: whole frames, then `drainCalls` empty calls.
EncodedStream EncodeAll(AacEncoder& encoder, const std::vector<int16_t>& samples, int drainCalls = 0) {
    EncodedStream stream;
    stream.decoderSpecificInfo = encoder.DecoderSpecificInfo();
    std::vector<uint8_t> out(encoder.MaxOutputBytes());
    auto take = [&](int bytes) {
        EXPECT_GE(bytes, 0);
        if (bytes > 0) {
            stream.frames.emplace_back(out.begin(), out.begin() + bytes);
        } else if (stream.frames.empty()) {
            ++stream.emptyCalls;
        }
    };
    for (size_t offset = 0; offset < samples.size(); offset += encoder.InputSamples()) {
        const size_t count = std::min(encoder.InputSamples(), samples.size() - offset);
        take(encoder.Encode(std::span(samples).subspan(offset, count), out));
    }
    for (int i = 0; i < drainCalls; ++i) {
        take(encoder.Encode({}, out));
    }
    return stream;
}

// Decodes raw frames with libavcodec's AAC decoder, configured only by the 2-byte info.
std::vector<int16_t> DecodeFrames(const EncodedStream& stream, int channels) {
    const AVCodec* codec = avcodec_find_decoder(AV_CODEC_ID_AAC);
    AVCodecContext* context = avcodec_alloc_context3(codec);
    context->extradata =
        static_cast<uint8_t*>(av_mallocz(stream.decoderSpecificInfo.size() + AV_INPUT_BUFFER_PADDING_SIZE));
    std::copy(stream.decoderSpecificInfo.begin(), stream.decoderSpecificInfo.end(), context->extradata);
    context->extradata_size = static_cast<int>(stream.decoderSpecificInfo.size());
    std::vector<int16_t> pcm;
    if (avcodec_open2(context, codec, nullptr) < 0) {
        avcodec_free_context(&context);
        ADD_FAILURE() << "decoder refused the decoder-specific info";
        return pcm;
    }
    AVPacket* packet = av_packet_alloc();
    AVFrame* frame = av_frame_alloc();
    for (const auto& bytes : stream.frames) {
        av_new_packet(packet, static_cast<int>(bytes.size()));
        std::copy(bytes.begin(), bytes.end(), packet->data);
        EXPECT_GE(avcodec_send_packet(context, packet), 0);
        av_packet_unref(packet);
        while (avcodec_receive_frame(context, frame) >= 0) {
            EXPECT_EQ(frame->ch_layout.nb_channels, channels);
            for (int i = 0; i < frame->nb_samples; ++i) {
                for (int c = 0; c < channels; ++c) {
                    const float v = reinterpret_cast<const float*>(frame->extended_data[c])[i];
                    pcm.push_back(static_cast<int16_t>(std::clamp(std::lround(v * 32768.0f), -32768L, 32767L)));
                }
            }
        }
    }
    av_frame_free(&frame);
    av_packet_free(&packet);
    avcodec_free_context(&context);
    return pcm;
}

TEST(AacEncoder, OpensOnlyCodableRatesAndMonoOrStereo) {
    struct Case {
        int rate;
        int channels;
        bool opens;
    };
    const Case cases[] = {
        {8000, 1, true},   {16000, 2, true}, {22050, 1, true},  {44100, 2, true},  {48000, 2, true},
        {11000, 1, false}, {0, 1, false},    {-8000, 1, false}, {44100, 0, false}, {44100, 3, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(AacEncoder::Open(c.rate, c.channels) != nullptr, c.opens) << c.rate << " Hz " << c.channels << " ch";
    }
}

TEST(AacEncoder, FrameGeometryFollowsChannelCount) {
    auto mono = AacEncoder::Open(8000, 1);
    auto stereo = AacEncoder::Open(44100, 2);
    ASSERT_TRUE(mono && stereo);
    EXPECT_EQ(mono->InputSamples(), 1024u);
    EXPECT_EQ(mono->MaxOutputBytes(), 8192u);
    EXPECT_EQ(stereo->InputSamples(), 2048u);
    EXPECT_EQ(stereo->MaxOutputBytes(), 16384u);
    EXPECT_EQ(mono->CurrentConfiguration().version, kAacConfigurationVersion);
}

TEST(AacEncoder, RefusesConfigurationsItCannotHonour) {
    struct Case {
        const char* name;
        void (*change)(AacConfiguration&);
    };
    const Case cases[] = {
        {"old version", [](AacConfiguration& c) { c.version = 103; }},
        {"main profile", [](AacConfiguration& c) { c.objectType = 1; }},
        {"MPEG version 3", [](AacConfiguration& c) { c.mpegVersion = 3; }},
        {"ADTS output", [](AacConfiguration& c) { c.outputFormat = kAacOutputAdts; }},
        {"float input", [](AacConfiguration& c) { c.inputFormat = 4; }},
        {"no bit rate", [](AacConfiguration& c) { c.bitRate = 0; }},
        {"bandwidth above Nyquist", [](AacConfiguration& c) { c.bandWidth = 4001; }},
        {"negative bandwidth", [](AacConfiguration& c) { c.bandWidth = -1; }},
        {"long blocks only", [](AacConfiguration& c) { c.shortControl = kAacShortLongOnly; }},
        {"mid/side flag 2", [](AacConfiguration& c) { c.allowMidSide = 2; }},
    };
    for (const Case& c : cases) {
        auto encoder = AacEncoder::Open(8000, 1);
        ASSERT_TRUE(encoder);
        AacConfiguration configuration = encoder->CurrentConfiguration();
        c.change(configuration);
        EXPECT_FALSE(encoder->SetConfiguration(configuration)) << c.name;
    }
    auto encoder = AacEncoder::Open(8000, 1);
    AacConfiguration configuration = encoder->CurrentConfiguration();
    configuration.bandWidth = 4000;
    EXPECT_TRUE(encoder->SetConfiguration(configuration));
}

TEST(AacEncoder, DecoderSpecificInfoIsTheAudioSpecificConfigOfAacLc) {
    // 5 bits object type 2, 4 bits sampling frequency index, 4 bits channels, 3 zero bits.
    struct Case {
        int rate;
        int channels;
        uint8_t first;
        uint8_t second;
    };
    const Case cases[] = {
        {8000, 1, 0x15, 0x88},  {16000, 2, 0x14, 0x10}, {22050, 1, 0x13, 0x88},
        {24000, 2, 0x13, 0x10}, {32000, 1, 0x12, 0x88}, {44100, 2, 0x12, 0x10},
    };
    for (const Case& c : cases) {
        auto encoder = AacEncoder::Open(c.rate, c.channels);
        ASSERT_TRUE(encoder);
        EXPECT_EQ(encoder->DecoderSpecificInfo(), (std::vector<uint8_t>{c.first, c.second})) << c.rate;
    }
}

TEST(AacEncoder, FirstCallIsLookAheadThenOneFrameEachAndTwoLeftForDraining) {
    auto encoder = AacEncoder::Open(16000, 1);
    ASSERT_TRUE(encoder);
    ASSERT_TRUE(encoder->SetConfiguration(encoder->CurrentConfiguration()));
    const auto samples = testing::MusicLike(16000, 1, 1024.0 * 10 / 16000);
    const EncodedStream stream = EncodeAll(*encoder, samples, 4);
    EXPECT_EQ(stream.emptyCalls, 1);
    // 10 calls give 9 frames; draining yields the last frame and the look-ahead's tail.
    EXPECT_EQ(stream.frames.size(), 11u);
    std::vector<uint8_t> out(encoder->MaxOutputBytes());
    EXPECT_EQ(encoder->Encode({}, out), 0);
}

TEST(AacEncoder, RefusesOversizedCallsAndTooSmallOutput) {
    auto encoder = AacEncoder::Open(8000, 2);
    ASSERT_TRUE(encoder);
    std::vector<uint8_t> out(encoder->MaxOutputBytes());
    std::vector<int16_t> tooMany(encoder->InputSamples() + 2);
    EXPECT_EQ(encoder->Encode(tooMany, out), -1);
    std::vector<int16_t> halfFrame(3);  // not whole sample frames
    EXPECT_EQ(encoder->Encode(halfFrame, out), -1);

    const auto samples = testing::MusicLike(8000, 2, 0.5);
    std::vector<uint8_t> tiny(1);
    int result = 0;
    for (size_t offset = 0; offset + encoder->InputSamples() <= samples.size() && result == 0;
         offset += encoder->InputSamples()) {
        result = encoder->Encode(std::span(samples).subspan(offset, encoder->InputSamples()), tiny);
    }
    EXPECT_EQ(result, -1);
}

TEST(AacEncoder, DecodedAudioMatchesTheInputAndBitRateIsPerChannel) {
    struct Case {
        int rate;
        int channels;
        unsigned long bitRate;
        double minSnrDb;
    };
    const Case cases[] = {
        {8000, 1, 32000, 20.0},
        {22050, 2, 64000, 25.0},
        {44100, 2, 128000, 25.0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.rate << " Hz, " << c.channels << " ch");
        auto encoder = AacEncoder::Open(c.rate, c.channels);
        ASSERT_TRUE(encoder);
        AacConfiguration configuration = encoder->CurrentConfiguration();
        configuration.bitRate = c.bitRate;
        ASSERT_TRUE(encoder->SetConfiguration(configuration));
        const double seconds = 2.0;
        const auto samples = testing::MusicLike(c.rate, c.channels, seconds);
        const EncodedStream stream = EncodeAll(*encoder, samples, 3);
        size_t bytes = 0;
        for (const auto& frame : stream.frames) {
            EXPECT_LE(frame.size(), encoder->MaxOutputBytes());
            bytes += frame.size();
        }
        const double bitsPerSecond = bytes * 8.0 / seconds;
        const double expected = static_cast<double>(c.bitRate) * c.channels;
        EXPECT_GT(bitsPerSecond, expected * 0.6);
        EXPECT_LT(bitsPerSecond, expected * 1.3);

        const auto decoded = DecodeFrames(stream, c.channels);
        const testing::Alignment match = testing::AlignAndCompare(samples, decoded, c.channels);
        EXPECT_EQ(match.delay, 1024u);
        EXPECT_GT(match.correlation, 0.98) << "SNR " << match.snrDb;
        EXPECT_GT(match.snrDb, c.minSnrDb);
    }
}

}  // namespace
}  // namespace kvt
