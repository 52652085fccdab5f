#include "app/settings_dialog/settings_dialog_model.h"

#include <gtest/gtest.h>

#include <vector>

#include "app/settings_dialog/settings_dialog_layout.h"
#include "platform/dialogs.h"
#include "platform/message.h"

namespace kvt {
namespace {

using namespace settings_dialog;
using Ending = SettingsDialogModel::Ending;

SkinRect Centre(const SkinRect& rect) {
    const int x = (rect.left + rect.right) / 2;
    const int y = (rect.top + rect.bottom) / 2;
    return {x, y, x, y};
}

Ending Click(SettingsDialogModel& model, const SkinRect& rect) {
    const SkinRect at = Centre(rect);
    model.LeftButtonDown(at.left, at.top);
    return model.LeftButtonUp(at.left, at.top);
}

struct Fixture {
    Settings settings;
    SettingsDialogModel model;
    MessageRecorder messages;
    Fixture() { model.Open(settings); }
    void ShowPage(int page) { Click(model, kTabRects[page]); }
    void PressCell(int cell) { Click(model, CellRect(cell)); }
};

TEST(SettingsDialogModel, AGroupCellPressedStaysTheOnlyOneOnInItsGroup) {
    struct Group {
        int page;
        std::vector<int> cells;
    };
    const Group groups[] = {
        {kMldPage, {15, 19, 23, 27}}, {kMldPage, {18, 22}}, {kMldPage, {3, 7}},
        {kMmfPage, {15, 19, 23}},     {kMmfPage, {3, 7}},   {k3gpPage, {15, 18, 19, 22, 23}},
        {k3gpPage, {3, 7}},
    };
    for (const Group& group : groups) {
        Fixture f;
        f.ShowPage(group.page);
        for (int pressed : group.cells) {
            for (int repeat = 0; repeat < 2; ++repeat) {  // pressing an "on" cell keeps it on
                f.PressCell(pressed);
                for (int cell : group.cells)
                    EXPECT_EQ(f.model.Grid().At(group.page, cell), cell == pressed ? kCellOn : kCellOff)
                        << "page " << group.page << " pressed " << pressed << " cell " << cell;
            }
        }
    }
}

TEST(SettingsDialogModel, FreeCellsToggleAndTwoPressesLeaveThemOff) {
    struct Case {
        int page;
        int cell;
    };
    const Case cases[] = {
        {kMldPage, 0},  {kMldPage, 1},  {kMldPage, 4},  {kMldPage, 5},  {kMldPage, 8},  {kMldPage, 9},
        {kMldPage, 12}, {kMldPage, 13}, {kMldPage, 16}, {kMldPage, 17}, {kMldPage, 20}, {kMldPage, 21},
        {kMldPage, 24}, {kMmfPage, 0},  {k3gpPage, 0},  {k3gpPage, 2},  {k3gpPage, 4},  {k3gpPage, 6},
    };
    for (const Case& c : cases) {
        Fixture f;
        f.ShowPage(c.page);
        f.PressCell(c.cell);
        EXPECT_EQ(f.model.Grid().At(c.page, c.cell), kCellOn) << c.page << "/" << c.cell;
        f.PressCell(c.cell);
        EXPECT_EQ(f.model.Grid().At(c.page, c.cell), kCellOff) << c.page << "/" << c.cell;
    }
}

TEST(SettingsDialogModel, PlacesWithoutALabelHaveNoButtonEvenWithAValueOfZero) {
    Fixture f;
    f.settings.grid.At(kMmfPage, 5) = kCellOff;  // what a setup.ini with a missing key gives
    f.model.Open(f.settings);
    f.ShowPage(kMmfPage);
    const ButtonGrid before = f.model.Grid();
    for (int cell : {1, 2, 4, 5, 6, 10, 27}) f.PressCell(cell);
    EXPECT_EQ(f.model.Grid(), before);
    EXPECT_FALSE(f.model.HasButton(5));
    EXPECT_TRUE(f.model.HasButton(0));
}

TEST(SettingsDialogModel, LgNoticeOnEveryPressThatSwitchesLgOnAndNeverOnSwitchingOff) {
    Fixture f;
    f.PressCell(24);
    EXPECT_EQ(f.messages.Texts(), std::vector<std::string>{std::string(kLgNoticeText)});
    f.PressCell(0);   // another handset while LG is on
    f.PressCell(24);  // off
    EXPECT_EQ(f.messages.Texts().size(), 1u);
    f.PressCell(24);  // on again
    EXPECT_EQ(f.messages.Texts(), (std::vector<std::string>(2, std::string(kLgNoticeText))));
}

TEST(SettingsDialogModel, CloseDropsTheCellsButKeepsABrowsedFolderAndOkPublishesTheCells) {
    ScriptedDialogs dialogs;
    ScopedDialogs scope(dialogs);
    dialogs.QueueBrowseFolder("/srv/ringtones");
    Fixture f;
    const ButtonGrid initial = f.settings.grid;
    f.PressCell(0);
    f.PressCell(23);
    EXPECT_EQ(Click(f.model, kBrowseButton), Ending::None);
    EXPECT_EQ(Click(f.model, kCloseButton), Ending::Cancelled);
    EXPECT_EQ(f.settings.grid, initial);
    EXPECT_EQ(f.settings.savingDirectory, "/srv/ringtones");

    f.model.Open(f.settings);
    EXPECT_EQ(f.model.Grid().At(kMldPage, 0), kCellOff);  // the dropped edit is gone
    f.PressCell(0);
    EXPECT_EQ(Click(f.model, kOkButton), Ending::Accepted);
    EXPECT_EQ(f.settings.grid.At(kMldPage, 0), kCellOn);
    EXPECT_EQ(f.settings.grid, f.model.Grid());
}

TEST(SettingsDialogModel, ShownDirectoryIsCutTo40BytesAtACharacterBoundary) {
    struct Case {
        std::string directory;
        std::string shown;
    };
    const std::string forty(40, 'a');
    const Case cases[] = {
        {forty, forty},
        {forty + "bcdef", forty + "..."},                                  // 45 bytes
        {std::string(39, 'a') + "録音", std::string(39, 'a') + "..."},     // byte 40 inside a character
        {std::string(37, 'a') + "録xyz", std::string(37, 'a') + "録..."},  // the character ends at 40
    };
    for (const Case& c : cases) {
        Fixture f;
        f.settings.savingDirectory = c.directory;
        EXPECT_EQ(f.model.ShownDirectory(), c.shown) << c.directory;
    }
}

TEST(SettingsDialogModel, PageAndLitTabSurviveAReopening) {
    Fixture f;
    f.ShowPage(k3gpPage);
    Click(f.model, kCloseButton);
    f.model.Open(f.settings);
    EXPECT_EQ(f.model.Page(), k3gpPage);
    EXPECT_EQ(f.model.LitTab(), k3gpPage);

    // A tab lights on press; a release off every tab leaves the page and lights its tab again.
    const SkinRect mmf = Centre(kTabRects[kMmfPage]);
    f.model.LeftButtonDown(mmf.left, mmf.top);
    EXPECT_EQ(f.model.LitTab(), kMmfPage);
    f.model.LeftButtonUp(mmf.left, 300);
    EXPECT_EQ(f.model.Page(), k3gpPage);
    EXPECT_EQ(f.model.LitTab(), k3gpPage);
}

TEST(SettingsDialogModel, HintsShowTheLinesOfTheMldCellUnderTheMouseOnly) {
    Fixture f;
    const SkinRect f503i = Centre(CellRect(5));
    f.model.MouseMove(f503i.left, f503i.top);
    EXPECT_EQ(f.model.Hint()[0], "[4000Hz]～[8000Hz]   F211i F503i F251i F504i F901ic F700i");
    EXPECT_EQ(f.model.Hint()[1], "[4000Hz]～[16000Hz]");
    EXPECT_EQ(f.model.Hint()[2], "F505i F506i D901i D902i D700i D701i,D702i F902i");
    f.model.MouseMove(5, 300);
    EXPECT_EQ(f.model.Hint()[0], "");

    f.ShowPage(kMmfPage);
    const SkinRect mono = Centre(CellRect(kMonoCell));
    f.model.MouseMove(mono.left, mono.top);
    for (const std::string& line : f.model.Hint()) EXPECT_EQ(line, "");
}

}  // namespace
}  // namespace kvt
