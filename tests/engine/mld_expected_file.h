#pragma once
// The MLD file a handset row should produce, assembled in the tests from the layout
// tables (event templates with named fields), independently of the writer's code.

#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "engine/byte_order.h"
#include "engine_test_support.h"

namespace kvt::testing {

using Fields = std::map<std::string, std::vector<uint8_t>>;

// Hex text in which "{name}" stands for the bytes of a field.
inline std::vector<uint8_t> Fill(std::string_view pattern, const Fields& fields) {
    std::vector<uint8_t> out;
    size_t at = 0;
    while (at < pattern.size()) {
        const size_t open = pattern.find('{', at);
        const auto literal =
            Hex(pattern.substr(at, open == std::string_view::npos ? std::string_view::npos : open - at));
        out.insert(out.end(), literal.begin(), literal.end());
        if (open == std::string_view::npos) break;
        const size_t close = pattern.find('}', open);
        const auto& value = fields.at(std::string(pattern.substr(open + 1, close - open - 1)));
        out.insert(out.end(), value.begin(), value.end());
        at = close + 1;
    }
    return out;
}

inline std::vector<uint8_t> B(uint64_t value) {
    return {static_cast<uint8_t>(value)};
}
inline std::vector<uint8_t> Be16(uint64_t value) {
    std::vector<uint8_t> out;
    PutBe16(out, static_cast<uint16_t>(value));
    return out;
}
inline std::vector<uint8_t> Be32(uint64_t value) {
    std::vector<uint8_t> out;
    PutBe32(out, static_cast<uint32_t>(value));
    return out;
}

inline void Append(std::vector<uint8_t>& out, const std::vector<uint8_t>& bytes) {
    out.insert(out.end(), bytes.begin(), bytes.end());
}
inline void Append(std::vector<uint8_t>& out, std::span<const uint8_t> bytes) {
    out.insert(out.end(), bytes.begin(), bytes.end());
}

struct OneTrackRow {
    int a;
    const char* version;
    bool note;
    const char* head;
    const char* dataEvent;  // after the u16 length
    size_t largest;         // 0: type 18's single piece of D - 5 bytes
    bool many;
    const char* closing;  // nullptr: type 2's per-piece closing
    enum { Repeat11, Repeat31, EndOnly, Waits } tail;
};

#define H8 "00FFD000 00FFCA80 "
inline const std::map<int, OneTrackRow> kOneTrackRows = {
    {1, {1, "0200", false, H8, "11F00201{f}", 65530, false, "00FFDE00", OneTrackRow::Repeat11}},
    {2, {1, "0300", false, H8, "1101F007{k}01{RR}", 65504, true, nullptr, OneTrackRow::EndOnly}},
    {3, {1, "0200", false, H8, "618300{rc}{cont}", 65530, true, "00FFDE00", OneTrackRow::Waits}},
    {4, {1, "0300", false, H8, "218300{rc}{cont}", 65530, true, "00FFDE00", OneTrackRow::Waits}},
    {5, {1, "0200", false, H8, "41{m}00{rc}{cont}", 65530, true, "00FFDE00", OneTrackRow::Waits}},
    {6, {1, "0300", false, H8 "00FFFF0003 41813F", "418400{rc}{cont}{S}", 65526, true, "00FFDE00", OneTrackRow::Waits}},
    {7, {1, "0300", false, H8, "3110070001{RR}", 65528, false, "00FFFF0005 3110090064", OneTrackRow::Repeat31}},
    {8, {1, "0300", false, H8 "00FFFF0003 31813F", "318400{rc}{cont}{S}", 65526, true, "00FFDE00", OneTrackRow::Waits}},
    {9, {1, "0300", false, H8 "00FFFF0003 71813F", "718300{rc}{cont}", 65530, true, "00FFDE00", OneTrackRow::Waits}},
    {10,
     {1, "0300", false, H8 "00FFFF000E 718F81 010189 010183 01018B 0101 00FFFF0003 71813F", "718400{rc}{cont}{S}",
      65526, true, "00FFDE00", OneTrackRow::Waits}},
    {11, {1, "0300", false, H8, "818300{rc}00", 65530, false, "00FFDE00", OneTrackRow::Waits}},
    {18,
     {2, "0301", true, "00FFD000 00FFCB64 00FFB07F 00FFFF0006 F108000F813F 00FFFF0006 F108000F8220",
      "F108000F8800{g}00", 0, false, "00FFFF0008 F108000F88008500 {d}FFDC00", OneTrackRow::Waits}},
};
#undef H8

struct TwoStreamRow {
    int a;
    const char* version;
    const char* head;
    const char* left;
    const char* right;
    size_t largest;
    const char* closing;  // "{waits}" stands for n events FF FF DE 00
    bool waitTail;        // N × FF FF DE 00 then Q FF DF 00; else 00 FF DF 00
};

inline const std::map<int, TwoStreamRow> kTwoStreamRows = {
    {13,
     {2, "0301", "00FFC232 00FFB07F 00FFFF0003 41813F 00FFFF0003 41817F 00FFFF0003 418000 00FFFF0003 41807F",
      "418600{g}00", "418641{g}00", 65530, "00FFFF0005 418600{c}00 00FFFF0005 418641{c}00 00FFDE00", true}},
    {15,
     {1, "0300", "00FFFF0005 1101F30300 00FFFF0005 1101F30402 00FFB07F", "1101F0070001{RR}", "1101F0070101{RR}", 65527,
      "00FFFF0006 1101F1060000 00FFFF0006 1101F146013F 00FFCB64 00FFFF0006 1101F103007F "
      "00FFFF0006 1101F143017F {waits} {x}FFDC00 05FFDC00 00FFDE00",
      false}},
    {16,
     {2, "0300",
      "00FFFF000E 718F8101{a} 8901{a} 8301{b} 8B01{b} 00FFD000 00FFCB64 00FFB07F "
      "00FFFF0003 71813F 00FFFF0003 71817F 00FFFF0003 718200 00FFFF0003 71827F",
      "718400{r}000000{P}", "718441{r}000000{P}", 65526,
      "00FFFF0009 718400 85000000{P} 00FFFF0009 718441 85000000{P} {waits} {x}FFDC00 00FFDE00", false}},
    {17,
     {2, "0300", "00FFC232 00FFB07F 00FFFF0003 21813F 00FFFF0003 21817F 00FFFF0003 218200 00FFFF0003 21827F",
      "418600{g}00", "418641{g}00", 65530, "00FFFF0005 218600{c}00 00FFFF0005 218641{c}00 00FFDE00", true}},
};

inline std::vector<uint8_t> ExpectedHeader(int a, std::string_view title, const char* version, bool note) {
    std::vector<uint8_t> out = Hex("6D656C6F 00000000 0000");
    Append(out, B(a));
    Append(out, Hex("0101 736F7263 0001 00 7469746C"));
    Append(out, Be16(title.size()));
    Append(out, std::vector<uint8_t>(title.begin(), title.end()));
    Append(out, Hex("76657273 0004"));
    Append(out, std::vector<uint8_t>(version, version + 4));
    if (note) Append(out, Hex("6E6F7465 0002 0001"));
    return out;
}

// Sets the header length and file length fields of a finished expectation.
inline void SetLengths(std::vector<uint8_t>& file, size_t headerEnd) {
    SetBe16(std::span(file).subspan(8), static_cast<uint16_t>(headerEnd - 10));
    SetBe32(std::span(file).subspan(4), static_cast<uint32_t>(file.size() - 8));
}

inline void PutTrac(std::vector<uint8_t>& file, const std::vector<uint8_t>& track) {
    Append(file, Hex("74726163"));
    Append(file, Be32(track.size()));
    Append(file, track);
}

inline std::vector<uint8_t> ExpectedOneTrack(int type, std::string_view title, std::span<const uint8_t> stream,
                                             uint32_t rate, uint64_t R) {
    const OneTrackRow& row = kOneTrackRows.at(type);
    const uint64_t D = stream.size();
    uint8_t rc = rate == 4000               ? 0x44
                 : rate == 8000             ? 0x45
                 : rate == 32000            ? 0x55
                 : (type == 4 || type == 5) ? 0x46
                                            : 0x4D;
    Fields f = {{"f", B(rate == 8000 || rate == 16000)},
                {"RR", Be16(rate)},
                {"rc", B(rc)},
                {"m", B(rate == 16000 ? 0x86 : 0x83)},
                {"g", B(rate == 8000    ? 5
                        : rate == 16000 ? 6
                                        : 0)},
                {"d", B(D * 200 / R)}};
    std::vector<std::span<const uint8_t>> pieces;
    if (row.largest == 0) {
        pieces.push_back(stream.first(D - 5));
    } else {
        size_t at = 0;
        do {
            pieces.push_back(stream.subspan(at, std::min<size_t>(row.largest, D - at)));
            at += pieces.back().size();
        } while (row.many && at < D);
    }
    std::vector<uint8_t> track = Hex(row.head);
    for (size_t k = 0; k < pieces.size(); ++k) {
        f["k"] = B(k);
        f["cont"] = B(k + 1 < pieces.size());
        f["S"] = Be32(k == 0 ? D : 0);
        const auto event = Fill(row.dataEvent, f);
        Append(track, Hex("00FFFF"));
        Append(track, Be16(event.size() + pieces[k].size()));
        Append(track, event);
        Append(track, pieces[k]);
    }
    if (row.closing) {
        Append(track, Fill(row.closing, f));
    } else {
        for (size_t k = 0; k < pieces.size(); ++k) {
            Append(track, Hex("00FFFF0006 1101F1"));
            Append(track, B(k % 2 ? 0x43 : 0x03));
            Append(track, B(k));
            Append(track, Hex("7F"));
            for (uint64_t w = pieces[k].size() * 128 / R; w > 0; w -= std::min<uint64_t>(w, 255)) {
                Append(track, B(std::min<uint64_t>(w, 255)));
                Append(track, Hex("FFDE00"));
            }
        }
    }
    const uint64_t N = D / R / 2;
    const uint64_t Q = D * 128 / R % 256;
    if (row.tail == OneTrackRow::Repeat11 || row.tail == OneTrackRow::Repeat31) {
        for (uint64_t i = 0; i <= N; ++i) {
            Append(track, B(i == 0 ? 0 : 0xFE));
            Append(track, Hex("FFFF0005"));
            Append(track, B(row.tail == OneTrackRow::Repeat11 ? 0x11 : 0x31));
            Append(track, Hex("F12001"));
            Append(track, B(i == N ? Q : 0xFF));
        }
        Append(track, B(Q));
        Append(track, Hex("FFDF00"));
    } else if (row.tail == OneTrackRow::EndOnly) {
        Append(track, Hex("00FFDF00"));
    } else {
        for (uint64_t i = 0; i < N; ++i) Append(track, Hex("FFFFDE00"));
        Append(track, B(Q));
        Append(track, Hex("FFDF00"));
    }
    std::vector<uint8_t> file = ExpectedHeader(row.a, title, row.version, row.note);
    const size_t headerEnd = file.size();
    PutTrac(file, track);
    SetLengths(file, headerEnd);
    return file;
}

inline std::vector<uint8_t> ExpectedTwoStream(int type, std::string_view title, std::span<const uint8_t> left,
                                              std::span<const uint8_t> right, uint32_t rate, uint64_t R) {
    const TwoStreamRow& row = kTwoStreamRows.at(type);
    const uint64_t P = left.size();
    const uint64_t W = 2 * P * 200 / R;
    const uint64_t n = W > 255 ? (W - 1) / 255 : 0;
    std::vector<uint8_t> waits;
    for (uint64_t i = 0; i < n; ++i) Append(waits, Hex("FFFFDE00"));
    const uint8_t g = rate == 8000 ? 5 : rate == 16000 ? 6 : 0;
    const Fields f = {{"g", B(g)},
                      {"c", B(g | 0x80)},
                      {"RR", Be16(rate)},
                      {"a", B(rate == 16000 ? 2 : 1)},
                      {"b", B(rate == 16000 ? 4 : 2)},
                      {"r", B(rate == 16000 ? 0x0D : 0x05)},
                      {"P", Be16(P)},
                      {"waits", waits},
                      {"x", B(W - 255 * n)}};
    std::vector<uint8_t> track = Fill(row.head, f);
    for (const auto& [pattern, stream] : {std::pair{row.left, left}, std::pair{row.right, right}}) {
        const auto event = Fill(pattern, f);
        const auto piece = stream.first(std::min<size_t>(stream.size(), row.largest));
        Append(track, Hex("00FFFF"));
        Append(track, Be16(event.size() + piece.size()));
        Append(track, event);
        Append(track, piece);
    }
    Append(track, Fill(row.closing, f));
    if (row.waitTail) {
        for (uint64_t i = 0; i < P / R / 2; ++i) Append(track, Hex("FFFFDE00"));
        Append(track, B(P * 128 / R % 256));
        Append(track, Hex("FFDF00"));
    } else {
        Append(track, Hex("00FFDF00"));
    }
    std::vector<uint8_t> file = ExpectedHeader(row.a, title, row.version, true);
    const size_t headerEnd = file.size();
    PutTrac(file, track);
    SetLengths(file, headerEnd);
    return file;
}

inline std::vector<uint8_t> ExpectedV4(std::string_view title, std::span<const uint8_t> stream, uint32_t recordedRate,
                                       uint64_t ticks, bool stereo) {
    std::vector<uint8_t> file = ExpectedHeader(1, title, "0400", true);
    const bool wide = recordedRate == 16000 || recordedRate == 32000;
    Append(file, Hex("65787374 0002 0001 61696E66 000B 0101810006"));
    Append(file, Hex(wide ? "201020201020" : "100810100810"));
    const size_t headerEnd = file.size();
    Append(file, Hex("61646174"));
    Append(file, Be32(stream.size() + 14));
    Append(file, Hex("000B8100 6164706D 0003"));
    Append(file, B(recordedRate == 16000 ? 0x10 : recordedRate == 32000 ? 0x20 : 8));
    Append(file, B(recordedRate == 4000 ? 2 : 4));
    Append(file, B(stereo ? 2 : 1));
    Append(file, Hex("FF"));
    Append(file, stream);
    Append(file, Hex("74726163 00000025 00FFD000 00FFCB64 00FFB07F 007F803F 007F8120 007F00003F"));
    Append(file, B(ticks % 256));
    Append(file, Hex("FFDC"));
    Append(file, B(ticks / 256));
    Append(file, Hex("00FFD001 00FFDF00"));
    SetLengths(file, headerEnd);
    return file;
}

}  // namespace kvt::testing
