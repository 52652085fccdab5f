#pragma once
// What checking one ringtone file found: what the file is (facts, in the order they are
// reported) and each problem as the field, the value found and the value expected.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kvt {

struct CheckProblem {
    std::string field;
    std::string found;
    std::string expected;
};

// The file's audio as its decoder gave it: interleaved 16-bit samples at the coded rate.
struct DecodedAudio {
    std::vector<int16_t> samples;
    uint32_t rate = 0;
    int channels = 0;
};

struct CheckReport {
    std::string format;  // "MLD", "MMF", "3GP" or "3G2"; empty when the file is none of them
    std::vector<std::pair<std::string, std::string>> facts;
    std::vector<CheckProblem> problems;
    DecodedAudio audio;  // empty when the file held none that decodes

    void Fact(std::string name, std::string value) { facts.emplace_back(std::move(name), std::move(value)); }
    void Problem(std::string field, std::string found, std::string expected) {
        problems.push_back({std::move(field), std::move(found), std::move(expected)});
    }
    bool Sound() const { return !format.empty() && problems.empty(); }
};

// Peak and RMS level (dBFS) and the number of samples at full scale, as facts.
void ReportLevels(CheckReport& report, std::span<const int16_t> samples);
// A number as the report shows it.
inline std::string Num(uint64_t value) {
    return std::to_string(value);
}
// Bytes of a file shown as the characters they are (tags, versions, brands).
inline std::string_view AsText(std::span<const uint8_t> bytes) {
    return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}
// "12.34 s" for `frames` at `rate` Hz.
std::string SecondsText(uint64_t frames, uint32_t rate);
// "0x1F".
std::string HexText(uint32_t value);
// A tag or type for a report: printable characters as they are, others as \xNN, quoted.
std::string TagText(std::span<const uint8_t> bytes);

}  // namespace kvt
