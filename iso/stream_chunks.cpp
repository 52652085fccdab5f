#include "iso/stream_chunks.h"

#include <cmath>
#include <string_view>

#include "engine/byte_order.h"

namespace kvt {
namespace {

using Bytes = std::span<const uint8_t>;

struct Box {
    std::string_view type;
    size_t offset;  // within the parent's body
    size_t size;    // header included
};

// The boxes of a body, in order; nothing when a size does not fit (64-bit and
// to-the-end sizes included: the files this reads never use them).
std::optional<std::vector<Box>> Children(Bytes body) {
    std::vector<Box> boxes;
    for (size_t at = 0; at < body.size();) {
        if (body.size() - at < 8) return std::nullopt;
        const uint32_t size = GetBe32(body.subspan(at));
        if (size < 8 || size > body.size() - at) return std::nullopt;
        boxes.push_back({std::string_view(reinterpret_cast<const char*>(body.data()) + at + 4, 4), at, size});
        at += size;
    }
    return boxes;
}

// The one child of `type`; nothing when there is none or more than one.
std::optional<Box> Only(const std::vector<Box>& boxes, std::string_view type) {
    std::optional<Box> found;
    for (const Box& box : boxes) {
        if (box.type != type) continue;
        if (found) return std::nullopt;
        found = box;
    }
    return found;
}

Bytes BodyOf(Bytes parentBody, const Box& box) {
    return parentBody.subspan(box.offset + 8, box.size - 8);
}

// Full-box body after version and flags, at least `bytes` long.
std::optional<Bytes> Fields(Bytes body, size_t bytes) {
    if (body.size() < 4 + bytes) return std::nullopt;
    return body.subspan(4);
}

struct Sample {
    uint64_t offset;
    uint32_t size;
    uint64_t time;             // decoding time in media timescale units
    uint32_t description = 1;  // sample description index
};

// Every sample of the track from stts, stsz, stsc and stco; nothing when they disagree.
std::optional<std::vector<Sample>> ReadSamples(Bytes stts, Bytes stsz, Bytes stsc, Bytes stco) {
    const auto sizes = Fields(stsz, 8);
    const auto times = Fields(stts, 4);
    const auto toChunk = Fields(stsc, 4);
    const auto offsets = Fields(stco, 4);
    if (!sizes || !times || !toChunk || !offsets) return std::nullopt;

    const uint32_t fixedSize = GetBe32(*sizes);
    const uint32_t count = GetBe32(sizes->subspan(4));
    if (fixedSize == 0 && count > (sizes->size() - 8) / 4) return std::nullopt;
    std::vector<Sample> samples(count);
    for (uint32_t i = 0; i < count; ++i)
        samples[i].size = fixedSize != 0 ? fixedSize : GetBe32(sizes->subspan(8 + 4 * i));

    const uint32_t timeEntries = GetBe32(*times);
    if (timeEntries > (times->size() - 4) / 8) return std::nullopt;
    size_t next = 0;
    uint64_t time = 0;
    for (uint32_t e = 0; e < timeEntries; ++e) {
        const uint32_t run = GetBe32(times->subspan(4 + 8 * e));
        const uint32_t delta = GetBe32(times->subspan(8 + 8 * e));
        for (uint32_t k = 0; k < run; ++k, time += delta) {
            if (next == samples.size()) return std::nullopt;
            samples[next++].time = time;
        }
    }
    if (next != samples.size()) return std::nullopt;

    const uint32_t chunkCount = GetBe32(*offsets);
    const uint32_t runs = GetBe32(*toChunk);
    if (chunkCount > (offsets->size() - 4) / 4 || runs > (toChunk->size() - 4) / 12) return std::nullopt;
    next = 0;
    for (uint32_t r = 0; r < runs; ++r) {
        const uint32_t firstChunk = GetBe32(toChunk->subspan(4 + 12 * r));
        const uint32_t perChunk = GetBe32(toChunk->subspan(8 + 12 * r));
        const uint32_t description = GetBe32(toChunk->subspan(12 + 12 * r));
        const uint32_t endChunk = r + 1 < runs ? GetBe32(toChunk->subspan(16 + 12 * r)) : chunkCount + 1;
        if (firstChunk == 0 || endChunk < firstChunk || endChunk > chunkCount + 1) return std::nullopt;
        for (uint32_t chunk = firstChunk; chunk < endChunk; ++chunk) {
            uint64_t offset = GetBe32(offsets->subspan(4 + 4 * (chunk - 1)));
            for (uint32_t k = 0; k < perChunk; ++k) {
                if (next == samples.size()) return std::nullopt;
                samples[next].offset = offset;
                samples[next].description = description;
                offset += samples[next++].size;
            }
        }
    }
    if (next != samples.size()) return std::nullopt;
    return samples;
}

// New stsc and stco boxes for chunks of one time window each; `shift` is added to every
// chunk offset.
std::optional<std::pair<std::vector<uint8_t>, std::vector<uint8_t>>> BuildChunkTables(
    const std::vector<Sample>& samples, uint64_t window, uint64_t shift) {
    std::vector<size_t> chunkStarts;
    for (size_t i = 0; i < samples.size(); ++i) {
        const bool starts = i == 0 || samples[i].time / window != samples[i - 1].time / window ||
                            samples[i].offset != samples[i - 1].offset + samples[i - 1].size ||
                            samples[i].description != samples[i - 1].description;
        if (starts) chunkStarts.push_back(i);
    }

    std::vector<uint8_t> stco;
    PutBe32(stco, 0);  // size, set below
    PutText(stco, "stco");
    PutBe32(stco, 0);  // version, flags
    PutBe32(stco, static_cast<uint32_t>(chunkStarts.size()));
    std::vector<uint8_t> stsc;
    PutBe32(stsc, 0);
    PutText(stsc, "stsc");
    PutBe32(stsc, 0);
    PutBe32(stsc, 0);  // entry count, set below
    uint32_t entries = 0;
    uint32_t lastPerChunk = 0, lastDescription = 0;
    for (size_t c = 0; c < chunkStarts.size(); ++c) {
        const uint64_t offset = samples[chunkStarts[c]].offset + shift;
        if (offset > UINT32_MAX) return std::nullopt;
        PutBe32(stco, static_cast<uint32_t>(offset));
        const size_t end = c + 1 < chunkStarts.size() ? chunkStarts[c + 1] : samples.size();
        const auto perChunk = static_cast<uint32_t>(end - chunkStarts[c]);
        const uint32_t description = samples[chunkStarts[c]].description;
        if (entries == 0 || perChunk != lastPerChunk || description != lastDescription) {
            PutBe32(stsc, static_cast<uint32_t>(c + 1));  // first chunk
            PutBe32(stsc, perChunk);                      // samples per chunk
            PutBe32(stsc, description);                   // sample description index
            ++entries;
            lastPerChunk = perChunk;
            lastDescription = description;
        }
    }
    SetBe32(std::span(stsc).subspan(12), entries);
    SetBe32(stsc, static_cast<uint32_t>(stsc.size()));
    SetBe32(stco, static_cast<uint32_t>(stco.size()));
    return std::pair{std::move(stsc), std::move(stco)};
}

// A container box of `type` holding `children` (whole boxes).
std::vector<uint8_t> Container(std::string_view type, const std::vector<Bytes>& children) {
    std::vector<uint8_t> box;
    PutBe32(box, 0);
    PutText(box, type);
    for (Bytes child : children) PutBytes(box, child);
    SetBe32(box, static_cast<uint32_t>(box.size()));
    return box;
}

// `body`'s children with the one of `type` replaced by `replacement`.
std::vector<Bytes> Replaced(Bytes body, const std::vector<Box>& children, std::string_view type, Bytes replacement) {
    std::vector<Bytes> parts;
    for (const Box& child : children)
        parts.push_back(child.type == type ? replacement : body.subspan(child.offset, child.size));
    return parts;
}

}  // namespace

std::optional<std::vector<uint8_t>> ChunkBySeconds(std::span<const uint8_t> file, double seconds) {
    // The path from the top down to the sample tables, each level's body and children.
    constexpr std::string_view kPath[] = {"moov", "trak", "mdia", "minf", "stbl"};
    const auto top = Children(file);
    if (!top) return std::nullopt;
    std::vector<Bytes> bodies{file};
    std::vector<std::vector<Box>> levels{*top};
    std::vector<Box> onPath;
    for (std::string_view type : kPath) {
        const std::optional<Box> box = Only(levels.back(), type);
        if (!box) return std::nullopt;
        onPath.push_back(*box);
        bodies.push_back(BodyOf(bodies.back(), *box));
        const auto children = Children(bodies.back());
        if (!children) return std::nullopt;
        levels.push_back(*children);
    }
    const Bytes mdia = bodies[3];
    const auto mdhd = Only(levels[3], "mdhd");
    const Bytes stbl = bodies.back();
    const auto stts = Only(levels.back(), "stts");
    const auto stsz = Only(levels.back(), "stsz");
    const auto stsc = Only(levels.back(), "stsc");
    const auto stco = Only(levels.back(), "stco");
    if (!mdhd || !stts || !stsz || !stsc || !stco) return std::nullopt;

    // Media timescale: after creation and modification times of 4 (version 0) or 8 bytes.
    const Bytes mdhdBody = BodyOf(mdia, *mdhd);
    if (mdhdBody.size() < 24) return std::nullopt;
    const uint32_t timescale = GetBe32(mdhdBody.subspan(mdhdBody[0] == 1 ? 20 : 12));
    const auto window = static_cast<uint64_t>(std::llround(seconds * timescale));
    if (window == 0) return std::nullopt;

    const auto samples =
        ReadSamples(BodyOf(stbl, *stts), BodyOf(stbl, *stsz), BodyOf(stbl, *stsc), BodyOf(stbl, *stco));
    if (!samples || samples->empty()) return std::nullopt;
    for (const Sample& sample : *samples)
        if (sample.offset + sample.size > file.size()) return std::nullopt;

    // The media data moves with the movie box's growth when it lies behind that box.
    const Box& moov = onPath.front();
    const auto tablesBefore = BuildChunkTables(*samples, window, 0);
    if (!tablesBefore) return std::nullopt;
    const int64_t growth = static_cast<int64_t>(tablesBefore->first.size() + tablesBefore->second.size()) -
                           static_cast<int64_t>(stsc->size + stco->size);
    bool behind = true, before = true;
    for (const Sample& sample : *samples) {
        behind = behind && sample.offset >= moov.offset + moov.size;
        before = before && sample.offset + sample.size <= moov.offset;
    }
    if (!behind && !before) return std::nullopt;
    const auto tables = behind ? BuildChunkTables(*samples, window, static_cast<uint64_t>(growth)) : tablesBefore;
    if (!tables) return std::nullopt;

    // Rebuild from the sample tables up: each level with its child on the path replaced.
    std::vector<uint8_t> rebuilt;
    {
        std::vector<Bytes> parts;
        for (const Box& child : levels.back()) {
            if (child.type == "stsc")
                parts.push_back(tables->first);
            else if (child.type == "stco")
                parts.push_back(tables->second);
            else
                parts.push_back(stbl.subspan(child.offset, child.size));
        }
        rebuilt = Container("stbl", parts);
    }
    for (size_t level = std::size(kPath) - 1; level-- > 0;)
        rebuilt = Container(kPath[level], Replaced(bodies[level + 1], levels[level + 1], kPath[level + 1], rebuilt));

    std::vector<uint8_t> out(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(moov.offset));
    PutBytes(out, rebuilt);
    PutBytes(out, file.subspan(moov.offset + moov.size));
    return out;
}

}  // namespace kvt
