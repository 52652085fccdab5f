#include "app/skin/skinned_window.h"

#include <array>

#include <gtest/gtest.h>
#include <QImage>

namespace kvt {
namespace {

constexpr QRgb kNormal = qRgb(10, 20, 30);
constexpr QRgb kPressed = qRgb(200, 100, 50);

QImage Filled(QRgb colour) {
    QImage image(40, 30, QImage::Format_RGB888);
    image.fill(colour);
    return image;
}

class TestWindow : public SkinnedWindow {
public:
    TestWindow() : SkinnedWindow(Filled(kNormal), Filled(kPressed)) {}
    SkinRect element{5, 5, 9, 9};
    int elementState = 0;

protected:
    void ComposeContent(QImage&) override { DrawElement(element, elementState); }
    std::span<const SkinRect> CaptionExclusions() const override { return {&element, 1}; }
};

TEST(SkinnedWindow, DrawElementCopiesTheRectangleFromTheLookOfItsState) {
    TestWindow window;
    struct Case {
        int state;
        QRgb inside;
    };
    for (const Case& c : {Case{1, kPressed}, Case{0, kNormal}, Case{2, kNormal}}) {
        window.elementState = c.state;
        const QImage& image = window.RenderBackBuffer();
        EXPECT_EQ(image.pixel(5, 5), c.inside) << c.state;
        EXPECT_EQ(image.pixel(9, 9), c.inside) << c.state;
        EXPECT_EQ(image.pixel(10, 9), kNormal) << c.state;
        EXPECT_EQ(image.pixel(4, 5), kNormal) << c.state;
    }
}

TEST(SkinnedWindow, HitTestIncludesRightAndBottomEdgesAndUsesTheCursorNow) {
    TestWindow window;
    window.Fit();
    QPoint cursor;
    window.SetCursorSource([&] { return window.mapToGlobal(cursor); });
    struct Case {
        QPoint point;
        bool inside;
    };
    for (const Case& c :
         {Case{{5, 5}, true}, Case{{9, 9}, true}, Case{{10, 9}, false}, Case{{9, 10}, false}, Case{{4, 7}, false}}) {
        cursor = c.point;
        EXPECT_EQ(window.HitTest(window.element), c.inside) << c.point.x() << "," << c.point.y();
    }
}

TEST(SkinnedWindow, CaptionIsTheTopBandOutsideTheListedRectangles) {
    const std::array<SkinRect, 1> buttons = {{{100, 20, 150, 50}}};
    EXPECT_TRUE(SkinnedWindow::CaptionTest({10, 69}, buttons));
    EXPECT_FALSE(SkinnedWindow::CaptionTest({10, 70}, buttons));
    EXPECT_FALSE(SkinnedWindow::CaptionTest({150, 50}, buttons));
    EXPECT_TRUE(SkinnedWindow::CaptionTest({151, 50}, buttons));
}

TEST(SkinnedWindow, FitGivesAFramelessWindowOfTheSkinSizeAt100By100) {
    TestWindow window;
    window.Fit();
    EXPECT_EQ(window.size(), QSize(40, 30));
    EXPECT_EQ(window.pos(), QPoint(100, 100));
    EXPECT_TRUE(window.windowFlags() & Qt::FramelessWindowHint);
}

}  // namespace
}  // namespace kvt
