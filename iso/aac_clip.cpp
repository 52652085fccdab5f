#include "iso/aac_clip.h"

#include <algorithm>
#include <array>

#include "engine/engine_message.h"
#include "engine/pcm_operations.h"
#include "iso/encoder_3gp.h"
#include "iso/file_3gp.h"
#include "platform/message.h"

namespace kvt {
namespace {
constexpr std::string_view kBadAacRateText = "samplerate:44100";

struct TailStep {
    int upToRate;  // Hz, inclusive
    int milliseconds;
};

// Enough silence to carry the clip's end out of the encoder's look-ahead (at least
// 2400 samples at every accepted rate).
constexpr std::array<TailStep, 5> kSilentTail = {{
    {8000, 400},
    {16000, 200},
    {24000, 100},
    {32000, 80},
    {44100, 60},
}};
constexpr int kSilentTailAbove44100 = 30;

}  // namespace

AacTarget ResolveAacTarget(int requestedRate, int requestedChannels, const FormatBlock& clip) {
    AacTarget target{requestedRate, requestedChannels, false};
    if (target.sampleRate == 0) target.sampleRate = static_cast<int>(clip.sampleRate);
    if (target.channels == 0) {
        target.channels = clip.channels;
        if (target.channels > 2) {
            target.channels = 2;
            target.channelsCut = true;
        }
    }
    return target;
}

int SilentTailMilliseconds(int requestedRate) {
    for (const TailStep& step : kSilentTail) {
        if (requestedRate <= step.upToRate) return step.milliseconds;
    }
    return kSilentTailAbove44100;
}

bool PadForAac(const SourceClip& clip, int requestedRate, EngineFile& pcm) {
    pcm.format = clip.format;
    const FormatBlock& format = pcm.format;
    if (format.bitsPerSample != 16 || format.channels == 0 || format.sampleRate == 0) {
        ShowMessage(kNotPcmText);
        return false;
    }
    const uint64_t tailBytes = uint64_t{format.bitsPerSample / 8u} * format.channels *
                               static_cast<uint64_t>(SilentTailMilliseconds(requestedRate)) * format.sampleRate / 1000;
    const uint64_t paddedSize = uint64_t{clip.data.size()} + tailBytes;
    if (paddedSize > UINT32_MAX) {
        ShowMessage(kNoMemoryText);
        return false;
    }
    if (!pcm.AllocateData(static_cast<uint32_t>(paddedSize))) return false;
    std::copy(clip.data.begin(), clip.data.end(), pcm.data.begin());
    return true;
}

bool ConvertForAac(EngineFile& pcm, const AacTarget& target, ResamplerKind resampler) {
    if (target.channelsCut) ShowMessage(kChannelErrorText);
    if (target.sampleRate > kMaxAacSampleRate || target.sampleRate < 0) {
        ShowMessage(kBadAacRateText);
        return false;
    }
    if (!ConvertChannels(pcm, target.channels) || !Resample(pcm, static_cast<uint32_t>(target.sampleRate), resampler)) {
        return false;
    }
    if (pcm.format.channels != target.channels) {
        // Only mono and stereo convert into each other; anything else cannot be coded.
        if (!target.channelsCut) ShowMessage(kChannelErrorText);
        return false;
    }
    return true;
}

bool FitsFrameTable(size_t pcmBytes, int channels) {
    const size_t callBytes = 2048u * static_cast<size_t>(channels);
    return (pcmBytes + callBytes - 1) / callBytes <= kMaxAacFrames + 1;
}

}  // namespace kvt
