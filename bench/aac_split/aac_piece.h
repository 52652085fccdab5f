#pragma once
// A stretch of a clip's AAC stream coded by an encoder of its own, opened as CodeAac opens
// its encoder (aac_split checks that one piece gives CodeAac's bytes). Frame n of the clip is
// its samples [1024 n, 1024 n + 1024) (all channels); the encoder's first call returns
// nothing, so the call with frame n returns packet n − 1 of the stream. A piece that keeps
// packets from `first` on starts a few frames earlier and drops the packets of those
// priming frames: they bring the encoder's window choice and rate control to where a
// single encoder over the whole clip would be.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <stop_token>
#include <vector>

#include "iso/aac_coding.h"
#include "iso/aac_encoder.h"

namespace kvt::bench {

struct AacPiece {
    std::unique_ptr<AacEncoder> encoder;  // left open, so that the piece can go on
    size_t nextFrame = 0;                 // the clip's frame to feed next
    size_t primingPackets = 0;            // still to drop
    std::vector<uint8_t> lead;            // the last packet dropped: the one before the first kept
    std::vector<uint8_t> payload;         // the kept packets back to back
    std::vector<uint32_t> frameSizes;
    size_t oversized = 0;  // a kept packet larger than the decoder buffer (coding stopped there); 0 if none
};

// The clip's frames, the last one padded with silence.
size_t AacFrameCount(size_t pcmBytes, int channels);

// An opened and configured encoder for a piece that keeps packets from `first` on, fed from
// `priming` frames before it (fewer at the clip's start).
std::optional<AacFailure> StartAacPiece(AacPiece& piece, const AacSettings& settings, int bitRate, size_t first,
                                        size_t priming);

// Feeds the clip's frames up to and including `lastFrame`; stops at the first kept packet
// larger than the decoder buffer. `stop` is looked at between frames.
std::optional<AacFailure> CodeAacPiece(AacPiece& piece, std::span<const uint8_t> pcm, int channels, size_t lastFrame,
                                       const std::stop_token& stop);

// The decoder-specific info of the piece's encoder.
std::vector<uint8_t> AacPieceDecoderInfo(AacPiece& piece);

}  // namespace kvt::bench
