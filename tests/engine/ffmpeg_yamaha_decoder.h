#pragma once
// Decodes Yamaha ADPCM codes with FFmpeg's own decoder, for the codec, MLD and MMF tests.

#include <gtest/gtest.h>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/channel_layout.h>
}

#include <cstdint>
#include <cstring>
#include <span>
#include <vector>

namespace kvt::testing {

// FFmpeg's Yamaha ADPCM decoder over a mono stream of codes, low nibble first: an
// implementation independent of ours. Empty, after a recorded failure, when it cannot run.
inline std::vector<int16_t> DecodeYamahaWithFfmpeg(std::span<const uint8_t> codes, int rate) {
    std::vector<int16_t> out;
    const AVCodec* codec = avcodec_find_decoder(AV_CODEC_ID_ADPCM_YAMAHA);
    if (codec == nullptr) {
        ADD_FAILURE() << "FFmpeg has no Yamaha ADPCM decoder";
        return out;
    }
    AVCodecContext* context = avcodec_alloc_context3(codec);
    context->sample_rate = rate;
    av_channel_layout_default(&context->ch_layout, 1);
    AVPacket* packet = av_packet_alloc();
    AVFrame* frame = av_frame_alloc();
    if (avcodec_open2(context, codec, nullptr) == 0 && av_new_packet(packet, static_cast<int>(codes.size())) == 0) {
        std::memcpy(packet->data, codes.data(), codes.size());
        EXPECT_EQ(avcodec_send_packet(context, packet), 0);
        EXPECT_EQ(avcodec_send_packet(context, nullptr), 0);
        while (avcodec_receive_frame(context, frame) == 0) {
            EXPECT_TRUE(frame->format == AV_SAMPLE_FMT_S16 || frame->format == AV_SAMPLE_FMT_S16P);
            const auto* samples = reinterpret_cast<const int16_t*>(frame->data[0]);
            out.insert(out.end(), samples, samples + frame->nb_samples);
        }
    } else {
        ADD_FAILURE() << "cannot open FFmpeg's Yamaha ADPCM decoder";
    }
    av_frame_free(&frame);
    av_packet_free(&packet);
    avcodec_free_context(&context);
    return out;
}

}  // namespace kvt::testing
