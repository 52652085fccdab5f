#include "iso/file_3gp_splice.h"

#include <limits>

#include "engine/byte_order.h"
#include "iso/side_files.h"
#include "platform/message.h"

namespace kvt {
namespace {

constexpr size_t kMdatSkipBytes = 8;  // the external mdat body starts with 8 bytes that are not frames

// A box made of the side file's content: size, type, content.
std::optional<BoxBuffer> SplicedBox(std::string_view scratchWavPath, std::string_view type) {
    std::optional<std::vector<uint8_t>> content = ReadSideFile(scratchWavPath, type);
    if (!content || content->size() > std::numeric_limits<uint32_t>::max() - 8) return std::nullopt;
    BoxBuffer box = BeginBox(content->size() + 8);
    box.PutTag(type);
    box.PutBytes(*content);
    box.EndBox();
    return box;
}

// Sum of the sample sizes in an stsz box, or nothing when the box is cut short.
std::optional<uint64_t> SampleBytes(const BoxBuffer& stsz, uint32_t& sampleCount) {
    std::span<const uint8_t> box = stsz.Bytes();
    if (box.size() < 20) return std::nullopt;
    const uint32_t sampleSize = GetBe32(box.subspan(12));
    sampleCount = GetBe32(box.subspan(16));
    if (sampleSize != 0) return uint64_t{sampleSize} * sampleCount;
    if (sampleCount > (box.size() - 20) / 4) return std::nullopt;
    uint64_t total = 0;
    for (uint32_t i = 0; i < sampleCount; ++i) total += GetBe32(box.subspan(20 + 4 * i));
    return total;
}

// Sum of sample count × delta over the stts entries, or nothing when the box is cut short.
std::optional<uint64_t> SttsDuration(const BoxBuffer& stts) {
    std::span<const uint8_t> box = stts.Bytes();
    if (box.size() < 16) return std::nullopt;
    const uint32_t entries = GetBe32(box.subspan(12));
    if (entries > (box.size() - 16) / 8) return std::nullopt;
    uint64_t total = 0;
    for (uint32_t i = 0; i < entries; ++i)
        total += uint64_t{GetBe32(box.subspan(16 + 8 * i))} * GetBe32(box.subspan(20 + 8 * i));
    return total;
}

// The duration field of an mvhd box: 32-bit after the timescale in version 0, 64-bit in
// version 1.
std::optional<uint64_t> MvhdDuration(const BoxBuffer& mvhd) {
    std::span<const uint8_t> box = mvhd.Bytes();
    if (box.size() < 9) return std::nullopt;
    if (box[8] == 0 && box.size() >= 28) return GetBe32(box.subspan(24));
    if (box[8] == 1 && box.size() >= 40) return uint64_t{GetBe32(box.subspan(32))} << 32 | GetBe32(box.subspan(36));
    return std::nullopt;
}

// The stco entries, once rebased onto the payload, and the samples must lie inside it.
bool TablesFitPayload(const SplicedSampleTables& tables) {
    uint32_t sampleCount = 0;
    const std::optional<uint64_t> sampleBytes = SampleBytes(tables.stsz, sampleCount);
    if (!sampleBytes || *sampleBytes > tables.payload.size()) return false;
    if ((sampleCount == 0) != (tables.chunkCount == 0)) return false;
    if (tables.chunkCount == 0) return true;
    const uint32_t firstEntry = GetBe32(std::span(tables.stco).subspan(8));
    for (uint32_t i = 0; i < tables.chunkCount; ++i) {
        const uint32_t entry = GetBe32(std::span(tables.stco).subspan(8 + 4 * i));
        if (entry < firstEntry || entry - firstEntry >= tables.payload.size()) return false;
    }
    return true;
}

std::optional<SplicedSampleTables> LoadSampleTables(std::string_view scratchWavPath) {
    std::optional<BoxBuffer> stsd = SplicedBox(scratchWavPath, "stsd");
    std::optional<BoxBuffer> stts = SplicedBox(scratchWavPath, "stts");
    std::optional<BoxBuffer> stsc = SplicedBox(scratchWavPath, "stsc");
    std::optional<BoxBuffer> stsz = SplicedBox(scratchWavPath, "stsz");
    std::optional<std::vector<uint8_t>> stco = ReadSideFile(scratchWavPath, "stco");
    std::optional<std::vector<uint8_t>> mdat = ReadSideFile(scratchWavPath, "mdat");
    if (!stsd || !stts || !stsc || !stsz || !stco || !mdat) return std::nullopt;
    // ver/flags, entry count, entries
    if (stco->size() < 8 || mdat->size() < kMdatSkipBytes) return std::nullopt;
    if (mdat->size() - kMdatSkipBytes > std::numeric_limits<uint32_t>::max()) return std::nullopt;

    SplicedSampleTables tables{
        std::move(*stsd), std::move(*stts), std::move(*stsc), std::move(*stsz), std::move(*stco), 0, {}};
    tables.chunkCount = GetBe32(std::span(tables.stco).subspan(4));
    if (tables.chunkCount > (tables.stco.size() - 8) / 4) return std::nullopt;
    tables.payload.assign(mdat->begin() + kMdatSkipBytes, mdat->end());
    if (!TablesFitPayload(tables)) return std::nullopt;
    const std::optional<uint64_t> duration = SttsDuration(tables.stts);
    if (!duration) return std::nullopt;
    tables.mediaDuration = *duration;
    return tables;
}

}  // namespace

SplicedBoxes LoadSplicedBoxes(std::string_view scratchWavPath) {
    SplicedBoxes boxes;
    boxes.mvhd = SplicedBox(scratchWavPath, "mvhd");
    const std::optional<uint64_t> movieDuration = boxes.mvhd ? MvhdDuration(*boxes.mvhd) : std::nullopt;
    if (movieDuration) {
        boxes.movieDuration = *movieDuration;
    } else {
        boxes.mvhd.reset();
    }
    boxes.hdlr = SplicedBox(scratchWavPath, "hdlr");
    boxes.sampleTables = LoadSampleTables(scratchWavPath);
    if (!boxes.sampleTables) ShowMessage(kExternalFallbackText);
    return boxes;
}

BoxBuffer RebasedStco(const SplicedSampleTables& tables, uint32_t first) {
    BoxBuffer box = BeginBox(tables.stco.size() + 8);
    box.PutTag("stco");
    box.PutBytes(std::span(tables.stco).first(8));  // ver/flags, entry count
    const uint32_t firstEntry = tables.chunkCount > 0 ? GetBe32(std::span(tables.stco).subspan(8)) : 0;
    for (uint32_t i = 0; i < tables.chunkCount; ++i)
        box.PutU32(GetBe32(std::span(tables.stco).subspan(8 + 4 * i)) - firstEntry + first);
    box.EndBox();
    return box;
}

}  // namespace kvt
