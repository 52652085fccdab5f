#include "convert/button_grid.h"

#include <algorithm>

namespace kvt {
namespace {

// Places without a button, per page.
constexpr int kMldNoButton[] = {2, 6, 10, 11, 14, 25, 26};
constexpr int kMmfButtons[] = {0, 3, 7, 15, 19, 23};
constexpr int k3gpNoButton[] = {1, 5, 8, 9, 10, 11, 12, 13, 14, 16, 17, 20, 21, 24, 25, 26, 27};

constexpr MldHandset kHandsets[] = {
    {0, "N503i", 1, "n1", 0, "", {}},
    {4, "D503i", 3, "d1", 0, "", {}},
    {8, "P503i", 5, "p1", 13, "p1s", {8000, 16000, 0}},
    {24, "LG", 18, "lg", 0, "", {}},
    {12, "SO505i", 7, "so1", 0, "", {}},
    {16, "SH505i", 9, "sh1", 0, "", {}},
    {20, "SA700i", 11, "san", 0, "", {}},
    {21, "D903i", 12, "93", 14, "93s", {8000, 16000, 32000}},
    {1, "N900i", 2, "n2", 15, "n2s", {8000, 16000, 0}},
    {17, "SH900i", 10, "sh2", 16, "s2s", {8000, 16000, 0}},
    {5, "F503i", 4, "f1", 17, "f1s", {8000, 16000, 0}},
    {9, "P505i", 6, "p2", 0, "", {}},
    {13, "SO505is", 8, "so2", 0, "", {}},
};

constexpr RateCell kMldRates[] = {{15, 4000, 0}, {19, 8000, 0}, {23, 16000, 0}, {27, 32000, 0}};
constexpr RateCell kMmfRates[] = {{15, 4000, 0}, {19, 8000, 0}, {23, 16000, 0}};
constexpr RateCell k3gpRates[] = {
    {15, 8000, 32000}, {18, 32000, 96000}, {19, 16000, 64000}, {22, 44100, 128000}, {23, 24000, 64000},
};

using LabelPage = std::array<std::string_view, kGridCells>;
constexpr LabelPage kMldLabels = {
    "N503i",  "N900i", "",       "MONO",    "D503i", "F503i",  "",       "STEREO",  "P503i", "P505i",
    "",       "",      "SO505i", "SO505is", "",      "4000Hz", "SH505i", "SH900i",  "20 KB", "8000Hz",
    "SA700i", "D903i", "100 KB", "16000Hz", "LG",    "",       "",       "32000Hz",
};
constexpr LabelPage kMmfLabels = {
    "MMF", "",       "", "MONO", "", "",       "", "STEREO", "", "",        "", "", "", "",
    "",    "4000Hz", "", "",     "", "8000Hz", "", "",       "", "16000Hz", "", "", "", "",
};
constexpr LabelPage k3gpLabels = {
    "3GP",    "", "Streaming", "MONO",    "3G2",     "", "External", "STEREO",  "",        "", "", "", "", "", "",
    "8000Hz", "", "",          "32000Hz", "16000Hz", "", "",         "44100Hz", "24000Hz", "", "", "", "",
};

}  // namespace

ButtonGrid InitialButtonGrid() {
    ButtonGrid grid;
    for (int cell : kMldNoButton) grid.At(kMldPage, cell) = kNoButton;
    for (auto& value : grid.cells[kMmfPage]) value = kNoButton;
    for (int cell : kMmfButtons) grid.At(kMmfPage, cell) = kCellOff;
    for (int cell : k3gpNoButton) grid.At(k3gpPage, cell) = kNoButton;

    grid.At(kMldPage, kMonoCell) = kCellOn;
    grid.At(kMldPage, 15) = kCellOn;  // 4000Hz
    grid.At(kMldPage, kMld20KbCell) = kCellOn;
    grid.At(kMmfPage, kMonoCell) = kCellOn;
    grid.At(kMmfPage, 15) = kCellOn;  // 4000Hz
    grid.At(k3gpPage, kMonoCell) = kCellOn;
    grid.At(k3gpPage, 15) = kCellOn;  // 8000Hz
    return grid;
}

std::span<const MldHandset> MldHandsets() {
    return kHandsets;
}

int MldPresetFor(const MldHandset& handset, int channelSetting, int rate) {
    if (handset.stereoPreset != 0 && channelSetting == 2 &&
        std::find(handset.stereoRates.begin(), handset.stereoRates.end(), rate) != handset.stereoRates.end() &&
        rate != 0)
        return handset.stereoPreset;
    return handset.preset;
}

std::span<const RateCell> RateCells(int page) {
    switch (page) {
    case kMldPage: return kMldRates;
    case kMmfPage: return kMmfRates;
    case k3gpPage: return k3gpRates;
    default: return {};
    }
}

std::vector<int> RatesOf(int page) {
    std::vector<int> rates;
    for (const RateCell& cell : RateCells(page)) rates.push_back(cell.rate);
    std::sort(rates.begin(), rates.end());
    return rates;
}

std::string_view CellLabel(int page, int cell) {
    if (cell < 0 || cell >= kGridCells) return {};
    switch (page) {
    case kMldPage: return kMldLabels[cell];
    case kMmfPage: return kMmfLabels[cell];
    case k3gpPage: return k3gpLabels[cell];
    default: return {};
    }
}

}  // namespace kvt
