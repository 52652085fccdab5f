#include "engine/mmf_layout.h"

#include <array>
#include <limits>
#include <string_view>

#include "engine/byte_order.h"
#include "engine/crc16.h"

namespace kvt {
namespace {

// Setup messages of the track: Yamaha exclusive messages naming the device.
constexpr std::array<uint8_t, 17> kMonoSetup = {
    0xF0, 0x06, 0x43, 0x79, 0x06, 0x7F, 0x7F, 0xF7,        //
    0xF0, 0x07, 0x43, 0x79, 0x06, 0x7F, 0x07, 0x01, 0xF7,  //
};
constexpr std::array<uint8_t, 9> kStereoSetup = {0xF0, 0x07, 0x43, 0x79, 0x07, 0x7F, 0x07, 0x01, 0xF7};

constexpr std::string_view kUntitled = "Untitled";
constexpr size_t kStereoOptionalSize = 53;
constexpr size_t kTrackHeadSize = 20;

void WriteMonoOptionalData(std::vector<uint8_t>& out, std::string_view title) {
    PutText(out, "Dch");
    PutU8(out, 0x80);
    PutBe32(out, static_cast<uint32_t>(title.size() + 4));
    PutText(out, "ST");  // song title
    PutBe16(out, static_cast<uint16_t>(title.size()));
    PutText(out, title);
}

void WriteStereoOptionalData(std::vector<uint8_t>& out, uint16_t durationTicks) {
    PutText(out, "Dch");
    PutU8(out, 0xFF);
    PutBe32(out, 25);
    PutText(out, "ES");
    PutBe16(out, 1);
    PutU8(out, 0xF8);
    PutText(out, "A0");
    PutBe16(out, 6);
    PutText(out, "YK11AF");
    PutText(out, "A2");
    PutBe16(out, 6);
    PutText(out, "YK11D3");
    PutText(out, "Pro");
    PutU8(out, 0x05);
    PutBe32(out, 12);
    out.insert(out.end(), 8, 0);
    PutBe32(out, durationTicks);
}

void WriteSequence(std::vector<uint8_t>& out, bool stereo, std::span<const uint8_t> duration) {
    const uint8_t device = stereo ? 0x07 : 0x06;
    const std::array<uint8_t, 25> head = {
        0x00, 0xF0, 0x07, 0x43, 0x79, device, 0x7F, 0x00, 0x7F, 0xF7,  // exclusive: device
        0x00, 0xB0, 0x00, 0x7D,                                        // bank select MSB
        0x00, 0xB0, 0x20, 0x00,                                        // bank select LSB
        0x00, 0xC0, 0x00,                                              // program change
        0x00, 0x90, 0x00, 0x7F,                                        // wave note on
    };
    PutBytes(out, head);
    PutBytes(out, duration);  // gate time of the note
    PutBytes(out, duration);  // delta time of the end event
    PutU8(out, 0xFF);         // end of sequence
    PutU8(out, 0x2F);
    PutU8(out, 0x00);
}

}  // namespace

uint64_t MmfDurationTicks(uint64_t pcmBytes, uint32_t byteRate) {
    return pcmBytes * 250 / byteRate + 1;
}

std::vector<uint8_t> MmfVariableLength(uint32_t x) {
    if (x < 0x80) {
        return {static_cast<uint8_t>(x)};
    }
    if (x < 0x4000) {
        return {static_cast<uint8_t>((x >> 7) | 0x80), static_cast<uint8_t>(x & 0x7F)};
    }
    return {static_cast<uint8_t>(((x >> 14) & 0x7F) | 0x80), static_cast<uint8_t>(((x >> 7) & 0x7F) | 0x80),
            static_cast<uint8_t>(x & 0x7F)};
}

std::optional<std::vector<uint8_t>> BuildMmfImage(const MmfLayout& layout, std::span<const uint8_t> wave) {
    const std::string_view title = layout.title.empty() ? kUntitled : std::string_view(layout.title);
    if (!layout.stereo && title.size() > std::numeric_limits<uint16_t>::max()) {
        return std::nullopt;
    }
    const std::vector<uint8_t> duration = MmfVariableLength(layout.durationTicks);
    const std::span<const uint8_t> setup = layout.stereo ? std::span<const uint8_t>(kStereoSetup) : kMonoSetup;

    const uint64_t lo = layout.stereo ? kStereoOptionalSize : title.size() + 12;
    const uint64_t su = setup.size();
    const uint64_t sq = 28 + 2 * duration.size();
    const uint64_t d = wave.size();
    const uint64_t mmmdLength = lo + su + sq + d + 86;
    if (mmmdLength > std::numeric_limits<uint32_t>::max()) {
        return std::nullopt;
    }

    std::vector<uint8_t> out;
    out.reserve(mmmdLength + 10);
    PutText(out, "MMMD");
    PutBe32(out, static_cast<uint32_t>(mmmdLength));

    PutText(out, "CNTI");  // contents information
    PutBe32(out, 5);
    PutU8(out, 0x00);                         // class
    PutU8(out, layout.stereo ? 0x34 : 0x32);  // type
    PutU8(out, 0x01);                         // code type
    PutU8(out, 0xFC);                         // copy status
    PutU8(out, 0x00);                         // copy count

    PutText(out, "OPDA");  // optional data
    PutBe32(out, static_cast<uint32_t>(lo));
    if (layout.stereo) {
        WriteStereoOptionalData(out, layout.durationTicks);
    } else {
        WriteMonoOptionalData(out, title);
    }

    PutText(out, "MTR");
    PutU8(out, layout.stereo ? 0x06 : 0x05);  // track number
    PutBe32(out, static_cast<uint32_t>(su + sq + d + 55));
    PutU8(out, 0x02);                              // format type
    PutU8(out, 0x00);                              // sequence type
    PutU8(out, 0x02);                              // time base of durations: 4 ms
    PutU8(out, 0x02);                              // time base of gate times: 4 ms
    out.insert(out.end(), kTrackHeadSize - 4, 0);  // channel status

    PutText(out, "Mtsu");  // setup data
    PutBe32(out, static_cast<uint32_t>(su));
    PutBytes(out, setup);

    PutText(out, "Mtsq");  // sequence data
    PutBe32(out, static_cast<uint32_t>(sq));
    WriteSequence(out, layout.stereo, duration);

    PutText(out, "Mtsp");  // stream PCM data
    PutBe32(out, static_cast<uint32_t>(d + 11));
    PutText(out, "Mwa");
    PutU8(out, 0x01);  // wave number
    PutBe32(out, static_cast<uint32_t>(d + 3));
    PutU8(out, layout.stereo ? 0xA0 : 0x20);  // wave type: channels and 4-bit ADPCM
    PutBe16(out, layout.sampleRate);
    PutBytes(out, wave);

    PutBe16(out, Crc16(out));  // CRC-16/GENIBUS of every byte before it
    PutU8(out, 0x1D);
    PutU8(out, 0x0F);
    return out;
}

}  // namespace kvt
