#include "iso/encoder_3gp.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <vector>

#include "engine/engine_message.h"
#include "engine/pcm_operations.h"
#include "iso/aac_encoder.h"
#include "iso/file_3gp.h"
#include "iso/file_3gp_splice.h"
#include "iso/remux.h"
#include "iso/side_files.h"
#include "platform/message.h"
#include "platform/paths.h"

namespace kvt {
namespace {

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

struct AacStream {
    std::vector<uint8_t> payload;  // the frames back to back
    std::vector<uint32_t> frameSizes;
    std::vector<uint8_t> decoderSpecificInfo;
    int bitRate = 0;  // per channel, as the frames were coded
};

// Opens and configures the encoder; nothing after a message.
std::unique_ptr<AacEncoder> StartEncoder(int sampleRate, int channels, int bitRate, int bandwidth, int longBlocksOnly) {
    std::unique_ptr<AacEncoder> encoder = AacEncoder::Open(sampleRate, channels);
    if (!encoder) {
        ShowEngineMessage("aacエンコーダを開けませんでした。(%d Hz, %dチャンネル)", sampleRate, channels);
        return nullptr;
    }
    AacConfiguration configuration = encoder->CurrentConfiguration();
    if (configuration.version != kAacConfigurationVersion) {
        encoder->Close();
        ShowMessage(kAacAbnormalMessage);
        return nullptr;
    }
    configuration.mpegVersion = kAacMpeg4;
    configuration.objectType = kAacObjectLc;
    configuration.allowMidSide = 1;
    configuration.useTns = 0;
    configuration.bitRate = bitRate > 0 ? static_cast<unsigned long>(bitRate) : 0;
    configuration.bandWidth = bandwidth;
    configuration.outputFormat = kAacOutputRaw;
    configuration.inputFormat = kAacInput16Bit;
    if (longBlocksOnly == 1) {
        configuration.shortControl = kAacShortLongOnly;
    }
    if (!encoder->SetConfiguration(configuration)) {
        ShowMessage(kAacParametersMessage);
        return nullptr;
    }
    return encoder;
}

// The frame loop: one call per `InputSamples()` samples of `pcm` (the last call padded
// with silence), no flush. Calls that return no bytes (the look-ahead) are not frames.
// Stops at the first frame larger than the decoder buffer and returns its size; 0 when
// every frame fits, nothing when the encoder failed.
std::optional<size_t> EncodeFrames(AacEncoder& encoder, std::span<const uint8_t> pcm, int channels, AacStream& stream) {
    stream.decoderSpecificInfo = encoder.DecoderSpecificInfo();
    std::vector<int16_t> frame(encoder.InputSamples());
    std::vector<uint8_t> coded(encoder.MaxOutputBytes());
    const size_t frameBytes = frame.size() * sizeof(int16_t);
    stream.frameSizes.reserve(pcm.size() / frameBytes + 1);
    for (size_t offset = 0; offset < pcm.size(); offset += frameBytes) {
        const size_t take = std::min(frameBytes, pcm.size() - offset);
        std::memcpy(frame.data(), pcm.data() + offset, take);
        std::memset(reinterpret_cast<uint8_t*>(frame.data()) + take, 0, frameBytes - take);
        const int bytes = encoder.Encode(frame, coded);
        if (bytes < 0) {
            return std::nullopt;
        }
        if (!FrameFitsDecoderBuffer(static_cast<size_t>(bytes), channels)) {
            return static_cast<size_t>(bytes);
        }
        if (bytes > 0) {
            stream.payload.insert(stream.payload.end(), coded.begin(), coded.begin() + bytes);
            stream.frameSizes.push_back(static_cast<uint32_t>(bytes));
        }
    }
    return 0;
}

// FFmpeg's rate control lets a dense passage at 8000 and 16000 Hz overshoot the decoder
// buffer by up to 2 %. Such a stream is coded again at a rate lowered by the overshoot
// and a margin of 1/64, which keeps the encoder within the buffer; the loop is bounded
// should it not.
constexpr int kRateSteps = 8;

std::optional<AacStream> EncodeWithinDecoderBuffer(std::span<const uint8_t> pcm, int sampleRate, int channels,
                                                   int bitRate, int bandwidth, int longBlocksOnly) {
    const size_t buffer = kAacDecoderBufferBytes * static_cast<size_t>(channels);
    for (int step = 0; step < kRateSteps; ++step) {
        std::unique_ptr<AacEncoder> encoder = StartEncoder(sampleRate, channels, bitRate, bandwidth, longBlocksOnly);
        if (!encoder) {
            return std::nullopt;
        }
        AacStream stream;
        stream.bitRate = bitRate;
        const std::optional<size_t> oversized = EncodeFrames(*encoder, pcm, channels, stream);
        if (!oversized) {
            break;
        }
        if (*oversized == 0) {
            return stream;
        }
        bitRate = static_cast<int>(int64_t{bitRate} * static_cast<int64_t>(buffer) * 63 /
                                   (static_cast<int64_t>(*oversized) * 64));
    }
    ShowMessage(kAacCodingFailedMessage);
    return std::nullopt;
}

}  // namespace

int SilentTailMilliseconds(int requestedRate) {
    for (const TailStep& step : kSilentTail) {
        if (requestedRate <= step.upToRate) {
            return step.milliseconds;
        }
    }
    return kSilentTailAbove44100;
}

std::optional<std::string> Output3gpPath(const std::string& path, int kind) {
    return ReplaceExtension(path, kind == 1 ? ".3gp" : ".3g2");
}

Encoder3gp::Encoder3gp(const SourceClip& source) : source_(source) {
    path = source.path;
}

int Encoder3gp::Convert3gp(int kind, int bitRate, int samplingRate, int channels, int streaming, int bandwidth,
                           int longBlocksOnly, const std::string& title, const std::string& scratchWavPath,
                           int useExternal, std::string& externalEncoderPath) {
    // The clip with a silent tail, in the clip's own format.
    format = source_.format;
    if (format.bitsPerSample != 16 || format.channels == 0 || format.sampleRate == 0) {
        ShowEngineMessage("This is not pcm data.");
        return 0;
    }
    const uint64_t tailBytes = uint64_t{format.bitsPerSample / 8u} * format.channels *
                               static_cast<uint64_t>(SilentTailMilliseconds(samplingRate)) * format.sampleRate / 1000;
    const uint64_t paddedSize = uint64_t{source_.dataSize} + tailBytes;
    if (paddedSize > UINT32_MAX) {
        ShowEngineMessage("no memory");
        return 0;
    }
    dataSize = static_cast<uint32_t>(paddedSize);
    if (!AllocateData()) {
        return 0;
    }
    std::copy_n(source_.data.begin(), std::min<size_t>(source_.dataSize, source_.data.size()), data.begin());

    const std::optional<std::string> outputPath = Output3gpPath(path, kind);
    if (!outputPath) {
        return 0;
    }
    if (samplingRate == 0) {
        samplingRate = static_cast<int>(format.sampleRate);
    }
    bool channelsShown = false;
    if (channels == 0) {
        channels = format.channels;
        if (channels > 2) {
            ShowMessage(kChannelErrorMessage);
            channelsShown = true;
            channels = 2;
        }
    }
    if (samplingRate > kMaxAacSampleRate || samplingRate < 0) {
        ShowEngineMessage("samplerate:44100");
        return 0;
    }
    if (!ConvertChannels(*this, channels) || !Resample(*this, static_cast<uint32_t>(samplingRate))) {
        return 0;
    }
    if (format.channels != channels) {
        // Only mono and stereo convert into each other; anything else cannot be coded.
        if (!channelsShown) {
            ShowMessage(kChannelErrorMessage);
        }
        return 0;
    }

    bool external = useExternal == 1 && kind == 1;
    if (external && !RunExternalEncoder(scratchWavPath, *this, externalEncoderPath, externalEncoderWait)) {
        ShowMessage(kExternalFallbackMessage);
        externalEncoderPath.clear();
        external = false;
    }
    auto dropSideFiles = [&] {
        if (external) {
            DeleteSideFiles(scratchWavPath);
        }
        return 1;
    };

    // The file's frame table has a fixed capacity; say so before minutes of coding.
    const size_t callBytes = 2048u * static_cast<size_t>(channels);
    if ((dataSize + callBytes - 1) / callBytes > kMaxAacFrames + 1) {
        ShowMessage(kTooManyFramesMessage);
        return dropSideFiles();
    }

    const CodedStream::Key key{source_.data.data(), source_.dataSize, bitRate, samplingRate, channels,
                               bandwidth,           longBlocksOnly};
    if (!lastStream_ || lastStream_->key != key) {
        lastStream_.reset();
        std::optional<AacStream> stream =
            EncodeWithinDecoderBuffer(data, samplingRate, channels, bitRate, bandwidth, longBlocksOnly);
        if (!stream) {
            return dropSideFiles();
        }
        lastStream_ = CodedStream{key, std::move(stream->payload), std::move(stream->frameSizes),
                                  std::move(stream->decoderSpecificInfo), stream->bitRate};
    }

    AacTrack track;
    track.payload = lastStream_->payload;
    track.frameSizes = lastStream_->frameSizes;
    track.decoderSpecificInfo = lastStream_->decoderSpecificInfo;
    track.channels = channels;
    track.sampleRate = samplingRate;
    track.blockAlign = format.blockAlign;
    track.bitRate = lastStream_->codedBitRate;

    File3gpOptions options;
    options.type = kind;
    if (!title.empty()) {
        options.title = title;
    }
    options.spliced = external;
    options.patchDcmd = true;
    if (kind == 1 && streaming == 1) {
        options.remux = [](const std::string& written) { RemuxForStreaming(written); };
    }
    File_3gp file(scratchWavPath);
    file.Write(*outputPath, track, options);
    return dropSideFiles();
}

}  // namespace kvt
