#pragma once
// Packing of 4-bit sample codes two to a byte, shared by the nibble codecs. The coder is a
// callable taking one sample and returning its code (0..15); it carries its own state.

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace kvt {

enum class NibbleOrder { LowFirst, HighFirst };

// Codes the first `pairs` pairs of `samples` and writes one byte a pair into `out`.
template <NibbleOrder order, class Coder>
inline void CodeNibblePairs(const int16_t* samples, size_t pairs, uint8_t* out, Coder& coder) {
    for (size_t i = 0; i < pairs; ++i) {
        const unsigned first = coder(samples[2 * i]);
        const unsigned second = coder(samples[2 * i + 1]);
        if constexpr (order == NibbleOrder::LowFirst)
            out[i] = static_cast<uint8_t>(first | (second << 4));
        else
            out[i] = static_cast<uint8_t>((first << 4) | second);
    }
}

// One byte per pair of samples; an unpaired last sample yields no code.
template <NibbleOrder order, class Coder>
std::vector<uint8_t> PackNibblePairs(std::span<const int16_t> samples, Coder coder) {
    std::vector<uint8_t> out(samples.size() / 2);
    CodeNibblePairs<order>(samples.data(), out.size(), out.data(), coder);
    return out;
}

// What a decoder hears from the first `count` codes of `samples`: the coder's own
// reconstruction (`Reconstructed()`) after each sample it codes.
template <class Coder>
std::vector<int16_t> ReconstructSamples(std::span<const int16_t> samples, size_t count, Coder coder) {
    std::vector<int16_t> out(count);
    for (size_t i = 0; i < count; ++i) {
        coder(samples[i]);
        out[i] = coder.Reconstructed();
    }
    return out;
}

}  // namespace kvt
