#pragma once
// Where everything of the main window sits on its 567 x 450 skin.

#include <array>

#include "app/skin/skin_rect.h"

namespace kvt::main_window {

inline constexpr int kSkinWidth = 567;
inline constexpr int kSkinHeight = 450;

// The nine buttons, in the order their actions run on button-up, then the two arrows.
enum class Element {
    Open,
    Play,
    Stop,
    SetStart,
    SetEnd,
    Settings,
    Convert,
    Help,
    Exit,
    ScrollLeft,
    ScrollRight,
};
inline constexpr int kButtonCount = 9;
inline constexpr int kElementCount = 11;

inline constexpr std::array<SkinRect, kElementCount> kElementRects = {{
    {111, 28, 172, 51},    // open
    {179, 24, 208, 51},    // play
    {214, 24, 245, 51},    // stop
    {250, 28, 311, 51},    // set START
    {317, 28, 379, 51},    // set END
    {385, 28, 446, 51},    // settings
    {452, 28, 515, 51},    // convert
    {526, 24, 555, 51},    // help
    {548, 6, 562, 18},     // exit
    {7, 111, 54, 184},     // scroll-left arrow
    {512, 111, 559, 184},  // scroll-right arrow
}};

constexpr const SkinRect& RectOf(Element element) {
    return kElementRects[static_cast<int>(element)];
}

inline constexpr SkinRect kProgressBar = {7, 71, 559, 109};
inline constexpr SkinRect kOverview = {56, 111, 510, 184};
inline constexpr SkinRect kDetailView = {7, 188, 559, 442};

inline constexpr int kOverviewWidth = kOverview.Width();    // 455
inline constexpr int kOverviewHeight = kOverview.Height();  // 74
// The detail image is the whole view; the plot leaves a 24-pixel margin on every side.
inline constexpr int kDetailImageWidth = kDetailView.Width();    // 553
inline constexpr int kDetailImageHeight = kDetailView.Height();  // 255
inline constexpr int kPlotMargin = 24;
inline constexpr int kPlotWidth = kDetailView.right - kDetailView.left - 47;   // 505
inline constexpr int kPlotHeight = kDetailView.bottom - kDetailView.top - 47;  // 207

// Client y below this, outside the buttons, drags the window.
inline constexpr int kCaptionBandHeight = 70;

}  // namespace kvt::main_window
