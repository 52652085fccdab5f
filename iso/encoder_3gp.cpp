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

namespace kvt {
namespace {

struct TailStep {
    int upToRate;  // Hz, inclusive
    int milliseconds;
};

// Enough silence to carry the clip's end out of the encoder's look-ahead (at least
// 2400 samples at every accepted rate).
constexpr std::array<TailStep, 5> kSilentTail = {{
    {8000, 400}, {16000, 200}, {24000, 100}, {32000, 80}, {44100, 60},
}};
constexpr int kSilentTailAbove44100 = 30;

struct AacStream {
    std::vector<uint32_t> frameSizes;
    std::vector<uint8_t> decoderSpecificInfo;
    size_t payloadBytes = 0;  // the frames lie back to back at the start of `data`
};

// Opens and configures the encoder; nothing after a message.
std::unique_ptr<AacEncoder> StartEncoder(int sampleRate, int channels, int bitRate, int bandwidth,
                                         int longBlocksOnly) {
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

// The frame loop: one call per `InputSamples()` samples of `data` (the last call padded
// with silence), no flush. Calls that return no bytes (the look-ahead) are not frames.
// Each frame is written over the start of `data`, behind the samples still to be read.
std::optional<AacStream> EncodeFrames(AacEncoder& encoder, std::vector<uint8_t>& data) {
    AacStream stream;
    stream.decoderSpecificInfo = encoder.DecoderSpecificInfo();
    std::vector<int16_t> frame(encoder.InputSamples());
    const size_t frameBytes = frame.size() * sizeof(int16_t);
    const size_t dataSize = data.size();
    stream.frameSizes.reserve(dataSize / frameBytes + 1);
    for (size_t offset = 0; offset < dataSize; offset += frameBytes) {
        const size_t take = std::min(frameBytes, dataSize - offset);
        std::memcpy(frame.data(), data.data() + offset, take);
        std::memset(reinterpret_cast<uint8_t*>(frame.data()) + take, 0, frameBytes - take);
        // Frames may only overwrite PCM that has already been read.
        const size_t room = std::min(encoder.MaxOutputBytes(), offset + take - stream.payloadBytes);
        const int bytes = encoder.Encode(frame, std::span(data).subspan(stream.payloadBytes, room));
        if (bytes < 0) {
            return std::nullopt;
        }
        if (bytes > 0) {
            stream.payloadBytes += static_cast<size_t>(bytes);
            stream.frameSizes.push_back(static_cast<uint32_t>(bytes));
        }
    }
    return stream;
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
    const size_t slash = path.rfind('/');
    const size_t dot = path.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) {
        return std::nullopt;
    }
    return path.substr(0, dot) + (kind == 1 ? ".3gp" : ".3g2");
}

Encoder3gp::Encoder3gp(const SourceClip& source) : source_(source) {
    path = source.path;
}

int Encoder3gp::Convert3gp(int kind, int bitRate, int samplingRate, int channels, int streaming,
                           int bandwidth, int longBlocksOnly, const std::string& title,
                           const std::string& scratchWavPath, int useExternal,
                           std::string& externalEncoderPath) {
    // The clip with a silent tail, in the clip's own format.
    format = source_.format;
    if (format.bitsPerSample != 16 || format.channels == 0 || format.sampleRate == 0) {
        ShowEngineMessage("This is not pcm data.");
        return 0;
    }
    const uint64_t tailBytes = uint64_t{format.bitsPerSample / 8u} * format.channels *
                               static_cast<uint64_t>(SilentTailMilliseconds(samplingRate)) *
                               format.sampleRate / 1000;
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
    if (external && !RunExternalEncoder(scratchWavPath, channels, samplingRate, externalEncoderPath,
                                        externalEncoderWait)) {
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

    const CodedStream::Key key{source_.data.data(), source_.dataSize, bitRate, samplingRate, channels, bandwidth,
                               longBlocksOnly};
    if (lastStream_ && lastStream_->key == key && lastStream_->payload.size() <= data.size()) {
        // The encoder would write these very frames over the start of the PCM.
        std::copy(lastStream_->payload.begin(), lastStream_->payload.end(), data.begin());
    } else {
        lastStream_.reset();
        std::unique_ptr<AacEncoder> encoder =
            StartEncoder(samplingRate, channels, bitRate, bandwidth, longBlocksOnly);
        if (!encoder) {
            return dropSideFiles();
        }
        std::optional<AacStream> stream = EncodeFrames(*encoder, data);
        encoder->Close();
        if (!stream) {
            ShowMessage("aac変換中にエラーが発生しました。ファイルは作成されません。");
            return dropSideFiles();
        }
        lastStream_ = CodedStream{key,
                                  {data.begin(), data.begin() + static_cast<std::ptrdiff_t>(stream->payloadBytes)},
                                  std::move(stream->frameSizes), std::move(stream->decoderSpecificInfo)};
    }

    AacTrack track;
    track.payload = std::span(data).first(lastStream_->payload.size());
    track.frameSizes = lastStream_->frameSizes;
    track.decoderSpecificInfo = lastStream_->decoderSpecificInfo;
    track.channels = channels;
    track.sampleRate = samplingRate;
    track.blockAlign = format.blockAlign;
    track.bitRate = bitRate;

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
