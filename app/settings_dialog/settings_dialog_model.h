#pragma once
// What the settings dialog shows and how it reacts to the mouse, without any painting: a
// private copy of the grid, the page shown, the lit tab, the pressed buttons and the hint
// lines. Positions are client coordinates of the 450 x 450 dialog.
//
// One model lives for the whole run, so the page and the lit tab survive between openings;
// each opening takes a fresh copy of the grid, which goes back only through OK.

#include <array>
#include <string>
#include <string_view>

#include "convert/button_grid.h"
#include "convert/settings_store.h"

namespace kvt {

inline constexpr const char* kSettingsDialogCaption = "変換設定";
inline constexpr std::string_view kLgNoticeText =
    "このボタンの機種は、ファイル変換は可能ですが、サポートの対象外ですのでご注意ください。";

// Where the saving directory is shown, cut to this many bytes followed by "...".
inline constexpr size_t kShownDirectoryBytes = 40;

// `text` as the dialog shows it: whole when it has at most `maxBytes` bytes, else its first
// `maxBytes` bytes, shortened to the last whole UTF-8 character, and "...".
std::string CutForDisplay(std::string_view text, size_t maxBytes = kShownDirectoryBytes);

// The MLD rate the grid chooses for the handset labels: the highest rate cell that is on,
// 0 when none is.
int ChosenMldRate(const ButtonGrid& grid);

class SettingsDialogModel {
public:
    enum class Ending { None, Accepted, Cancelled };

    // A new opening over the process's settings, which must outlive it: copies their grid.
    void Open(Settings& settings);

    void LeftButtonDown(int x, int y);
    // Runs the action of the element under (x, y); says whether that ends the dialog.
    Ending LeftButtonUp(int x, int y);
    void MouseMove(int x, int y);

    int Page() const { return page_; }
    int LitTab() const { return litTab_; }
    bool OkPressed() const { return okPressed_; }
    bool ClosePressed() const { return closePressed_; }
    bool BrowsePressed() const { return browsePressed_; }
    const ButtonGrid& Grid() const { return grid_; }

    // Cells of the shown page: a button has a label and a value other than 2.
    bool HasButton(int cell) const;
    bool IsOn(int cell) const;
    std::string_view Label(int cell) const;
    // A handset label on the MLD page whose preset does not allow the chosen MLD rate.
    bool IsLabelGrey(int cell) const;

    const std::array<std::string, 3>& Hint() const { return hint_; }
    std::string ShownDirectory() const;

private:
    int CellAt(int x, int y) const;  // a button of the shown page, or -1
    void Press(int cell);

    Settings* settings_ = nullptr;
    ButtonGrid grid_ = InitialButtonGrid();
    int page_ = kMldPage;
    int litTab_ = kMldPage;
    bool okPressed_ = false;
    bool closePressed_ = false;
    bool browsePressed_ = false;
    std::array<std::string, 3> hint_;
};

}  // namespace kvt
