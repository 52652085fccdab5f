#include "engine/mld_encoder.h"

#include <algorithm>
#include <cmath>

#include "engine/engine_message.h"
#include "engine/level_normalizer.h"
#include "engine/mld_fit.h"
#include "engine/mld_header.h"
#include "engine/mld_layout.h"
#include "engine/mld_preset_table.h"
#include "engine/pcm_operations.h"
#include "engine/sample_codecs.h"
#include "platform/codepage.h"
#include "platform/message.h"
#include "platform/paths.h"

namespace kvt {

namespace {

constexpr std::string_view kBadPresetText = "fmt_num";
constexpr std::string_view kBadNormalizeText = "normalize";
constexpr std::string_view kBadRateText = "samplerate:4000,8000,16000,32000";
constexpr std::string_view kStereoAt32kText = "samplerate 32kはモノラルのみ";
constexpr std::string_view kNotSavedText = "zorvikを保存できませんでした。";
constexpr std::string_view kNoStereoText = "ステレオに対応していません。";
constexpr int kCodecG726_32 = 3;
constexpr int kCodecG726_16 = 4;

// The row's rate flag and the text, followed by the row's name, when the rate is not allowed.
struct RateRule {
    uint32_t rate;
    int32_t MldPreset::*allowed;
    std::string_view refusalText;
};
constexpr RateRule kRateRules[] = {
    {4000, &MldPreset::f04, "samplerate_f04:"},
    {8000, &MldPreset::f08, "samplerate_f08:"},
    {16000, &MldPreset::f16, "samplerate_f16:"},
    {32000, &MldPreset::f32, "samplerate_f32:"},
};

// Codes `samples` with `codec` into exactly `size` bytes (zeros where a codec gives fewer).
std::vector<uint8_t> Code(int codec, std::span<int16_t> samples, size_t size) {
    std::vector<uint8_t> codes = EncodeWithCodec(codec, samples);
    codes.resize(size, 0);
    return codes;
}

// One channel of interleaved stereo frames.
std::vector<int16_t> Channel(std::span<const int16_t> frames, size_t channel) {
    std::vector<int16_t> out(frames.size() / 2);
    for (size_t i = 0; i < out.size(); ++i) out[i] = frames[2 * i + channel];
    return out;
}

// Whether a stereo split codes its channels with `codec`; otherwise they are zero bytes.
bool CodesChannels(MldStreamSplit split, int codec) {
    return split == MldStreamSplit::TwoStreams ? codec >= 1 && codec <= 3 : codec == kCodecG726_32;
}

// Whether the codes of `samples` (interleaved frames for a stereo split) decode to full
// scale, where the check's decoders count a sample as clipped.
bool CodedAudioClips(MldStreamSplit split, int codec, std::span<const int16_t> samples) {
    const auto clips = [codec](std::span<const int16_t> channel) {
        const std::vector<int16_t> heard = ReconstructWithCodec(codec, channel);
        return std::any_of(heard.begin(), heard.end(), [](int16_t s) { return s >= 32767 || s <= -32767; });
    };
    if (split == MldStreamSplit::Mono) return clips(samples);
    return CodesChannels(split, codec) && (clips(Channel(samples, 0)) || clips(Channel(samples, 1)));
}

// Normalises a copy of the converted PCM to `normalize`, below the level where its codes
// clip, and codes it for the split; `codedSize` is the size of a mono stream.
MldCodedStreams CodeStreams(MldStreamSplit split, int codec, std::span<const uint8_t> pcm, int normalize,
                            size_t codedSize) {
    // A fresh copy each time: codec 2 rewrites its input.
    std::vector<int16_t> samples = BytesToSamples(pcm);
    NormalizeLevelBelowClipping(samples, normalize, [split, codec](std::span<const int16_t> normalized) {
        return CodedAudioClips(split, codec, normalized);
    });
    MldCodedStreams out;
    if (split == MldStreamSplit::Mono) {
        out.stream = Code(codec, samples, codedSize);
        return out;
    }
    std::vector<int16_t> leftSamples = Channel(samples, 0);
    std::vector<int16_t> rightSamples = Channel(samples, 1);
    samples = {};
    const size_t channelCodes = leftSamples.size() * 2 / 4;
    const bool coded = CodesChannels(split, codec);
    if (split == MldStreamSplit::TwoStreams) {
        out.left = coded ? Code(codec, leftSamples, channelCodes) : std::vector<uint8_t>(channelCodes);
        out.right = coded ? Code(codec, rightSamples, channelCodes) : std::vector<uint8_t>(channelCodes);
    } else {
        out.stream = coded ? Code(codec, leftSamples, channelCodes) : std::vector<uint8_t>(channelCodes);
        const std::vector<uint8_t> rightCodes =
            coded ? Code(codec, rightSamples, channelCodes) : std::vector<uint8_t>(channelCodes);
        out.stream.insert(out.stream.end(), rightCodes.begin(), rightCodes.end());
    }
    return out;
}

}  // namespace

std::string MldOutputPath(const std::string& path, std::string_view rowName) {
    return std::string(PathWithoutExtension(path)) + "_" + std::string(rowName) + ".mld";
}

std::string MldTitleBase(const std::string& path) {
    std::string base(FileNameOfPath(PathWithoutExtension(path)));
    if (const size_t backslash = base.find_last_of('\\'); backslash != std::string::npos) base.erase(0, backslash + 1);
    return base;
}

uint32_t MldDurationTicks(uint32_t pcmBytes, uint32_t byteRate) {
    if (byteRate == 0) return 0;
    const double seconds = static_cast<double>(pcmBytes) / byteRate;
    return static_cast<uint32_t>(std::min(std::floor(seconds * 200), double{UINT32_MAX}));
}

MldEncoder::MldEncoder(const SourceClip& source) : source_(source) {
    path = source.path;
}

std::optional<uint32_t> MldEncoder::CheckedRate(const MldPreset& row, int64_t requested, int targetChannels) const {
    if (source_.format.bitsPerSample != 16) {
        ShowMessage(kUnsupportedBitsText);
        return std::nullopt;
    }
    const auto rule = std::find_if(std::begin(kRateRules), std::end(kRateRules),
                                   [&](const RateRule& r) { return r.rate == requested; });
    if (rule == std::end(kRateRules)) {
        ShowMessage(kBadRateText);
        return std::nullopt;
    }
    if (row.*(rule->allowed) != 1) {
        ShowMessage(std::string(rule->refusalText) + std::string(row.name));
        return std::nullopt;
    }
    if (rule->rate == 32000 && targetChannels == 2) {
        ShowMessage(kStereoAt32kText);
        return std::nullopt;
    }
    return rule->rate;
}

bool MldEncoder::ConvertForRow(bool atHand, int targetChannels, uint32_t rate) {
    if (atHand) {
        format = cache_.format;
        data = cache_.bytes;
        return true;
    }
    if (!ConvertChannels(*this, targetChannels) || !Resample(*this, rate, resampler)) return false;
    if (format.channels != targetChannels) {
        // Only mono and stereo sources can be brought to the row's channel count.
        ShowMessage(kNotSavedText);
        return false;
    }
    cache_.Keep(source_, targetChannels, rate, resampler, *this);
    return true;
}

MldEncoder::CodedSizes MldEncoder::TakeCodedSizes(int codec) {
    // Byte counts that follow the PCM into the coded stream: the 2-bit coder gives half
    // the bytes of the 4-bit ones and records 4000 Hz.
    CodedSizes sizes;
    sizes.recordedRate = format.sampleRate;
    uint32_t pcmByteRate = format.byteRate;
    if (codec == kCodecG726_16) {
        sizes.recordedRate = 4000;
        pcmByteRate = 8000;
    }
    sizes.streamBytes = static_cast<uint32_t>(MldCodedBytes(codec, data.size() / 2));
    sizes.byteRate = pcmByteRate / 4;
    format.byteRate = sizes.byteRate;
    return sizes;
}

const MldCodedStreams& MldEncoder::CodedStreamsFor(const MldPreset& row, int normalize, size_t streamBytes) {
    MldStreamSplit split = MldStreamSplit::Mono;
    if (IsStereoMldType(row.type)) {
        split = IsTwoStreamMldType(row.type) ? MldStreamSplit::TwoStreams : MldStreamSplit::OneStereoStream;
        if (split == MldStreamSplit::TwoStreams && (row.codec == 5 || row.codec == 6)) ShowMessage(kNoStereoText);
    }
    if (const MldCodedStreams* coded = cache_.FindCoded(split, row.codec, normalize)) return *coded;
    return cache_.KeepCoded(split, row.codec, CodeStreams(split, row.codec, data, normalize, streamBytes));
}

MldFile MldEncoder::BuildLayout(const MldPreset& row, std::string_view titleText, const MldCodedStreams& coded,
                                const CodedSizes& sizes, uint32_t ticks) {
    if (row.useV4Layout == 1)
        return BuildMldV4Layout(row, titleText, coded.stream, sizes.recordedRate, ticks, row.type == 14);
    if (IsTwoStreamMldType(row.type))
        return BuildMldTwoStreamLayout(row, titleText, coded.left, coded.right, sizes.recordedRate, sizes.byteRate);
    MldFile file = BuildMldOneTrackLayout(row, titleText, coded.stream, sizes.recordedRate, sizes.byteRate);
    if (const auto kept = MldKeptStreamBytes(row, coded.stream.size()); kept && file && sizes.byteRate > 0)
        keptSeconds = static_cast<double>(*kept) / sizes.byteRate;
    return file;
}

OutputResult MldEncoder::WriteMld(int preset, int sampleRate, int normalize,
                                  const std::optional<std::string>& outputPath) {
    keptSeconds.reset();
    overSizeLimit = false;
    if (preset < 0 || static_cast<size_t>(preset) >= kMldPresetCount) {
        ShowMessage(kBadPresetText);
        return OutputResult::Refused;
    }
    MldPreset row = MldPresetTable[static_cast<size_t>(preset)];
    const std::string defaultPath = MldOutputPath(path, row.name);
    const std::string titleBase = MldTitleBase(path);

    image.clear();
    cursor = 0;
    const int targetChannels = IsStereoMldType(row.type) ? 2 : 1;
    const int64_t requested = sampleRate == 0 ? int64_t{source_.format.sampleRate} : int64_t{sampleRate};
    // The clip is copied only when its conversion for this row is not at hand already.
    const bool atHand = cache_.Holds(source_, targetChannels,
                                     MldConversionRate(row.codec, static_cast<uint32_t>(requested)), resampler);
    if (!atHand && !CopyPcmFrom(source_)) return OutputResult::Refused;
    if ((normalize < 0 || normalize > 500) && normalize != kKeepLevel) ShowMessage(kBadNormalizeText);
    const auto allowedRate = CheckedRate(row, requested, targetChannels);
    if (!allowedRate) return OutputResult::Refused;
    const uint32_t rate = MldConversionRate(row.codec, *allowedRate);
    row.codec = MldCodecAt(row.codec, *allowedRate);
    if (!ConvertForRow(atHand, targetChannels, rate)) return OutputResult::Refused;

    const uint32_t ticks = MldDurationTicks(static_cast<uint32_t>(data.size()), format.byteRate);
    const CodedSizes sizes = TakeCodedSizes(row.codec);
    const MldCodedStreams& coded = CodedStreamsFor(row, normalize, sizes.streamBytes);
    overSizeLimit = sizes.streamBytes > sizeLimit;
    if (overSizeLimit && showsSizeMessage) ShowMessage(kOverSizeLimitText);

    const std::string titleText = CutCp932(Utf8ToCp932(title.empty() ? titleBase : title), kMldTitleLimit);
    MldFile file = BuildLayout(row, titleText, coded, sizes, ticks);
    if (!file) {
        ShowMessage(kNotSavedText);
        return OutputResult::WriteFailed;
    }
    image = std::move(*file);
    cursor = image.size();
    return Save(outputPath ? *outputPath : defaultPath) == 1 ? OutputResult::Written : OutputResult::WriteFailed;
}

int MldEncoder::ConvertMld(int preset, int sampleRate, int normalize, const std::optional<std::string>& outputPath) {
    return WriteMld(preset, sampleRate, normalize, outputPath) == OutputResult::Written ? 1 : 0;
}

}  // namespace kvt
