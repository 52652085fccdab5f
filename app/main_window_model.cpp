#include "app/main_window_model.h"

#include <algorithm>
#include <cstring>

namespace kvt {

using namespace main_window;

int OverviewColumn(int64_t frame, int64_t totalFrames) {
    if (totalFrames <= 0) return 0;
    return static_cast<int>(frame * kOverviewWidth / totalFrames);
}

void MainWindowModel::Release() {
    pressed.fill(false);
    overviewDrag = false;
    detailDrag = false;
}

void MainWindowModel::InputReplaced() {
    overviewReady = false;
    viewOffset = 0;
    cursorX = 0;
}

bool MainWindowModel::SetStart(bool playing) {
    if (playing || CursorFrame() >= input.endFrame) return false;
    input.startFrame = static_cast<uint32_t>(CursorFrame());
    return true;
}

bool MainWindowModel::SetEnd(bool playing) {
    if (playing || CursorFrame() <= input.startFrame) return false;
    input.endFrame = static_cast<uint32_t>(CursorFrame());
    return true;
}

void MainWindowModel::ClampViewOffset() {
    viewOffset = std::max<int64_t>(0, std::min(viewOffset, TotalFrames() - kPlotWidth));
}

void MainWindowModel::ViewFromOverview(int x) {
    viewOffset = TotalFrames() * (x - kOverview.left) / kOverviewWidth;
    ClampViewOffset();
}

void MainWindowModel::CursorFromDetail(int x) {
    cursorX = std::clamp(x - kDetailView.left - kPlotMargin, 0, kPlotWidth);
}

void MainWindowModel::FollowDetailDrag(int x) {
    int column = x - kDetailView.left - kPlotMargin;
    if (column < 0) {
        viewOffset += column;
        column = 0;
    } else if (column > kPlotWidth) {
        viewOffset += column - kPlotWidth;
        column = kPlotWidth;
    }
    cursorX = column;
    ClampViewOffset();
}

void MainWindowModel::ScrollBack() {
    viewOffset = std::max<int64_t>(0, viewOffset - TotalFrames() / kPlotWidth);
}

void MainWindowModel::ScrollForward() {
    viewOffset += TotalFrames() / kPlotWidth;
    ClampViewOffset();
}

void MainWindowModel::ChangeVolume(VolumeCommand command) {
    // Integer forms of x 1.25 and x 0.8; C++ division truncates toward zero.
    const int multiplier = command == VolumeCommand::Up ? 5 : 4;
    const int divisor = command == VolumeCommand::Up ? 4 : 5;
    uint8_t* bytes = input.pcm.data();
    const size_t count = input.pcm.size() / 2;
    for (size_t i = 0; i < count; ++i) {
        int16_t sample;
        std::memcpy(&sample, bytes + 2 * i, 2);
        const int scaled = std::clamp(sample * multiplier / divisor, -32767, 32767);
        sample = static_cast<int16_t>(scaled);
        std::memcpy(bytes + 2 * i, &sample, 2);
    }
    overviewReady = false;
}

void MainWindowModel::ProgressReset(int total) {
    progressTotal_ = total;
    progressCount_ = 0;
}

void MainWindowModel::ProgressStep() {
    ++progressCount_;
    const int span = kProgressBar.right - kProgressBar.left;
    const int done = progressTotal_ > 0 ? span * std::min(progressCount_, progressTotal_) / progressTotal_ : span;
    progressWhiteRight_ = kProgressBar.left + done;
    progressShown_ = true;
}

void MainWindowModel::ShowProgressFraction(double fraction) {
    const int span = kProgressBar.right - kProgressBar.left;
    progressWhiteRight_ = kProgressBar.left + static_cast<int>(span * std::clamp(fraction, 0.0, 1.0));
    progressShown_ = true;
}

}  // namespace kvt
