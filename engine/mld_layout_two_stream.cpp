// Two-stream MLD layout for the stereo types 13, 15, 16, 17: the header, then one "trac"
// chunk of head events, extra events, the left data event and stream, the right data
// event and stream, closing events and tail events. Each channel is one piece.

#include <algorithm>
#include <array>
#include <cstdint>

#include "engine/byte_order.h"
#include "engine/engine_message.h"
#include "engine/mld_layout.h"
#include "engine/mld_track_file.h"

namespace kvt {

namespace {

using Bytes = std::span<const uint8_t>;

constexpr std::array<uint8_t, 8> kHead13 = {0x00, 0xFF, 0xC2, 0x32, 0x00, 0xFF, 0xB0, 0x7F};
constexpr std::array<uint8_t, 20> kHead15 = {0x00, 0xFF, 0xFF, 0x00, 0x05, 0x11, 0x01, 0xF3, 0x03, 0x00,
                                             0x00, 0xFF, 0xFF, 0x00, 0x05, 0x11, 0x01, 0xF3, 0x04, 0x02};
// Type 16's first event (19 bytes) carries the rate; the rest of its head is fixed.
constexpr std::array<uint8_t, 44> kHead16Rest = {0x00, 0xFF, 0xD0, 0x00, 0x00, 0xFF, 0xCB, 0x64, 0x00, 0xFF, 0xB0,
                                                 0x7F, 0x00, 0xFF, 0xFF, 0x00, 0x03, 0x71, 0x81, 0x3F, 0x00, 0xFF,
                                                 0xFF, 0x00, 0x03, 0x71, 0x81, 0x7F, 0x00, 0xFF, 0xFF, 0x00, 0x03,
                                                 0x71, 0x82, 0x00, 0x00, 0xFF, 0xFF, 0x00, 0x03, 0x71, 0x82, 0x7F};

constexpr std::array<uint8_t, 32> kExtra13 = {0x00, 0xFF, 0xFF, 0x00, 0x03, 0x41, 0x81, 0x3F, 0x00, 0xFF, 0xFF,
                                              0x00, 0x03, 0x41, 0x81, 0x7F, 0x00, 0xFF, 0xFF, 0x00, 0x03, 0x41,
                                              0x80, 0x00, 0x00, 0xFF, 0xFF, 0x00, 0x03, 0x41, 0x80, 0x7F};
constexpr std::array<uint8_t, 4> kExtra15 = {0x00, 0xFF, 0xB0, 0x7F};
constexpr std::array<uint8_t, 32> kExtra17 = {0x00, 0xFF, 0xFF, 0x00, 0x03, 0x21, 0x81, 0x3F, 0x00, 0xFF, 0xFF,
                                              0x00, 0x03, 0x21, 0x81, 0x7F, 0x00, 0xFF, 0xFF, 0x00, 0x03, 0x21,
                                              0x82, 0x00, 0x00, 0xFF, 0xFF, 0x00, 0x03, 0x21, 0x82, 0x7F};

constexpr std::array<uint8_t, 48> kClosing15 = {0x00, 0xFF, 0xFF, 0x00, 0x06, 0x11, 0x01, 0xF1, 0x06, 0x00, 0x00, 0x00,
                                                0xFF, 0xFF, 0x00, 0x06, 0x11, 0x01, 0xF1, 0x46, 0x01, 0x3F, 0x00, 0xFF,
                                                0xCB, 0x64, 0x00, 0xFF, 0xFF, 0x00, 0x06, 0x11, 0x01, 0xF1, 0x03, 0x00,
                                                0x7F, 0x00, 0xFF, 0xFF, 0x00, 0x06, 0x11, 0x01, 0xF1, 0x43, 0x01, 0x7F};

struct TwoStreamType {
    uint8_t headerA;
    std::string_view version;
    size_t eventOverhead;  // bytes of a data event after its u16 length, before the piece
    size_t largestPiece;
};

constexpr TwoStreamType kType13{2, "0301", 5, 65530};
constexpr TwoStreamType kType15{1, "0300", 8, 65527};
constexpr TwoStreamType kType16{2, "0300", 9, 65526};
constexpr TwoStreamType kType17{2, "0300", 5, 65530};

const TwoStreamType* TypeOf(int32_t type) {
    switch (type) {
    case 13: return &kType13;
    case 15: return &kType15;
    case 16: return &kType16;
    case 17: return &kType17;
    default: return nullptr;
    }
}

// Bytes of a data event after its u16 length; `channel` 0 is left, 1 right.
void PutDataEventBody(std::vector<uint8_t>& out, int32_t type, int channel, uint32_t sampleRate, uint32_t streamSize) {
    const uint8_t g = sampleRate == 8000 ? 5 : sampleRate == 16000 ? 6 : 0;
    switch (type) {
    case 13:
    case 17: out.insert(out.end(), {0x41, 0x86, static_cast<uint8_t>(channel ? 0x41 : 0x00), g, 0x00}); break;
    case 15:
        out.insert(out.end(), {0x11, 0x01, 0xF0, 0x07, static_cast<uint8_t>(channel), 0x01});
        PutBe16(out, static_cast<uint16_t>(sampleRate));
        break;
    case 16:
        out.insert(out.end(), {0x71, 0x84, static_cast<uint8_t>(channel ? 0x41 : 0x00),
                               static_cast<uint8_t>(sampleRate == 16000 ? 0x0D : 0x05), 0x00, 0x00, 0x00});
        PutBe16(out, static_cast<uint16_t>(streamSize));  // Ph Pl: the low 16 bits of P
        break;
    default: break;
    }
}

}  // namespace

MldFile BuildMldTwoStreamLayout(const MldPreset& row, std::string_view title, std::span<const uint8_t> left,
                                std::span<const uint8_t> right, uint32_t sampleRate, uint32_t codedByteRate) {
    const TwoStreamType* layout = TypeOf(row.type);
    if (!layout) {
        ShowEngineMessage("Error");
        ShowEngineMessage("error2");
        ShowEngineMessage("error3");
        ShowEngineMessage("error5");
        return std::nullopt;
    }
    if (sampleRate == 4000) {
        ShowEngineMessage("4000Hz Stereoの変換は出来ません。");
        return std::nullopt;
    }
    if (codedByteRate == 0) return std::nullopt;
    const uint64_t rate = codedByteRate;
    const uint64_t perChannel = left.size();  // P

    std::vector<uint8_t> track;
    switch (row.type) {
    case 13:
    case 17: PutBytes(track, kHead13); break;
    case 15: PutBytes(track, kHead15); break;
    case 16: {
        uint8_t a = 1, b = 2;
        if (sampleRate == 16000) {
            a = 2;
            b = 4;
        } else if (sampleRate != 8000) {
            ShowEngineMessage("未対応レート");
        }
        track.insert(track.end(), {0x00, 0xFF, 0xFF, 0x00, 0x0E, 0x71, 0x8F, 0x81, 0x01, a, 0x89, 0x01, a, 0x83, 0x01,
                                   b, 0x8B, 0x01, b});
        PutBytes(track, kHead16Rest);
        break;
    }
    }
    if (row.type == 13) PutBytes(track, kExtra13);
    if (row.type == 15) PutBytes(track, kExtra15);
    if (row.type == 17) PutBytes(track, kExtra17);

    const std::array<Bytes, 2> streams = {left, right};
    for (int channel = 0; channel < 2; ++channel) {
        const Bytes piece = streams[channel].first(std::min(streams[channel].size(), layout->largestPiece));
        track.insert(track.end(), {0x00, 0xFF, 0xFF});
        PutBe16(track, static_cast<uint16_t>(piece.size() + layout->eventOverhead));
        PutDataEventBody(track, row.type, channel, sampleRate, static_cast<uint32_t>(perChannel));
        PutBytes(track, piece);
    }

    // W ticks of 5 ms over the whole clip, as n full waits of 255 and a rest x.
    const uint64_t ticks = 2 * perChannel * 200 / rate;
    const uint64_t fullWaits = ticks > 255 ? (ticks - 1) / 255 : 0;
    const auto rest = static_cast<uint8_t>(ticks - 255 * fullWaits);
    const auto p16 = static_cast<uint16_t>(perChannel);
    switch (row.type) {
    case 13:
    case 17: {
        const uint8_t voice = row.type == 13 ? 0x41 : 0x21;
        const uint8_t c = static_cast<uint8_t>((sampleRate == 8000 ? 5 : sampleRate == 16000 ? 6 : 0) | 0x80);
        track.insert(track.end(), {0x00, 0xFF, 0xFF, 0x00, 0x05, voice, 0x86, 0x00, c, 0x00});
        track.insert(track.end(), {0x00, 0xFF, 0xFF, 0x00, 0x05, voice, 0x86, 0x41, c, 0x00});
        PutMldEvent(track, 0x00, 0xFF, 0xDE, 0x00);
        break;
    }
    case 15:
        PutBytes(track, kClosing15);
        for (uint64_t i = 0; i < fullWaits; ++i) PutMldEvent(track, 0xFF, 0xFF, 0xDE, 0x00);
        PutMldEvent(track, rest, 0xFF, 0xDC, 0x00);
        PutMldEvent(track, 0x05, 0xFF, 0xDC, 0x00);
        PutMldEvent(track, 0x00, 0xFF, 0xDE, 0x00);
        break;
    case 16:
        for (uint8_t channelByte : {uint8_t{0x00}, uint8_t{0x41}}) {
            track.insert(track.end(), {0x00, 0xFF, 0xFF, 0x00, 0x09, 0x71, 0x84, channelByte, 0x85, 0x00, 0x00, 0x00});
            PutBe16(track, p16);
        }
        for (uint64_t i = 0; i < fullWaits; ++i) PutMldEvent(track, 0xFF, 0xFF, 0xDE, 0x00);
        PutMldEvent(track, rest, 0xFF, 0xDC, 0x00);
        PutMldEvent(track, 0x00, 0xFF, 0xDE, 0x00);
        break;
    }

    if (row.type == 15 || row.type == 16) {
        PutMldEvent(track, 0x00, 0xFF, 0xDF, 0x00);
    } else {
        const uint64_t waits = perChannel / rate / 2;                               // N from P
        const auto fraction = static_cast<uint8_t>(perChannel * 128 / rate % 256);  // Q from P
        for (uint64_t i = 0; i < waits; ++i) PutMldEvent(track, 0xFF, 0xFF, 0xDE, 0x00);
        PutMldEvent(track, fraction, 0xFF, 0xDF, 0x00);
    }

    return BuildMldTrackFile(layout->headerA, title, layout->version, true, track);
}

}  // namespace kvt
