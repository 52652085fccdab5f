#include "input/pcm_decoder.h"

#include <unistd.h>
#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

#include "engine/engine_message.h"
#include "input/wave_file.h"
#include "input/wave_writer.h"
#include "platform/cleanup_registry.h"
#include "platform/message.h"
#include "platform/paths.h"
#include "platform/regular_file.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
}

namespace kvt {
namespace {

struct FormatCloser {
    void operator()(AVFormatContext* context) const { avformat_close_input(&context); }
};
struct CodecFreer {
    void operator()(AVCodecContext* context) const { avcodec_free_context(&context); }
};
struct FrameFreer {
    void operator()(AVFrame* frame) const { av_frame_free(&frame); }
};
struct PacketFreer {
    void operator()(AVPacket* packet) const { av_packet_free(&packet); }
};
struct ResamplerFreer {
    void operator()(SwrContext* context) const { swr_free(&context); }
};

using FormatPtr = std::unique_ptr<AVFormatContext, FormatCloser>;
using CodecPtr = std::unique_ptr<AVCodecContext, CodecFreer>;
using FramePtr = std::unique_ptr<AVFrame, FrameFreer>;
using PacketPtr = std::unique_ptr<AVPacket, PacketFreer>;
using ResamplerPtr = std::unique_ptr<SwrContext, ResamplerFreer>;

class StreamDecoder {
public:
    StreamDecoder(const std::function<bool(const DecodedFormat&)>& onFormat,
                  const std::function<bool(std::span<const int16_t>)>& onSamples)
        : onFormat_(onFormat), onSamples_(onSamples) {}
    ~StreamDecoder() { av_channel_layout_uninit(&sourceLayout_); }
    StreamDecoder(const StreamDecoder&) = delete;
    StreamDecoder& operator=(const StreamDecoder&) = delete;

    bool Open(const std::string& inputPath) {
        if (CheckRegularFile(inputPath) != FileCheck::Regular) return false;
        AVDictionary* options = nullptr;
        av_dict_set(&options, "protocol_whitelist", "file", 0);
        av_dict_set(&options, "format_whitelist", kAudioDemuxers, 0);
        AVFormatContext* rawFormat = nullptr;
        int opened = avformat_open_input(&rawFormat, LocalFileUrl(inputPath).c_str(), nullptr, &options);
        av_dict_free(&options);
        if (opened < 0) return false;
        format_.reset(rawFormat);
        if (avformat_find_stream_info(format_.get(), nullptr) < 0) return false;
        const AVCodec* codec = nullptr;
        stream_ = av_find_best_stream(format_.get(), AVMEDIA_TYPE_AUDIO, -1, -1, &codec, 0);
        if (stream_ < 0 || !codec) return false;
        codec_.reset(avcodec_alloc_context3(codec));
        if (!codec_) return false;
        if (avcodec_parameters_to_context(codec_.get(), format_->streams[stream_]->codecpar) < 0) return false;
        if (avcodec_open2(codec_.get(), codec, nullptr) < 0) return false;
        frame_.reset(av_frame_alloc());
        packet_.reset(av_packet_alloc());
        return frame_ && packet_;
    }

    // Reads packets to the end; a damaged packet is skipped as a player would.
    bool Run() {
        while (av_read_frame(format_.get(), packet_.get()) >= 0) {
            bool ours = packet_->stream_index == stream_;
            bool ok = !ours || Send(packet_.get());
            av_packet_unref(packet_.get());
            if (!ok) return false;
        }
        if (!Send(nullptr)) return false;
        return Flush();
    }

    bool DecodedAny() const { return samplesDelivered_ > 0; }

private:
    bool Send(const AVPacket* packet) {
        // A packet the decoder refuses is skipped; what it already holds is still drained.
        avcodec_send_packet(codec_.get(), packet);
        for (;;) {
            int received = avcodec_receive_frame(codec_.get(), frame_.get());
            if (received == AVERROR(EAGAIN) || received == AVERROR_EOF) return true;
            if (received < 0) return true;  // undecodable frame: skip it
            bool ok = Deliver(frame_.get());
            av_frame_unref(frame_.get());
            if (!ok) return false;
        }
    }

    // The resampler converts from the shape of the frames it was built for to the output
    // fixed by the first frame: that frame's rate, mono or stereo.
    bool StartResampler(const AVFrame* frame) {
        AVChannelLayout inLayout{};  // copy frees what the destination holds, so it must start empty
        if (frame->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC || frame->ch_layout.nb_channels <= 0) {
            av_channel_layout_default(&inLayout, frame->ch_layout.nb_channels);
        } else if (av_channel_layout_copy(&inLayout, &frame->ch_layout) < 0) {
            return false;
        }
        AVChannelLayout outLayout{};
        av_channel_layout_default(&outLayout, format.channels);
        SwrContext* raw = nullptr;
        int made = swr_alloc_set_opts2(&raw, &outLayout, AV_SAMPLE_FMT_S16, format.sampleRate, &inLayout,
                                       static_cast<AVSampleFormat>(frame->format), frame->sample_rate, 0, nullptr);
        av_channel_layout_uninit(&inLayout);
        resampler_.reset(raw);
        if (made < 0 || swr_init(resampler_.get()) < 0) {
            resampler_.reset();
            return false;
        }
        av_channel_layout_uninit(&sourceLayout_);
        av_channel_layout_copy(&sourceLayout_, &frame->ch_layout);
        sourceRate_ = frame->sample_rate;
        sourceFormat_ = frame->format;
        return true;
    }

    bool MatchesResampler(const AVFrame* frame) const {
        return resampler_ && frame->format == sourceFormat_ && frame->sample_rate == sourceRate_ &&
               av_channel_layout_compare(&frame->ch_layout, &sourceLayout_) == 0;
    }

    bool Deliver(const AVFrame* frame) {
        if (frame->ch_layout.nb_channels <= 0 || frame->sample_rate <= 0 || frame->nb_samples <= 0) return true;
        if (!announced_) {
            format.sampleRate = frame->sample_rate;
            format.channels = frame->ch_layout.nb_channels == 1 ? 1 : 2;
            if (format_->duration > 0)
                format.statedFrames =
                    static_cast<uint64_t>(av_rescale(format_->duration, frame->sample_rate, AV_TIME_BASE));
            if (!StartResampler(frame)) return false;
            announced_ = true;
            if (!onFormat_(format)) return false;
        } else if (!MatchesResampler(frame)) {
            // The stream changed its layout, rate or sample format: what the old resampler
            // still holds comes out first, then a new one takes the new shape.
            if (!Flush()) return false;
            if (!StartResampler(frame)) return true;  // a shape no resampler takes: skip it
        }
        int capacity = swr_get_out_samples(resampler_.get(), frame->nb_samples);
        if (capacity <= 0) return true;
        buffer_.resize(static_cast<size_t>(capacity) * format.channels);
        uint8_t* out[] = {reinterpret_cast<uint8_t*>(buffer_.data())};
        int converted = swr_convert(resampler_.get(), out, capacity, const_cast<const uint8_t**>(frame->extended_data),
                                    frame->nb_samples);
        return Emit(converted);
    }

    bool Flush() {
        if (!resampler_) return true;
        int capacity = swr_get_out_samples(resampler_.get(), 0);
        if (capacity <= 0) return true;
        buffer_.resize(static_cast<size_t>(capacity) * format.channels);
        uint8_t* out[] = {reinterpret_cast<uint8_t*>(buffer_.data())};
        return Emit(swr_convert(resampler_.get(), out, capacity, nullptr, 0));
    }

    bool Emit(int frames) {
        if (frames <= 0) return true;
        samplesDelivered_ += static_cast<size_t>(frames);
        return onSamples_(std::span<const int16_t>(buffer_.data(), static_cast<size_t>(frames) * format.channels));
    }

public:
    DecodedFormat format;

private:
    const std::function<bool(const DecodedFormat&)>& onFormat_;
    const std::function<bool(std::span<const int16_t>)>& onSamples_;
    FormatPtr format_;
    CodecPtr codec_;
    FramePtr frame_;
    PacketPtr packet_;
    ResamplerPtr resampler_;
    int stream_ = -1;
    bool announced_ = false;
    AVChannelLayout sourceLayout_{};
    int sourceRate_ = 0;
    int sourceFormat_ = -1;
    std::vector<int16_t> buffer_;
    size_t samplesDelivered_ = 0;
};

}  // namespace

std::string LocalFileUrl(const std::string& path) {
    return "file:" + AbsolutePath(path);
}

DecodeOutcome DecodeAudio(const std::string& inputPath, const std::function<bool(const DecodedFormat&)>& onFormat,
                          const std::function<bool(std::span<const int16_t>)>& onSamples) {
    bool sinkFailed = false;
    std::function<bool(const DecodedFormat&)> formatSink = [&](const DecodedFormat& format) {
        sinkFailed = !onFormat(format);
        return !sinkFailed;
    };
    std::function<bool(std::span<const int16_t>)> sampleSink = [&](std::span<const int16_t> samples) {
        sinkFailed = !onSamples(samples);
        return !sinkFailed;
    };
    StreamDecoder decoder(formatSink, sampleSink);
    if (!decoder.Open(inputPath)) return DecodeOutcome::NoAudio;
    bool finished = decoder.Run();
    if (sinkFailed) return DecodeOutcome::WriteFailed;
    if (!finished || !decoder.DecodedAny()) return DecodeOutcome::NoAudio;
    return DecodeOutcome::Decoded;
}

DecodeOutcome DecodeAudioToWav(const std::string& inputPath, const std::string& outputPath) {
    // Decoded into a scratch name beside the target, so a failure never leaves a partial
    // "sample.wav" behind for the loader to pick up. The writer reports its own failures.
    auto scratch = CreateTemporaryFile(FolderOfPath(outputPath));
    if (!scratch) {
        ShowMessage(kFileNotWritableText);
        return DecodeOutcome::WriteFailed;
    }
    WaveWriter writer;
    DecodeOutcome outcome = DecodeAudio(
        inputPath,
        [&](const DecodedFormat& format) {
            return writer
                .Open(*scratch, static_cast<uint32_t>(format.sampleRate), 16, static_cast<uint16_t>(format.channels))
                .Ok();
        },
        [&](std::span<const int16_t> samples) { return writer.Write(samples.data(), samples.size_bytes()).Ok(); });
    if (!writer.Close().Ok() && outcome == DecodeOutcome::Decoded) outcome = DecodeOutcome::WriteFailed;
    if (outcome == DecodeOutcome::Decoded && std::rename(scratch->c_str(), outputPath.c_str()) != 0) {
        ShowMessage(kFileNotWritableText);
        outcome = DecodeOutcome::WriteFailed;
    }
    if (outcome != DecodeOutcome::Decoded) std::remove(scratch->c_str());
    DropPendingPath(*scratch);
    return outcome;
}

DecodeOutcome DecodeAudioToWave(const std::string& inputPath, WaveFile& wave) {
    // Reserved for the stated length (within reason), so a long input is not copied over
    // and over as it grows; a file that lies about its length only costs address space.
    constexpr uint64_t kMostReserved = uint64_t{1} << 31;
    std::vector<uint8_t> samples;
    DecodedFormat decoded;
    DecodeOutcome outcome = DecodeAudio(
        inputPath,
        [&](const DecodedFormat& format) {
            decoded = format;
            const uint64_t bytes = format.statedFrames * 2u * static_cast<uint64_t>(format.channels);
            samples.reserve(static_cast<size_t>(std::min(bytes + bytes / 64, kMostReserved)));
            return true;
        },
        [&](std::span<const int16_t> block) {
            const auto* bytes = reinterpret_cast<const uint8_t*>(block.data());
            samples.insert(samples.end(), bytes, bytes + block.size_bytes());
            return true;
        });
    if (outcome != DecodeOutcome::Decoded) return outcome;
    wave.AdoptPcm16(static_cast<uint16_t>(decoded.channels), static_cast<uint32_t>(decoded.sampleRate),
                    std::move(samples));
    return outcome;
}

}  // namespace kvt
