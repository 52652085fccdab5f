#pragma once
// Decoders for the sample codecs, used to check written files: packed codes in, 16-bit
// samples out. They keep their own tables and predictor rules, apart from the encoders,
// so that a fault on one side shows as a difference; G.726 runs the Recommendation's
// adaptation, which coder and decoder share by definition.

#include <cstdint>
#include <span>
#include <vector>

namespace kvt {

// Codes of codec 1..6 in the packing EncodeWithCodec makes (codec 6 with its 4-byte
// lead-in, which decodes to nothing). An unknown codec gives nothing.
std::vector<int16_t> DecodeWithCodec(int codec, std::span<const uint8_t> codes);

// Codec 1 in the MMF stereo packing: one byte a frame, left code in bits 4-7, right in
// bits 0-3, each channel its own coder. Interleaved frames, left first.
std::vector<int16_t> DecodeYamahaAdpcmStereo(std::span<const uint8_t> codes);

}  // namespace kvt
