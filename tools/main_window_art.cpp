// The main window's two skins: the normal look and the look with every button pressed.
// Panels sit exactly in the layout's rectangles; the window paints its waveforms and texts
// over them.

#include <array>

#include <QLinearGradient>

#include "app/main_window/main_window_layout.h"
#include "tools/skin_art.h"

namespace kvt::art {
namespace {

using main_window::Element;

struct ButtonArt {
    Element element;
    const char* label;  // empty for the elements drawn as a symbol
};

constexpr std::array<ButtonArt, 5> kLabelledButtons = {{
    {Element::Open, "開く"},
    {Element::SetStart, "START"},
    {Element::SetEnd, "END"},
    {Element::Settings, "設定"},
    {Element::Convert, "変換"},
}};

// A light panel with a dark frame drawn just outside `rect`, so the rectangle itself is
// one clean colour.
void DrawPanel(QPainter& painter, const SkinRect& rect, const QColor& fill) {
    const QRect area = ToQRect(rect);
    painter.fillRect(area.adjusted(-1, -1, 1, 1), QColor(18, 24, 31));
    painter.fillRect(area, fill);
}

void DrawTitleBand(QPainter& painter) {
    QLinearGradient band(0, 0, 0, main_window::kCaptionBandHeight);
    band.setColorAt(0, colour::kTitleTop);
    band.setColorAt(1, colour::kTitleBottom);
    painter.fillRect(0, 0, main_window::kSkinWidth, main_window::kCaptionBandHeight - 1, band);
    painter.fillRect(0, main_window::kCaptionBandHeight - 1, main_window::kSkinWidth, 1, QColor(12, 30, 54));
    DrawLabel(painter, QRect(12, 14, 90, 36), "KVT", UiFont(30, true), Qt::white, false);
    DrawLabel(painter, QRect(12, 48, 90, 14), "ringtone maker", UiFont(10, false), QColor(190, 210, 235), false);
}

void DrawButtons(QPainter& painter, bool pressed) {
    const QFont latin = UiFont(13, true);
    const QFont japanese = UiFont(14, true);
    for (const ButtonArt& art : kLabelledButtons) {
        const QRect rect = ToQRect(main_window::RectOf(art.element));
        DrawButtonFace(painter, rect, pressed);
        const QString label = QString::fromUtf8(art.label);
        const bool isLatin = label.front().unicode() < 0x80;
        DrawLabel(painter, rect, label, isLatin ? latin : japanese, colour::kInk, pressed);
    }
    const int shift = pressed ? 1 : 0;

    const QRect play = ToQRect(main_window::RectOf(Element::Play));
    DrawButtonFace(painter, play, pressed);
    DrawTriangle(painter, QRect(play.center().x() - 5 + shift, play.center().y() - 7 + shift, 12, 14), true,
                 QColor(26, 132, 58));

    const QRect stop = ToQRect(main_window::RectOf(Element::Stop));
    DrawButtonFace(painter, stop, pressed);
    painter.fillRect(QRect(stop.center().x() - 6 + shift, stop.center().y() - 6 + shift, 12, 12), QColor(170, 38, 38));

    const QRect help = ToQRect(main_window::RectOf(Element::Help));
    DrawButtonFace(painter, help, pressed);
    DrawLabel(painter, help, "?", UiFont(20, true), QColor(29, 78, 160), pressed);

    DrawCloseBox(painter, ToQRect(main_window::RectOf(Element::Exit)), pressed);

    for (const Element arrow : {Element::ScrollLeft, Element::ScrollRight}) {
        const QRect rect = ToQRect(main_window::RectOf(arrow));
        DrawButtonFace(painter, rect, pressed, 5);
        const QRect symbol(rect.center().x() - 8 + shift, rect.center().y() - 12 + shift, 16, 24);
        DrawTriangle(painter, symbol, arrow == Element::ScrollRight, QColor(40, 56, 76));
    }
}

}  // namespace

QImage DrawMainWindow(bool pressed) {
    QImage image(main_window::kSkinWidth, main_window::kSkinHeight, QImage::Format_RGB32);
    QPainter painter(&image);
    QLinearGradient body(0, 0, 0, main_window::kSkinHeight);
    body.setColorAt(0, colour::kBodyLight);
    body.setColorAt(1, colour::kBody);
    painter.fillRect(image.rect(), body);
    DrawTitleBand(painter);

    DrawPanel(painter, main_window::kProgressBar, QColor(232, 238, 245));
    DrawPanel(painter, main_window::kOverview, colour::kOverview);
    DrawPanel(painter, main_window::kDetailView, colour::kPanel);
    DrawButtons(painter, pressed);
    return image;
}

}  // namespace kvt::art
