// WaveFile::MixDownToStereo: more than two channels to stereo with the same down-mix the
// in-process decoder applies, so a file gives the same stereo whichever path it takes.

#include <bit>
#include <cstdint>
#include <memory>

#include "input/wave_file.h"

extern "C" {
#include <libavutil/channel_layout.h>
#include <libswresample/swresample.h>
}

namespace kvt {
namespace {

struct ResamplerFreer {
    void operator()(SwrContext* context) const { swr_free(&context); }
};

}  // namespace

bool WaveFile::MixDownToStereo() {
    if (!loaded_ || channels <= 2) return true;
    if (bitsPerSample != 16 || sampleRate == 0 || sampleRate > INT32_MAX) return false;
    AVChannelLayout in{};
    if (channelMask != 0 && std::popcount(channelMask) == channels) {
        if (av_channel_layout_from_mask(&in, channelMask) < 0) return false;
    } else {
        av_channel_layout_default(&in, channels);
    }
    AVChannelLayout out = AV_CHANNEL_LAYOUT_STEREO;
    const int rate = static_cast<int>(sampleRate);
    SwrContext* raw = nullptr;
    int made = swr_alloc_set_opts2(&raw, &out, AV_SAMPLE_FMT_S16, rate, &in, AV_SAMPLE_FMT_S16, rate, 0, nullptr);
    av_channel_layout_uninit(&in);
    std::unique_ptr<SwrContext, ResamplerFreer> mixer(raw);
    if (made < 0 || swr_init(mixer.get()) < 0) return false;

    const size_t frames = samples_.size() / (2u * channels);
    if (frames > INT32_MAX) return false;
    std::vector<uint8_t> mixed(frames * 4);
    const uint8_t* source[] = {samples_.data()};
    uint8_t* target[] = {mixed.data()};
    int done = swr_convert(mixer.get(), target, static_cast<int>(frames), source, static_cast<int>(frames));
    if (done < 0) return false;
    mixed.resize(static_cast<size_t>(done) * 4);
    samples_ = std::move(mixed);
    channels = 2;
    channelMask = 0;
    blockAlign = 4;
    byteRate = static_cast<uint32_t>(uint64_t{sampleRate} * 4);
    return true;
}

}  // namespace kvt
