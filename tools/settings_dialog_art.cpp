// The settings dialog's three skins: the background (no cell buttons: a cell without a
// label shows it), and every element in its "on" and in its "off" look. The dialog paints
// the tab, cell and button labels, the saving directory and the hint lines itself.

#include <QLinearGradient>
#include <QPainterPath>

#include "app/settings_dialog/settings_dialog_layout.h"
#include "tools/skin_art.h"

namespace kvt::art {
namespace {

namespace layout = settings_dialog;

const QColor kDialogBody{226, 231, 237};

void DrawBase(QPainter& painter) {
    painter.fillRect(0, 0, layout::kSkinWidth, layout::kSkinHeight, kDialogBody);
    QLinearGradient band(0, 0, 0, layout::kCaptionBandHeight);
    band.setColorAt(0, colour::kTitleTop);
    band.setColorAt(1, colour::kTitleBottom);
    painter.fillRect(0, 0, layout::kSkinWidth, layout::kCaptionBandHeight, band);
    DrawLabel(painter, QRect(14, 8, 120, 30), "変換設定", UiFont(20, true), Qt::white, false);
    painter.fillRect(0, 0, layout::kSkinWidth, 1, QColor(12, 30, 54));

    // Saving directory box: the dialog writes its caption at (120, 75) and the folder below.
    painter.fillRect(QRect(114, 73, 326, 36), QColor(120, 132, 146));
    painter.fillRect(QRect(115, 74, 324, 34), Qt::white);
    DrawLabel(painter, QRect(14, 73, 94, 36), "保存先", UiFont(14, true), colour::kInk, false);

    // Grid backdrop behind the 7 x 4 cells, and the hint box under it.
    painter.fillRect(QRect(24, 118, 310, 251), QColor(209, 216, 225));
    painter.fillRect(QRect(14, 368, 424, 70), QColor(120, 132, 146));
    painter.fillRect(QRect(15, 369, 422, 68), QColor(250, 251, 252));
}

void DrawTab(QPainter& painter, const QRect& rect, bool on) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    QPainterPath shape;
    const QRectF r = QRectF(rect).adjusted(0.5, 0.5, -0.5, 0);
    shape.moveTo(r.bottomLeft());
    shape.lineTo(r.left(), r.top() + 5);
    shape.quadTo(r.topLeft(), QPointF(r.left() + 5, r.top()));
    shape.lineTo(r.right() - 5, r.top());
    shape.quadTo(r.topRight(), QPointF(r.right(), r.top() + 5));
    shape.lineTo(r.bottomRight());
    shape.closeSubpath();
    QLinearGradient fill(r.topLeft(), r.bottomLeft());
    fill.setColorAt(0, on ? QColor(64, 140, 235) : QColor(74, 86, 100));
    fill.setColorAt(1, on ? QColor(26, 96, 196) : QColor(46, 55, 66));
    painter.setPen(QPen(on ? QColor(170, 210, 255) : QColor(20, 26, 34), 1));
    painter.setBrush(fill);
    painter.drawPath(shape);
    painter.restore();
}

void DrawCell(QPainter& painter, const QRect& rect, bool on) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    const QRectF face = QRectF(rect).adjusted(0.5, 0.5, -0.5, -0.5);
    QLinearGradient fill(face.topLeft(), face.bottomLeft());
    if (on) {
        fill.setColorAt(0, QColor(255, 236, 150));
        fill.setColorAt(1, QColor(255, 188, 56));
        painter.setPen(QPen(QColor(196, 118, 0), 2));
    } else {
        fill.setColorAt(0, QColor(244, 246, 249));
        fill.setColorAt(1, QColor(214, 219, 226));
        painter.setPen(QPen(QColor(130, 140, 152), 1));
    }
    painter.setBrush(fill);
    painter.drawRoundedRect(on ? face.adjusted(0.5, 0.5, -0.5, -0.5) : face, 4, 4);
    painter.restore();
}

void DrawElements(QPainter& painter, bool on) {
    for (const SkinRect& tab : layout::kTabRects) DrawTab(painter, ToQRect(tab), on);
    for (int cell = 0; cell < layout::kCellCount; ++cell) DrawCell(painter, ToQRect(layout::CellRect(cell)), on);
    DrawButtonFace(painter, ToQRect(layout::kBrowseButton), on);
    DrawButtonFace(painter, ToQRect(layout::kOkButton), on);
    DrawCloseBox(painter, ToQRect(layout::kCloseButton), on);
}

// Beside the grid: what a lit and an unlit cell mean.
void DrawLegend(QPainter& painter) {
    const QFont font = UiFont(12, false);
    DrawCell(painter, QRect(352, 130, 22, 16), true);
    DrawLabel(painter, QRect(380, 130, 56, 16), "ON", font, colour::kInk, false);
    DrawCell(painter, QRect(352, 156, 22, 16), false);
    DrawLabel(painter, QRect(380, 156, 56, 16), "OFF", font, colour::kInk, false);
}

}  // namespace

QImage DrawSettingsDialog(SettingsLook look) {
    QImage image(layout::kSkinWidth, layout::kSkinHeight, QImage::Format_RGB32);
    QPainter painter(&image);
    DrawBase(painter);
    DrawLegend(painter);
    if (look == SettingsLook::Background) {
        // Tabs and buttons are always drawn from the "on" or "off" look; the background
        // shows them unlit so it reads as the dialog on its own.
        for (const SkinRect& tab : layout::kTabRects) DrawTab(painter, ToQRect(tab), false);
        DrawButtonFace(painter, ToQRect(layout::kBrowseButton), false);
        DrawButtonFace(painter, ToQRect(layout::kOkButton), false);
        DrawCloseBox(painter, ToQRect(layout::kCloseButton), false);
    } else {
        DrawElements(painter, look == SettingsLook::On);
    }
    return image;
}

}  // namespace kvt::art
