#pragma once
// The main window's state without the widget: the loaded input, the selection, the detail
// view's position and cursor, pressed and drag flags, the progress bar, and the rules that
// change them. Positions are client coordinates of the 567 x 450 window.

#include <array>
#include <cstdint>

#include "app/main_window/main_window_layout.h"
#include "convert/loaded_input.h"

namespace kvt {

// The right-button menu's commands: the volume × 1.25 or × 0.8 of the whole block, a 0.5 s
// fade from silence at START or to silence at END, and the selection played as the first
// chosen output sounds on the handset (which leaves the block as it is).
inline constexpr double kMenuFadeSeconds = 0.5;
enum class VolumeCommand { Up = 128, Down = 129, FadeIn = 130, FadeOut = 131, HandsetVersion = 132 };

class MainWindowModel {
public:
    LoadedInput input;
    bool overviewReady = false;  // the overview cache matches the samples
    int64_t viewOffset = 0;      // first frame of the detail view, one frame a pixel
    int cursorX = 0;             // cursor column in the plot, 0 to 505
    std::array<bool, main_window::kElementCount> pressed{};
    bool overviewDrag = false;
    bool detailDrag = false;

    int64_t TotalFrames() const { return input.totalFrames; }
    int64_t CursorFrame() const { return viewOffset + cursorX; }
    int SampleRate() const { return static_cast<int>(input.format.sampleRate); }
    int Channels() const { return input.format.channels; }
    bool IsPressed(main_window::Element element) const { return pressed[static_cast<int>(element)]; }
    void Press(main_window::Element element) { pressed[static_cast<int>(element)] = true; }
    // Every pressed and drag flag back to off (after a button-up).
    void Release();

    // A new input is in `input`: the view starts at its beginning and the overview is redrawn.
    void InputReplaced();

    // START := cursor frame when not playing and the cursor is before END; true when set.
    bool SetStart(bool playing);
    // END := cursor frame when not playing and the cursor is after START; true when set.
    bool SetEnd(bool playing);

    // The view begins where client column x of the overview strip points.
    void ViewFromOverview(int x);
    // The cursor goes to client column x of the detail view, held inside the plot and, for
    // an input shorter than the plot, on its frames (at most its end), so START and END
    // never pass the input's end.
    void CursorFromDetail(int x);
    // A drag in the detail view followed to client column x: past an edge of the plot the
    // view moves by the excess and the cursor stays at that edge.
    void FollowDetailDrag(int x);
    // One step (a 505th of the input) back or forward, held inside the input.
    void ScrollBack();
    void ScrollForward();

    // Every sample times 1.25 (Up) or 0.8 (Down), truncated toward zero and held to
    // -32767..32767; the overview is redrawn.
    void ChangeVolume(VolumeCommand command);

    // The progress bar: hidden until the first step after a reset, then as many white
    // columns as the steps done of the total. A rip shows a fraction instead.
    void ProgressReset(int total);
    void ProgressStep();
    void ShowProgressFraction(double fraction);
    void HideProgress() { progressShown_ = false; }
    bool ProgressShown() const { return progressShown_; }
    // The bar's right-most white column (client x), or one left of the bar for none.
    int ProgressWhiteRight() const { return progressWhiteRight_; }

private:
    void ClampViewOffset();
    void KeepCursorInInput();

    int progressCount_ = 0;
    int progressTotal_ = 0;
    bool progressShown_ = false;
    int progressWhiteRight_ = main_window::kProgressBar.left - 1;
};

// Overview column of frame f: f * 455 / totalFrames (0 when nothing is loaded).
int OverviewColumn(int64_t frame, int64_t totalFrames);

}  // namespace kvt
