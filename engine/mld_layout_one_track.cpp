// One-track MLD layout for the mono types 1 to 11 and 18: the header, then one "trac"
// chunk of head events, data events each followed by its piece of the coded stream,
// closing events and tail events.

#include <algorithm>
#include <array>
#include <cstdint>
#include <optional>

#include "engine/byte_order.h"
#include "engine/engine_message.h"
#include "engine/mld_encoder.h"
#include "engine/mld_layout.h"
#include "engine/mld_track_file.h"
#include "platform/message.h"

namespace kvt {

namespace {

using Bytes = std::span<const uint8_t>;

constexpr std::array<uint8_t, 8> kHead8 = {0x00, 0xFF, 0xD0, 0x00, 0x00, 0xFF, 0xCA, 0x80};
constexpr std::array<uint8_t, 16> kHead6 = {0x00, 0xFF, 0xD0, 0x00, 0x00, 0xFF, 0xCA, 0x80,
                                            0x00, 0xFF, 0xFF, 0x00, 0x03, 0x41, 0x81, 0x3F};
constexpr std::array<uint8_t, 16> kHead8Type8 = {0x00, 0xFF, 0xD0, 0x00, 0x00, 0xFF, 0xCA, 0x80,
                                                 0x00, 0xFF, 0xFF, 0x00, 0x03, 0x31, 0x81, 0x3F};
constexpr std::array<uint8_t, 16> kHead9 = {0x00, 0xFF, 0xD0, 0x00, 0x00, 0xFF, 0xCA, 0x80,
                                            0x00, 0xFF, 0xFF, 0x00, 0x03, 0x71, 0x81, 0x3F};
constexpr std::array<uint8_t, 35> kHead10 = {0x00, 0xFF, 0xD0, 0x00, 0x00, 0xFF, 0xCA, 0x80, 0x00, 0xFF, 0xFF, 0x00,
                                             0x0E, 0x71, 0x8F, 0x81, 0x01, 0x01, 0x89, 0x01, 0x01, 0x83, 0x01, 0x01,
                                             0x8B, 0x01, 0x01, 0x00, 0xFF, 0xFF, 0x00, 0x03, 0x71, 0x81, 0x3F};
constexpr std::array<uint8_t, 34> kHead18 = {0x00, 0xFF, 0xD0, 0x00, 0x00, 0xFF, 0xCB, 0x64, 0x00, 0xFF, 0xB0, 0x7F,
                                             0x00, 0xFF, 0xFF, 0x00, 0x06, 0xF1, 0x08, 0x00, 0x0F, 0x81, 0x3F, 0x00,
                                             0xFF, 0xFF, 0x00, 0x06, 0xF1, 0x08, 0x00, 0x0F, 0x82, 0x20};

constexpr std::array<uint8_t, 4> kEndOfTrack = {0x00, 0xFF, 0xDE, 0x00};
constexpr std::array<uint8_t, 10> kClosing7 = {0x00, 0xFF, 0xFF, 0x00, 0x05, 0x31, 0x10, 0x09, 0x00, 0x64};
constexpr std::array<uint8_t, 13> kClosing18 = {0x00, 0xFF, 0xFF, 0x00, 0x08, 0xF1, 0x08,
                                                0x00, 0x0F, 0x88, 0x00, 0x85, 0x00};

enum class Closing { EndOfTrack, Type2, Type7, Type18 };
enum class Tail { Repeat11, Repeat31, Type2, Waits };

struct OneTrackType {
    uint8_t headerA;
    std::string_view version;
    bool note;
    Bytes head;
    size_t eventOverhead;  // bytes of the data event after its u16 length, before the piece
    size_t largestPiece;
    bool manyPieces;
    Closing closing;
    Tail tail;
};

// Indexed by type; types 12 to 17 do not use this layout.
constexpr std::array<std::optional<OneTrackType>, 19> kTypes = {{
    std::nullopt,
    OneTrackType{1, "0200", false, kHead8, 5, 65530, false, Closing::EndOfTrack, Tail::Repeat11},
    OneTrackType{1, "0300", false, kHead8, 8, 65504, true, Closing::Type2, Tail::Type2},
    OneTrackType{1, "0200", false, kHead8, 5, 65530, true, Closing::EndOfTrack, Tail::Waits},
    OneTrackType{1, "0300", false, kHead8, 5, 65530, true, Closing::EndOfTrack, Tail::Waits},
    OneTrackType{1, "0200", false, kHead8, 5, 65530, true, Closing::EndOfTrack, Tail::Waits},
    OneTrackType{1, "0300", false, kHead6, 9, 65526, true, Closing::EndOfTrack, Tail::Waits},
    OneTrackType{1, "0300", false, kHead8, 7, 65528, false, Closing::Type7, Tail::Repeat31},
    OneTrackType{1, "0300", false, kHead8Type8, 9, 65526, true, Closing::EndOfTrack, Tail::Waits},
    OneTrackType{1, "0300", false, kHead9, 5, 65530, true, Closing::EndOfTrack, Tail::Waits},
    OneTrackType{1, "0300", false, kHead10, 9, 65526, true, Closing::EndOfTrack, Tail::Waits},
    OneTrackType{1, "0300", false, kHead8, 5, 65530, false, Closing::EndOfTrack, Tail::Waits},
    std::nullopt,
    std::nullopt,
    std::nullopt,
    std::nullopt,
    std::nullopt,
    std::nullopt,
    OneTrackType{2, "0301", true, kHead18, 8, 0xFFFF - 8, false, Closing::Type18, Tail::Waits},
}};

// The rate code of the data events.
uint8_t RateCode(int32_t type, uint32_t sampleRate) {
    switch (sampleRate) {
    case 4000: return 0x44;
    case 16000: return (type == 4 || type == 5) ? 0x46 : 0x4D;
    case 32000: return 0x55;
    default: return 0x45;  // 8000 Hz
    }
}

// Bytes of a data event after its u16 length, for piece `index`; `cont` is set when
// another piece follows. `total` is D.
void PutDataEventBody(std::vector<uint8_t>& out, int32_t type, size_t index, bool cont, uint32_t total,
                      uint32_t sampleRate) {
    const uint8_t rc = RateCode(type, sampleRate);
    const auto rate16 = static_cast<uint16_t>(sampleRate);
    const uint8_t more = cont ? 1 : 0;
    auto bytes = [&out](std::initializer_list<uint8_t> list) { out.insert(out.end(), list); };
    switch (type) {
    case 1:
        bytes({0x11, 0xF0, 0x02, 0x01, static_cast<uint8_t>(sampleRate == 8000 || sampleRate == 16000 ? 1 : 0)});
        break;
    case 2:
        bytes({0x11, 0x01, 0xF0, 0x07, static_cast<uint8_t>(index), 0x01});
        PutBe16(out, rate16);
        break;
    case 3: bytes({0x61, 0x83, 0x00, rc, more}); break;
    case 4: bytes({0x21, 0x83, 0x00, rc, more}); break;
    case 5: bytes({0x41, static_cast<uint8_t>(sampleRate == 16000 ? 0x86 : 0x83), 0x00, rc, more}); break;
    case 6:
    case 8:
    case 10:
        bytes({static_cast<uint8_t>(type == 6 ? 0x41 : type == 8 ? 0x31 : 0x71), 0x84, 0x00, rc, more});
        PutBe32(out, index == 0 ? total : 0);  // S: the stream size, in the first piece only
        break;
    case 7:
        bytes({0x31, 0x10, 0x07, 0x00, 0x01});
        PutBe16(out, rate16);
        break;
    case 9: bytes({0x71, 0x83, 0x00, rc, more}); break;
    case 11: bytes({0x81, 0x83, 0x00, rc, 0x00}); break;
    case 18:
        bytes({0xF1, 0x08, 0x00, 0x0F, 0x88, 0x00,
               static_cast<uint8_t>(sampleRate == 8000    ? 5
                                    : sampleRate == 16000 ? 6
                                                          : 0),
               0x00});
        break;
    default: break;
    }
}

}  // namespace

std::optional<size_t> MldKeptStreamBytes(const MldPreset& row, size_t streamBytes) {
    if (row.type < 0 || static_cast<size_t>(row.type) >= kTypes.size() || !kTypes[row.type]) return std::nullopt;
    const OneTrackType& layout = *kTypes[row.type];
    if (layout.manyPieces) return std::nullopt;
    if (row.type == 18) {
        if (streamBytes <= kMldType18StreamLimit) return std::nullopt;
        return kMldType18StreamLimit - 5;
    }
    if (streamBytes <= layout.largestPiece) return std::nullopt;
    return layout.largestPiece;
}

MldFile BuildMldOneTrackLayout(const MldPreset& row, std::string_view title, std::span<const uint8_t> stream,
                               uint32_t sampleRate, uint32_t codedByteRate) {
    if (row.type < 0 || static_cast<size_t>(row.type) >= kTypes.size() || !kTypes[row.type]) {
        ShowMessage(kErrorText);
        return std::nullopt;
    }
    if (codedByteRate == 0) return std::nullopt;
    const OneTrackType& layout = *kTypes[row.type];
    const uint64_t rate = codedByteRate;

    // Type 18 stores one piece of D - 5 bytes behind a u16 length of D + 3; a longer stream
    // is cut to the longest that length can describe, as the other one-piece types do,
    // and everything (the piece, the duration, the waits) follows from the cut stream.
    if (row.type == 18 && stream.size() > kMldType18StreamLimit) stream = stream.first(kMldType18StreamLimit);
    const uint64_t total = stream.size();  // D

    // The pieces, as consecutive slices of the stream.
    std::vector<Bytes> pieces;
    if (row.type == 18) {
        pieces.push_back(stream.first(total >= 5 ? total - 5 : 0));
    } else {
        size_t at = 0;
        do {
            const size_t size = std::min(stream.size() - at, layout.largestPiece);
            pieces.push_back(stream.subspan(at, size));
            at += size;
        } while (layout.manyPieces && at < stream.size());
    }
    // Type 2 numbers its pieces in one byte.
    if (row.type == 2 && pieces.size() > 256) {
        ShowMessage(kFileTooLargeText);
        return std::nullopt;
    }

    const uint64_t waits = total / rate / 2;                               // N
    const auto fraction = static_cast<uint8_t>(total * 128 / rate % 256);  // Q

    std::vector<uint8_t> track;
    PutBytes(track, layout.head);
    for (size_t k = 0; k < pieces.size(); ++k) {
        const bool cont = k + 1 < pieces.size();
        track.insert(track.end(), {0x00, 0xFF, 0xFF});
        const size_t lengthAt = track.size();
        PutBe16(track, 0);
        PutDataEventBody(track, row.type, k, cont, static_cast<uint32_t>(total), sampleRate);
        PutBytes(track, pieces[k]);
        SetBe16(std::span(track).subspan(lengthAt), static_cast<uint16_t>(track.size() - lengthAt - 2));
    }

    switch (layout.closing) {
    case Closing::EndOfTrack: PutBytes(track, kEndOfTrack); break;
    case Closing::Type7: PutBytes(track, kClosing7); break;
    case Closing::Type18:
        PutBytes(track, kClosing18);
        // In double precision, as the other layouts' durations: 580 bytes at 4000 a second
        // give 28 ticks, not 29.
        PutMldEvent(
            track,
            static_cast<uint8_t>(MldDurationTicks(static_cast<uint32_t>(total), static_cast<uint32_t>(rate)) % 256),
            0xFF, 0xDC, 0x00);
        break;
    case Closing::Type2:
        for (size_t k = 0; k < pieces.size(); ++k) {
            track.insert(track.end(), {0x00, 0xFF, 0xFF, 0x00, 0x06, 0x11, 0x01, 0xF1,
                                       static_cast<uint8_t>(k % 2 == 0 ? 0x03 : 0x43), static_cast<uint8_t>(k), 0x7F});
            for (uint64_t w = pieces[k].size() * 128 / rate; w > 0;) {
                const uint64_t x = std::min<uint64_t>(w, 255);
                PutMldEvent(track, static_cast<uint8_t>(x), 0xFF, 0xDE, 0x00);
                w -= x;
            }
        }
        break;
    }

    switch (layout.tail) {
    case Tail::Repeat11:
    case Tail::Repeat31: {
        const uint8_t channel = layout.tail == Tail::Repeat11 ? 0x11 : 0x31;
        for (uint64_t i = 0; i <= waits; ++i) {
            track.insert(track.end(), {static_cast<uint8_t>(i == 0 ? 0x00 : 0xFE), 0xFF, 0xFF, 0x00, 0x05, channel,
                                       0xF1, 0x20, 0x01, static_cast<uint8_t>(i == waits ? fraction : 0xFF)});
        }
        PutMldEvent(track, fraction, 0xFF, 0xDF, 0x00);
        break;
    }
    case Tail::Type2: PutMldEvent(track, 0x00, 0xFF, 0xDF, 0x00); break;
    case Tail::Waits:
        for (uint64_t i = 0; i < waits; ++i) PutMldEvent(track, 0xFF, 0xFF, 0xDE, 0x00);
        PutMldEvent(track, fraction, 0xFF, 0xDF, 0x00);
        break;
    }

    return BuildMldTrackFile(layout.headerA, title, layout.version, layout.note, track);
}

}  // namespace kvt
