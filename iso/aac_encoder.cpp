#include "iso/aac_encoder.h"

#include <algorithm>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
}

namespace kvt {
namespace {

constexpr int kFrameLength = 1024;  // sample frames per AAC frame

const AVCodec* NativeAacCodec() {
    return avcodec_find_encoder_by_name("aac");
}

bool RateSupported(const AVCodec* codec, int sampleRate) {
    if (codec->supported_samplerates == nullptr) {
        return sampleRate > 0;
    }
    for (const int* rate = codec->supported_samplerates; *rate != 0; ++rate) {
        if (*rate == sampleRate) {
            return true;
        }
    }
    return false;
}

bool ConfigurationValid(const AacConfiguration& c, int sampleRate) {
    return c.version == kAacConfigurationVersion && (c.mpegVersion == kAacMpeg4 || c.mpegVersion == kAacMpeg2) &&
           c.objectType == kAacObjectLc && (c.allowMidSide == 0 || c.allowMidSide == 1) &&
           (c.useTns == 0 || c.useTns == 1) && c.bitRate > 0 && c.bitRate <= 1'000'000 && c.bandWidth >= 0 &&
           c.bandWidth <= sampleRate / 2 && c.outputFormat == kAacOutputRaw && c.inputFormat == kAacInput16Bit &&
           // The native encoder picks its window shapes itself; it has no long-only mode.
           c.shortControl == kAacShortNormal;
}

}  // namespace

std::unique_ptr<AacEncoder> AacEncoder::Open(int sampleRate, int channels) {
    const AVCodec* codec = NativeAacCodec();
    if (codec == nullptr || channels < 1 || channels > 2 || !RateSupported(codec, sampleRate)) {
        return nullptr;
    }
    return std::unique_ptr<AacEncoder>(new AacEncoder(sampleRate, channels));
}

AacEncoder::AacEncoder(int sampleRate, int channels) : sampleRate_(sampleRate), channels_(channels) {}

AacEncoder::~AacEncoder() {
    Close();
}

bool AacEncoder::SetConfiguration(const AacConfiguration& configuration) {
    if (!ConfigurationValid(configuration, sampleRate_)) {
        return false;
    }
    configuration_ = configuration;
    Close();
    return Start();
}

bool AacEncoder::Start() {
    const AVCodec* codec = NativeAacCodec();
    context_ = avcodec_alloc_context3(codec);
    frame_ = av_frame_alloc();
    packet_ = av_packet_alloc();
    if (context_ == nullptr || frame_ == nullptr || packet_ == nullptr) {
        Close();
        return false;
    }
    context_->sample_fmt = AV_SAMPLE_FMT_FLTP;
    context_->sample_rate = sampleRate_;
    av_channel_layout_default(&context_->ch_layout, channels_);
    context_->bit_rate = static_cast<int64_t>(configuration_.bitRate) * channels_;
    context_->cutoff = configuration_.bandWidth;
    context_->profile = FF_PROFILE_AAC_LOW;
    context_->time_base = AVRational{1, sampleRate_};
    // Without it every 256th frame carries the library's name and version.
    context_->flags |= AV_CODEC_FLAG_BITEXACT;
    av_opt_set_int(context_->priv_data, "aac_tns", configuration_.useTns, 0);
    if (configuration_.allowMidSide == 0) {
        av_opt_set_int(context_->priv_data, "aac_ms", 0, 0);
    }
    // Noise substitution and intensity stereo trip up old handset decoders.
    av_opt_set_int(context_->priv_data, "aac_pns", 0, 0);
    av_opt_set_int(context_->priv_data, "aac_is", 0, 0);
    if (avcodec_open2(context_, codec, nullptr) < 0 || context_->frame_size != kFrameLength) {
        Close();
        return false;
    }
    frame_->format = AV_SAMPLE_FMT_FLTP;
    frame_->sample_rate = sampleRate_;
    frame_->nb_samples = kFrameLength;
    if (av_channel_layout_copy(&frame_->ch_layout, &context_->ch_layout) < 0 || av_frame_get_buffer(frame_, 0) < 0) {
        Close();
        return false;
    }
    return true;
}

std::vector<uint8_t> AacEncoder::DecoderSpecificInfo() {
    if (context_ == nullptr && !Start()) {
        return {};
    }
    // extradata is the AudioSpecificConfig followed by an SBR-absent extension.
    if (context_->extradata == nullptr || context_->extradata_size < 2) {
        return {};
    }
    return {context_->extradata, context_->extradata + 2};
}

int AacEncoder::Encode(std::span<const int16_t> samples, std::span<uint8_t> output) {
    if (context_ == nullptr && !Start()) {
        return -1;
    }
    if (samples.size() > InputSamples() || samples.size() % channels_ != 0) {
        return -1;
    }
    if (!samples.empty() && !draining_) {
        if (av_frame_make_writable(frame_) < 0) {
            return -1;
        }
        const size_t frames = samples.size() / channels_;
        for (int channel = 0; channel < channels_; ++channel) {
            auto* plane = reinterpret_cast<float*>(frame_->extended_data[channel]);
            for (size_t i = 0; i < frames; ++i) {
                plane[i] = samples[i * channels_ + channel] * (1.0f / 32768.0f);
            }
            std::fill(plane + frames, plane + kFrameLength, 0.0f);
        }
        frame_->pts = nextPts_;
        nextPts_ += kFrameLength;
        if (avcodec_send_frame(context_, frame_) < 0) {
            return -1;
        }
    } else if (!draining_) {
        draining_ = true;
        if (avcodec_send_frame(context_, nullptr) < 0) {
            return -1;
        }
    }
    // Collect everything the encoder has ready so the next send never finds it full.
    while (!finished_) {
        const int result = avcodec_receive_packet(context_, packet_);
        if (result == AVERROR(EAGAIN)) {
            break;
        }
        if (result == AVERROR_EOF) {
            finished_ = true;
            break;
        }
        if (result < 0) {
            return -1;
        }
        pending_.emplace_back(packet_->data, packet_->data + packet_->size);
        av_packet_unref(packet_);
    }
    if (pending_.empty()) {
        return 0;
    }
    const std::vector<uint8_t>& frame = pending_.front();
    if (frame.size() > output.size()) {
        return -1;
    }
    std::copy(frame.begin(), frame.end(), output.begin());
    const int bytes = static_cast<int>(frame.size());
    pending_.pop_front();
    return bytes;
}

void AacEncoder::Close() {
    avcodec_free_context(&context_);
    av_frame_free(&frame_);
    av_packet_free(&packet_);
    pending_.clear();
    nextPts_ = 0;
    draining_ = false;
    finished_ = false;
}

}  // namespace kvt
