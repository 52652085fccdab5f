#include "check/file_3gp_reader.h"

#include <algorithm>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "check/aac_frame_decoder.h"
#include "check/iso_box_walk.h"
#include "engine/byte_cursor.h"
#include "iso/aac_bit_rates.h"
#include "platform/codepage.h"

namespace kvt {
namespace {

std::optional<uint32_t> DescriptorLength(ByteCursor& at) {
    uint32_t length = 0;
    for (int i = 0; i < 4; ++i) {
        const auto byte = at.U8();
        if (!byte) return std::nullopt;
        length = (length << 7) | (*byte & 0x7F);
        if (!(*byte & 0x80)) return length;
    }
    return std::nullopt;
}

// The descriptor of `tag` at `at`, its body as a cursor.
std::optional<ByteCursor> Descriptor(ByteCursor& at, uint32_t tag, CheckReport& report) {
    const size_t offset = at.Offset();
    const auto found = at.U8();
    const auto length = DescriptorLength(at);
    if (!found || *found != tag || !length) {
        report.Problem("esds descriptor at offset " + Num(offset), found ? "tag " + HexText(*found) : "none",
                       "tag " + HexText(tag));
        return std::nullopt;
    }
    auto body = at.Sub(*length);
    if (!body) report.Problem("esds descriptor " + HexText(tag) + " length", Num(*length), "at most " + Num(at.Left()));
    return body;
}

// The top-level boxes' kinds and the mdat bodies, where the frames must lie.
struct Payload {
    std::vector<std::pair<uint64_t, uint64_t>> ranges;  // start, end

    bool Holds(uint64_t offset, uint64_t size) const {
        return std::any_of(ranges.begin(), ranges.end(), [&](const auto& range) {
            return offset >= range.first && offset <= range.second && size <= range.second - offset;
        });
    }
};

struct SoundTrack {
    std::vector<Box> trak;  // the track's boxes
    std::vector<Box> mdia;  // its media's boxes
};

struct MediaHeader {
    uint32_t timescale = 0;
    uint64_t duration = 0;
};

struct Stream {
    uint32_t channels = 0;       // of the decoder info, else of the sample entry
    uint32_t entryChannels = 0;  // of the sample entry
    uint32_t rate = 0;           // of the sample entry
    uint32_t bufferSize = 0;
    uint32_t maxBitRate = 0;
    uint32_t avgBitRate = 0;
    uint32_t entries = 0;  // of the sample description
    std::vector<uint8_t> decoderInfo;
};

struct Frames {
    std::vector<uint64_t> offsets;
    std::vector<uint64_t> sizes;
    uint64_t ticks = 0;  // the stts total
};

// What going through the frames found: the largest and the decoded audio.
struct FrameScan {
    uint64_t largest = 0;
    bool decoderOpen = false;
    int decodedChannels = 0;
    int decodedRate = 0;
    std::vector<int16_t> samples;
};

constexpr uint32_t kAacRates[] = {96000, 88200, 64000, 48000, 44100, 32000, 24000,
                                  22050, 16000, 12000, 11025, 8000,  7350};

// ftyp: sets the report's format from the major brand and reports the brands. False when
// the file does not open with a readable ftyp.
bool ReadFileType(const std::vector<Box>& top, CheckReport& report) {
    if (top.empty() || top.front().type != "ftyp") {
        report.format = "3GP";
        report.Problem("first box", top.empty() ? "none" : "'" + top.front().type + "'", "'ftyp'");
        return false;
    }
    ByteCursor ftyp = top.front().body;
    const auto major = ftyp.Bytes(4);
    const auto minor = ftyp.U32();
    if (!major || !minor) {
        report.format = "3GP";
        report.Problem("ftyp", Num(top.front().body.Left()) + " bytes", "a brand and a version");
        return false;
    }
    const std::string_view brand = AsText(*major);
    report.format = brand.starts_with("3g2") ? "3G2" : "3GP";
    if (!brand.starts_with("3g") && brand != "mmp4")
        report.Problem("ftyp major brand", TagText(*major), "a 3GP or 3G2 brand ('3gp5', '3g2a', 'mmp4', ...)");
    std::string brands = std::string(AsText(*major)) + " " + Num(*minor);
    std::string compatible;
    bool majorIsCompatible = false;
    while (auto brand = ftyp.Bytes(4)) {
        compatible += (compatible.empty() ? "" : ", ") + std::string(AsText(*brand));
        majorIsCompatible = majorIsCompatible || AsText(*brand) == AsText(*major);
    }
    report.Fact("brand", brands + (compatible.empty() ? "" : " (" + compatible + ")"));
    // A reader that picks the file up by a compatible brand must find the major one there.
    if (!majorIsCompatible)
        report.Problem("ftyp compatible brands", compatible.empty() ? "none" : compatible,
                       "the major brand " + TagText(*major) + " among them");
    return true;
}

// The top level: only the kinds of box a 3GP file has, and the mdat bodies.
Payload ReadTopLevel(const std::vector<Box>& top, CheckReport& report) {
    static constexpr std::string_view kTopLevel[] = {"ftyp", "moov", "mdat", "free", "skip", "wide", "uuid", "meta"};
    Payload payload;
    for (const Box& box : top) {
        if (std::find(std::begin(kTopLevel), std::end(kTopLevel), box.type) == std::end(kTopLevel))
            report.Problem("box at offset " + Num(box.offset),
                           TagText(std::span(reinterpret_cast<const uint8_t*>(box.type.data()), 4)),
                           "ftyp, moov, mdat or free");
        if (box.type == "mdat") payload.ranges.emplace_back(box.body.Offset(), box.body.Offset() + box.body.Left());
    }
    return payload;
}

// The sound track: the first trak whose handler is "soun".
std::optional<SoundTrack> ReadSoundTrack(const std::vector<Box>& moov, CheckReport& report) {
    for (const Box& box : moov) {
        if (box.type != "trak") continue;
        std::vector<Box> trak = ReadBoxes(box.body, report);
        auto children = ChildrenAt(trak, {"mdia"}, report);
        if (!children) continue;
        const Box* hdlr = FindBox(*children, "hdlr");
        if (hdlr && hdlr->body.Left() >= 12 && AsText(hdlr->body.Rest().subspan(8, 4)) == "soun")
            return SoundTrack{std::move(trak), std::move(*children)};
    }
    report.Problem("sound track", "none", "a trak whose handler is 'soun'");
    return std::nullopt;
}

std::optional<MediaHeader> ReadMediaHeader(const std::vector<Box>& mdia, CheckReport& report) {
    const Box* mdhd = FindBox(mdia, "mdhd");
    uint32_t version = 0;
    auto body = mdhd ? FullBoxBody(*mdhd, report, &version) : std::nullopt;
    if (!body) {
        report.Problem("'mdhd' box", "none", "one");
        return std::nullopt;
    }
    body->Skip(version == 1 ? 16 : 8);  // creation and modification times
    const auto timescale = body->U32();
    const auto durationHigh = version == 1 ? body->U32() : std::optional<uint32_t>(0);
    const auto durationLow = body->U32();
    if (!timescale || !durationLow || !durationHigh || *timescale == 0) {
        report.Problem("mdhd timescale", timescale ? "0" : "none", "the sampling rate");
        return std::nullopt;
    }
    return MediaHeader{*timescale, (static_cast<uint64_t>(*durationHigh) << 32) | *durationLow};
}

// The edit list: a media time (in the media's timescale, -1 for an empty edit) at or past
// the end of the media starts the track after its last sample, so nothing of it plays.
void CheckEditList(const std::vector<Box>& trak, const MediaHeader& media, CheckReport& report) {
    const Box* edts = FindBox(trak, "edts");
    if (edts == nullptr) return;
    const std::vector<Box> edits = ReadBoxes(edts->body, report);  // elst points into it
    const Box* elst = FindBox(edits, "elst");
    if (elst == nullptr) return;
    uint32_t version = 0;
    auto body = FullBoxBody(*elst, report, &version);
    if (!body) return;
    const auto count = body->U32();
    const size_t width = version == 1 ? 20 : 12;
    if (!count || *count > body->Left() / width) {
        report.Problem("elst entry count", count ? Num(*count) : "none",
                       "at most " + Num(body->Left() / width) + " (the room in the box)");
        return;
    }
    for (uint32_t i = 0; i < *count; ++i) {
        body->Skip(version == 1 ? 8 : 4);  // segment duration
        const uint64_t high = version == 1 ? *body->U32() : 0;
        const uint64_t time = high << 32 | *body->U32();
        body->Skip(4);  // media rate
        const bool empty = version == 1 ? time == UINT64_MAX : time == UINT32_MAX;
        if (!empty && time >= media.duration)
            report.Problem("elst entry " + Num(i + 1) + " media time", Num(time),
                           "below " + Num(media.duration) + " (the media's duration), or -1 for an empty edit");
    }
}

// The data reference: the one entry must say the media is in this file.
void CheckDataReference(const std::vector<Box>& minf, CheckReport& report) {
    const auto dref = ChildrenAt(minf, {"dinf"}, report);
    const Box* box = dref ? FindBox(*dref, "dref") : nullptr;
    if (box == nullptr) {
        if (dref) report.Problem("'dref' box", "none", "one");
        return;
    }
    auto body = FullBoxBody(*box, report);
    if (!body || !body->U32()) return;  // entry count
    for (const Box& entry : ReadBoxes(*body, report)) {
        ByteCursor fields = entry.body;
        const auto versionFlags = fields.U32();
        if (entry.type == "url " && versionFlags && (*versionFlags & 1) == 0)
            report.Problem("'url ' flags", HexText(*versionFlags & 0xFFFFFF), "0x1 (the media is in this file)");
    }
}

void ReadEsds(ByteCursor esds, Stream& stream, CheckReport& report) {
    auto es = Descriptor(esds, 0x03, report);
    if (!es) return;
    es->Skip(2);  // ES ID
    const uint32_t flags = es->U8().value_or(0);
    if (flags & 0x80) es->Skip(2);
    if (flags & 0x40) es->Skip(es->U8().value_or(0));
    if (flags & 0x20) es->Skip(2);
    auto config = Descriptor(*es, 0x04, report);
    if (!config) return;
    const auto objectType = config->U8();
    const auto streamType = config->U8();
    const auto bufferHigh = config->U8();
    const auto bufferLow = config->U16();
    const auto maxBitRate = config->U32();
    const auto avgBitRate = config->U32();
    if (!maxBitRate || !avgBitRate || !bufferLow) {
        report.Problem("esds decoder config", "cut short", "13 bytes and the decoder info");
        return;
    }
    if (*objectType != 0x40) report.Problem("esds object type", HexText(*objectType), "0x40 (MPEG-4 audio)");
    if ((*streamType >> 2) != 5) report.Problem("esds stream type", Num(*streamType >> 2), "5 (audio)");
    stream.bufferSize = (*bufferHigh << 16) | *bufferLow;
    stream.maxBitRate = *maxBitRate;
    stream.avgBitRate = *avgBitRate;
    auto info = Descriptor(*config, 0x05, report);
    if (!info) return;
    const auto bytes = info->Rest();
    stream.decoderInfo.assign(bytes.begin(), bytes.end());
    if (bytes.size() < 2) {
        report.Problem("esds decoder info", Num(bytes.size()) + " bytes", "at least 2");
        return;
    }
    const uint32_t objectKind = bytes[0] >> 3;
    const uint32_t rateIndex = ((bytes[0] & 7) << 1) | (bytes[1] >> 7);
    const uint32_t channels = (bytes[1] >> 3) & 0xF;
    if (objectKind != 2) report.Problem("esds audio object type", Num(objectKind), "2 (AAC LC)");
    if (rateIndex >= std::size(kAacRates)) {
        report.Problem("esds sampling rate index", Num(rateIndex), "0 to 12");
    } else if (kAacRates[rateIndex] != stream.rate) {
        report.Problem("esds sampling rate", Num(kAacRates[rateIndex]) + " Hz",
                       Num(stream.rate) + " Hz (the sample entry)");
    }
    // Writers of the MP4 family may keep the sample entry's template count of 2.
    if (channels != stream.entryChannels && stream.entryChannels != 2)
        report.Problem("esds channels", Num(channels), Num(stream.entryChannels) + " (the sample entry)");
    if (channels == 1 || channels == 2) stream.channels = channels;
}

void ReadSampleEntry(const Box& stsd, Stream& stream, CheckReport& report) {
    auto body = FullBoxBody(stsd, report);
    if (!body) return;
    const auto count = body->U32();
    const auto entries = ReadBoxes(*body, report);
    stream.entries = static_cast<uint32_t>(entries.size());
    if (!count || *count != 1 || entries.size() != 1) report.Problem("stsd entries", Num(entries.size()), "1");
    if (entries.empty()) return;
    const Box& entry = entries.front();
    if (entry.type != "mp4a") {
        report.Problem("sample entry", TagText(std::span(reinterpret_cast<const uint8_t*>(entry.type.data()), 4)),
                       "'mp4a'");
        return;
    }
    ByteCursor fields = entry.body;
    fields.Skip(16);  // reserved, data reference index, reserved
    const auto channels = fields.U16();
    fields.Skip(6);  // sample size, pre-defined, reserved
    const auto rate = fields.U32();
    if (!rate) {
        report.Problem("mp4a entry", Num(entry.body.Left()) + " bytes", "28 bytes and an esds");
        return;
    }
    stream.channels = stream.entryChannels = *channels;
    stream.rate = *rate >> 16;
    if (stream.channels != 1 && stream.channels != 2) report.Problem("mp4a channels", Num(stream.channels), "1 or 2");
    const auto children = ReadBoxes(fields, report);
    const Box* esds = FindBox(children, "esds");
    if (esds == nullptr) {
        report.Problem("'esds' box", "none", "one in the mp4a entry");
        return;
    }
    if (auto esdsBody = FullBoxBody(*esds, report)) ReadEsds(*esdsBody, stream, report);
}

// The sample description of stbl: one mp4a entry with its esds.
Stream ReadSampleDescription(const std::vector<Box>& stbl, CheckReport& report) {
    Stream stream;
    if (const Box* stsd = FindBox(stbl, "stsd")) {
        ReadSampleEntry(*stsd, stream, report);
    } else {
        report.Problem("'stsd' box", "none", "one");
    }
    return stream;
}

// Frame offsets and sizes from stsz, stsc and stco; the tables must agree on the count.
std::optional<Frames> ReadSampleTables(const std::vector<Box>& stbl, uint32_t descriptions, CheckReport& report) {
    const Box* stts = FindBox(stbl, "stts");
    const Box* stsc = FindBox(stbl, "stsc");
    const Box* stsz = FindBox(stbl, "stsz");
    const Box* co64 = FindBox(stbl, "co64");  // 64-bit chunk offsets, for large files
    const Box* stco = co64 != nullptr ? co64 : FindBox(stbl, "stco");
    for (auto [box, name] : {std::pair{stts, "stts"}, {stsc, "stsc"}, {stsz, "stsz"}, {stco, "stco"}})
        if (box == nullptr) report.Problem("'" + std::string(name) + "' box", "none", "one");
    if (!stts || !stsc || !stsz || !stco) return std::nullopt;

    std::vector<uint64_t> sizeFields;
    const auto times = TableEntries(*stts, 8, 0, report);
    const auto runs = TableEntries(*stsc, 12, 0, report);
    auto sizes = TableEntries(*stsz, 4, 1, report, &sizeFields);
    auto chunks = TableEntries(*stco, co64 != nullptr ? 8 : 4, 0, report);
    if (chunks && co64 != nullptr) {
        for (size_t i = 0; i < chunks->size() / 2; ++i) (*chunks)[i] = (*chunks)[2 * i] << 32 | (*chunks)[2 * i + 1];
        chunks->resize(chunks->size() / 2);
    }
    if (!times || !runs || !chunks || sizeFields.empty()) return std::nullopt;
    if (sizeFields[0] != 0) {
        // One size for all: stsz carries the count only.
        report.Problem("stsz sample size", Num(sizeFields[0]), "0 (a size per frame)");
        return std::nullopt;
    }
    if (!sizes) return std::nullopt;
    const uint64_t frameCount = sizes->size();
    Frames frames;
    uint64_t timed = 0;
    for (size_t i = 0; i + 1 < times->size(); i += 2) {
        timed += (*times)[i];
        frames.ticks += (*times)[i] * (*times)[i + 1];
    }
    if (timed != frameCount)
        report.Problem("stsz sample count", Num(frameCount), Num(timed) + " (the frames stts times)");

    frames.sizes = *sizes;
    // stsc runs: first chunk (from 1), frames a chunk, description; in chunk order.
    const size_t runCount = runs->size() / 3;
    for (size_t i = 0; i < runCount && descriptions > 0; ++i)
        if ((*runs)[3 * i + 2] < 1 || (*runs)[3 * i + 2] > descriptions)
            report.Problem("stsc entry " + Num(i + 1) + " sample description", Num((*runs)[3 * i + 2]),
                           descriptions == 1 ? std::string("1 (the stsd entry)")
                                             : "1 to " + Num(descriptions) + " (the stsd entries)");
    size_t run = 0;
    for (size_t chunk = 0; chunk < chunks->size() && frames.offsets.size() < frameCount; ++chunk) {
        while (run + 1 < runCount && (*runs)[3 * (run + 1)] <= chunk + 1) ++run;
        const uint64_t perChunk = runCount > 0 && (*runs)[3 * run] <= chunk + 1 ? (*runs)[3 * run + 1] : 0;
        uint64_t offset = (*chunks)[chunk];
        for (uint64_t i = 0; i < perChunk && frames.offsets.size() < frameCount; ++i) {
            offset += i == 0 ? 0 : frames.sizes[frames.offsets.size() - 1];
            frames.offsets.push_back(offset);
        }
    }
    if (frames.offsets.size() != frameCount)
        report.Problem("frames in stco chunks", Num(frames.offsets.size()), Num(frameCount) + " (stsz)");
    frames.sizes.resize(frames.offsets.size());
    return frames;
}

std::string ReadTitle(const std::vector<Box>& moov, CheckReport& report) {
    const Box* udta = FindBox(moov, "udta");
    if (udta == nullptr) return {};
    const auto children = ReadBoxes(udta->body, report);
    const Box* titl = FindBox(children, "titl");
    if (titl == nullptr) return {};
    auto body = FullBoxBody(*titl, report);
    if (!body || !body->U16()) return {};  // language
    const auto text = body->Rest();
    const auto end = std::find(text.begin(), text.end(), 0);
    return Cp932ToUtf8(AsText(text.first(static_cast<size_t>(end - text.begin()))));
}

// One problem line for the first frame of a kind, with the count of the others.
class FrameProblems {
public:
    FrameProblems(std::string field, std::string expected) : field_(std::move(field)), expected_(std::move(expected)) {}
    void Add(size_t frame, std::string found) {
        if (count_++ == 0) {
            first_ = frame;
            found_ = std::move(found);
        }
    }
    void Report(CheckReport& report) const {
        if (count_ == 0) return;
        report.Problem("frame " + Num(first_ + 1) + " " + field_, found_,
                       expected_ + (count_ > 1 ? " (" + Num(count_ - 1) + " more frames alike)" : ""));
    }

private:
    std::string field_, expected_, found_;
    size_t first_ = 0;
    size_t count_ = 0;
};

// Every frame: its size against the channels' limit, its place in an mdat, its decoding.
FrameScan ScanFrames(std::span<const uint8_t> file, const Frames& frames, const Stream& stream, const Payload& payload,
                     CheckReport& report) {
    const uint64_t largestAllowed = kMaxAacFrameBytesPerChannel * stream.channels;
    FrameProblems tooLarge("size", "at most " + Num(largestAllowed) + " (768 × " + Num(stream.channels) + " channels)");
    FrameProblems outside("offset", "inside an mdat box");
    FrameProblems undecodable("AAC data", "a frame FFmpeg decodes");
    AacFrameDecoder decoder(stream.decoderInfo);
    if (!decoder.OpenError().empty()) report.Problem("AAC decoder", decoder.OpenError(), "opens with the esds info");
    FrameScan scan;
    scan.decoderOpen = decoder.OpenError().empty();
    for (size_t i = 0; i < frames.sizes.size(); ++i) {
        const uint64_t offset = frames.offsets[i], size = frames.sizes[i];
        scan.largest = std::max(scan.largest, size);
        if (size > largestAllowed) tooLarge.Add(i, Num(size) + " bytes");
        if (!payload.Holds(offset, size)) {
            outside.Add(i, Num(offset) + " + " + Num(size) + " bytes");
            continue;
        }
        if (scan.decoderOpen)
            if (auto error =
                    decoder.Decode(file.subspan(static_cast<size_t>(offset), static_cast<size_t>(size)), scan.samples))
                undecodable.Add(i, *error);
    }
    tooLarge.Report(report);
    outside.Report(report);
    undecodable.Report(report);
    scan.decodedChannels = decoder.Channels();
    scan.decodedRate = decoder.SampleRate();
    return scan;
}

// The esds and the decoder against what the frames turned out to be.
void CheckStreamAgainstFrames(const Stream& stream, const Frames& frames, const FrameScan& scan, CheckReport& report) {
    std::vector<uint32_t> sizes(frames.sizes.size());
    std::transform(frames.sizes.begin(), frames.sizes.end(), sizes.begin(),
                   [](uint64_t size) { return static_cast<uint32_t>(std::min<uint64_t>(size, UINT32_MAX)); });
    const AacBitRates rates = MeasureAacBitRates(sizes, stream.rate);
    // 0 declares a rate unknown. The average is rounded either way by writers; a bit a
    // second is their difference.
    if (stream.avgBitRate != 0 && stream.avgBitRate + 1 < rates.average)
        report.Problem("esds average bit rate", Num(stream.avgBitRate),
                       "at least " + Num(rates.average) + " (the stream's average)");
    if (stream.maxBitRate != 0 && stream.maxBitRate < rates.maximum)
        report.Problem("esds maximum bit rate", Num(stream.maxBitRate),
                       "at least " + Num(rates.maximum) + " (the frames of the stream's fullest second)");
    if (stream.bufferSize != 0 && stream.bufferSize < scan.largest)
        report.Problem("esds buffer size", Num(stream.bufferSize),
                       "at least " + Num(scan.largest) + " (the largest frame)");
    if (scan.decoderOpen && !scan.samples.empty() && scan.decodedChannels != static_cast<int>(stream.channels))
        report.Problem("decoded channels", Num(static_cast<uint64_t>(scan.decodedChannels)),
                       Num(stream.channels) + " (the esds)");
}

void ReportStreamFacts(const Stream& stream, const MediaHeader& media, CheckReport& report) {
    report.Fact("rate", Num(stream.rate) + " Hz");
    if (stream.channels == 0) report.Problem("channels", "none", "1 or 2");
    report.Fact("channels", stream.channels == 2 ? "stereo" : stream.channels == 1 ? "mono" : Num(stream.channels));
    report.Fact("duration", SecondsText(media.duration, media.timescale));
}

}  // namespace

CheckReport ReadFile3gp(std::span<const uint8_t> file) {
    CheckReport report;
    const auto top = ReadBoxes(ByteCursor(file), report);
    if (!ReadFileType(top, report)) return report;
    const Payload payload = ReadTopLevel(top, report);
    const Box* moovBox = FindBox(top, "moov");
    if (moovBox == nullptr) {
        report.Problem("'moov' box", "none", "one");
        return report;
    }
    const auto moov = ReadBoxes(moovBox->body, report);
    const auto track = ReadSoundTrack(moov, report);
    if (!track) return report;
    const auto media = ReadMediaHeader(track->mdia, report);
    if (!media) return report;
    CheckEditList(track->trak, *media, report);
    const auto minf = ChildrenAt(track->mdia, {"minf"}, report);
    if (!minf) return report;
    const auto stbl = ChildrenAt(*minf, {"stbl"}, report);
    if (!stbl) return report;
    CheckDataReference(*minf, report);
    const Stream stream = ReadSampleDescription(*stbl, report);
    if (stream.rate != 0 && stream.rate != media->timescale)
        report.Problem("mdhd timescale", Num(media->timescale), Num(stream.rate) + " (the sample entry's rate)");
    const auto frames = ReadSampleTables(*stbl, stream.entries, report);
    if (frames && frames->ticks != media->duration)
        report.Problem("mdhd duration", Num(media->duration), Num(frames->ticks) + " (the stts total)");

    ReportStreamFacts(stream, *media, report);
    const std::string title = ReadTitle(moov, report);
    report.Fact("title", title.empty() ? "none" : title);
    if (!frames || stream.channels == 0) return report;

    FrameScan scan = ScanFrames(file, *frames, stream, payload, report);
    CheckStreamAgainstFrames(stream, *frames, scan, report);
    report.Fact("frames", Num(frames->sizes.size()) + " AAC frames, largest " + Num(scan.largest) + " bytes");
    ReportLevels(report, scan.samples);
    if (scan.decoderOpen && !scan.samples.empty())
        report.audio = {std::move(scan.samples), static_cast<uint32_t>(scan.decodedRate), scan.decodedChannels};
    return report;
}

}  // namespace kvt
