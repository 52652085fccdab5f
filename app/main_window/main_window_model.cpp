#include "app/main_window/main_window_model.h"

#include <algorithm>
#include <cstring>
#include <span>

#include "engine/pcm_fades.h"

namespace kvt {

using namespace main_window;

namespace {

// Every sample times Multiplier / Divisor, truncated toward zero (as C++ divides) and held
// to -32767..32767. Constant factors let the compiler vectorise the loop.
template <int Multiplier, int Divisor>
void ScaleSamples(std::vector<uint8_t>& pcm) {
    uint8_t* bytes = pcm.data();
    const size_t count = pcm.size() / 2;
    for (size_t i = 0; i < count; ++i) {
        int16_t sample;
        std::memcpy(&sample, bytes + 2 * i, 2);
        sample = static_cast<int16_t>(std::clamp(sample * Multiplier / Divisor, -32767, 32767));
        std::memcpy(bytes + 2 * i, &sample, 2);
    }
}

}  // namespace

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
    KeepCursorInInput();
}

void MainWindowModel::KeepCursorInInput() {
    cursorX = static_cast<int>(std::min<int64_t>(cursorX, std::max<int64_t>(0, TotalFrames() - viewOffset)));
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
    KeepCursorInInput();
}

void MainWindowModel::ScrollBack() {
    viewOffset = std::max<int64_t>(0, viewOffset - TotalFrames() / kPlotWidth);
}

void MainWindowModel::ScrollForward() {
    viewOffset += TotalFrames() / kPlotWidth;
    ClampViewOffset();
}

void MainWindowModel::ChangeVolume(VolumeCommand command) {
    switch (command) {
    case VolumeCommand::Up: ScaleSamples<5, 4>(input.pcm); break;
    case VolumeCommand::Down: ScaleSamples<4, 5>(input.pcm); break;
    case VolumeCommand::FadeIn:
    case VolumeCommand::FadeOut: {
        const unsigned channels = std::max<unsigned>(input.format.channels, 1);
        // The range the job converts, cut to the block.
        const PcmRange selection = SelectedRange(input, ReversedSelection::Swap);
        const size_t offset = std::min(selection.offset, input.pcm.size());
        const std::span<uint8_t> range =
            std::span(input.pcm).subspan(offset, std::min(selection.length, input.pcm.size() - offset));
        const uint64_t frames = FadeFrames(kMenuFadeSeconds, input.format.sampleRate);
        if (command == VolumeCommand::FadeIn)
            FadeIn(range, channels, frames);
        else
            FadeOut(range, channels, frames);
        break;
    }
    case VolumeCommand::HandsetVersion: return;
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
