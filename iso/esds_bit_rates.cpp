#include "iso/esds_bit_rates.h"

#include <algorithm>
#include <string_view>

#include "engine/byte_order.h"

namespace kvt {
namespace {

std::optional<size_t> FindText(std::span<const uint8_t> bytes, std::string_view text, size_t from) {
    if (from > bytes.size()) return std::nullopt;
    const auto at = std::search(bytes.begin() + static_cast<long>(from), bytes.end(), text.begin(), text.end());
    if (at == bytes.end()) return std::nullopt;
    return static_cast<size_t>(at - bytes.begin());
}

// A descriptor's tag and length (1 to 4 bytes of 7 bits); the offset after them.
std::optional<size_t> SkipDescriptorHead(std::span<const uint8_t> bytes, size_t at, uint8_t tag) {
    if (at >= bytes.size() || bytes[at] != tag) return std::nullopt;
    for (size_t i = 1; i <= 4 && at + i < bytes.size(); ++i)
        if ((bytes[at + i] & 0x80) == 0) return at + i + 1;
    return std::nullopt;
}

}  // namespace

std::optional<size_t> FindEsdsBitRates(std::span<const uint8_t> file) {
    const auto stsd = FindText(file, "stsd", 0);
    const auto mp4a = stsd ? FindText(file, "mp4a", *stsd) : std::nullopt;
    const auto esds = mp4a ? FindText(file, "esds", *mp4a) : std::nullopt;
    if (!esds) return std::nullopt;
    const auto es = SkipDescriptorHead(file, *esds + 8, 0x03);  // after the type, version and flags
    if (!es || *es + 3 > file.size()) return std::nullopt;
    const uint8_t flags = file[*es + 2];
    size_t at = *es + 3;                                         // after ES ID and flags
    if (flags & 0x80) at += 2;                                   // depends-on ES ID
    if ((flags & 0x40) && at < file.size()) at += 1 + file[at];  // URL
    if (flags & 0x20) at += 2;                                   // OCR ES ID
    const auto config = SkipDescriptorHead(file, at, 0x04);
    if (!config || *config + 2 + kEsdsBitRateBytes > file.size()) return std::nullopt;
    return *config + 2;  // after the object and stream types
}

std::optional<size_t> FindBtrtBitRates(std::span<const uint8_t> file) {
    const auto stsd = FindText(file, "stsd", 0);
    const auto mp4a = stsd ? FindText(file, "mp4a", *stsd) : std::nullopt;
    const auto btrt = mp4a ? FindText(file, "btrt", *mp4a) : std::nullopt;
    if (!btrt || *btrt < 4 || GetBe32(file.subspan(*btrt - 4)) != 8 + kBtrtBytes) return std::nullopt;
    if (*btrt + 4 + kBtrtBytes > file.size()) return std::nullopt;
    return *btrt + 4;
}

void SetBtrtBitRates(std::span<uint8_t> body, const AacBitRates& rates) {
    SetBe32(body, EsdsBufferBytes(rates));
    SetBe32(body.subspan(4), rates.maximum);
    SetBe32(body.subspan(8), rates.average);
}

uint32_t EsdsBufferBytes(const AacBitRates& rates) {
    return std::max<uint32_t>(6144, rates.largestFrame);
}

void SetEsdsBitRates(std::span<uint8_t> fields, const AacBitRates& rates) {
    const uint32_t buffer = EsdsBufferBytes(rates);
    fields[0] = static_cast<uint8_t>(buffer >> 16);
    SetBe16(fields.subspan(1), static_cast<uint16_t>(buffer));
    SetBe32(fields.subspan(3), rates.maximum);
    SetBe32(fields.subspan(7), rates.average);
}

std::vector<uint32_t> StszFrameSizes(std::span<const uint8_t> stsz) {
    constexpr size_t kHead = 20;  // size, type, version and flags, sample size, count
    if (stsz.size() < kHead) return {};
    const uint32_t common = GetBe32(stsz.subspan(12));
    const uint32_t count = GetBe32(stsz.subspan(16));
    if (common != 0) return std::vector<uint32_t>(count, common);
    if (count > (stsz.size() - kHead) / 4) return {};
    std::vector<uint32_t> sizes(count);
    for (size_t i = 0; i < count; ++i) sizes[i] = GetBe32(stsz.subspan(kHead + 4 * i));
    return sizes;
}

}  // namespace kvt
