#include "iso/aac_coding.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <optional>

#include "engine/engine_message.h"
#include "iso/aac_encoder.h"
#include "platform/message.h"

namespace kvt {
namespace {

constexpr char kAacOpenFailedFormat[] = "aacエンコーダを開けませんでした。(%d Hz, %dチャンネル)";

// FFmpeg's rate control lets a dense passage at 8000 and 16000 Hz overshoot the decoder
// buffer by up to 2 %. Such a stream is coded again at a rate lowered by the overshoot
// and a margin of 1/64, which keeps the encoder within the buffer; the loop is bounded
// should it not.
constexpr int kRateSteps = 8;
// Frames between two progress reports: 2 s of sound at 8000 Hz.
constexpr size_t kProgressFrames = 16;

struct FrameLoopEnd {
    std::optional<AacFailure> failure;
    size_t oversized = 0;  // the first frame larger than the decoder buffer; 0 when all fit
};

FrameLoopEnd EncodeFrames(AacEncoder& encoder, std::span<const uint8_t> pcm, int channels, AacStream& stream,
                          const std::stop_token& stop, const AacProgress& progress) {
    stream.decoderSpecificInfo = encoder.DecoderSpecificInfo();
    std::vector<int16_t> frame(encoder.InputSamples());
    std::vector<uint8_t> coded(encoder.MaxOutputBytes());
    const size_t frameBytes = frame.size() * sizeof(int16_t);
    stream.payload.reserve(pcm.size() / 4);
    stream.frameSizes.reserve(pcm.size() / frameBytes + 1);
    for (size_t offset = 0, index = 0; offset < pcm.size(); offset += frameBytes, ++index) {
        if (stop.stop_requested()) return {AacFailure::Stopped};
        if (progress && index % kProgressFrames == 0) progress(static_cast<double>(offset) / pcm.size());
        const size_t take = std::min(frameBytes, pcm.size() - offset);
        std::memcpy(frame.data(), pcm.data() + offset, take);
        std::memset(reinterpret_cast<uint8_t*>(frame.data()) + take, 0, frameBytes - take);
        const int bytes = encoder.Encode(frame, coded);
        if (bytes < 0) return {AacFailure::CodingFailed};
        if (!FrameFitsDecoderBuffer(static_cast<size_t>(bytes), channels)) return {std::nullopt, size_t(bytes)};
        if (bytes > 0) {
            stream.payload.insert(stream.payload.end(), coded.begin(), coded.begin() + bytes);
            stream.frameSizes.push_back(static_cast<uint32_t>(bytes));
        }
    }
    return {};
}

}  // namespace

std::variant<std::unique_ptr<AacEncoder>, AacFailure> OpenAacEncoder(const AacSettings& settings, int bitRate) {
    std::unique_ptr<AacEncoder> encoder = AacEncoder::Open(settings.sampleRate, settings.channels);
    if (!encoder) return AacFailure::CannotOpen;
    AacConfiguration configuration = encoder->CurrentConfiguration();
    if (configuration.version != kAacConfigurationVersion) return AacFailure::Abnormal;
    configuration.mpegVersion = kAacMpeg4;
    configuration.objectType = kAacObjectLc;
    configuration.allowMidSide = 1;
    configuration.useTns = 0;
    configuration.bitRate = bitRate > 0 ? static_cast<unsigned long>(bitRate) : 0;
    configuration.bandWidth = settings.bandwidth;
    configuration.outputFormat = kAacOutputRaw;
    configuration.inputFormat = kAacInput16Bit;
    if (settings.longBlocksOnly == 1) configuration.shortControl = kAacShortLongOnly;
    if (!encoder->SetConfiguration(configuration)) return AacFailure::ParametersRefused;
    return encoder;
}

AacCoding CodeAac(std::span<const uint8_t> pcm, const AacSettings& settings, std::stop_token stop,
                  const AacProgress& progress) {
    const size_t buffer = kAacDecoderBufferBytes * static_cast<size_t>(settings.channels);
    int bitRate = settings.bitRate;
    for (int step = 0; step < kRateSteps; ++step) {
        auto opened = OpenAacEncoder(settings, bitRate);
        if (const AacFailure* failure = std::get_if<AacFailure>(&opened)) return *failure;
        AacStream stream;
        stream.bitRate = bitRate;
        const FrameLoopEnd end = EncodeFrames(*std::get<std::unique_ptr<AacEncoder>>(opened), pcm, settings.channels,
                                              stream, stop, progress);
        if (end.failure) return *end.failure;
        if (end.oversized == 0) {
            if (progress) progress(1);
            return stream;
        }
        bitRate = static_cast<int>(int64_t{bitRate} * static_cast<int64_t>(buffer) * 63 /
                                   (static_cast<int64_t>(end.oversized) * 64));
    }
    return AacFailure::CodingFailed;
}

void ShowAacFailure(AacFailure failure, const AacSettings& settings) {
    if (failure == AacFailure::CannotOpen) {
        ShowEngineMessage(kAacOpenFailedFormat, settings.sampleRate, settings.channels);
    } else if (failure == AacFailure::Abnormal) {
        ShowMessage(kAacAbnormalText);
    } else if (failure == AacFailure::ParametersRefused) {
        ShowMessage(kAacParametersText);
    } else if (failure == AacFailure::CodingFailed) {
        ShowMessage(kAacCodingFailedText);
    }
}

}  // namespace kvt
