#include "app/main_window/time_ruler.h"

#include <cstdio>

namespace kvt {
namespace {

// Rates and intervals, highest rate first.
struct IntervalStep {
    int fromRate;
    int millis;
};
constexpr IntervalStep kIntervals[] = {
    {24000, 10}, {16000, 20}, {8000, 50}, {4000, 100}, {2000, 200}, {800, 500},
};
constexpr int kSlowestInterval = 1000;

std::string Format(const char* format, auto... values) {
    char text[160];
    std::snprintf(text, sizeof text, format, values...);
    return text;
}

}  // namespace

int RulerLabelInterval(int rate) {
    for (const IntervalStep& step : kIntervals) {
        if (rate >= step.fromRate) return step.millis;
    }
    return kSlowestInterval;
}

SecondsAndMillis TimeOfFrame(int64_t frame, int rate) {
    if (rate <= 0) return {0, 0};
    return {frame / rate, static_cast<int>(frame % rate * 1000 / rate)};
}

RulerMarks ComputeRulerMarks(int64_t viewOffset, int rate, int width) {
    RulerMarks marks;
    if (rate <= 0) return marks;
    const int interval = RulerLabelInterval(rate);
    const int tickInterval = interval / 5;
    int64_t previousLabel = 1;
    int64_t previousTick = 1;
    for (int i = 0; i <= width; ++i) {
        const int64_t frame = viewOffset + i;
        const int64_t millis = frame * 1000 / rate;
        const int64_t label = millis % interval;
        const int64_t tick = millis % tickInterval;
        if (label == 0 && previousLabel != 0) {
            const SecondsAndMillis time = TimeOfFrame(frame, rate);
            marks.labels.push_back({i, Format("%3d.%03d", static_cast<int>(time.seconds), time.millis)});
        }
        if (tick == 0 && previousTick != 0) marks.ticks.push_back(i);
        previousLabel = label;
        previousTick = tick;
    }
    return marks;
}

std::string RateAndLengthText(int rate, int64_t totalFrames) {
    const SecondsAndMillis length = TimeOfFrame(totalFrames, rate);
    return Format("%05d [Hz] / %03d.%03d[s]", rate, static_cast<int>(length.seconds), length.millis);
}

std::string CursorText(int64_t cursorFrame, int rate) {
    const SecondsAndMillis at = TimeOfFrame(cursorFrame, rate);
    return Format("CURSOR %03d.%03d[s]", static_cast<int>(at.seconds), at.millis);
}

std::string SelectionText(int64_t startFrame, int64_t endFrame, int rate) {
    const SecondsAndMillis start = TimeOfFrame(startFrame, rate);
    const SecondsAndMillis end = TimeOfFrame(endFrame, rate);
    const SecondsAndMillis duration = TimeOfFrame(endFrame - startFrame, rate);
    return Format("START %03d.%03d[s] / END %03d.%03d[s] / DURATION %03d.%03d[s]", static_cast<int>(start.seconds),
                  start.millis, static_cast<int>(end.seconds), end.millis, static_cast<int>(duration.seconds),
                  duration.millis);
}

}  // namespace kvt
