// The program icon: a waveform on a blue tile, with a note for "ringtone".

#include <cmath>

#include <QLinearGradient>
#include <QPainterPath>

#include "tools/skin_art.h"

namespace kvt::art {

QImage DrawProgramIcon(int size) {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing, true);
    const qreal s = size;

    QLinearGradient tile(0, 0, 0, s);
    tile.setColorAt(0, QColor(52, 130, 220));
    tile.setColorAt(1, QColor(18, 56, 110));
    painter.setPen(Qt::NoPen);
    painter.setBrush(tile);
    painter.drawRoundedRect(QRectF(s * 0.04, s * 0.04, s * 0.92, s * 0.92), s * 0.18, s * 0.18);

    // Waveform bars across the lower half.
    const int bars = 15;
    const qreal barWidth = s * 0.036;
    const qreal baseline = s * 0.52;
    painter.setBrush(QColor(255, 255, 255, 235));
    for (int i = 0; i < bars; ++i) {
        const qreal x = s * 0.14 + i * (s * 0.72 / (bars - 1)) - barWidth / 2;
        const qreal height = s * (0.03 + 0.13 * std::fabs(std::sin(i * 0.9)) * (1.0 - std::fabs(i - 7) / 10.0));
        painter.drawRoundedRect(QRectF(x, baseline - height, barWidth, height * 2), barWidth / 2, barWidth / 2);
    }

    // A quaver in the upper right.
    painter.setBrush(QColor(255, 214, 90));
    painter.drawEllipse(QPointF(s * 0.70, s * 0.27), s * 0.06, s * 0.046);
    painter.fillRect(QRectF(s * 0.738, s * 0.10, s * 0.022, s * 0.17), QColor(255, 214, 90));
    QPainterPath flag;
    flag.moveTo(s * 0.76, s * 0.10);
    flag.quadTo(s * 0.81, s * 0.14, s * 0.85, s * 0.20);
    flag.quadTo(s * 0.81, s * 0.16, s * 0.76, s * 0.155);
    flag.closeSubpath();
    painter.drawPath(flag);

    painter.setPen(Qt::white);
    painter.setFont(UiFont(static_cast<int>(s * 0.16), true));
    painter.drawText(QRectF(0, s * 0.71, s, s * 0.18), Qt::AlignCenter, "KVT");
    return image;
}

}  // namespace kvt::art
