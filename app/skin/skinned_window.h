#pragma once
// The mechanics both skinned windows share: a frameless window whose client area is a
// picture composed from a normal-look and a pressed-look bitmap of the same size, elements
// that are rectangles tested against the cursor, and a top band that moves the window.
//
// A paint composes the back buffer (background, then ComposeContent of the window) and
// shows it. Hit tests use the cursor position at the time of the test.

#include <functional>
#include <span>

#include <QImage>
#include <QPoint>
#include <QWidget>

#include "app/skin/skin_rect.h"

namespace kvt {

enum class ElementState { Normal = 0, Pressed = 1 };

class SkinnedWindow : public QWidget {
public:
    // Where the cursor is on the screen; tests put a fake one in.
    using CursorSource = std::function<QPoint()>;

    SkinnedWindow(QImage normalLook, QImage pressedLook, QWidget* parent = nullptr);

    // Frameless pop-up, client area exactly the normal look's size, at screen (100, 100).
    void Fit();
    // Copies `rect` from the pressed look (Pressed) or the normal look (Normal) into the
    // back buffer; any other state draws nothing.
    void DrawElement(const SkinRect& rect, int state);
    void DrawElement(const SkinRect& rect, ElementState state) { DrawElement(rect, static_cast<int>(state)); }
    // True when the cursor, now, is inside `rect` (edges included).
    bool HitTest(const SkinRect& rect) const;
    // The cursor now, in client coordinates.
    QPoint CursorClientPos() const;
    // Composes the back buffer now and returns it (what the next paint shows).
    const QImage& RenderBackBuffer();

    // True when `point` lies in the top band (y < bandHeight) and in none of `rects`:
    // a press there moves the window.
    static bool CaptionTest(QPoint point, std::span<const SkinRect> rects, int bandHeight = 70);

    void SetCursorSource(CursorSource source);

protected:
    // Draws the window's elements and content over the background in the back buffer.
    virtual void ComposeContent(QImage& backBuffer) = 0;
    // The rectangles that are not caption inside the top band.
    virtual std::span<const SkinRect> CaptionExclusions() const = 0;
    // A left press that is not on the caption band.
    virtual void OnLeftButtonDown() {}
    virtual void OnLeftButtonUp() {}

    const QImage& NormalLook() const { return normalLook_; }
    const QImage& PressedLook() const { return pressedLook_; }
    QImage& BackBuffer() { return backBuffer_; }

    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    QImage normalLook_;
    QImage pressedLook_;
    QImage backBuffer_;
    CursorSource cursorSource_;
    bool leftButtonCaptured_ = false;
};

}  // namespace kvt
