#pragma once
// Where everything of the settings dialog sits on its 450 x 450 skin.

#include <array>

#include "app/skin/skin_rect.h"

namespace kvt::settings_dialog {

inline constexpr int kSkinWidth = 450;
inline constexpr int kSkinHeight = 450;

enum Page { kPageMld = 0, kPageMmf = 1, kPage3gp = 2 };
inline constexpr int kPageCount = 3;

// Tabs in page order.
inline constexpr std::array<SkinRect, kPageCount> kTabRects = {{
    {128, 46, 234, 68},  // MLD
    {233, 46, 339, 68},  // MMF
    {338, 46, 444, 68},  // 3GP
}};

inline constexpr SkinRect kBrowseButton = {354, 397, 390, 431};
inline constexpr SkinRect kOkButton = {394, 397, 430, 431};
inline constexpr SkinRect kCloseButton = {431, 5, 447, 19};

inline constexpr int kGridRows = 7;
inline constexpr int kGridColumns = 4;
inline constexpr int kCellCount = kGridRows * kGridColumns;

// Cell index = row * 4 + column.
constexpr SkinRect CellRect(int cell) {
    const int row = cell / kGridColumns;
    const int column = cell % kGridColumns;
    return {31 + 77 * column, 125 + 35 * row, 95 + 77 * column, 155 + 35 * row};
}

inline constexpr int kCaptionBandHeight = 70;

}  // namespace kvt::settings_dialog
