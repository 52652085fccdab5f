// The compiled-in artwork: every skin is where the windows look for it, 24-bit, of its
// window's size, and the pressed look differs from the normal one on every element.

#include <gtest/gtest.h>
#include <QFile>
#include <QImage>

#include "app/main_window/main_window_layout.h"
#include "app/settings_dialog/settings_dialog_layout.h"

namespace kvt {
namespace {

int BitsPerPixelOfBitmap(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return -1;
    const QByteArray header = file.read(30);
    if (header.size() < 30 || !header.startsWith("BM")) return -1;
    return static_cast<unsigned char>(header[28]) | static_cast<unsigned char>(header[29]) << 8;
}

TEST(ArtworkResources, SkinsAreTwentyFourBitAndOfTheirWindowsSize) {
    struct Case {
        const char* path;
        int width;
        int height;
    };
    const Case cases[] = {
        {":/skin/main_normal.bmp", main_window::kSkinWidth, main_window::kSkinHeight},
        {":/skin/main_pressed.bmp", main_window::kSkinWidth, main_window::kSkinHeight},
        {":/skin/settings_background.bmp", settings_dialog::kSkinWidth, settings_dialog::kSkinHeight},
        {":/skin/settings_on.bmp", settings_dialog::kSkinWidth, settings_dialog::kSkinHeight},
        {":/skin/settings_off.bmp", settings_dialog::kSkinWidth, settings_dialog::kSkinHeight},
    };
    for (const Case& c : cases) {
        const QImage image(c.path);
        ASSERT_FALSE(image.isNull()) << c.path;
        EXPECT_EQ(image.size(), QSize(c.width, c.height)) << c.path;
        EXPECT_EQ(BitsPerPixelOfBitmap(c.path), 24) << c.path;
    }
    const QImage icon(":/icon/kvt.png");
    ASSERT_FALSE(icon.isNull());
    EXPECT_GE(icon.width(), 64);
    EXPECT_EQ(icon.width(), icon.height());
}

bool DiffersInside(const QImage& a, const QImage& b, const SkinRect& rect) {
    for (int y = rect.top; y <= rect.bottom; ++y)
        for (int x = rect.left; x <= rect.right; ++x)
            if (a.pixel(x, y) != b.pixel(x, y)) return true;
    return false;
}

TEST(ArtworkResources, EveryElementHasADistinctPressedLook) {
    const QImage normal(":/skin/main_normal.bmp");
    const QImage pressed(":/skin/main_pressed.bmp");
    for (int i = 0; i < main_window::kElementCount; ++i)
        EXPECT_TRUE(DiffersInside(normal, pressed, main_window::kElementRects[i])) << "element " << i;

    const QImage on(":/skin/settings_on.bmp");
    const QImage off(":/skin/settings_off.bmp");
    for (int cell = 0; cell < settings_dialog::kCellCount; ++cell)
        EXPECT_TRUE(DiffersInside(on, off, settings_dialog::CellRect(cell))) << "cell " << cell;
    for (const SkinRect& rect : settings_dialog::kTabRects) EXPECT_TRUE(DiffersInside(on, off, rect));
    for (const SkinRect& rect :
         {settings_dialog::kBrowseButton, settings_dialog::kOkButton, settings_dialog::kCloseButton})
        EXPECT_TRUE(DiffersInside(on, off, rect));
}

// The window draws the overview waveform over the skin's pixels there: the strip is one
// colour in both looks, so nothing of the artwork shows through as a false waveform.
TEST(ArtworkResources, OverviewStripIsOneCleanColour) {
    for (const char* path : {":/skin/main_normal.bmp", ":/skin/main_pressed.bmp"}) {
        const QImage skin(path);
        const SkinRect& strip = main_window::kOverview;
        const QRgb first = skin.pixel(strip.left, strip.top);
        int others = 0;
        for (int y = strip.top; y <= strip.bottom; ++y)
            for (int x = strip.left; x <= strip.right; ++x) others += skin.pixel(x, y) != first;
        EXPECT_EQ(others, 0) << path;
        EXPECT_GT(qGray(first), 128) << path;
    }
}

}  // namespace
}  // namespace kvt
