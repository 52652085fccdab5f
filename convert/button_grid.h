#pragma once
// The grid of output choices: three pages (MLD, MMF, 3GP) of 7 rows × 4 columns. It is
// what the settings dialog edits, what setup.ini stores and what the conversion job reads.

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

namespace kvt {

inline constexpr int kGridPages = 3;
inline constexpr int kGridCells = 28;  // cell index = row × 4 + column

enum GridPage : int { kMldPage = 0, kMmfPage = 1, k3gpPage = 2 };

// Cell values.
inline constexpr int32_t kCellOff = 0;
inline constexpr int32_t kCellOn = 1;
inline constexpr int32_t kNoButton = 2;

// Cells with a shared meaning on every page.
inline constexpr int kMonoCell = 3;
inline constexpr int kStereoCell = 7;

// MLD page.
inline constexpr int kMld20KbCell = 18;
inline constexpr int kMld100KbCell = 22;
// MMF page.
inline constexpr int kMmfOutputCell = 0;
// 3GP page.
inline constexpr int k3gpOutputCell = 0;
inline constexpr int k3gpStreamingCell = 2;
inline constexpr int k3g2OutputCell = 4;
inline constexpr int k3gpExternalCell = 6;

struct ButtonGrid {
    std::array<std::array<int32_t, kGridCells>, kGridPages> cells{};

    int32_t& At(int page, int cell) { return cells.at(page).at(cell); }
    int32_t At(int page, int cell) const { return cells.at(page).at(cell); }
    // Any non-zero value counts, as the job has always read the cells.
    bool IsOn(int page, int cell) const { return At(page, cell) != kCellOff; }

    friend bool operator==(const ButtonGrid&, const ButtonGrid&) = default;
};

// The grid before any settings file is read: MONO, the lowest rate and (MLD) "20 KB" on,
// places without a button at 2.
ButtonGrid InitialButtonGrid();

// One MLD handset button: its place, its label and the preset rows it dispatches to.
struct MldHandset {
    int cell;
    std::string_view label;
    int preset;  // row of MldPresetTable
    std::string_view presetName;
    int stereoPreset;  // 0 when the handset has no stereo variant
    std::string_view stereoPresetName;
    std::array<int, 3> stereoRates;  // rates with the stereo variant, 0 = unused slot
};

// The handsets in the order the job converts them.
std::span<const MldHandset> MldHandsets();

// The preset row for `handset` with the given MLD channel setting (1 or 2) and rate.
int MldPresetFor(const MldHandset& handset, int channelSetting, int rate);

// A rate cell and its value (MLD and MMF pages: sampling rate; 3GP page: rate and bit rate).
struct RateCell {
    int cell;
    int rate;
    int bitRate;  // 3GP page only
};

// Rate cells in the order the job evaluates them; the last one on wins.
std::span<const RateCell> RateCells(int page);
// The rates of the page's rate cells, lowest first: the rates the page can choose.
std::vector<int> RatesOf(int page);

// The label of a cell ("N503i", "MONO", "8000Hz" ...); empty for a place without a button.
std::string_view CellLabel(int page, int cell);

}  // namespace kvt
