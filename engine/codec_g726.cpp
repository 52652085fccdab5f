// G.726 at 32 kbit/s (two codes a byte, low nibble first) and at 16 kbit/s (four codes a
// byte, first in bits 0-1). Each call starts from the reset state.

#include "engine/codec_packing.h"
#include "engine/g726_coder.h"
#include "engine/sample_codecs.h"

namespace kvt {

std::vector<uint8_t> EncodeG726_32(std::span<const int16_t> samples) {
    return PackNibblePairs<NibbleOrder::LowFirst>(samples, G726Coder<G726Rate32>{});
}

std::vector<uint8_t> EncodeG726_16(std::span<const int16_t> samples) {
    std::vector<uint8_t> out(samples.size() / 4);
    G726Coder<G726Rate16> coder;
    const int16_t* in = samples.data();
    for (uint8_t& byte : out) {
        unsigned packed = 0;
        for (unsigned shift = 0; shift < 8; shift += 2) packed |= coder(*in++) << shift;
        byte = static_cast<uint8_t>(packed);
    }
    return out;
}

std::vector<int16_t> ReconstructG726_32(std::span<const int16_t> samples) {
    return ReconstructSamples(samples, samples.size() / 2 * 2, G726Coder<G726Rate32>{});
}

std::vector<int16_t> ReconstructG726_16(std::span<const int16_t> samples) {
    return ReconstructSamples(samples, samples.size() / 4 * 4, G726Coder<G726Rate16>{});
}

}  // namespace kvt
