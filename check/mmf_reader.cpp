#include "check/mmf_reader.h"

#include <string>
#include <string_view>

#include "check/sample_decoders.h"
#include "engine/byte_cursor.h"
#include "platform/codepage.h"

namespace kvt {
namespace {

constexpr size_t kTrailerBytes = 2;  // 1D 0F after the MMMD chunk
constexpr size_t kTrackHeadBytes = 20;
constexpr uint32_t kMaxRate = 24000;

bool TagIs(std::span<const uint8_t> bytes, std::string_view tag) {
    return bytes.size() >= tag.size() &&
           std::string_view(reinterpret_cast<const char*>(bytes.data()), tag.size()) == tag;
}

// CRC-16/GENIBUS bit by bit: polynomial 0x1021, start 0xFFFF, result inverted.
uint16_t SmafCrc(std::span<const uint8_t> bytes) {
    uint32_t crc = 0xFFFF;
    for (uint8_t byte : bytes) {
        crc ^= static_cast<uint32_t>(byte) << 8;
        for (int bit = 0; bit < 8; ++bit) crc = (crc & 0x8000) ? ((crc << 1) ^ 0x1021) & 0xFFFF : (crc << 1) & 0xFFFF;
    }
    return static_cast<uint16_t>(crc ^ 0xFFFF);
}

std::optional<uint32_t> VariableLength(ByteCursor& at) {
    uint32_t value = 0;
    for (int i = 0; i < 4; ++i) {
        const auto byte = at.U8();
        if (!byte) return std::nullopt;
        value = (value << 7) | (*byte & 0x7F);
        if (!(*byte & 0x80)) return value;
    }
    return std::nullopt;
}

struct Chunk {
    std::span<const uint8_t> tag;
    ByteCursor body;
};

// The next chunk of `at`: a 4-byte tag and a u32 length. A length past the end is a
// problem; the chunk then takes what is there.
std::optional<Chunk> NextChunk(ByteCursor& at, CheckReport& report, std::string_view where) {
    const size_t offset = at.Offset();
    const auto tag = at.Bytes(4);
    const auto length = at.U32();
    if (!tag || !length) {
        report.Problem(std::string(where) + " at offset " + Num(offset), "a cut chunk header",
                       "8 bytes of tag and length");
        return std::nullopt;
    }
    size_t take = *length;
    if (*length > at.Left()) {
        report.Problem(TagText(*tag) + " length", Num(*length), "at most " + Num(at.Left()) + " (the bytes left)");
        take = at.Left();
    }
    return Chunk{*tag, *at.Sub(take)};
}

struct Wave {
    bool found = false;
    bool stereo = false;
    uint32_t rate = 0;
    std::span<const uint8_t> data;
};

struct Sequence {
    bool found = false;
    std::optional<uint32_t> gate;  // of the wave note
    uint64_t noteStart = 0;
    uint64_t end = 0;  // time of the end-of-sequence event
};

// Delta time, status and data of each event: exclusive F0, note 9n with its velocity and gate time,
// control Bn, program Cn, end of sequence FF 2F 00.
void ReadSequence(ByteCursor body, Sequence& sequence, CheckReport& report) {
    sequence.found = true;
    uint64_t time = 0;
    while (!body.AtEnd()) {
        const size_t offset = body.Offset();
        const auto delta = VariableLength(body);
        const auto status = body.U8();
        if (!delta || !status) {
            report.Problem("Mtsq event at offset " + Num(offset), "cut short", "a whole event");
            return;
        }
        time += *delta;
        const uint32_t kind = *status & 0xF0;
        bool whole = true;
        if (*status == 0xF0) {
            const auto length = VariableLength(body);
            whole = length && body.Bytes(*length);
        } else if (*status == 0xFF) {
            const auto type = body.U8();
            whole = type && body.U8();
            if (whole && *type == 0x2F) {
                sequence.end = time;
                if (!body.AtEnd()) report.Problem("Mtsq", Num(body.Left()) + " bytes after the end event", "none");
                return;
            }
        } else if (kind == 0x90) {
            const auto note = body.U8();
            const auto velocity = body.U8();
            const auto gate = VariableLength(body);
            whole = note && velocity && gate;
            if (whole && !sequence.gate) {
                sequence.gate = *gate;
                sequence.noteStart = time;
            }
        } else if (kind == 0xB0) {
            whole = body.Bytes(2).has_value();
        } else if (kind == 0xC0) {
            whole = body.U8().has_value();
        } else {
            report.Problem("Mtsq event at offset " + Num(offset), "status " + HexText(*status), "F0, FF, 9n, Bn or Cn");
            return;
        }
        if (!whole) {
            report.Problem("Mtsq event at offset " + Num(offset), "cut short", "a whole event");
            return;
        }
    }
    report.Problem("Mtsq end event", "none", "FF 2F 00");
}

void ReadStream(ByteCursor body, Wave& wave, CheckReport& report) {
    auto chunk = NextChunk(body, report, "Mtsp chunk");
    if (!chunk) return;
    if (!TagIs(chunk->tag, "Mwa")) {
        report.Problem("Mtsp content", TagText(chunk->tag), "'Mwa' and a wave number");
        return;
    }
    if (!body.AtEnd()) report.Problem("Mtsp", Num(body.Left()) + " bytes after the wave", "none");
    const auto type = chunk->body.U8();
    const auto rate = chunk->body.U16();
    if (!type || !rate) {
        report.Problem("Mwa", "cut short", "a wave type and a rate");
        return;
    }
    wave.found = true;
    wave.stereo = (*type & 0x80) != 0;
    wave.rate = *rate;
    wave.data = chunk->body.Rest();
    if ((*type & 0x7F) != 0x20) report.Problem("Mwa wave type", HexText(*type), "0x20 (mono) or 0xA0 (stereo)");
    if (*rate == 0 || *rate > kMaxRate) report.Problem("Mwa sampling rate", Num(*rate), "1 to 24000 Hz");
}

void ReadTrack(ByteCursor body, Wave& wave, Sequence& sequence, CheckReport& report) {
    if (!body.Bytes(kTrackHeadBytes)) {
        report.Problem("MTR track head", Num(body.Left()) + " bytes", Num(kTrackHeadBytes) + " bytes");
        return;
    }
    const std::string_view order[] = {"Mtsu", "Mtsq", "Mtsp"};
    size_t next = 0;
    while (!body.AtEnd()) {
        auto chunk = NextChunk(body, report, "MTR chunk");
        if (!chunk) return;
        if (next < std::size(order) && TagIs(chunk->tag, order[next])) {
            if (next == 1) ReadSequence(chunk->body, sequence, report);
            if (next == 2) ReadStream(chunk->body, wave, report);
            ++next;
        } else {
            report.Problem("MTR chunk at offset " + Num(chunk->body.Offset() - 8), TagText(chunk->tag),
                           next < std::size(order) ? "'" + std::string(order[next]) + "'" : std::string("none"));
        }
    }
    for (; next < std::size(order); ++next) report.Problem("'" + std::string(order[next]) + "' chunk", "none", "one");
}

std::string ReadTitle(ByteCursor body, CheckReport& report) {
    std::string title;
    while (!body.AtEnd()) {
        auto chunk = NextChunk(body, report, "OPDA chunk");
        if (!chunk) break;
        if (!TagIs(chunk->tag, "Dch")) continue;
        ByteCursor data = chunk->body;
        while (data.Left() >= 4) {
            const auto tag = data.Bytes(2);
            const auto length = data.U16();
            if (*length > data.Left()) {
                report.Problem("OPDA " + TagText(*tag) + " length", Num(*length), "at most " + Num(data.Left()));
                break;
            }
            const auto text = data.Bytes(*length);
            if (TagIs(*tag, "ST")) title.assign(reinterpret_cast<const char*>(text->data()), text->size());
        }
    }
    return title;
}

// Duration ticks of 4 ms for D coded bytes: floor(PCM bytes × 250 / byte rate) + 1, the
// PCM being 4 D bytes; mod 65536 as the 16-bit fields hold it.
uint32_t ExpectedTicks(uint64_t codedBytes, uint32_t rate, bool stereo) {
    const uint64_t byteRate = static_cast<uint64_t>(rate) * 2 * (stereo ? 2 : 1);
    return static_cast<uint32_t>((codedBytes * 4 * 250 / byteRate + 1) % 65536);
}

bool Near(uint32_t a, uint32_t b) {
    return (a > b ? a - b : b - a) <= 1;
}

}  // namespace

CheckReport ReadMmf(std::span<const uint8_t> file) {
    CheckReport report;
    report.format = "MMF";
    ByteCursor at(file);
    const auto tag = at.Bytes(4);
    const auto length = at.U32();
    if (!tag || !TagIs(*tag, "MMMD") || !length) {
        report.Problem("file", Num(file.size()) + " bytes", "an MMMD chunk");
        return report;
    }
    const size_t expectedLength = file.size() >= 8 + kTrailerBytes ? file.size() - 8 - kTrailerBytes : 0;
    if (*length != expectedLength)
        report.Problem("MMMD length", Num(*length), Num(expectedLength) + " (file size - 10)");
    const size_t contentBytes = std::min<size_t>(*length, at.Left());
    if (contentBytes < 2) {
        report.Problem("MMMD", Num(contentBytes) + " bytes", "chunks and a CRC");
        return report;
    }
    ByteCursor content = *at.Sub(contentBytes - 2);
    const uint16_t storedCrc = static_cast<uint16_t>(*at.U16());
    const uint16_t crc = SmafCrc(file.first(8 + contentBytes - 2));
    if (storedCrc != crc) report.Problem("CRC", HexText(storedCrc), HexText(crc));
    const auto trailer = at.Bytes(kTrailerBytes);
    if (*length == expectedLength && (!trailer || (*trailer)[0] != 0x1D || (*trailer)[1] != 0x0F))
        report.Problem("bytes after MMMD", trailer ? HexText(((*trailer)[0] << 8) | (*trailer)[1]) : "none", "0x1D0F");

    Wave wave;
    Sequence sequence;
    std::string title;
    std::optional<uint32_t> contentsType, trackNumber;
    const std::string_view order[] = {"CNTI", "OPDA", "MTR"};
    size_t next = 0;
    while (!content.AtEnd()) {
        auto chunk = NextChunk(content, report, "MMMD chunk");
        if (!chunk) break;
        if (next < std::size(order) && TagIs(chunk->tag, order[next])) {
            if (next == 0) {
                if (chunk->body.Left() != 5) report.Problem("CNTI length", Num(chunk->body.Left()), "5");
                chunk->body.Skip(1);
                contentsType = chunk->body.U8();
            } else if (next == 1) {
                title = ReadTitle(chunk->body, report);
            } else {
                trackNumber = chunk->tag[3];
                ReadTrack(chunk->body, wave, sequence, report);
            }
            ++next;
        } else {
            report.Problem("MMMD chunk at offset " + Num(chunk->body.Offset() - 8), TagText(chunk->tag),
                           next < std::size(order) ? "'" + std::string(order[next]) + "'" : std::string("none"));
        }
    }
    for (; next < std::size(order); ++next) report.Problem("'" + std::string(order[next]) + "' chunk", "none", "one");
    if (!wave.found) return report;

    const int channels = wave.stereo ? 2 : 1;
    if (contentsType && *contentsType != (wave.stereo ? 0x34u : 0x32u))
        report.Problem("CNTI type", HexText(*contentsType), HexText(wave.stereo ? 0x34 : 0x32));
    if (trackNumber && *trackNumber != (wave.stereo ? 6u : 5u))
        report.Problem("MTR track number", HexText(*trackNumber), HexText(wave.stereo ? 6 : 5));
    if (wave.rate > 0 && wave.rate <= kMaxRate) {
        const uint32_t ticks = ExpectedTicks(wave.data.size(), wave.rate, wave.stereo);
        if (sequence.gate && !Near(*sequence.gate, ticks))
            report.Problem("note gate time", Num(*sequence.gate) + " ticks", Num(ticks) + " ticks of 4 ms");
        if (sequence.gate && sequence.end != sequence.noteStart + *sequence.gate)
            report.Problem("end of sequence", "at tick " + Num(sequence.end),
                           "at tick " + Num(sequence.noteStart + *sequence.gate) + " (the note's end)");
    }
    if (sequence.found && !sequence.gate) report.Problem("wave note", "none", "one note playing the wave");

    std::vector<int16_t> samples = wave.stereo ? DecodeYamahaAdpcmStereo(wave.data) : DecodeWithCodec(1, wave.data);
    report.Fact("rate", Num(wave.rate) + " Hz");
    report.Fact("channels", wave.stereo ? "stereo" : "mono");
    report.Fact("duration", SecondsText(samples.size() / channels, wave.rate));
    report.Fact("title", wave.stereo ? "none (stereo files carry none)" : Cp932ToUtf8(title));
    ReportLevels(report, samples);
    report.audio = {std::move(samples), wave.rate, channels};
    return report;
}

}  // namespace kvt
