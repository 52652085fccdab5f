#pragma once
// The three description lines shown under the grid while the mouse is over a cell. Only
// the MLD page has them.

#include <array>
#include <string_view>

namespace kvt::settings_dialog {

using HintLines = std::array<std::string_view, 3>;

// The lines of `cell` on `page`; three empty lines where there are none.
HintLines CellHint(int page, int cell);

}  // namespace kvt::settings_dialog
