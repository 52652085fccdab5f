#pragma once
// WAV files of any header for the loader and job tests, and a recording test host.

#include <cmath>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "convert/conversion_host.h"

namespace kvt::testing {

struct WavHeader {
    uint16_t formatTag = 1;
    uint16_t channels = 1;
    uint32_t rate = 8000;
    uint16_t bits = 16;
    uint32_t fmtSize = 16;  // 40 for WAVE_FORMAT_EXTENSIBLE
};

inline void PutLe(std::string& out, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

inline std::string WavBytes(const WavHeader& header, const std::string& data) {
    std::string fmt;
    PutLe(fmt, header.formatTag, 2);
    PutLe(fmt, header.channels, 2);
    PutLe(fmt, header.rate, 4);
    uint32_t blockAlign = header.channels * ((header.bits + 7) / 8);
    PutLe(fmt, header.rate * blockAlign, 4);
    PutLe(fmt, blockAlign, 2);
    PutLe(fmt, header.bits, 2);
    if (header.fmtSize > 16) {
        PutLe(fmt, header.fmtSize - 18, 2);  // extra size
        fmt.resize(header.fmtSize, '\0');
        if (header.fmtSize >= 40) {
            fmt[24] = 1;  // sub-format GUID begins with the PCM tag
        }
    }
    std::string file = "RIFF";
    PutLe(file, static_cast<uint32_t>(4 + 8 + fmt.size() + 8 + data.size()), 4);
    file += "WAVEfmt ";
    PutLe(file, static_cast<uint32_t>(fmt.size()), 4);
    file += fmt;
    file += "data";
    PutLe(file, static_cast<uint32_t>(data.size()), 4);
    file += data;
    return file;
}

// 16-bit samples of a sine (all channels alike) as WAV data bytes.
inline std::string SineData(uint32_t frames, uint16_t channels, uint32_t rate, double hz = 440.0) {
    std::string data;
    for (uint32_t i = 0; i < frames; ++i) {
        auto sample = static_cast<int16_t>(12000 * std::sin(2 * 3.14159265358979 * hz * i / rate));
        for (uint16_t c = 0; c < channels; ++c) PutLe(data, static_cast<uint16_t>(sample), 2);
    }
    return data;
}

// A host that records what the job asks of it.
class TestHost : public ConversionHost {
public:
    void ProgressReset(int total) override { resets.push_back(total); }
    void ProgressStep() override { ++steps; }
    void Repaint() override { ++repaints; }
    bool RunSettingsDialog() override {
        ++dialogRuns;
        if (dialogChoice) dialogChoice(settings.grid);
        return static_cast<bool>(dialogChoice);
    }
    void SaveSettings() override { ++saves; }
    const LoadedInput& Input() const override { return input; }
    Settings& UserSettings() override { return settings; }

    LoadedInput input;
    Settings settings;
    std::function<void(ButtonGrid&)> dialogChoice;  // what the user picks in the dialog
    std::vector<int> resets;
    int steps = 0;
    int repaints = 0;
    int dialogRuns = 0;
    int saves = 0;
};

}  // namespace kvt::testing
