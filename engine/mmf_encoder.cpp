#include "engine/mmf_encoder.h"

#include <cstdint>
#include <new>
#include <string_view>
#include <utility>

#include "engine/engine_message.h"
#include "engine/mmf_layout.h"
#include "engine/pcm_operations.h"
#include "engine/sample_codecs.h"
#include "platform/codepage.h"
#include "platform/message.h"
#include "platform/paths.h"

namespace kvt {
namespace {

constexpr std::string_view kRateTooHighText = "samplerate:24000";
constexpr std::string_view kBuildFailedText = "tarrow function";
// The 16-bit tick fields end at 65535 ticks of 4 ms: 262.136 s.
constexpr std::string_view kTooLongText = "MMFに変換できるのは262秒までです。範囲を短くしてください。";

std::optional<std::vector<uint8_t>> BuildFile(const EngineFile& pcm, bool stereo, uint16_t ticks,
                                              const std::string& title) {
    MmfLayout layout;
    layout.stereo = stereo;
    layout.sampleRate = static_cast<uint16_t>(pcm.format.sampleRate);
    layout.durationTicks = ticks;
    layout.title = stereo ? std::string() : CutCp932(Utf8ToCp932(title), UINT16_MAX);
    try {
        return BuildMmfImage(layout, EncodeMmfWave(BytesToSamples(pcm.data), stereo));
    } catch (const std::bad_alloc&) {
        return std::nullopt;
    }
}

}  // namespace

MmfEncoder::MmfEncoder(const SourceClip& source) : source_(source) {
    path = source.path;
}

std::optional<std::string> MmfOutputPath(const std::string& path) {
    return ReplaceExtension(path, ".mmf");
}

std::vector<uint8_t> EncodeMmfWave(std::span<const int16_t> samples, bool stereo) {
    if (!stereo) {
        return EncodeYamahaAdpcm(samples);
    }
    const size_t frames = samples.size() / 2;
    // An even length per channel, so that the packer keeps a code for every frame.
    const size_t padded = frames + frames % 2;
    std::vector<int16_t> left(padded), right(padded);
    for (size_t i = 0; i < frames; ++i) {
        left[i] = samples[2 * i];
        right[i] = samples[2 * i + 1];
    }
    if (padded != frames) {
        left[frames] = left[frames - 1];
        right[frames] = right[frames - 1];
    }
    const std::vector<uint8_t> leftCodes = EncodeYamahaAdpcm(left);
    const std::vector<uint8_t> rightCodes = EncodeYamahaAdpcm(right);
    const auto code = [](const std::vector<uint8_t>& packed, size_t i) {
        return (packed[i / 2] >> (4 * (i % 2))) & 0x0F;  // first code of a pair is low
    };
    std::vector<uint8_t> wave(frames);
    for (size_t i = 0; i < frames; ++i) {
        wave[i] = static_cast<uint8_t>(code(leftCodes, i) << 4 | code(rightCodes, i));
    }
    return wave;
}

OutputResult MmfEncoder::WriteMmf(int sampleRate, bool stereo) {
    if (!CopyPcmFrom(source_)) {
        return OutputResult::Refused;
    }
    const std::optional<std::string> outputPath = MmfOutputPath(path);
    if (!outputPath) {
        return OutputResult::Refused;
    }
    const int64_t rate = sampleRate == 0 ? int64_t{format.sampleRate} : sampleRate;
    if (rate <= 0 || rate > kMmfMaxSampleRate) {
        ShowMessage(kRateTooHighText);
        return OutputResult::Refused;
    }
    if (format.bitsPerSample != 16) {
        ShowMessage(kUnsupportedBitsText);
        return OutputResult::Refused;
    }
    const int channels = stereo ? 2 : 1;
    if (!ConvertChannels(*this, channels) || !Resample(*this, static_cast<uint32_t>(rate), resampler)) {
        return OutputResult::Refused;
    }
    if (format.channels != channels || format.sampleRate != rate) {
        ShowMessage(kBuildFailedText);
        return OutputResult::Refused;
    }

    // The byte rate of the block as it now stands, not a field a source may have wrong.
    const uint32_t byteRate = format.sampleRate * format.channels * 2;
    const uint64_t ticks = MmfDurationTicks(data.size(), byteRate);
    if (ticks > kMmfMaxDurationTicks) {
        ShowMessage(kTooLongText);
        return OutputResult::Refused;
    }
    std::optional<std::vector<uint8_t>> file = BuildFile(*this, stereo, static_cast<uint16_t>(ticks), title);
    if (!file) {
        ShowMessage(kBuildFailedText);
        return OutputResult::Refused;
    }
    image = std::move(*file);
    cursor = 0;
    return Save(*outputPath) == 1 ? OutputResult::Written : OutputResult::WriteFailed;
}

int MmfEncoder::ConvertMmf(int sampleRate, int stereo) {
    return WriteMmf(sampleRate, stereo == 1) == OutputResult::Refused ? 0 : 1;
}

}  // namespace kvt
