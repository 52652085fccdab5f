// Two-stream MLD layout for the stereo types 13, 15, 16, 17: the header, then one "trac"
// chunk of head events, extra events, the left data event and stream, the right data
// event and stream, closing events and tail events. Each channel is one piece.

#include <algorithm>
#include <array>
#include <cstdint>
#include <optional>

#include "engine/byte_order.h"
#include "engine/engine_message.h"
#include "engine/mld_layout.h"
#include "engine/mld_track_file.h"
#include "platform/message.h"

namespace kvt {

namespace {
constexpr std::string_view kUnsupportedRateText = "未対応レート";
constexpr std::string_view kError2Text = "error2";
constexpr std::string_view kError3Text = "error3";
constexpr std::string_view kError5Text = "error5";
constexpr std::string_view kNo4000HzStereoText = "4000Hz Stereoの変換は出来ません。";

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

// The data events' rate byte of types 13 and 17.
uint8_t RateCode(uint32_t sampleRate) {
    return sampleRate == 8000 ? 5 : sampleRate == 16000 ? 6 : 0;
}

enum class DataEvent { Voice, Numbered, Sized };  // types 13 and 17, 15, 16
enum class Closing { Voices, Type15, Sizes };     // types 13 and 17, 15, 16
enum class Tail { EndMark, Waits };

struct TwoStreamType {
    uint8_t headerA;
    std::string_view version;
    bool rateEvent;  // the head opens with an event that carries the rate
    Bytes head;
    Bytes extra;
    DataEvent dataEvent;
    Closing closing;
    uint8_t closingVoice;  // of Closing::Voices
    Tail tail;
};

// Indexed by type - 13; type 14 uses the 0400 layout.
constexpr int32_t kFirstType = 13;
constexpr std::array<std::optional<TwoStreamType>, 5> kTypes = {{
    TwoStreamType{2, "0301", false, kHead13, kExtra13, DataEvent::Voice, Closing::Voices, 0x41, Tail::Waits},
    std::nullopt,
    TwoStreamType{1, "0300", false, kHead15, kExtra15, DataEvent::Numbered, Closing::Type15, 0, Tail::EndMark},
    TwoStreamType{2, "0300", true, kHead16Rest, {}, DataEvent::Sized, Closing::Sizes, 0, Tail::EndMark},
    TwoStreamType{2, "0300", false, kHead13, kExtra17, DataEvent::Voice, Closing::Voices, 0x21, Tail::Waits},
}};

const TwoStreamType* TypeOf(int32_t type) {
    const int32_t index = type - kFirstType;
    if (index < 0 || static_cast<size_t>(index) >= kTypes.size() || !kTypes[index]) return nullptr;
    return &*kTypes[index];
}

// The event that opens type 16's head: its bytes follow the rate.
void PutRateEvent(std::vector<uint8_t>& out, uint32_t sampleRate) {
    uint8_t a = 1, b = 2;
    if (sampleRate == 16000) {
        a = 2;
        b = 4;
    } else if (sampleRate != 8000) {
        ShowMessage(kUnsupportedRateText);
    }
    out.insert(out.end(),
               {0x00, 0xFF, 0xFF, 0x00, 0x0E, 0x71, 0x8F, 0x81, 0x01, a, 0x89, 0x01, a, 0x83, 0x01, b, 0x8B, 0x01, b});
}

// Bytes of a data event after its u16 length; `channel` 0 is left, 1 right.
void PutDataEventBody(std::vector<uint8_t>& out, DataEvent event, int channel, uint32_t sampleRate,
                      uint32_t streamSize) {
    const uint8_t side = channel ? 0x41 : 0x00;
    switch (event) {
    case DataEvent::Voice: out.insert(out.end(), {0x41, 0x86, side, RateCode(sampleRate), 0x00}); break;
    case DataEvent::Numbered:
        out.insert(out.end(), {0x11, 0x01, 0xF0, 0x07, static_cast<uint8_t>(channel), 0x01});
        PutBe16(out, static_cast<uint16_t>(sampleRate));
        break;
    case DataEvent::Sized:
        out.insert(out.end(),
                   {0x71, 0x84, side, static_cast<uint8_t>(sampleRate == 16000 ? 0x0D : 0x05), 0x00, 0x00, 0x00});
        PutBe16(out, static_cast<uint16_t>(streamSize));  // Ph Pl: the low 16 bits of P
        break;
    }
}

// W ticks of 5 ms over the whole clip, as n full waits of 255 and a rest x.
void PutTickWaits(std::vector<uint8_t>& out, uint64_t ticks) {
    const uint64_t fullWaits = ticks > 255 ? (ticks - 1) / 255 : 0;
    for (uint64_t i = 0; i < fullWaits; ++i) PutMldEvent(out, 0xFF, 0xFF, 0xDE, 0x00);
    PutMldEvent(out, static_cast<uint8_t>(ticks - 255 * fullWaits), 0xFF, 0xDC, 0x00);
}

// The events after the streams, up to and with the end of the track. `perChannel` is P.
void PutClosing(std::vector<uint8_t>& out, const TwoStreamType& layout, uint32_t sampleRate, uint64_t perChannel,
                uint64_t rate) {
    const uint64_t ticks = 2 * perChannel * 200 / rate;
    switch (layout.closing) {
    case Closing::Voices: {
        const auto code = static_cast<uint8_t>(RateCode(sampleRate) | 0x80);
        for (uint8_t side : {uint8_t{0x00}, uint8_t{0x41}})
            out.insert(out.end(), {0x00, 0xFF, 0xFF, 0x00, 0x05, layout.closingVoice, 0x86, side, code, 0x00});
        break;
    }
    case Closing::Type15:
        PutBytes(out, kClosing15);
        PutTickWaits(out, ticks);
        PutMldEvent(out, 0x05, 0xFF, 0xDC, 0x00);
        break;
    case Closing::Sizes:
        for (uint8_t side : {uint8_t{0x00}, uint8_t{0x41}}) {
            out.insert(out.end(), {0x00, 0xFF, 0xFF, 0x00, 0x09, 0x71, 0x84, side, 0x85, 0x00, 0x00, 0x00});
            PutBe16(out, static_cast<uint16_t>(perChannel));
        }
        PutTickWaits(out, ticks);
        break;
    }
    PutMldEvent(out, 0x00, 0xFF, 0xDE, 0x00);  // end of track
}

}  // namespace

MldFile BuildMldTwoStreamLayout(const MldPreset& row, std::string_view title, std::span<const uint8_t> left,
                                std::span<const uint8_t> right, uint32_t sampleRate, uint32_t codedByteRate) {
    const TwoStreamType* layout = TypeOf(row.type);
    if (!layout) {
        ShowMessage(kErrorText);
        ShowMessage(kError2Text);
        ShowMessage(kError3Text);
        ShowMessage(kError5Text);
        return std::nullopt;
    }
    if (sampleRate == 4000) {
        ShowMessage(kNo4000HzStereoText);
        return std::nullopt;
    }
    if (codedByteRate == 0) return std::nullopt;
    const uint64_t rate = codedByteRate;
    const uint64_t perChannel = left.size();  // P

    std::vector<uint8_t> track;
    if (layout->rateEvent) PutRateEvent(track, sampleRate);
    PutBytes(track, layout->head);
    PutBytes(track, layout->extra);

    // One data event a channel; its u16 length counts the body and the piece, so the
    // piece is cut to what is left of 0xFFFF after the body.
    const std::array<Bytes, 2> streams = {left, right};
    for (int channel = 0; channel < 2; ++channel) {
        track.insert(track.end(), {0x00, 0xFF, 0xFF});
        const size_t lengthAt = track.size();
        PutBe16(track, 0);
        PutDataEventBody(track, layout->dataEvent, channel, sampleRate, static_cast<uint32_t>(perChannel));
        const size_t body = track.size() - lengthAt - 2;
        PutBytes(track, streams[channel].first(std::min(streams[channel].size(), 0xFFFF - body)));
        SetBe16(std::span(track).subspan(lengthAt), static_cast<uint16_t>(track.size() - lengthAt - 2));
    }

    PutClosing(track, *layout, sampleRate, perChannel, rate);
    if (layout->tail == Tail::EndMark) {
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
