#include "check/check_report.h"

#include <cmath>
#include <cstdio>

namespace kvt {

void ReportLevels(CheckReport& report, std::span<const int16_t> samples) {
    if (samples.empty()) {
        report.Fact("level", "no samples");
        return;
    }
    int32_t peak = 0;
    double sum = 0;
    uint64_t clipped = 0;
    for (int16_t sample : samples) {
        const int32_t magnitude = std::abs(static_cast<int32_t>(sample));
        peak = std::max(peak, magnitude);
        sum += static_cast<double>(sample) * sample;
        if (sample >= 32767 || sample <= -32767) ++clipped;
    }
    auto decibels = [](double value) { return value > 0 ? 20 * std::log10(value / 32768.0) : -INFINITY; };
    const double rms = std::sqrt(sum / static_cast<double>(samples.size()));
    char text[96];
    std::snprintf(text, sizeof text, "peak %.1f dBFS, RMS %.1f dBFS", decibels(peak), decibels(rms));
    report.Fact("level", text);
    if (clipped == 0) {
        report.Fact("clipping", "none");
    } else {
        std::snprintf(text, sizeof text, "%llu samples at full scale (%.2f%%)",
                      static_cast<unsigned long long>(clipped),
                      100.0 * static_cast<double>(clipped) / static_cast<double>(samples.size()));
        report.Fact("clipping", text);
    }
}

std::string SecondsText(uint64_t frames, uint32_t rate) {
    char text[32];
    std::snprintf(text, sizeof text, "%.2f s", rate == 0 ? 0.0 : static_cast<double>(frames) / rate);
    return text;
}

std::string HexText(uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%02X", value);
    return text;
}

std::string TagText(std::span<const uint8_t> bytes) {
    std::string text = "'";
    for (uint8_t byte : bytes) {
        if (byte >= 0x20 && byte < 0x7F) {
            text.push_back(static_cast<char>(byte));
        } else {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", byte);
            text += escaped;
        }
    }
    return text + "'";
}

}  // namespace kvt
