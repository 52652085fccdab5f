// Samples per second of each sample codec, and of FFmpeg's own Yamaha ADPCM and G.726
// encoders (through libavcodec) on the same samples.

#include <benchmark/benchmark.h>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/channel_layout.h>
#include <libavutil/log.h>
}

#include <algorithm>
#include <cstring>
#include <vector>

#include "codec_test_signals.h"
#include "engine/sample_codecs.h"

namespace {

constexpr size_t kSampleCount = 1 << 20;  // about 131 s at 8000 Hz

const std::vector<int16_t>& Speech() {
    static const std::vector<int16_t> samples = kvt::testing::SpeechLike(kSampleCount);
    return samples;
}

template <std::vector<uint8_t> (*Encode)(std::span<const int16_t>)>
void BM_Ours(benchmark::State& state) {
    const auto& samples = Speech();
    for (auto _ : state) benchmark::DoNotOptimize(Encode(samples));
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * samples.size()));
}

// The 25-step codec rewrites quiet samples in place: every run gets a fresh copy.
void BM_Ours_Adpcm25Step(benchmark::State& state) {
    std::vector<int16_t> samples(Speech().size());
    for (auto _ : state) {
        state.PauseTiming();
        std::copy(Speech().begin(), Speech().end(), samples.begin());
        state.ResumeTiming();
        benchmark::DoNotOptimize(kvt::EncodeAdpcm25Step(samples));
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * samples.size()));
}

// One libavcodec encoder, mono 16-bit at 8000 Hz, coding whole frames of the signal.
void RunFfmpegEncoder(benchmark::State& state, const char* name, int64_t bitRate) {
    av_log_set_level(AV_LOG_QUIET);
    const AVCodec* codec = avcodec_find_encoder_by_name(name);
    AVCodecContext* context = codec ? avcodec_alloc_context3(codec) : nullptr;
    if (context == nullptr) {
        state.SkipWithError("encoder not available");
        return;
    }
    context->sample_fmt = AV_SAMPLE_FMT_S16;
    context->sample_rate = 8000;
    context->bit_rate = bitRate;
    av_channel_layout_default(&context->ch_layout, 1);
    AVFrame* frame = av_frame_alloc();
    AVPacket* packet = av_packet_alloc();
    if (avcodec_open2(context, codec, nullptr) < 0) {
        state.SkipWithError("encoder did not open");
    } else {
        const size_t frameSize = static_cast<size_t>(context->frame_size > 0 ? context->frame_size : 1024);
        const size_t frames = Speech().size() / frameSize;
        frame->nb_samples = static_cast<int>(frameSize);
        frame->format = AV_SAMPLE_FMT_S16;
        av_channel_layout_copy(&frame->ch_layout, &context->ch_layout);
        av_frame_get_buffer(frame, 0);
        for (auto _ : state) {
            for (size_t f = 0; f < frames; ++f) {
                av_frame_make_writable(frame);
                std::memcpy(frame->data[0], Speech().data() + f * frameSize, frameSize * sizeof(int16_t));
                avcodec_send_frame(context, frame);
                while (avcodec_receive_packet(context, packet) == 0) av_packet_unref(packet);
            }
        }
        state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * frames * frameSize));
    }
    av_packet_free(&packet);
    av_frame_free(&frame);
    avcodec_free_context(&context);
}

void BM_Ffmpeg_AdpcmYamaha(benchmark::State& state) {
    RunFfmpegEncoder(state, "adpcm_yamaha", 0);
}
void BM_Ffmpeg_G726_32(benchmark::State& state) {
    RunFfmpegEncoder(state, "g726", 32000);
}
void BM_Ffmpeg_G726_16(benchmark::State& state) {
    RunFfmpegEncoder(state, "g726", 16000);
}

}  // namespace

BENCHMARK(BM_Ours<kvt::EncodeYamahaAdpcm>)->Name("Codec1_YamahaAdpcm")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Ffmpeg_AdpcmYamaha)->Name("Ffmpeg_AdpcmYamaha")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Ours_Adpcm25Step)->Name("Codec2_Adpcm25Step")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Ours<kvt::EncodeG726_32>)->Name("Codec3_G726_32")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Ffmpeg_G726_32)->Name("Ffmpeg_G726_32")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Ours<kvt::EncodeG726_16>)->Name("Codec4_G726_16")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Ffmpeg_G726_16)->Name("Ffmpeg_G726_16")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Ours<kvt::EncodeImaTableAdpcm>)->Name("Codec5_ImaTableAdpcm")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Ours<kvt::EncodeAdpcm19Step>)->Name("Codec6_Adpcm19Step")->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
