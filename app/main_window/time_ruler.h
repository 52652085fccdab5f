#pragma once
// The time ruler above the detail plot and the three status texts: pure arithmetic on
// frame numbers, so that the painting only places what this computes.

#include <cstdint>
#include <string>
#include <vector>

namespace kvt {

// Milliseconds between two labels at sampling rate r: 10 from 24000 Hz, 20 from 16000 Hz,
// 50 from 8000 Hz. Below 8000 Hz the interval grows so that labels stay at least 400
// frames apart, as they are at 8000 Hz: 100 ms from 4000 Hz, 200 from 2000, 500 from 800,
// else 1000. Ticks come five times as often.
int RulerLabelInterval(int rate);

struct RulerLabel {
    int column;  // plot column of the labelled frame
    std::string text;
};

struct RulerMarks {
    std::vector<RulerLabel> labels;
    std::vector<int> ticks;  // plot columns
};

// Labels and ticks for plot columns 0..width of a view starting at frame viewOffset: a
// column is marked where its time in whole milliseconds becomes a multiple of the interval
// (it was not one at the column before; before column 0 it counts as not one).
RulerMarks ComputeRulerMarks(int64_t viewOffset, int rate, int width);

// "%03d.%03d" style pieces: whole seconds and thousandths of frame / rate.
struct SecondsAndMillis {
    int64_t seconds;
    int millis;
};
SecondsAndMillis TimeOfFrame(int64_t frame, int rate);

// The three texts over the progress bar.
std::string RateAndLengthText(int rate, int64_t totalFrames);
std::string CursorText(int64_t cursorFrame, int rate);
std::string SelectionText(int64_t startFrame, int64_t endFrame, int rate);

}  // namespace kvt
