#pragma once
// Drawing of the main window's content onto its back buffer: the overview strip (cached
// waveform, cyan selection and yellow play tint, marker lines), the detail view (selection
// band, waveform, frame, centre lines, cursor, channel letters, time ruler), the status
// texts and the progress bar.

#include <optional>

#include <QImage>

#include "app/main_window/main_window_model.h"

namespace kvt {

// The whole input as one 455 x 74 polyline over the skin's pixels at the overview's place.
QImage BuildOverviewCache(const QImage& skin, const LoadedInput& input);

// Everything the model says about a loaded input: overview, detail view and texts.
// playFrame is set while the preview plays.
void PaintLoadedInput(QImage& backBuffer, const QImage& overviewCache, const MainWindowModel& model,
                      std::optional<int64_t> playFrame);

// The progress bar: black, white from its left edge to the model's white column.
void PaintProgress(QImage& backBuffer, const MainWindowModel& model);

}  // namespace kvt
