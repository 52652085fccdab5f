// An external AAC encoder program for the tests of the 3GP path:
//
//   fake_aac_encoder -br N [-he] -if IN.wav -of OUT.m4a
//
// reads a 16-bit PCM WAV file, codes it as AAC-LC at N bits per second (per channel) with
// FFmpeg's encoder and writes an MP4 file. "-he" is accepted and ignored. The media data
// starts with one 8-byte text sample of a second track, so the audio's first chunk lies 8
// bytes into the mdat body, the layout the 3GP writer's splice expects of such programs.
// KVT_FAKE_AAC_DELAY_MS=<ms> makes the program wait that long before it starts.
// Exit codes: 0 written, 2 bad arguments, 3 unreadable input, 4 coding or writing failed.

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
}

namespace {

struct Arguments {
    long bitRate = 0;
    std::string input;
    std::string output;
};

bool ParseArguments(int argc, char** argv, Arguments& arguments) {
    for (int i = 1; i < argc; ++i) {
        const std::string flag = argv[i];
        if (flag == "-he") {
            continue;
        }
        if (i + 1 >= argc) {
            return false;
        }
        const char* value = argv[++i];
        if (flag == "-br") {
            arguments.bitRate = std::strtol(value, nullptr, 10);
        } else if (flag == "-if") {
            arguments.input = value;
        } else if (flag == "-of") {
            arguments.output = value;
        } else {
            return false;
        }
    }
    return arguments.bitRate > 0 && !arguments.input.empty() && !arguments.output.empty();
}

struct Pcm {
    int sampleRate = 0;
    int channels = 0;
    std::vector<int16_t> samples;  // interleaved
};

bool ReadWave(const std::string& path, Pcm& pcm) {
    AVFormatContext* input = nullptr;
    if (avformat_open_input(&input, path.c_str(), nullptr, nullptr) < 0) {
        return false;
    }
    bool ok = avformat_find_stream_info(input, nullptr) >= 0 && input->nb_streams == 1 &&
              input->streams[0]->codecpar->codec_id == AV_CODEC_ID_PCM_S16LE;
    if (ok) {
        pcm.sampleRate = input->streams[0]->codecpar->sample_rate;
        pcm.channels = input->streams[0]->codecpar->ch_layout.nb_channels;
        ok = pcm.channels == 1 || pcm.channels == 2;
    }
    AVPacket* packet = av_packet_alloc();
    while (ok && av_read_frame(input, packet) >= 0) {
        const auto* data = reinterpret_cast<const uint8_t*>(packet->data);
        for (int i = 0; i + 1 < packet->size; i += 2) {
            pcm.samples.push_back(static_cast<int16_t>(data[i] | data[i + 1] << 8));
        }
        av_packet_unref(packet);
    }
    av_packet_free(&packet);
    avformat_close_input(&input);
    return ok;
}

class Mp4Writer {
public:
    ~Mp4Writer() {
        if (output_ != nullptr) {
            avio_closep(&output_->pb);
            avformat_free_context(output_);
        }
    }

    bool Open(const std::string& path, const AVCodecContext* audio) {
        if (avformat_alloc_output_context2(&output_, nullptr, "mp4", path.c_str()) < 0) {
            return false;
        }
        AVStream* sound = avformat_new_stream(output_, nullptr);
        AVStream* text = avformat_new_stream(output_, nullptr);
        if (sound == nullptr || text == nullptr || avcodec_parameters_from_context(sound->codecpar, audio) < 0) {
            return false;
        }
        sound->time_base = AVRational{1, audio->sample_rate};
        text->codecpar->codec_type = AVMEDIA_TYPE_SUBTITLE;
        text->codecpar->codec_id = AV_CODEC_ID_MOV_TEXT;
        text->time_base = AVRational{1, 1000};
        if (avio_open(&output_->pb, path.c_str(), AVIO_FLAG_WRITE) < 0 || avformat_write_header(output_, nullptr) < 0) {
            return false;
        }
        // Text sample: 16-bit length, then the text.
        static const uint8_t kLead[8] = {0, 6, 'K', 'V', 'T', 'a', 'a', 'c'};
        AVPacket* packet = av_packet_alloc();
        bool ok = packet != nullptr && av_new_packet(packet, sizeof kLead) >= 0;
        if (ok) {
            std::memcpy(packet->data, kLead, sizeof kLead);
            packet->stream_index = 1;
            packet->pts = packet->dts = 0;
            packet->duration = 1;
            ok = av_write_frame(output_, packet) >= 0;
        }
        av_packet_free(&packet);
        return ok;
    }

    // Frames in coding order; each gets the next 1024-sample time stamp.
    bool WriteFrame(AVPacket* packet) {
        packet->stream_index = 0;
        packet->pts = packet->dts = nextPts_;
        packet->duration = 1024;
        nextPts_ += 1024;
        av_packet_rescale_ts(packet, AVRational{1, output_->streams[0]->codecpar->sample_rate},
                             output_->streams[0]->time_base);
        return av_write_frame(output_, packet) >= 0;
    }

    bool Close() { return av_write_trailer(output_) >= 0; }

private:
    AVFormatContext* output_ = nullptr;
    int64_t nextPts_ = 0;
};

bool Encode(const Pcm& pcm, long bitRate, const std::string& path) {
    const AVCodec* codec = avcodec_find_encoder_by_name("aac");
    AVCodecContext* context = avcodec_alloc_context3(codec);
    AVFrame* frame = av_frame_alloc();
    AVPacket* packet = av_packet_alloc();
    bool ok = context != nullptr && frame != nullptr && packet != nullptr;
    if (ok) {
        context->sample_fmt = AV_SAMPLE_FMT_FLTP;
        context->sample_rate = pcm.sampleRate;
        av_channel_layout_default(&context->ch_layout, pcm.channels);
        context->bit_rate = bitRate * pcm.channels;
        context->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
        ok = avcodec_open2(context, codec, nullptr) >= 0;
    }
    Mp4Writer writer;
    ok = ok && writer.Open(path, context);
    const size_t frames = pcm.samples.size() / pcm.channels;
    for (size_t start = 0; ok; start += 1024) {
        const bool last = start >= frames;
        if (!last) {
            frame->format = AV_SAMPLE_FMT_FLTP;
            frame->nb_samples = 1024;
            frame->sample_rate = pcm.sampleRate;
            av_channel_layout_copy(&frame->ch_layout, &context->ch_layout);
            ok = av_frame_get_buffer(frame, 0) >= 0;
            for (int c = 0; ok && c < pcm.channels; ++c) {
                auto* plane = reinterpret_cast<float*>(frame->extended_data[c]);
                for (size_t i = 0; i < 1024; ++i) {
                    const size_t at = start + i;
                    plane[i] = at < frames ? pcm.samples[at * pcm.channels + c] / 32768.0f : 0.0f;
                }
            }
            frame->pts = static_cast<int64_t>(start);
        }
        ok = ok && avcodec_send_frame(context, last ? nullptr : frame) >= 0;
        av_frame_unref(frame);
        while (ok) {
            const int result = avcodec_receive_packet(context, packet);
            if (result == AVERROR(EAGAIN) || result == AVERROR_EOF) {
                break;
            }
            ok = result >= 0 && writer.WriteFrame(packet);
            av_packet_unref(packet);
        }
        if (last) {
            break;
        }
    }
    ok = ok && writer.Close();
    av_packet_free(&packet);
    av_frame_free(&frame);
    avcodec_free_context(&context);
    return ok;
}

}  // namespace

int main(int argc, char** argv) {
    av_log_set_level(AV_LOG_ERROR);
    Arguments arguments;
    if (!ParseArguments(argc, argv, arguments)) {
        std::fputs("usage: fake_aac_encoder -br N [-he] -if IN -of OUT\n", stderr);
        return 2;
    }
    if (const char* delay = std::getenv("KVT_FAKE_AAC_DELAY_MS")) {
        std::this_thread::sleep_for(std::chrono::milliseconds(std::atol(delay)));
    }
    Pcm pcm;
    if (!ReadWave(arguments.input, pcm)) {
        return 3;
    }
    if (!Encode(pcm, arguments.bitRate, arguments.output)) {
        std::remove(arguments.output.c_str());
        return 4;
    }
    return 0;
}
