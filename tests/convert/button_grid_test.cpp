#include "convert/button_grid.h"

#include <gtest/gtest.h>

#include "engine/mld_preset_table.h"

namespace kvt {
namespace {

TEST(ButtonGrid, InitialGridMarksExactlyThePlacesWithoutAButton) {
    ButtonGrid grid = InitialButtonGrid();
    for (int page = 0; page < kGridPages; ++page)
        for (int cell = 0; cell < kGridCells; ++cell)
            EXPECT_EQ(grid.At(page, cell) == kNoButton, CellLabel(page, cell).empty())
                << "page " << page << " cell " << cell << " label " << CellLabel(page, cell);
}

TEST(ButtonGrid, InitialGridHasMonoTheLowestRateAndTwentyKilobytesOn) {
    ButtonGrid grid = InitialButtonGrid();
    struct OnCell {
        int page;
        int cell;
        std::string_view label;
    };
    const OnCell on[] = {
        {kMldPage, 3, "MONO"},    {kMldPage, 15, "4000Hz"}, {kMldPage, 18, "20 KB"},  {kMmfPage, 3, "MONO"},
        {kMmfPage, 15, "4000Hz"}, {k3gpPage, 3, "MONO"},    {k3gpPage, 15, "8000Hz"},
    };
    int onCount = 0;
    for (const auto& row : grid.cells)
        for (int32_t value : row) onCount += value == kCellOn;
    EXPECT_EQ(onCount, 7);
    for (const OnCell& cell : on) {
        EXPECT_EQ(grid.At(cell.page, cell.cell), kCellOn) << cell.label;
        EXPECT_EQ(CellLabel(cell.page, cell.cell), cell.label);
    }
}

TEST(ButtonGrid, HandsetButtonsNameTheirPresetRows) {
    ASSERT_EQ(MldHandsets().size(), 13u);
    for (const MldHandset& handset : MldHandsets()) {
        EXPECT_EQ(CellLabel(kMldPage, handset.cell), handset.label);
        EXPECT_EQ(MldPresetTable.at(handset.preset).name, handset.presetName);
        EXPECT_FALSE(IsStereoMldType(handset.preset)) << handset.label;
        if (handset.stereoPreset == 0) continue;
        EXPECT_EQ(MldPresetTable.at(handset.stereoPreset).name, handset.stereoPresetName);
        EXPECT_TRUE(IsStereoMldType(handset.stereoPreset)) << handset.label;
    }
}

const MldHandset& Handset(std::string_view label) {
    for (const MldHandset& handset : MldHandsets())
        if (handset.label == label) return handset;
    throw std::logic_error("no such handset");
}

TEST(ButtonGrid, StereoVariantOnlyWithStereoAtItsRates) {
    struct Case {
        std::string_view label;
        int channels;
        int rate;
        int preset;
    };
    const Case cases[] = {
        {"N900i", 2, 8000, 15}, {"N900i", 2, 16000, 15},  {"N900i", 2, 4000, 2},  {"N900i", 2, 32000, 2},
        {"N900i", 1, 8000, 2},  {"P503i", 2, 8000, 13},   {"P503i", 2, 4000, 5},  {"D903i", 2, 32000, 14},
        {"D903i", 2, 4000, 12}, {"SH900i", 2, 16000, 16}, {"F503i", 2, 8000, 17}, {"N503i", 2, 8000, 1},
        {"LG", 2, 8000, 18},    {"N900i", 2, 0, 2},
    };
    for (const Case& c : cases)
        EXPECT_EQ(MldPresetFor(Handset(c.label), c.channels, c.rate), c.preset)
            << c.label << " channels " << c.channels << " rate " << c.rate;
}

}  // namespace
}  // namespace kvt
