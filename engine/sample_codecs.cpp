#include "engine/sample_codecs.h"

namespace kvt {

std::vector<uint8_t> EncodeWithCodec(int codec, std::span<int16_t> samples) {
    const std::span<const int16_t> input(samples);
    switch (codec) {
    case 1: return EncodeYamahaAdpcm(input);
    case 2: return EncodeAdpcm25Step(samples);
    case 3: return EncodeG726_32(input);
    case 4: return EncodeG726_16(input);
    case 5: return EncodeImaTableAdpcm(input);
    case 6: return EncodeAdpcm19Step(input);
    default: return {};
    }
}

std::vector<int16_t> ReconstructWithCodec(int codec, std::span<const int16_t> samples) {
    switch (codec) {
    case 1: return ReconstructYamahaAdpcm(samples);
    case 2: return ReconstructAdpcm25Step(samples);
    case 3: return ReconstructG726_32(samples);
    case 4: return ReconstructG726_16(samples);
    case 5: return ReconstructImaTableAdpcm(samples);
    case 6: return ReconstructAdpcm19Step(samples);
    default: return {};
    }
}

}  // namespace kvt
