// The program icon: a waveform on a blue tile, with a note for "ringtone". The shapes are
// laid out once, in units of the icon's size, and drawn both as pixels and as SVG. Below
// 64 px the name under the waveform would be a smudge, and below 32 px thin bars blur, so
// small icons leave the name out and draw fewer, wider bars.

#include <cmath>
#include <vector>

#include <QLinearGradient>
#include <QPainterPath>

#include "tools/skin_art.h"

namespace kvt::art {
namespace {

const QColor kTileTop(52, 130, 220);
const QColor kTileBottom(18, 56, 110);
const QColor kBar(255, 255, 255, 235);
const QColor kNote(255, 214, 90);

struct IconLayout {
    QRectF tile;
    qreal tileRadius = 0;
    std::vector<QRectF> bars;
    qreal barRadius = 0;
    QPointF noteHead;
    QSizeF noteRadii;
    QRectF noteStem;
    std::vector<QPointF> noteFlag;  // a start point, then control and end points of two quads
    bool withName = false;
    QRectF nameBox;
    int nameSize = 0;
};

IconLayout LayOutIcon(int size) {
    const qreal s = size;
    IconLayout layout;
    layout.tile = QRectF(s * 0.04, s * 0.04, s * 0.92, s * 0.92);
    layout.tileRadius = s * 0.18;

    const bool small = size < 32;
    layout.withName = size >= 64;
    const int bars = small ? 7 : 15;
    const qreal barWidth = s * (small ? 0.09 : 0.036);
    const qreal baseline = layout.withName ? s * 0.52 : s * 0.58;
    const qreal reach = layout.withName ? 0.13 : 0.2;
    for (int i = 0; i < bars; ++i) {
        const qreal middle = (bars - 1) / 2.0;
        const qreal phase = i * 0.9 * 14.0 / (bars - 1);
        const qreal x = s * 0.14 + i * (s * 0.72 / (bars - 1)) - barWidth / 2;
        const qreal height =
            s * (0.03 + reach * std::fabs(std::sin(phase)) * (1.0 - std::fabs(i - middle) / (middle + 3.0)));
        layout.bars.emplace_back(x, baseline - height, barWidth, height * 2);
    }
    layout.barRadius = barWidth / 2;

    const qreal grow = small ? 1.4 : 1.0;
    layout.noteHead = QPointF(s * 0.70, s * 0.27);
    layout.noteRadii = QSizeF(s * 0.06 * grow, s * 0.046 * grow);
    layout.noteStem = QRectF(s * (0.70 + 0.038 * grow), s * 0.10, s * 0.022 * grow, s * 0.17);
    const qreal stemRight = layout.noteStem.right();
    layout.noteFlag = {{stemRight, s * 0.10},
                       {stemRight + s * 0.05, s * 0.14},
                       {stemRight + s * 0.09, s * 0.20},
                       {stemRight + s * 0.05, s * 0.16},
                       {stemRight, s * 0.155}};

    layout.nameBox = QRectF(0, s * 0.71, s, s * 0.18);
    layout.nameSize = static_cast<int>(s * 0.16);
    return layout;
}

QString Number(qreal value) {
    return QString::number(value, 'f', 2);
}

QString SvgColour(const QColor& colour) {
    return QString("fill=\"%1\"%2")
        .arg(colour.name(QColor::HexRgb))
        .arg(colour.alpha() == 255 ? QString() : QString(" fill-opacity=\"%1\"").arg(Number(colour.alphaF())));
}

QString SvgRoundedRect(const QRectF& rect, qreal radius, const QString& fill) {
    return QString("  <rect x=\"%1\" y=\"%2\" width=\"%3\" height=\"%4\" rx=\"%5\" %6/>\n")
        .arg(Number(rect.x()), Number(rect.y()), Number(rect.width()), Number(rect.height()), Number(radius), fill);
}

}  // namespace

QImage DrawProgramIcon(int size) {
    const IconLayout layout = LayOutIcon(size);
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing, true);

    QLinearGradient tile(0, 0, 0, size);
    tile.setColorAt(0, kTileTop);
    tile.setColorAt(1, kTileBottom);
    painter.setPen(Qt::NoPen);
    painter.setBrush(tile);
    painter.drawRoundedRect(layout.tile, layout.tileRadius, layout.tileRadius);

    painter.setBrush(kBar);
    for (const QRectF& bar : layout.bars) painter.drawRoundedRect(bar, layout.barRadius, layout.barRadius);

    painter.setBrush(kNote);
    painter.drawEllipse(layout.noteHead, layout.noteRadii.width(), layout.noteRadii.height());
    painter.fillRect(layout.noteStem, kNote);
    QPainterPath flag;
    flag.moveTo(layout.noteFlag[0]);
    flag.quadTo(layout.noteFlag[1], layout.noteFlag[2]);
    flag.quadTo(layout.noteFlag[3], layout.noteFlag[4]);
    flag.closeSubpath();
    painter.drawPath(flag);

    if (layout.withName) {
        painter.setPen(Qt::white);
        painter.setFont(UiFont(layout.nameSize, true));
        painter.drawText(layout.nameBox, Qt::AlignCenter, "KVT");
    }
    return image;
}

QString ProgramIconSvg() {
    constexpr int kSize = 256;
    const IconLayout layout = LayOutIcon(kSize);
    QString svg;
    svg += QString("<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"%1\" height=\"%1\" viewBox=\"0 0 %1 %1\">\n")
               .arg(kSize);
    svg += QString(
               "  <defs><linearGradient id=\"tile\" x1=\"0\" y1=\"0\" x2=\"0\" y2=\"%1\" "
               "gradientUnits=\"userSpaceOnUse\"><stop offset=\"0\" stop-color=\"%2\"/>"
               "<stop offset=\"1\" stop-color=\"%3\"/></linearGradient></defs>\n")
               .arg(kSize)
               .arg(kTileTop.name(), kTileBottom.name());
    svg += SvgRoundedRect(layout.tile, layout.tileRadius, "fill=\"url(#tile)\"");
    for (const QRectF& bar : layout.bars) svg += SvgRoundedRect(bar, layout.barRadius, SvgColour(kBar));
    svg += QString("  <ellipse cx=\"%1\" cy=\"%2\" rx=\"%3\" ry=\"%4\" %5/>\n")
               .arg(Number(layout.noteHead.x()), Number(layout.noteHead.y()), Number(layout.noteRadii.width()),
                    Number(layout.noteRadii.height()), SvgColour(kNote));
    svg += SvgRoundedRect(layout.noteStem, 0, SvgColour(kNote));
    const auto& f = layout.noteFlag;
    svg += QString("  <path d=\"M %1 %2 Q %3 %4 %5 %6 Q %7 %8 %9 %10 Z\" %11/>\n")
               .arg(Number(f[0].x()), Number(f[0].y()), Number(f[1].x()), Number(f[1].y()), Number(f[2].x()),
                    Number(f[2].y()), Number(f[3].x()), Number(f[3].y()), Number(f[4].x()))
               .arg(Number(f[4].y()), SvgColour(kNote));
    svg += QString(
               "  <text x=\"%1\" y=\"%2\" font-family=\"DejaVu Sans, sans-serif\" font-weight=\"bold\" "
               "font-size=\"%3\" fill=\"#ffffff\" text-anchor=\"middle\" dominant-baseline=\"central\">KVT</text>\n")
               .arg(Number(layout.nameBox.center().x()), Number(layout.nameBox.center().y()))
               .arg(layout.nameSize);
    svg += "</svg>\n";
    return svg;
}

}  // namespace kvt::art
