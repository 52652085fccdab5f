#pragma once
// Drawing primitives shared by the skin artwork: the palette, button faces in their normal
// and pressed looks, labels and symbols. Used only by kvt-draw-skins.

#include <QColor>
#include <QFont>
#include <QImage>
#include <QPainter>
#include <QRect>
#include <QString>

#include "app/skin/skin_rect.h"

namespace kvt::art {

namespace colour {
inline const QColor kBody{38, 49, 61};
inline const QColor kBodyLight{52, 66, 81};
inline const QColor kTitleTop{29, 78, 137};
inline const QColor kTitleBottom{20, 52, 92};
inline const QColor kFaceTop{246, 248, 251};
inline const QColor kFaceBottom{208, 215, 224};
inline const QColor kPressedTop{128, 146, 168};
inline const QColor kPressedBottom{165, 180, 198};
inline const QColor kEdge{70, 82, 96};
inline const QColor kInk{24, 32, 42};
inline const QColor kPanel{244, 246, 249};
// Mid-light so that the window's additive cyan tint shows as a clear pale cyan band.
inline const QColor kOverview{196, 206, 220};
}  // namespace colour

QRect ToQRect(const SkinRect& rect);

// A sans-serif font that also has the Japanese glyphs.
QFont UiFont(int pixelSize, bool bold);

// A raised button face (normal) or a darker, inset one (pressed) filling `rect`.
void DrawButtonFace(QPainter& painter, const QRect& rect, bool pressed, int radius = 4);
// Centred text; a pressed element shows it one pixel down and right.
void DrawLabel(QPainter& painter, const QRect& rect, const QString& text, const QFont& font, const QColor& colour,
               bool pressed);
void DrawTriangle(QPainter& painter, const QRect& box, bool pointsRight, const QColor& colour);
// The symbol of closing: two crossed strokes.
void DrawCross(QPainter& painter, const QRect& box, const QColor& colour, qreal width);
// The small red close box of a window's top band; pressed is darker, its cross shifted.
void DrawCloseBox(QPainter& painter, const QRect& rect, bool pressed);

// Converts to a 24-bit picture and writes it; false with a message on failure.
bool SaveBitmap(const QImage& image, const QString& path);

QImage DrawMainWindow(bool pressed);
enum class SettingsLook { Background, On, Off };
QImage DrawSettingsDialog(SettingsLook look);
QImage DrawProgramIcon(int size);
// The same icon as scalable vector art, 256 units square.
QString ProgramIconSvg();

}  // namespace kvt::art
