#include "bench/aac_split/aac_join.h"

namespace kvt::bench {
namespace {

constexpr unsigned kSingleChannelElement = 0;
constexpr unsigned kChannelPairElement = 1;

class BitCursor {
public:
    explicit BitCursor(std::span<const uint8_t> bytes) : bytes_(bytes) {}
    // Nothing past the end.
    std::optional<unsigned> Take(int count) {
        unsigned value = 0;
        for (int i = 0; i < count; ++i, ++bit_) {
            if (bit_ / 8 >= bytes_.size()) return std::nullopt;
            value = (value << 1) | ((bytes_[bit_ / 8] >> (7 - bit_ % 8)) & 1u);
        }
        return value;
    }

private:
    std::span<const uint8_t> bytes_;
    size_t bit_ = 0;
};

// ics_info up to the window shape: reserved bit, window_sequence, window_shape.
std::optional<AacWindows> ReadIcsWindows(BitCursor& bits, bool shared) {
    if (!bits.Take(1)) return std::nullopt;
    const std::optional<unsigned> sequence = bits.Take(2);
    const std::optional<unsigned> shape = bits.Take(1);
    if (!sequence || !shape) return std::nullopt;
    return AacWindows{shared, static_cast<int>(*sequence), static_cast<int>(*shape)};
}

}  // namespace

std::optional<AacWindows> ReadAacWindows(std::span<const uint8_t> frame) {
    BitCursor bits(frame);
    const std::optional<unsigned> element = bits.Take(3);
    if (!element || !bits.Take(4)) return std::nullopt;  // element_instance_tag
    if (*element == kSingleChannelElement) {
        if (!bits.Take(8)) return std::nullopt;  // global_gain
        return ReadIcsWindows(bits, true);
    }
    if (*element != kChannelPairElement) return std::nullopt;
    const std::optional<unsigned> commonWindow = bits.Take(1);
    if (!commonWindow) return std::nullopt;
    if (*commonWindow == 1) return ReadIcsWindows(bits, true);
    if (!bits.Take(8)) return std::nullopt;  // global_gain of the first channel
    return ReadIcsWindows(bits, false);
}

bool SameAacWindows(std::span<const uint8_t> ours, std::span<const uint8_t> theirs) {
    const std::optional<AacWindows> a = ReadAacWindows(ours);
    return a && a->shared && a == ReadAacWindows(theirs);
}

}  // namespace kvt::bench
