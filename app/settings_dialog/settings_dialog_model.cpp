#include "app/settings_dialog/settings_dialog_model.h"

#include <algorithm>
#include <initializer_list>
#include <span>
#include <vector>

#include "app/settings_dialog/settings_dialog_hints.h"
#include "app/settings_dialog/settings_dialog_layout.h"
#include "engine/mld_preset_table.h"
#include "platform/message.h"

namespace kvt {
namespace {

using namespace settings_dialog;

constexpr int kLgCell = 24;

// Cells of one page besides its rate cells that behave as one choice: a press turns the
// pressed cell on and the others off, so a group never becomes empty.
struct CellGroup {
    int page;
    std::initializer_list<int> cells;
};

const CellGroup kGroups[] = {
    {kMldPage, {18, 22}},  // size ceiling
    {kMldPage, {kMonoCell, kStereoCell}},
    {kMmfPage, {kMonoCell, kStereoCell}},
    {k3gpPage, {kMonoCell, kStereoCell}},
};

// The cells that behave as one choice with `cell`: the page's rate cells, or its group;
// empty for a cell of its own.
std::vector<int> GroupOf(int page, int cell) {
    std::vector<int> rates;
    for (const RateCell& rate : RateCells(page)) rates.push_back(rate.cell);
    if (std::find(rates.begin(), rates.end(), cell) != rates.end()) return rates;
    for (const CellGroup& group : kGroups) {
        if (group.page == page && std::find(group.cells.begin(), group.cells.end(), cell) != group.cells.end())
            return std::vector<int>(group.cells);
    }
    return {};
}

}  // namespace

std::string CutForDisplay(std::string_view text, size_t maxBytes) {
    if (text.size() <= maxBytes) return std::string(text);
    size_t length = maxBytes;
    // Back off over continuation bytes so no character is split.
    while (length > 0 && (static_cast<unsigned char>(text[length]) & 0xC0) == 0x80) --length;
    return std::string(text.substr(0, length)) + "...";
}

int ChosenMldRate(const ButtonGrid& grid) {
    int chosen = 0;
    for (const RateCell& rate : RateCells(kMldPage)) {
        if (grid.At(kMldPage, rate.cell) == kCellOn) chosen = std::max(chosen, rate.rate);
    }
    return chosen;
}

void SettingsDialogModel::Open(Settings& settings) {
    settings_ = &settings;
    grid_ = settings.grid;
    okPressed_ = closePressed_ = browsePressed_ = false;
    hint_ = {};
}

bool SettingsDialogModel::HasButton(int cell) const {
    return !CellLabel(page_, cell).empty() && grid_.At(page_, cell) != kNoButton;
}

bool SettingsDialogModel::IsOn(int cell) const {
    return HasButton(cell) && grid_.At(page_, cell) == kCellOn;
}

std::string_view SettingsDialogModel::Label(int cell) const {
    return HasButton(cell) ? CellLabel(page_, cell) : "";
}

bool SettingsDialogModel::IsLabelGrey(int cell) const {
    if (page_ != kMldPage) return false;
    const auto handsets = MldHandsets();
    const auto handset =
        std::find_if(handsets.begin(), handsets.end(), [&](const MldHandset& h) { return h.cell == cell; });
    if (handset == handsets.end()) return false;
    return !MldPresetTable.at(handset->preset).AllowsRate(ChosenMldRate(grid_));
}

std::string SettingsDialogModel::ShownDirectory() const {
    return settings_ ? CutForDisplay(settings_->savingDirectory) : std::string();
}

int SettingsDialogModel::CellAt(int x, int y) const {
    for (int cell = 0; cell < kCellCount; ++cell) {
        if (HasButton(cell) && CellRect(cell).Contains(x, y)) return cell;
    }
    return -1;
}

void SettingsDialogModel::LeftButtonDown(int x, int y) {
    if (kOkButton.Contains(x, y)) okPressed_ = true;
    if (kCloseButton.Contains(x, y)) closePressed_ = true;
    if (kBrowseButton.Contains(x, y)) browsePressed_ = true;
    for (int tab = 0; tab < kPageCount; ++tab) {
        if (kTabRects[tab].Contains(x, y)) litTab_ = tab;
    }
    if (const int cell = CellAt(x, y); cell >= 0) Press(cell);
}

void SettingsDialogModel::Press(int cell) {
    int32_t& value = grid_.At(page_, cell);
    value = value == kCellOn ? kCellOff : kCellOn;
    if (page_ == kMldPage && cell == kLgCell && value == kCellOn) ShowMessage(kLgNoticeText);
    for (int member : GroupOf(page_, cell)) {
        if (grid_.At(page_, member) != kNoButton) grid_.At(page_, member) = member == cell ? kCellOn : kCellOff;
    }
}

SettingsDialogModel::Ending SettingsDialogModel::LeftButtonUp(int x, int y) {
    Ending ending = Ending::None;
    for (int tab = 0; tab < kPageCount; ++tab) {
        if (kTabRects[tab].Contains(x, y)) page_ = tab;
    }
    // The lit tab always ends up on the page shown, also after a press that left its tab.
    litTab_ = page_;
    if (kCloseButton.Contains(x, y)) ending = Ending::Cancelled;
    if (kOkButton.Contains(x, y)) {
        if (settings_) settings_->grid = grid_;
        ending = Ending::Accepted;
    }
    if (kBrowseButton.Contains(x, y) && settings_) BrowseSavingDirectory(*settings_);
    okPressed_ = closePressed_ = browsePressed_ = false;
    return ending;
}

void SettingsDialogModel::MouseMove(int x, int y) {
    hint_ = {};
    const int cell = CellAt(x, y);
    if (cell < 0) return;
    const settings_dialog::HintLines lines = CellHint(page_, cell);
    for (size_t i = 0; i < hint_.size(); ++i) hint_[i] = lines[i];
}

}  // namespace kvt
