#include "tools/skin_art.h"

#include <cstdio>

#include <QLinearGradient>
#include <QPainterPath>
#include <QPolygonF>

namespace kvt::art {

QRect ToQRect(const SkinRect& rect) {
    return QRect(rect.left, rect.top, rect.Width(), rect.Height());
}

QFont UiFont(int pixelSize, bool bold) {
    // DejaVu Sans first for Latin; the proportional IPA Gothic supplies the Japanese glyphs.
    QFont font;
    font.setFamilies({"DejaVu Sans", "IPAPGothic", "IPAGothic"});
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    return font;
}

void DrawButtonFace(QPainter& painter, const QRect& rect, bool pressed, int radius) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    const QRectF face = QRectF(rect).adjusted(0.5, 0.5, -0.5, -0.5);
    QLinearGradient fill(face.topLeft(), face.bottomLeft());
    fill.setColorAt(0, pressed ? colour::kPressedTop : colour::kFaceTop);
    fill.setColorAt(1, pressed ? colour::kPressedBottom : colour::kFaceBottom);
    painter.setPen(QPen(pressed ? QColor(30, 38, 48) : colour::kEdge, 1));
    painter.setBrush(fill);
    painter.drawRoundedRect(face, radius, radius);
    // Raised: a light line along the top. Inset: a shadow along the top and left.
    if (pressed) {
        painter.setPen(QPen(QColor(60, 72, 88), 2));
        painter.drawLine(QPointF(face.left() + 2, face.top() + 1.5), QPointF(face.right() - 2, face.top() + 1.5));
        painter.drawLine(QPointF(face.left() + 1.5, face.top() + 2), QPointF(face.left() + 1.5, face.bottom() - 2));
    } else {
        painter.setPen(QPen(QColor(255, 255, 255, 200), 1));
        painter.drawLine(QPointF(face.left() + 2, face.top() + 1), QPointF(face.right() - 2, face.top() + 1));
    }
    painter.restore();
}

void DrawLabel(QPainter& painter, const QRect& rect, const QString& text, const QFont& font, const QColor& colour,
               bool pressed) {
    painter.save();
    painter.setRenderHint(QPainter::TextAntialiasing, true);
    painter.setFont(font);
    painter.setPen(colour);
    painter.drawText(pressed ? rect.translated(1, 1) : rect, Qt::AlignCenter, text);
    painter.restore();
}

void DrawTriangle(QPainter& painter, const QRect& box, bool pointsRight, const QColor& colour) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setPen(Qt::NoPen);
    painter.setBrush(colour);
    const QRectF b(box);
    QPolygonF triangle;
    if (pointsRight)
        triangle << b.topLeft() << QPointF(b.right(), b.center().y()) << b.bottomLeft();
    else
        triangle << b.topRight() << QPointF(b.left(), b.center().y()) << b.bottomRight();
    painter.drawPolygon(triangle);
    painter.restore();
}

void DrawCross(QPainter& painter, const QRect& box, const QColor& colour, qreal width) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setPen(QPen(colour, width, Qt::SolidLine, Qt::RoundCap));
    const QRectF b(box);
    painter.drawLine(b.topLeft(), b.bottomRight());
    painter.drawLine(b.topRight(), b.bottomLeft());
    painter.restore();
}

void DrawCloseBox(QPainter& painter, const QRect& rect, bool pressed) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setPen(QPen(QColor(20, 24, 30), 1));
    painter.setBrush(pressed ? QColor(120, 24, 24) : QColor(206, 62, 62));
    painter.drawRoundedRect(QRectF(rect).adjusted(0.5, 0.5, -0.5, -0.5), 3, 3);
    painter.restore();
    const int shift = pressed ? 1 : 0;
    DrawCross(painter, rect.adjusted(4 + shift, 3 + shift, -4 + shift, -3 + shift), Qt::white, 1.6);
}

bool SaveBitmap(const QImage& image, const QString& path) {
    if (image.convertToFormat(QImage::Format_RGB888).save(path, "BMP")) return true;
    std::fprintf(stderr, "kvt-draw-skins: cannot write %s\n", path.toLocal8Bit().constData());
    return false;
}

}  // namespace kvt::art
