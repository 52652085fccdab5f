#pragma once
// The six sample codecs of the MLD handsets. Pure functions: 16-bit samples in, packed
// codes out. Each call starts from a fresh coder state.

#include <cstdint>
#include <span>
#include <vector>

namespace kvt {

// Codec 1: Yamaha-type adaptive 4-bit ADPCM, first code in the low nibble.
std::vector<uint8_t> EncodeYamahaAdpcm(std::span<const int16_t> samples);
// Codec 2: 4-bit ADPCM on 12-bit samples with 25 steps, high nibble first. The silence
// fill rewrites quiet runs of `samples` in place before coding.
std::vector<uint8_t> EncodeAdpcm25Step(std::span<int16_t> samples);
// Codec 3: G.726 at 32 kbit/s (input shifted right by 2), low nibble first.
std::vector<uint8_t> EncodeG726_32(std::span<const int16_t> samples);
// Codec 4: G.726 at 16 kbit/s, four 2-bit codes a byte, first in bits 0-1.
std::vector<uint8_t> EncodeG726_16(std::span<const int16_t> samples);
// Codec 5: 4-bit ADPCM with the IMA step and index tables, low nibble first.
std::vector<uint8_t> EncodeImaTableAdpcm(std::span<const int16_t> samples);
// Codec 6: 4-bit ADPCM with 19 linear steps, high nibble first; 4 zero bytes lead in, and
// the result is the first samples.size()/2 bytes of that output.
std::vector<uint8_t> EncodeAdpcm19Step(std::span<const int16_t> samples);

// Dispatch by codec number 1..6; an unknown number codes nothing.
std::vector<uint8_t> EncodeWithCodec(int codec, std::span<int16_t> samples);

// What a decoder hears from the codes the encoder above makes of `samples`: the coder's
// own reconstruction, 16-bit, one sample per stored code (codec 2 after its silence fill;
// `samples` is left as it is).
std::vector<int16_t> ReconstructYamahaAdpcm(std::span<const int16_t> samples);
std::vector<int16_t> ReconstructAdpcm25Step(std::span<const int16_t> samples);
std::vector<int16_t> ReconstructG726_32(std::span<const int16_t> samples);
std::vector<int16_t> ReconstructG726_16(std::span<const int16_t> samples);
std::vector<int16_t> ReconstructImaTableAdpcm(std::span<const int16_t> samples);
std::vector<int16_t> ReconstructAdpcm19Step(std::span<const int16_t> samples);
std::vector<int16_t> ReconstructWithCodec(int codec, std::span<const int16_t> samples);

}  // namespace kvt
