#pragma once
// A settings dialog on plain one-colour skins, driven by mouse events at a cursor position
// the test moves.

#include <QCoreApplication>
#include <QMouseEvent>
#include <QTimer>

#include <algorithm>
#include <functional>

#include "app/settings_dialog/settings_dialog.h"
#include "app/settings_dialog/settings_dialog_layout.h"

namespace kvt::testing {

constexpr QRgb kBackground = qRgb(200, 200, 200);
constexpr QRgb kOnLook = qRgb(255, 255, 160);
constexpr QRgb kOffLook = qRgb(255, 255, 255);

inline QImage Filled(QRgb colour) {
    QImage image(settings_dialog::kSkinWidth, settings_dialog::kSkinHeight, QImage::Format_RGB888);
    image.fill(colour);
    return image;
}

inline SettingsDialogSkin PlainSkin() {
    return {Filled(kBackground), Filled(kOnLook), Filled(kOffLook)};
}

inline QPoint Centre(const SkinRect& rect) {
    return {(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
}

// The darkest grey level of the pixels in `rect` (255 when it holds no text at all).
inline int DarkestIn(const QImage& image, const SkinRect& rect) {
    int darkest = 255;
    for (int y = rect.top; y <= rect.bottom; ++y)
        for (int x = rect.left; x <= rect.right; ++x) darkest = std::min(darkest, qGray(image.pixel(x, y)));
    return darkest;
}

struct DialogDriver {
    SettingsDialog dialog;
    QPoint cursor;

    explicit DialogDriver(QWidget* parent = nullptr) : dialog(PlainSkin(), parent) {
        dialog.SetCursorSource([this] { return dialog.mapToGlobal(cursor); });
    }

    void Send(QEvent::Type type, QPoint at, Qt::MouseButtons buttons) {
        cursor = at;
        QMouseEvent event(type, QPointF(at), QPointF(dialog.mapToGlobal(at)), Qt::LeftButton, buttons, Qt::NoModifier);
        QCoreApplication::sendEvent(&dialog, &event);
    }
    void Click(const SkinRect& rect) {
        Send(QEvent::MouseButtonPress, Centre(rect), Qt::LeftButton);
        Send(QEvent::MouseButtonRelease, Centre(rect), Qt::NoButton);
    }
    // Runs the dialog modally; `whileOpen` acts on it, and must end it.
    bool Exec(Settings& settings, std::function<void()> whileOpen) {
        QTimer::singleShot(0, &dialog, whileOpen);
        return dialog.Exec(settings);
    }
};

}  // namespace kvt::testing
