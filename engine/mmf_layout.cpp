#include "engine/mmf_layout.h"

#include <array>
#include <limits>
#include <string_view>

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

// Appends fields in file order; numbers are big-endian.
class ChunkWriter {
public:
    explicit ChunkWriter(size_t capacity) { bytes_.reserve(capacity); }

    void Tag(std::string_view tag) { bytes_.insert(bytes_.end(), tag.begin(), tag.end()); }
    void U8(uint8_t value) { bytes_.push_back(value); }
    void U16(uint16_t value) {
        bytes_.push_back(static_cast<uint8_t>(value >> 8));
        bytes_.push_back(static_cast<uint8_t>(value));
    }
    void U32(uint32_t value) {
        U16(static_cast<uint16_t>(value >> 16));
        U16(static_cast<uint16_t>(value));
    }
    void Bytes(std::span<const uint8_t> data) { bytes_.insert(bytes_.end(), data.begin(), data.end()); }
    void Zeros(size_t count) { bytes_.insert(bytes_.end(), count, 0); }

    size_t Size() const { return bytes_.size(); }
    std::vector<uint8_t>& Image() { return bytes_; }

private:
    std::vector<uint8_t> bytes_;
};

std::span<const uint8_t> AsBytes(std::string_view text) {
    return {reinterpret_cast<const uint8_t*>(text.data()), text.size()};
}

void WriteMonoOptionalData(ChunkWriter& out, std::string_view title) {
    out.Tag("Dch");
    out.U8(0x80);
    out.U32(static_cast<uint32_t>(title.size() + 4));
    out.Tag("ST");  // song title
    out.U16(static_cast<uint16_t>(title.size()));
    out.Bytes(AsBytes(title));
}

void WriteStereoOptionalData(ChunkWriter& out, uint16_t durationTicks) {
    out.Tag("Dch");
    out.U8(0xFF);
    out.U32(25);
    out.Tag("ES");
    out.U16(1);
    out.U8(0xF8);
    out.Tag("A0");
    out.U16(6);
    out.Tag("YK11AF");
    out.Tag("A2");
    out.U16(6);
    out.Tag("YK11D3");
    out.Tag("Pro");
    out.U8(0x05);
    out.U32(12);
    out.Zeros(8);
    out.U32(durationTicks);
}

void WriteSequence(ChunkWriter& out, bool stereo, std::span<const uint8_t> duration) {
    const uint8_t device = stereo ? 0x07 : 0x06;
    const std::array<uint8_t, 25> head = {
        0x00, 0xF0, 0x07, 0x43, 0x79, device, 0x7F, 0x00, 0x7F, 0xF7,  // exclusive: device
        0x00, 0xB0, 0x00, 0x7D,                                        // bank select MSB
        0x00, 0xB0, 0x20, 0x00,                                        // bank select LSB
        0x00, 0xC0, 0x00,                                              // program change
        0x00, 0x90, 0x00, 0x7F,                                        // wave note on
    };
    out.Bytes(head);
    out.Bytes(duration);  // gate time of the note
    out.Bytes(duration);  // delta time of the end event
    out.U8(0xFF);         // end of sequence
    out.U8(0x2F);
    out.U8(0x00);
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

    ChunkWriter out(mmmdLength + 10);
    out.Tag("MMMD");
    out.U32(static_cast<uint32_t>(mmmdLength));

    out.Tag("CNTI");  // contents information
    out.U32(5);
    out.U8(0x00);                           // class
    out.U8(layout.stereo ? 0x34 : 0x32);    // type
    out.U8(0x01);                           // code type
    out.U8(0xFC);                           // status
    out.U8(0x00);                           // counts

    out.Tag("OPDA");  // optional data
    out.U32(static_cast<uint32_t>(lo));
    if (layout.stereo) {
        WriteStereoOptionalData(out, layout.durationTicks);
    } else {
        WriteMonoOptionalData(out, title);
    }

    out.Tag("MTR");
    out.U8(layout.stereo ? 0x06 : 0x05);  // track number
    out.U32(static_cast<uint32_t>(su + sq + d + 55));
    out.U8(0x02);  // format type
    out.U8(0x00);  // sequence type
    out.U8(0x02);  // time base of durations: 4 ms
    out.U8(0x02);  // time base of gate times: 4 ms
    out.Zeros(kTrackHeadSize - 4);  // channel status

    out.Tag("Mtsu");  // setup data
    out.U32(static_cast<uint32_t>(su));
    out.Bytes(setup);

    out.Tag("Mtsq");  // sequence data
    out.U32(static_cast<uint32_t>(sq));
    WriteSequence(out, layout.stereo, duration);

    out.Tag("Mtsp");  // stream PCM data
    out.U32(static_cast<uint32_t>(d + 11));
    out.Tag("Mwa");
    out.U8(0x01);  // wave number
    out.U32(static_cast<uint32_t>(d + 3));
    out.U8(layout.stereo ? 0xA0 : 0x20);  // wave type: channels and 4-bit ADPCM
    out.U16(layout.sampleRate);
    out.Bytes(wave);

    out.U16(Crc16(out.Image()));
    out.U8(0x1D);
    out.U8(0x0F);
    return std::move(out.Image());
}

}  // namespace kvt
