#include "app/settings_dialog/settings_dialog.h"

#include <gtest/gtest.h>

#include <set>

#include "app/settings_dialog/settings_dialog_layout.h"
#include "settings_dialog_driver.h"

namespace kvt {
namespace {

using namespace settings_dialog;
using namespace testing;

TEST(SettingsDialog, HandsetLabelsAreGreyWhereThePresetRefusesTheChosenRate) {
    struct Case {
        int rateCell;
        std::set<int> blackHandsets;
    };
    const Case cases[] = {
        {27, {1, 17, 21}},                                 // 32000 Hz: N900i, SH900i, D903i
        {15, {0, 1, 4, 5, 8, 9, 12, 13, 16, 17, 20, 21}},  // 4000 Hz: all but LG
        {-1, {}},                                          // no rate chosen: every handset
    };
    for (const Case& c : cases) {
        DialogDriver d;
        Settings settings;
        for (int rate : {15, 19, 23, 27}) settings.grid.At(kMldPage, rate) = rate == c.rateCell ? kCellOn : kCellOff;
        d.dialog.Model().Open(settings);
        const QImage& image = d.dialog.RenderBackBuffer();
        for (const MldHandset& handset : MldHandsets()) {
            const int darkest = DarkestIn(image, CellRect(handset.cell));
            if (c.blackHandsets.count(handset.cell))
                EXPECT_LT(darkest, 60) << handset.label;
            else
                EXPECT_EQ(darkest, 153) << handset.label;
        }
        EXPECT_LT(DarkestIn(image, CellRect(kMonoCell)), 60);
    }
}

TEST(SettingsDialog, PageAndLitTabPersistAcrossOpenings) {
    DialogDriver d;
    Settings settings;
    EXPECT_FALSE(d.Exec(settings, [&] {
        d.Click(kTabRects[kMmfPage]);
        d.Click(kCloseButton);
    }));
    QImage reopened;
    EXPECT_FALSE(d.Exec(settings, [&] {
        reopened = d.dialog.RenderBackBuffer();
        d.Click(kCloseButton);
    }));
    auto tabCorner = [&](int page) { return reopened.pixel(kTabRects[page].left + 4, kTabRects[page].top + 2); };
    EXPECT_EQ(tabCorner(kMmfPage), kOnLook);
    EXPECT_EQ(tabCorner(kMldPage), kOffLook);
    // The MMF page's cells: "MMF" at 0 and "MONO" at 3 with their looks, the background at 1.
    auto cellCorner = [&](int cell) { return reopened.pixel(CellRect(cell).left + 1, CellRect(cell).top + 1); };
    EXPECT_EQ(cellCorner(0), kOffLook);
    EXPECT_EQ(cellCorner(kMonoCell), kOnLook);
    EXPECT_EQ(cellCorner(1), kBackground);
}

}  // namespace
}  // namespace kvt
