#include "bench/aac_split/aac_piece.h"

#include <algorithm>
#include <cstring>

namespace kvt::bench {
namespace {

constexpr size_t kFrameSamples = 1024;  // a channel

size_t FrameBytes(int channels) {
    return kFrameSamples * static_cast<size_t>(channels) * sizeof(int16_t);
}

}  // namespace

size_t AacFrameCount(size_t pcmBytes, int channels) {
    return (pcmBytes + FrameBytes(channels) - 1) / FrameBytes(channels);
}

std::optional<AacFailure> StartAacPiece(AacPiece& piece, const AacSettings& settings, int bitRate, size_t first,
                                        size_t priming) {
    auto opened = OpenAacEncoder(settings, bitRate);
    if (const AacFailure* failure = std::get_if<AacFailure>(&opened)) return *failure;
    piece.encoder = std::move(std::get<std::unique_ptr<AacEncoder>>(opened));
    piece.primingPackets = std::min(priming, first);
    piece.nextFrame = first - piece.primingPackets;
    return std::nullopt;
}

std::optional<AacFailure> CodeAacPiece(AacPiece& piece, std::span<const uint8_t> pcm, int channels, size_t lastFrame,
                                       const std::stop_token& stop) {
    AacEncoder& encoder = *piece.encoder;
    std::vector<int16_t> frame(encoder.InputSamples());
    std::vector<uint8_t> coded(encoder.MaxOutputBytes());
    const size_t frameBytes = FrameBytes(channels);
    const size_t frames = lastFrame >= piece.nextFrame ? lastFrame - piece.nextFrame + 1 : 0;
    piece.frameSizes.reserve(piece.frameSizes.size() + frames);
    piece.payload.reserve(piece.payload.size() + std::min(frames * frameBytes, pcm.size()) / 4);
    for (; piece.nextFrame <= lastFrame; ++piece.nextFrame) {
        const size_t offset = piece.nextFrame * frameBytes;
        if (offset >= pcm.size()) break;
        if (stop.stop_requested()) return AacFailure::Stopped;
        const size_t take = std::min(frameBytes, pcm.size() - offset);
        std::memcpy(frame.data(), pcm.data() + offset, take);
        std::memset(reinterpret_cast<uint8_t*>(frame.data()) + take, 0, frameBytes - take);
        const int bytes = encoder.Encode(frame, coded);
        if (bytes < 0) return AacFailure::CodingFailed;
        if (bytes == 0) continue;
        const auto packet = std::span(coded).first(static_cast<size_t>(bytes));
        if (piece.primingPackets > 0) {
            --piece.primingPackets;
            piece.lead.assign(packet.begin(), packet.end());
            continue;
        }
        if (!FrameFitsDecoderBuffer(packet.size(), channels)) {
            piece.oversized = packet.size();
            return std::nullopt;
        }
        piece.payload.insert(piece.payload.end(), packet.begin(), packet.end());
        piece.frameSizes.push_back(static_cast<uint32_t>(packet.size()));
    }
    return std::nullopt;
}

std::vector<uint8_t> AacPieceDecoderInfo(AacPiece& piece) {
    return piece.encoder->DecoderSpecificInfo();
}

}  // namespace kvt::bench
