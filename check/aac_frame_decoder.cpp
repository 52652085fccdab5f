#include "check/aac_frame_decoder.h"

#include <algorithm>
#include <cmath>
#include <cstring>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/error.h>
#include <libavutil/mem.h>
}

namespace kvt {
namespace {

struct ContextCloser {
    void operator()(AVCodecContext* context) const { avcodec_free_context(&context); }
};
struct FrameCloser {
    void operator()(AVFrame* frame) const { av_frame_free(&frame); }
};
struct PacketCloser {
    void operator()(AVPacket* packet) const { av_packet_free(&packet); }
};

std::string ErrorText(int error) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(error, text, sizeof text);
    return text;
}

int16_t ToSample(float value) {
    return static_cast<int16_t>(std::lrint(std::clamp(value * 32768.0f, -32768.0f, 32767.0f)));
}

}  // namespace

struct AacFrameDecoder::State {
    std::unique_ptr<AVCodecContext, ContextCloser> context;
    std::unique_ptr<AVFrame, FrameCloser> frame{av_frame_alloc()};
    std::unique_ptr<AVPacket, PacketCloser> packet{av_packet_alloc()};
};

AacFrameDecoder::AacFrameDecoder(std::span<const uint8_t> decoderSpecificInfo) : state_(std::make_unique<State>()) {
    const AVCodec* codec = avcodec_find_decoder(AV_CODEC_ID_AAC);
    if (codec == nullptr || !state_->frame || !state_->packet) {
        openError_ = "no AAC decoder";
        return;
    }
    state_->context.reset(avcodec_alloc_context3(codec));
    if (!state_->context) {
        openError_ = "no memory";
        return;
    }
    auto* extradata = static_cast<uint8_t*>(av_mallocz(decoderSpecificInfo.size() + AV_INPUT_BUFFER_PADDING_SIZE));
    if (extradata == nullptr) {
        openError_ = "no memory";
        return;
    }
    if (!decoderSpecificInfo.empty()) std::memcpy(extradata, decoderSpecificInfo.data(), decoderSpecificInfo.size());
    state_->context->extradata = extradata;
    state_->context->extradata_size = static_cast<int>(decoderSpecificInfo.size());
    if (int error = avcodec_open2(state_->context.get(), codec, nullptr); error < 0) openError_ = ErrorText(error);
}

AacFrameDecoder::~AacFrameDecoder() = default;

int AacFrameDecoder::Channels() const {
    return state_->context ? state_->context->ch_layout.nb_channels : 0;
}

int AacFrameDecoder::SampleRate() const {
    return state_->context ? state_->context->sample_rate : 0;
}

std::optional<std::string> AacFrameDecoder::Decode(std::span<const uint8_t> frame, std::vector<int16_t>& samples) {
    if (!openError_.empty()) return openError_;
    AVPacket* packet = state_->packet.get();
    if (av_new_packet(packet, static_cast<int>(frame.size())) < 0) return std::string("no memory");
    std::memcpy(packet->data, frame.data(), frame.size());
    const int sent = avcodec_send_packet(state_->context.get(), packet);
    av_packet_unref(packet);
    if (sent < 0) return ErrorText(sent);
    AVFrame* decoded = state_->frame.get();
    while (true) {
        const int received = avcodec_receive_frame(state_->context.get(), decoded);
        if (received == AVERROR(EAGAIN) || received == AVERROR_EOF) return std::nullopt;
        if (received < 0) return ErrorText(received);
        const int channels = decoded->ch_layout.nb_channels;
        const bool planar = decoded->format == AV_SAMPLE_FMT_FLTP;
        if (!planar && decoded->format != AV_SAMPLE_FMT_FLT) return std::string("unexpected sample format");
        for (int i = 0; i < decoded->nb_samples; ++i)
            for (int c = 0; c < channels; ++c) {
                const float* plane = reinterpret_cast<const float*>(decoded->extended_data[planar ? c : 0]);
                samples.push_back(ToSample(plane[planar ? i : i * channels + c]));
            }
        av_frame_unref(decoded);
    }
}

}  // namespace kvt
