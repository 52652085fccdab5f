#include "app/skin/skinned_window.h"

#include <QCursor>
#include <QMouseEvent>
#include <QPainter>
#include <QWindow>

namespace kvt {

SkinnedWindow::SkinnedWindow(QImage normalLook, QImage pressedLook, QWidget* parent)
    : QWidget(parent),
      normalLook_(std::move(normalLook).convertToFormat(QImage::Format_RGB32)),
      pressedLook_(std::move(pressedLook).convertToFormat(QImage::Format_RGB32)),
      backBuffer_(normalLook_.size(), QImage::Format_RGB32),
      cursorSource_([] { return QCursor::pos(); }) {
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void SkinnedWindow::Fit() {
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
    setFixedSize(normalLook_.size());
    move(100, 100);
    update();
}

void SkinnedWindow::DrawElement(const SkinRect& rect, int state) {
    const QImage* source = nullptr;
    if (state == static_cast<int>(ElementState::Pressed))
        source = &pressedLook_;
    else if (state == static_cast<int>(ElementState::Normal))
        source = &normalLook_;
    if (source == nullptr) return;
    QPainter painter(&backBuffer_);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    const QRect area(rect.left, rect.top, rect.Width(), rect.Height());
    painter.drawImage(area.topLeft(), *source, area);
}

QPoint SkinnedWindow::CursorClientPos() const {
    return mapFromGlobal(cursorSource_());
}

bool SkinnedWindow::HitTest(const SkinRect& rect) const {
    const QPoint point = CursorClientPos();
    return rect.Contains(point.x(), point.y());
}

const QImage& SkinnedWindow::RenderBackBuffer() {
    {
        QPainter painter(&backBuffer_);
        painter.setCompositionMode(QPainter::CompositionMode_Source);
        painter.drawImage(0, 0, normalLook_);
    }
    ComposeContent(backBuffer_);
    return backBuffer_;
}

bool SkinnedWindow::CaptionTest(QPoint point, std::span<const SkinRect> rects, int bandHeight) {
    if (point.y() >= bandHeight) return false;
    for (const SkinRect& rect : rects) {
        if (rect.Contains(point.x(), point.y())) return false;
    }
    return true;
}

void SkinnedWindow::SetCursorSource(CursorSource source) {
    cursorSource_ = std::move(source);
}

void SkinnedWindow::paintEvent(QPaintEvent*) {
    RenderBackBuffer();
    QPainter painter(this);
    painter.drawImage(0, 0, backBuffer_);
}

void SkinnedWindow::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    if (CaptionTest(event->position().toPoint(), CaptionExclusions())) {
        if (QWindow* handle = windowHandle()) handle->startSystemMove();
        return;
    }
    leftButtonCaptured_ = true;  // Qt grabs the mouse for the pressed button until release
    OnLeftButtonDown();
}

void SkinnedWindow::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !leftButtonCaptured_) {
        QWidget::mouseReleaseEvent(event);
        return;
    }
    leftButtonCaptured_ = false;
    OnLeftButtonUp();
}

}  // namespace kvt
