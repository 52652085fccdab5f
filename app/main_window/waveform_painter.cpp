#include "app/main_window/waveform_painter.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include <QFont>
#include <QFontMetrics>
#include <QLine>
#include <QPainter>
#include <QPolygon>

#include "app/main_window/time_ruler.h"

namespace kvt {
namespace {

using namespace main_window;

constexpr QRgb kCyan = qRgb(0, 255, 255);
constexpr QRgb kYellow = qRgb(255, 255, 0);
constexpr int kOverviewMiddle = 37;
constexpr int kOverviewPoints = 200000;  // at most this many points (plus one) per overview
constexpr int kTextX = 170;              // the texts above the overview strip
constexpr int kCursorTextX = 330;

// Fonts: "Tahoma" falls back to whatever the system has; the pixel sizes give the cell
// heights of 20 (letters), 16 (texts) and the ruler's small digits.
QFont LetterFont() {
    QFont font("Tahoma");
    font.setPixelSize(17);
    return font;
}
// Bold texts of cell height 16. The fallback for "Tahoma" may be wider than Tahoma, and a
// long input has four-digit seconds; the font is then narrowed until the texts fit their
// places: the first ends before the cursor text begins, the selection inside the window.
QFont TextFont(const std::string& first, const std::string& selection) {
    QFont bold("Tahoma");
    bold.setPixelSize(14);
    bold.setWeight(QFont::Black);
    // Measured once for each length of the two texts (digits have one width); a QFont must
    // not outlive the application, so only the numbers are kept.
    static std::map<std::pair<size_t, size_t>, int> stretchFor;
    auto [known, added] = stretchFor.try_emplace({first.size(), selection.size()}, 50);
    if (added) {
        for (int candidate = 100; candidate > 50; candidate -= 5) {
            bold.setStretch(candidate);
            const QFontMetrics metrics(bold);
            if (metrics.horizontalAdvance(QString::fromStdString(first)) <= kCursorTextX - kTextX - 6 &&
                metrics.horizontalAdvance(QString::fromStdString(selection)) <= kSkinWidth - 8 - kTextX) {
                known->second = candidate;
                break;
            }
        }
    }
    bold.setStretch(known->second);
    return bold;
}

QFont RulerFont() {
    QFont font("Tahoma");
    font.setPixelSize(12);
    return font;
}

int SampleAt(const LoadedInput& input, int64_t frame, int channel) {
    int16_t sample;
    const size_t offset = (static_cast<size_t>(frame) * input.format.channels + channel) * 2;
    std::memcpy(&sample, input.pcm.data() + offset, 2);
    return sample;
}

// The overview's value of a frame: the sample, or for stereo the mean of both channels.
int OverviewSample(const LoadedInput& input, int64_t frame) {
    if (input.format.channels == 2) return (SampleAt(input, frame, 0) + SampleAt(input, frame, 1)) / 2;
    return SampleAt(input, frame, 0);
}

// Text whose cell's top-left corner is at (x, y), as the window places its texts.
void DrawTextAt(QPainter& painter, int x, int y, const std::string& text) {
    const QFontMetrics metrics(painter.font());
    painter.drawText(x, y + metrics.ascent(), QString::fromStdString(text));
}

void PaintOverview(QImage& backBuffer, const QImage& cache, const MainWindowModel& model,
                   std::optional<int64_t> playFrame) {
    const int64_t total = model.TotalFrames();
    auto column = [total](int64_t frame) { return OverviewColumn(frame, total); };
    QImage overview = cache.copy();

    // The overlay's colours add to the picture (black adds nothing): a cyan tint for the
    // selection, yellow for what has been played.
    QImage overlay(kOverviewWidth, kOverviewHeight, QImage::Format_RGB32);
    overlay.fill(Qt::black);
    {
        QPainter painter(&overlay);
        painter.setPen(QPen(Qt::black, 0));
        const int start = column(model.input.startFrame);
        painter.setBrush(QColor(kCyan));
        painter.drawRect(start, 0, column(model.input.endFrame) - start, kOverviewHeight - 1);
        if (playFrame) {
            painter.setBrush(QColor(kYellow));
            painter.drawRect(start, 0, column(*playFrame) - start, kOverviewHeight - 1);
        }
    }
    QPainter painter(&overview);
    painter.setCompositionMode(QPainter::CompositionMode_Plus);
    painter.drawImage(0, 0, overlay);
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);

    painter.setPen(QPen(Qt::black, 1));
    std::vector<int64_t> marks;
    if (playFrame) marks.push_back(*playFrame);
    marks.insert(marks.end(), {model.CursorFrame(), model.input.startFrame, model.input.endFrame});
    for (int64_t frame : marks) {
        const int x = column(frame);
        painter.drawLine(x, 0, x, kOverviewHeight - 1);
    }
    painter.end();

    QPainter target(&backBuffer);
    target.drawImage(kOverview.left, kOverview.top, overview);
}

// The waveform of one channel from the centre row through the frames in view. `sign` is +1
// when positive samples go down (mono), -1 when they go up (stereo lanes).
QPolygon DetailWaveform(const MainWindowModel& model, int channel, int centre, int halfHeight, int sign) {
    QPolygon points;
    points << QPoint(kPlotMargin, centre);
    const int64_t last = std::min<int64_t>(model.TotalFrames() - model.viewOffset - 1, kPlotWidth);
    for (int64_t i = 0; i <= last; ++i) {
        const int sample = SampleAt(model.input, model.viewOffset + i, channel);
        points << QPoint(kPlotMargin + static_cast<int>(i), centre + sign * (sample * halfHeight / 32768));
    }
    return points;
}

void PaintDetail(QImage& backBuffer, const MainWindowModel& model) {
    constexpr int W = kPlotWidth;
    constexpr int H = kPlotHeight;
    constexpr int top = kPlotMargin;
    constexpr int left = kPlotMargin;
    QPainter painter(&backBuffer);
    painter.translate(kDetailView.left, kDetailView.top);
    painter.setClipRect(0, 0, kDetailImageWidth, kDetailImageHeight);

    // Selection band: the part of START..END inside the view.
    auto bandColumn = [&](int64_t frame) {
        return static_cast<int>(std::clamp<int64_t>(frame - model.viewOffset, 0, W));
    };
    const int bandLeft = bandColumn(model.input.startFrame);
    const int bandRight = bandColumn(model.input.endFrame);
    painter.fillRect(left + bandLeft, top, bandRight - bandLeft, H, QColor(kCyan));

    painter.setPen(QPen(Qt::black, 0));
    const bool stereo = model.Channels() == 2;
    std::vector<int> centres;
    if (stereo) {
        centres = {top + H / 4, top + 3 * H / 4};
        painter.drawPolyline(DetailWaveform(model, 0, centres[0], H / 4, -1));
        painter.drawPolyline(DetailWaveform(model, 1, centres[1], H / 4, -1));
        centres.push_back(top + H / 2);
    } else {
        centres = {top + H / 2};
        painter.drawPolyline(DetailWaveform(model, 0, centres[0], H / 2, +1));
    }

    painter.setBrush(Qt::NoBrush);
    painter.drawRect(left, top, W, H - 1);
    for (int y : centres) painter.drawLine(left, y, left + W, y);
    painter.drawLine(left + model.cursorX, top, left + model.cursorX, top + H - 1);

    painter.setFont(LetterFont());
    if (stereo) {
        DrawTextAt(painter, 8, top + H / 4 - 8, "L");
        DrawTextAt(painter, 8, top + 3 * H / 4 - 8, "R");
    } else {
        DrawTextAt(painter, 8, top + H / 2 - 8, "M");
    }

    const RulerMarks marks = ComputeRulerMarks(model.viewOffset, model.SampleRate(), W);
    painter.setFont(RulerFont());
    for (const RulerLabel& label : marks.labels) {
        DrawTextAt(painter, left + label.column - 4 * static_cast<int>(label.text.size()), 0, label.text);
    }
    for (int column : marks.ticks) painter.drawLine(left + column, 18, left + column, 24);
}

void PaintTexts(QImage& backBuffer, const MainWindowModel& model) {
    const int rate = model.SampleRate();
    const std::string first = RateAndLengthText(rate, model.TotalFrames());
    const std::string selection = SelectionText(model.input.startFrame, model.input.endFrame, rate);
    QPainter painter(&backBuffer);
    painter.setPen(Qt::black);
    painter.setFont(TextFont(first, selection));
    DrawTextAt(painter, kTextX, 75, first);
    DrawTextAt(painter, kCursorTextX, 75, CursorText(model.CursorFrame(), rate));
    DrawTextAt(painter, kTextX, 90, selection);
}

}  // namespace

QImage BuildOverviewCache(const QImage& skin, const LoadedInput& input) {
    QImage cache =
        skin.copy(kOverview.left, kOverview.top, kOverviewWidth, kOverviewHeight).convertToFormat(QImage::Format_RGB32);
    const int64_t total = input.totalFrames;
    if (total <= 0) return cache;
    const int64_t step = total / kOverviewPoints + 1;

    // Hundreds of points share each column; their segments there make one vertical span,
    // so the polyline is drawn as one span a column plus the joins between columns.
    std::vector<QLine> lines;
    lines.reserve(2 * kOverviewWidth + 2);
    QPoint previous(0, kOverviewMiddle);
    int spanTop = kOverviewMiddle;
    int spanBottom = kOverviewMiddle;
    for (int64_t frame = 0; frame < total; frame += step) {
        const int x = static_cast<int>(frame * kOverviewWidth / total);
        const int y = kOverviewMiddle - OverviewSample(input, frame) * kOverviewMiddle / 32768;
        if (x == previous.x()) {
            spanTop = std::min(spanTop, y);
            spanBottom = std::max(spanBottom, y);
        } else {
            lines.emplace_back(previous.x(), spanTop, previous.x(), spanBottom);
            lines.emplace_back(previous, QPoint(x, y));
            spanTop = spanBottom = y;
        }
        previous = QPoint(x, y);
    }
    lines.emplace_back(previous.x(), spanTop, previous.x(), spanBottom);

    QPainter painter(&cache);
    painter.setPen(QPen(Qt::black, 0));
    painter.drawLines(lines.data(), static_cast<int>(lines.size()));
    return cache;
}

void PaintLoadedInput(QImage& backBuffer, const QImage& overviewCache, const MainWindowModel& model,
                      std::optional<int64_t> playFrame) {
    if (model.TotalFrames() <= 0) return;
    PaintOverview(backBuffer, overviewCache, model, playFrame);
    PaintDetail(backBuffer, model);
    PaintTexts(backBuffer, model);
}

void PaintProgress(QImage& backBuffer, const MainWindowModel& model) {
    if (!model.ProgressShown()) return;
    const SkinRect& bar = kProgressBar;
    QPainter painter(&backBuffer);
    painter.fillRect(QRect(QPoint(bar.left, bar.top), QPoint(bar.right, bar.bottom - 1)), Qt::black);
    const int white = std::min(model.ProgressWhiteRight(), bar.right);
    if (white >= bar.left) painter.fillRect(QRect(QPoint(bar.left, bar.top), QPoint(white, bar.bottom - 1)), Qt::white);
}

}  // namespace kvt
