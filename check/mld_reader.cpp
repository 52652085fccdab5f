#include "check/mld_reader.h"

#include <algorithm>
#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "check/sample_decoders.h"
#include "engine/byte_cursor.h"
#include "engine/mld_fit.h"
#include "engine/mld_preset_table.h"
#include "platform/codepage.h"

namespace kvt {
namespace {

// One event of a track: a delta time in ticks, then FF with a type and a value, FF FF with
// a u16 length and that many bytes, or 7F with a type and one value (two below type 0x80).
struct Event {
    size_t offset = 0;
    uint32_t delta = 0;
    uint32_t status = 0;
    uint32_t type = 0;
    uint32_t value = 0;
    std::span<const uint8_t> data;  // of an FF FF event

    bool IsExclusive() const { return status == 0xFF && type == 0xFF; }
};

std::vector<Event> ReadEvents(ByteCursor track, CheckReport& report) {
    std::vector<Event> events;
    while (!track.AtEnd()) {
        Event event;
        event.offset = track.Offset();
        const auto delta = track.U8();
        const auto status = track.U8();
        const auto type = track.U8();
        bool whole = delta && status && type;
        if (whole) {
            event.delta = *delta;
            event.status = *status;
            event.type = *type;
            if (*status == 0xFF && *type == 0xFF) {
                const auto length = track.U16();
                const auto data = length ? track.Bytes(*length) : std::nullopt;
                if (length && !data) {
                    report.Problem("track event at offset " + Num(event.offset) + " length", Num(*length),
                                   "at most " + Num(track.Left()) + " (the rest of the track)");
                    return events;
                }
                whole = data.has_value();
                if (whole) event.data = *data;
            } else if (*status == 0xFF || *status == 0x7F) {
                if (*status == 0x7F && *type < 0x80) whole = track.U8().has_value();
                const auto value = track.U8();
                whole = whole && value;
                if (whole) event.value = *value;
            } else {
                report.Problem("track event at offset " + Num(event.offset), "status " + HexText(*status),
                               "0xFF or 0x7F");
                return events;
            }
        }
        if (!whole) {
            report.Problem("track event at offset " + Num(event.offset), "cut short", "a whole event");
            return events;
        }
        events.push_back(event);
    }
    return events;
}

// How a layout's track time adds up, in its own ticks, from the coded size.
enum class Timing {
    WaitsAndRest,       // N × 255 + Q (1/128 s)
    ShortWaitsAndRest,  // N × 254 + Q
    PieceWaits,         // per piece floor(bytes × 128 / R)
    ClipTicksAndRest,   // (floor(D × 200 / R) mod 256) + N × 255 + Q
    ClipTicks,          // floor(2P × 200 / R) (5 ms)
    ClipTicksPlus5,     // the same + 5
};

// Where a data event keeps the sampling rate.
enum class RateField { RateCode, NarrowFlag, Hertz, G, R16 };

// One handset layout of the per-type track: recognised by the version, header byte A,
// the first event and the bytes that open its data events (a byte of 0 matches any: the
// channel of a two-stream layout, bytes not compared).
struct Layout {
    int type;
    std::string_view version;
    uint8_t headerA;
    std::array<uint8_t, 5> tag;
    size_t eventBytes;  // data event bytes after the length, before the piece
    size_t largestPiece;
    bool twoStreams;
    bool manyPieces;
    RateField rateField;
    size_t ratePos;
    uint8_t wideRateCode;  // the 16000 Hz code besides 0x4D of a RateField::RateCode
    std::optional<size_t> contPos;
    std::optional<size_t> pieceNumberPos;  // the piece's number from 0, the channel's of two streams
    uint8_t rightChannel;                  // the right data event's third byte; 0: not checked
    std::optional<size_t> totalSizePos;    // u32 D in the first event
    std::optional<size_t> channelSizePos;  // u16 P in both events
    size_t unstoredBytes;                  // coded bytes the track times but does not store
    Timing timing;
    bool exclusiveFirst;  // the track opens with an FF FF event
    bool note;            // the header has a "note" chunk
    int codec;            // the sample codec
    int codecAt4000;      // the sample codec of a file that records 4000 Hz
};

// clang-format off
// type, version, A, data event opening, event bytes, largest piece, two streams, many pieces,
// rate field at, 16000 Hz code, continuation at, piece number at, right channel, D at, P at,
// bytes not stored, timing, opens with FF FF, note, codec, codec at 4000 Hz
constexpr std::array<Layout, 17> kLayouts = {{
    {1, "0200", 1, {0x11, 0xF0, 0x02}, 5, 65530, false, false, RateField::NarrowFlag, 4, 0, {}, {}, 0, {}, {}, 0, Timing::ShortWaitsAndRest, false, false, 1, 1},
    {2, "0300", 1, {0x11, 0x01, 0xF0}, 8, 65504, false, true, RateField::Hertz, 6, 0, {}, 4, 0, {}, {}, 0, Timing::PieceWaits, false, false, 1, 1},
    {3, "0200", 1, {0x61, 0x83, 0x00}, 5, 65530, false, true, RateField::RateCode, 3, 0x4D, 4, {}, 0, {}, {}, 0, Timing::WaitsAndRest, false, false, 3, 4},
    {4, "0300", 1, {0x21, 0x83, 0x00}, 5, 65530, false, true, RateField::RateCode, 3, 0x46, 4, {}, 0, {}, {}, 0, Timing::WaitsAndRest, false, false, 2, 2},
    {5, "0200", 1, {0x41, 0x83, 0x00}, 5, 65530, false, true, RateField::RateCode, 3, 0x46, 4, {}, 0, {}, {}, 0, Timing::WaitsAndRest, false, false, 2, 2},
    {5, "0200", 1, {0x41, 0x86, 0x00}, 5, 65530, false, true, RateField::RateCode, 3, 0x46, 4, {}, 0, {}, {}, 0, Timing::WaitsAndRest, false, false, 2, 2},
    {6, "0300", 1, {0x41, 0x84, 0x00}, 9, 65526, false, true, RateField::RateCode, 3, 0x4D, 4, {}, 0, 5, {}, 0, Timing::WaitsAndRest, false, false, 3, 4},
    {7, "0300", 1, {0x31, 0x10, 0x07}, 7, 65528, false, false, RateField::Hertz, 5, 0, {}, {}, 0, {}, {}, 0, Timing::ShortWaitsAndRest, false, false, 1, 1},
    {8, "0300", 1, {0x31, 0x84, 0x00}, 9, 65526, false, true, RateField::RateCode, 3, 0x4D, 4, {}, 0, 5, {}, 0, Timing::WaitsAndRest, false, false, 3, 4},
    {9, "0300", 1, {0x71, 0x83, 0x00}, 5, 65530, false, true, RateField::RateCode, 3, 0x4D, 4, {}, 0, {}, {}, 0, Timing::WaitsAndRest, false, false, 2, 2},
    {10, "0300", 1, {0x71, 0x84, 0x00}, 9, 65526, false, true, RateField::RateCode, 3, 0x4D, 4, {}, 0, 5, {}, 0, Timing::WaitsAndRest, false, false, 3, 4},
    {11, "0300", 1, {0x81, 0x83, 0x00}, 5, 65530, false, false, RateField::RateCode, 3, 0x4D, {}, {}, 0, {}, {}, 0, Timing::WaitsAndRest, false, false, 2, 2},
    {18, "0301", 2, {0xF1, 0x08, 0x00, 0x00, 0x88}, 8, 65527, false, false, RateField::G, 6, 0, {}, {}, 0, {}, {}, 5, Timing::ClipTicksAndRest, false, true, 6, 6},
    {13, "0301", 2, {0x41, 0x86, 0}, 5, 65530, true, false, RateField::G, 3, 0, {}, {}, 0x41, {}, {}, 0, Timing::WaitsAndRest, false, true, 2, 2},
    {15, "0300", 1, {0x11, 0x01, 0xF0}, 8, 65527, true, false, RateField::Hertz, 6, 0, {}, 4, 0, {}, {}, 0, Timing::ClipTicksPlus5, true, true, 1, 1},
    {16, "0300", 2, {0x71, 0x84, 0}, 9, 65526, true, false, RateField::R16, 3, 0, {}, {}, 0x41, {}, 7, 0, Timing::ClipTicks, true, true, 3, 4},
    {17, "0300", 2, {0x41, 0x86, 0}, 5, 65530, true, false, RateField::G, 3, 0, {}, {}, 0x41, {}, {}, 0, Timing::WaitsAndRest, false, true, 2, 2},
}};
// clang-format on

std::optional<uint32_t> RateOf(const Layout& layout, std::span<const uint8_t> head) {
    const uint8_t v = head[layout.ratePos];
    switch (layout.rateField) {
    case RateField::RateCode: {
        if (v == 0x44) return 4000;
        if (v == 0x45) return 8000;
        if (v == 0x4D || v == layout.wideRateCode) return 16000;
        if (v == 0x55) return 32000;
        return std::nullopt;
    }
    case RateField::NarrowFlag: return v == 1 ? 8000 : 4000;
    case RateField::Hertz: return static_cast<uint32_t>(v << 8 | head[layout.ratePos + 1]);
    case RateField::G: return v == 5 ? 8000 : v == 6 ? 16000 : std::optional<uint32_t>{};
    case RateField::R16: return v == 0x05 ? 8000 : v == 0x0D ? 16000 : std::optional<uint32_t>{};
    }
    return std::nullopt;
}

struct Header {
    uint8_t a = 0;
    std::string version;
    std::string title;
    bool note = false, exst = false;
    std::optional<std::span<const uint8_t>> ainf;
};

// What the audio turned out to be, for the facts and the decoding.
struct Audio {
    int type = 0;
    int codec = 0;
    uint32_t rate = 0;  // as the file records it
    int channels = 1;
    std::vector<std::span<const uint8_t>> streams;  // one per channel, or one for both (type 14)
};

void ReadHeaderChunks(ByteCursor chunks, Header& header, CheckReport& report) {
    constexpr std::array<std::string_view, 6> kOrder = {"sorc", "titl", "vers", "note", "exst", "ainf"};
    size_t next = 0;
    while (!chunks.AtEnd()) {
        const size_t offset = chunks.Offset();
        const auto tag = chunks.Bytes(4);
        const auto length = chunks.U16();
        if (!tag || !length) {
            report.Problem("header chunk at offset " + Num(offset), "cut short", "a 4-byte tag and a u16 length");
            return;
        }
        const auto body = chunks.Bytes(*length);
        if (!body) {
            report.Problem(TagText(*tag) + " length", Num(*length),
                           "at most " + Num(chunks.Left()) + " (the rest of the header)");
            return;
        }
        const auto known = std::find(kOrder.begin() + static_cast<long>(next), kOrder.end(), AsText(*tag));
        if (known == kOrder.end()) {
            report.Problem("header chunk at offset " + Num(offset), TagText(*tag),
                           next < kOrder.size() ? "'" + std::string(kOrder[next]) + "' or a later header chunk"
                                                : std::string("none"));
            continue;
        }
        next = static_cast<size_t>(known - kOrder.begin()) + 1;
        if (*known == "titl") header.title.assign(AsText(*body));
        if (*known == "vers") header.version.assign(AsText(*body));
        if (*known == "note") header.note = true;
        if (*known == "exst") header.exst = true;
        if (*known == "ainf") header.ainf = *body;
    }
}

// N = floor(floor(D / R) / 2) and Q = floor(D × 128 / R) mod 256.
uint64_t WaitsAndRest(uint64_t d, uint64_t r, uint64_t wait) {
    return d / r / 2 * wait + d * 128 / r % 256;
}

// The track time of `d` coded bytes at R = `r` in a layout whose time follows from D
// (every timing but PieceWaits), and the ticks the writer's rounding may differ by.
uint64_t TicksOfBytes(Timing timing, uint64_t d, uint64_t r) {
    switch (timing) {
    case Timing::WaitsAndRest: return WaitsAndRest(d, r, 255);
    case Timing::ShortWaitsAndRest: return WaitsAndRest(d, r, 254);
    case Timing::ClipTicksAndRest: return d * 200 / r % 256 + WaitsAndRest(d, r, 255);
    case Timing::ClipTicks: return 2 * d * 200 / r;
    case Timing::ClipTicksPlus5: return 2 * d * 200 / r + 5;
    case Timing::PieceWaits: break;
    }
    return 0;
}

uint64_t TimingSlack(Timing timing) {
    return timing == Timing::WaitsAndRest || timing == Timing::ShortWaitsAndRest ? 0 : 1;
}

// A channel size whose low 16 bits are `low`, at least the layout's largest piece, whose
// track time is `time` within the slack; nothing when there is none. The time grows
// with the size, so the smallest such size is found by halving the range of the high bits.
std::optional<uint64_t> ChannelOfTrackTime(const Layout& layout, uint32_t low, uint64_t time, uint64_t r) {
    const uint64_t slack = TimingSlack(layout.timing);
    const auto sizeOf = [&](uint64_t high) { return (high << 16) | low; };
    uint64_t first = sizeOf(0) >= layout.largestPiece ? 0 : 1;
    uint64_t last = uint64_t{1} << 31;
    while (first < last) {
        const uint64_t middle = first + (last - first) / 2;
        if (TicksOfBytes(layout.timing, sizeOf(middle), r) + slack >= time) {
            last = middle;
        } else {
            first = middle + 1;
        }
    }
    const uint64_t ticks = TicksOfBytes(layout.timing, sizeOf(first), r);
    if (ticks + slack < time || ticks > time + slack) return std::nullopt;
    return sizeOf(first);
}

void CheckTiming(uint64_t found, uint64_t expected, uint64_t slack, CheckReport& report) {
    if ((found > expected ? found - expected : expected - found) > slack)
        report.Problem("track time", Num(found) + " ticks", Num(expected) + " ticks for the coded audio");
}

// A data event of `layout`: its opening bytes, room for its fields, and a rate field
// without bit 7 (closing events repeat the opening bytes with bit 7 set there).
bool IsDataEvent(const Layout& layout, const Event& event) {
    if (!event.IsExclusive() || event.data.size() < layout.eventBytes) return false;
    for (size_t i = 0; i < layout.tag.size(); ++i)
        if (layout.tag[i] != 0 && event.data[i] != layout.tag[i]) return false;
    return layout.rateField == RateField::Hertz || layout.rateField == RateField::NarrowFlag ||
           event.data[layout.ratePos] < 0x80;
}

const Layout* FindLayout(const Header& header, const std::vector<Event>& events) {
    const bool exclusiveFirst = !events.empty() && events.front().IsExclusive();
    for (const Layout& layout : kLayouts) {
        if (layout.version != header.version || layout.headerA != header.a || layout.exclusiveFirst != exclusiveFirst)
            continue;
        for (const Event& event : events)
            if (IsDataEvent(layout, event)) return &layout;
    }
    return nullptr;
}

// The per-type track: head events, data events with their pieces, closing and tail events.
std::optional<Audio> ReadTypedTrack(const Header& header, const std::vector<Event>& events, CheckReport& report) {
    const Layout* layout = FindLayout(header, events);
    if (layout == nullptr) {
        report.Problem("layout",
                       "version '" + header.version + "', header byte " + Num(header.a) + ", " + Num(events.size()) +
                           " track events",
                       "the layout of a handset preset");
        return std::nullopt;
    }
    Audio audio;
    audio.type = layout->type;
    audio.channels = layout->twoStreams ? 2 : 1;
    const std::string where = "data event";

    // The data events, in order; pieces of one stream or the two channels.
    std::vector<const Event*> data;
    for (const Event& event : events)
        if (IsDataEvent(*layout, event)) data.push_back(&event);
    std::vector<std::span<const uint8_t>> pieces;
    for (const Event* event : data) pieces.push_back(event->data.subspan(layout->eventBytes));
    const auto rate = RateOf(*layout, data.front()->data);
    if (!rate) {
        report.Problem(where + " rate field", HexText(data.front()->data[layout->ratePos]), "a known rate code");
        return std::nullopt;
    }
    audio.rate = *rate;
    audio.codec = *rate == 4000 ? layout->codecAt4000 : layout->codec;
    for (const Event* event : data)
        if (RateOf(*layout, event->data) != rate)
            report.Problem(where + " at offset " + Num(event->offset) + " rate",
                           Num(RateOf(*layout, event->data).value_or(0)), Num(*rate));

    uint64_t stored = 0;
    for (auto piece : pieces) stored += piece.size();
    if (layout->twoStreams) {
        if (pieces.size() != 2) {
            report.Problem("data events", Num(pieces.size()), "2 (left and right)");
            return std::nullopt;
        }
        if (pieces[0].size() != pieces[1].size())
            report.Problem("right channel size", Num(pieces[1].size()) + " bytes", Num(pieces[0].size()) + " bytes");
        if (layout->rightChannel != 0 && data[1]->data[2] != layout->rightChannel)
            report.Problem("right data event channel", HexText(data[1]->data[2]), HexText(layout->rightChannel));
    } else if (!layout->manyPieces && pieces.size() != 1) {
        report.Problem("data events", Num(pieces.size()), "1");
    }
    for (size_t i = 0; i < pieces.size(); ++i) {
        const bool last = i + 1 == pieces.size();
        if (pieces[i].size() > layout->largestPiece)
            report.Problem("piece " + Num(i + 1) + " size", Num(pieces[i].size()),
                           "at most " + Num(layout->largestPiece));
        if (layout->manyPieces && !last && pieces[i].size() != layout->largestPiece)
            report.Problem("piece " + Num(i + 1) + " size", Num(pieces[i].size()),
                           Num(layout->largestPiece) + " (a piece followed by another is full)");
        if (layout->contPos && data[i]->data[*layout->contPos] != (last ? 0 : 1))
            report.Problem("piece " + Num(i + 1) + " continuation flag", Num(data[i]->data[*layout->contPos]),
                           last ? "0" : "1");
        if (layout->pieceNumberPos && data[i]->data[*layout->pieceNumberPos] != i)
            report.Problem("piece " + Num(i + 1) + " number", Num(data[i]->data[*layout->pieceNumberPos]), Num(i));
    }
    if (layout->totalSizePos) {
        ByteCursor field(data.front()->data.subspan(*layout->totalSizePos, 4));
        const uint32_t total = *field.U32();
        if (total != stored) report.Problem("coded size field", Num(total), Num(stored) + " (the stored pieces)");
    }
    // Track time, from the events against the coded size. The coded byte rate R is half
    // the recorded rate for one channel and the rate itself for two.
    uint64_t time = 0;
    for (const Event& event : events)
        time += event.delta + (event.status == 0xFF && event.type == 0xDC ? 256u * event.value : 0u);
    const uint64_t r = layout->twoStreams ? *rate : *rate / 2;
    // A full single piece may be the start of a longer stream, which the file does not hold.
    const bool full = !layout->manyPieces && !pieces.empty() && pieces.front().size() == layout->largestPiece;
    if (layout->channelSizePos)
        for (size_t i = 0; i < data.size(); ++i) {
            ByteCursor field(data[i]->data.subspan(*layout->channelSizePos, 2));
            const uint32_t size = *field.U16();
            if (!full && size != (pieces[i].size() & 0xFFFF))
                report.Problem("channel size field", Num(size), Num(pieces[i].size() & 0xFFFF));
            if (full && r > 0 && !ChannelOfTrackTime(*layout, size, time, r))
                report.Problem("channel size field", Num(size),
                               "the low 16 bits of a channel of at least " + Num(layout->largestPiece) +
                                   " bytes that lasts the track time of " + Num(time) + " ticks");
        }

    if (r > 0 && !full) {
        const uint64_t d = (layout->twoStreams ? pieces[0].size() : stored) + layout->unstoredBytes;
        if (layout->timing == Timing::PieceWaits) {
            uint64_t waits = 0;
            for (auto piece : pieces) waits += piece.size() * 128 / r;
            CheckTiming(time, waits, pieces.size(), report);
        } else {
            CheckTiming(time, TicksOfBytes(layout->timing, d, r), TimingSlack(layout->timing), report);
        }
    }
    if (header.note != layout->note)
        report.Problem("'note' chunk", header.note ? "one" : "none", layout->note ? "one" : "none");
    audio.streams = pieces;
    return audio;
}

// The "0400" layout: exst, ainf, an "adat" audio chunk and a 37-byte track.
std::optional<Audio> ReadV4(const Header& header, std::optional<ByteCursor> adat, const std::vector<Event>& events,
                            CheckReport& report) {
    if (!adat) {
        report.Problem("'adat' chunk", "none", "one");
        return std::nullopt;
    }
    constexpr std::array<uint8_t, 4> kLead = {0x00, 0x0B, 0x81, 0x00};
    const auto head = adat->Bytes(14);
    if (!head) {
        report.Problem("'adat' head", Num(adat->Left()) + " bytes", "14 bytes");
        return std::nullopt;
    }
    const auto h = *head;
    if (!std::equal(kLead.begin(), kLead.end(), h.begin()) || AsText(h.subspan(4, 4)) != "adpm")
        report.Problem("'adat' head", "bytes " + HexText(h[0]) + " " + HexText(h[1]) + " " + TagText(h.subspan(4, 4)),
                       "00 0B 81 00 'adpm'");
    const uint8_t kHz = h[10], bits = h[11], channels = h[12];
    if (header.a != 1) report.Problem("header byte A", Num(header.a), "1");
    Audio audio;
    audio.type = channels == 2 ? 14 : 12;
    audio.channels = channels == 2 ? 2 : 1;
    if (channels != 1 && channels != 2) report.Problem("'adat' channels", Num(channels), "1 or 2");
    if (kHz != 8 && kHz != 16 && kHz != 32) {
        report.Problem("'adat' rate", Num(kHz) + " kHz", "8, 16 or 32 kHz");
        return std::nullopt;
    }
    if (bits != 4 && !(bits == 2 && kHz == 8))
        report.Problem("'adat' bits per code", Num(bits), kHz == 8 ? "2 or 4" : "4");
    audio.codec = bits == 2 ? 4 : 3;
    audio.rate = bits == 2 ? 4000 : kHz * 1000u;
    const bool wide = kHz >= 16;
    if (header.ainf && header.ainf->size() == 11 && (*header.ainf)[5] != (wide ? 0x20 : 0x10))
        report.Problem("'ainf' rate byte", HexText((*header.ainf)[5]), HexText(wide ? 0x20 : 0x10));
    if (!header.exst) report.Problem("'exst' chunk", "none", "one");
    if (!header.ainf)
        report.Problem("'ainf' chunk", "none", "one");
    else if (header.ainf->size() != 11)
        report.Problem("'ainf' length", Num(header.ainf->size()), "11");
    const std::span<const uint8_t> stream = adat->Rest();
    if (audio.channels == 2 && stream.size() % 2 != 0)
        report.Problem("'adat' stereo codes", Num(stream.size()) + " bytes", "an even count (left, then right)");
    if (audio.channels == 2) {
        audio.streams = {stream.first(stream.size() / 2), stream.subspan(stream.size() / 2, stream.size() / 2)};
    } else {
        audio.streams = {stream};
    }
    // Ticks of 5 ms: the delta before FF DC carries the low byte, FF DC's value the high one.
    uint64_t ticks = 0;
    for (const Event& event : events)
        ticks += event.delta + (event.status == 0xFF && event.type == 0xDC ? 256u * event.value : 0u);
    const uint64_t byteRate = static_cast<uint64_t>(bits == 2 ? 8000 : audio.rate) * bits / 8 * audio.channels;
    CheckTiming(ticks % 65536, stream.size() * 200 / byteRate % 65536, 1, report);
    return audio;
}

// The encoder's ceilings count the coded audio, not the file: the audio bytes are what is
// held against them, so a file the encoder wrote without a warning is never said to pass.
std::string SizeText(size_t fileBytes, size_t codedBytes) {
    const char* ceiling = codedBytes <= kMldLimit10Kb    ? "within the 10 KB ceiling"
                          : codedBytes <= kMldLimit20Kb  ? "within the 20 KB ceiling"
                          : codedBytes <= kMldLimit100Kb ? "within the 100 KB ceiling"
                                                         : "above the 100 KB ceiling";
    return Num(fileBytes) + " bytes, audio " + Num(codedBytes) + " bytes, " + ceiling;
}

// The coded bytes the encoder counted: type 18 stores all but the last 5.
size_t CodedBytes(const Audio& audio) {
    size_t bytes = audio.type == 18 ? 5 : 0;
    for (auto piece : audio.streams) bytes += piece.size();
    return bytes;
}

// The file header up to the first chunk: "melo", the lengths, bytes A B C, the header
// chunks. Nothing when the header cannot be read.
std::optional<Header> ReadFileHeader(ByteCursor& at, size_t fileSize, CheckReport& report) {
    const auto tag = at.Bytes(4);
    const auto length = at.U32();
    const auto headerLength = at.U16();
    if (!tag || AsText(*tag) != "melo" || !length || !headerLength) {
        report.Problem("file", Num(fileSize) + " bytes", "a 'melo' header");
        return std::nullopt;
    }
    if (*length != fileSize - 8)
        report.Problem("file length field", Num(*length), Num(fileSize - 8) + " (file size - 8)");
    auto headerBytes = at.Sub(*headerLength);
    if (!headerBytes) {
        report.Problem("header length", Num(*headerLength), "at most " + Num(at.Left()));
        return std::nullopt;
    }
    const auto abc = headerBytes->Bytes(3);
    if (!abc) {
        report.Problem("header length", Num(*headerLength), "at least 3");
        return std::nullopt;
    }
    Header header;
    header.a = (*abc)[0];
    ReadHeaderChunks(*headerBytes, header, report);
    return header;
}

// The audio chunk ("0400" only) and the track chunk after the header.
struct BodyChunks {
    std::optional<ByteCursor> adat;
    std::optional<ByteCursor> trac;
};

// The chunks after the header: a tag and a u32 length each.
BodyChunks ReadBodyChunks(ByteCursor& at, const Header& header, size_t fileSize, CheckReport& report) {
    BodyChunks chunks;
    while (!at.AtEnd()) {
        const size_t offset = at.Offset();
        const auto chunkTag = at.Bytes(4);
        const auto chunkLength = at.U32();
        if (!chunkTag || !chunkLength) {
            report.Problem("chunk at offset " + Num(offset), Num(fileSize - offset) + " bytes",
                           "a tag and a u32 length");
            break;
        }
        auto body = at.Sub(*chunkLength);
        if (!body) {
            report.Problem(TagText(*chunkTag) + " length", Num(*chunkLength),
                           "at most " + Num(at.Left()) + " (the rest of the file)");
            body = at.Sub(at.Left());
        }
        const bool isTrac = AsText(*chunkTag) == "trac";
        const bool isAdat = AsText(*chunkTag) == "adat" && header.version == "0400";
        if ((isTrac && !chunks.trac) || (isAdat && !chunks.adat && !chunks.trac)) {
            (isTrac ? chunks.trac : chunks.adat) = body;
        } else {
            report.Problem("chunk at offset " + Num(offset), TagText(*chunkTag),
                           chunks.trac ? "none after 'trac'" : "'trac'");
        }
    }
    return chunks;
}

// The audio decoded by its codec: one stream for mono, one a channel for stereo,
// interleaved and cut to the shorter channel.
std::vector<int16_t> DecodeAudio(const Audio& audio, size_t& channelCount) {
    std::vector<std::vector<int16_t>> channels;
    if (audio.channels == 1) {
        std::vector<uint8_t> joined;
        for (auto piece : audio.streams) joined.insert(joined.end(), piece.begin(), piece.end());
        channels.push_back(DecodeWithCodec(audio.codec, joined));
    } else {
        for (auto piece : audio.streams) channels.push_back(DecodeWithCodec(audio.codec, piece));
    }
    size_t frames = channels.front().size();
    for (const auto& channel : channels) frames = std::min(frames, channel.size());
    std::vector<int16_t> samples;
    samples.reserve(frames * channels.size());
    for (size_t i = 0; i < frames; ++i)
        for (const auto& channel : channels) samples.push_back(channel[i]);
    channelCount = channels.size();
    return samples;
}

void ReportFacts(const MldPreset& preset, const Header& header, const Audio& audio, uint64_t frames, uint32_t codedRate,
                 size_t fileSize, CheckReport& report) {
    report.Fact("preset", std::string(preset.name) + " (type " + Num(static_cast<uint64_t>(audio.type)) + ", version " +
                              header.version + ", codec " + Num(static_cast<uint64_t>(audio.codec)) + ")");
    report.Fact("handsets", std::string(preset.description));
    report.Fact("rate", Num(audio.rate) + " Hz" + (audio.codec == 4 ? " (2-bit codes at 8000 Hz)" : ""));
    report.Fact("channels", audio.channels == 2 ? "stereo" : "mono");
    report.Fact("duration", SecondsText(frames, codedRate));
    report.Fact("title", header.title.empty() ? "none" : Cp932ToUtf8(header.title));
    report.Fact("size", SizeText(fileSize, CodedBytes(audio)));
    if (!preset.AllowsRate(static_cast<int>(audio.rate)))
        report.Problem("rate", Num(audio.rate) + " Hz", "a rate preset " + std::string(preset.name) + " allows");
}

}  // namespace

CheckReport ReadMld(std::span<const uint8_t> file) {
    CheckReport report;
    report.format = "MLD";
    ByteCursor at(file);
    const std::optional<Header> header = ReadFileHeader(at, file.size(), report);
    if (!header) return report;
    const BodyChunks chunks = ReadBodyChunks(at, *header, file.size(), report);
    if (!chunks.trac) {
        report.Problem("'trac' chunk", "none", "one");
        return report;
    }
    const std::vector<Event> events = ReadEvents(*chunks.trac, report);
    std::optional<Audio> audio = header->version == "0400" ? ReadV4(*header, chunks.adat, events, report)
                                                           : ReadTypedTrack(*header, events, report);
    if (!audio) return report;
    const MldPreset& preset = MldPresetTable[static_cast<size_t>(audio->type)];
    // Codec 4 records 4000 Hz and codes at 8000 Hz.
    const uint32_t codedRate = audio->codec == 4 ? 8000 : audio->rate;
    size_t channelCount = 0;
    std::vector<int16_t> samples = DecodeAudio(*audio, channelCount);
    ReportFacts(preset, *header, *audio, samples.size() / channelCount, codedRate, file.size(), report);
    ReportLevels(report, samples);
    report.audio = {std::move(samples), codedRate, static_cast<int>(channelCount)};
    return report;
}

}  // namespace kvt
