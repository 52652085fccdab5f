#include "engine/format_block.h"

#include <algorithm>

#include "engine/byte_order.h"

namespace kvt {

std::array<uint8_t, FormatBlock::kSize> FormatBlock::ToBytes() const {
    std::array<uint8_t, kSize> bytes{};
    std::span<uint8_t> out(bytes);
    SetLe16(out.subspan(0), formatTag);
    SetLe16(out.subspan(2), channels);
    SetLe32(out.subspan(4), sampleRate);
    SetLe32(out.subspan(8), byteRate);
    SetLe16(out.subspan(12), blockAlign);
    SetLe16(out.subspan(14), bitsPerSample);
    SetLe16(out.subspan(16), extraSize);
    SetLe16(out.subspan(18), spare);
    return bytes;
}

FormatBlock FormatBlock::FromBytes(std::span<const uint8_t> bytes) {
    std::array<uint8_t, kSize> padded{};
    std::copy_n(bytes.begin(), std::min(bytes.size(), kSize), padded.begin());
    std::span<const uint8_t> in(padded);
    FormatBlock block;
    block.formatTag = GetLe16(in.subspan(0));
    block.channels = GetLe16(in.subspan(2));
    block.sampleRate = GetLe32(in.subspan(4));
    block.byteRate = GetLe32(in.subspan(8));
    block.blockAlign = GetLe16(in.subspan(12));
    block.bitsPerSample = GetLe16(in.subspan(14));
    block.extraSize = GetLe16(in.subspan(16));
    block.spare = GetLe16(in.subspan(18));
    return block;
}

FormatBlock FormatBlock::Pcm16(uint16_t channels, uint32_t rate) {
    FormatBlock block;
    block.formatTag = 1;
    block.channels = channels;
    block.sampleRate = rate;
    block.blockAlign = static_cast<uint16_t>(channels * 2);
    block.byteRate = rate * block.blockAlign;
    block.bitsPerSample = 16;
    return block;
}

}  // namespace kvt
