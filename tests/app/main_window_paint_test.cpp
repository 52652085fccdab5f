// What the window paints, read back from its rendered image: where the tints, lines and
// labels are, not how the artwork looks.

#include "main_window_fixture.h"

namespace kvt::testing {
namespace {

using main_window::Element;
using main_window::kDetailView;
using main_window::kOverview;
using main_window::kPlotMargin;

constexpr QRgb kBlack = qRgb(0, 0, 0);
constexpr QRgb kCyanTint = qRgb(200, 255, 255);    // the normal skin plus cyan
constexpr QRgb kYellowTint = qRgb(255, 255, 120);  // the normal skin plus yellow

bool IsInk(QRgb pixel) {
    return qGray(pixel) < 110;
}

// Client x of a plot column.
int PlotX(int column) {
    return kDetailView.left + kPlotMargin + column;
}
int PlotY(int row) {
    return kDetailView.top + row;
}

TEST_F(MainWindow, OverviewTintsTheSelectionCyanAndWhatWasPlayedYellow) {
    // 4550 frames: overview column = frame / 10.
    window->OpenPath(WriteWav("song.wav", 4550, 1, 8000));
    window->MutableModel().input.startFrame = 1000;
    window->MutableModel().input.endFrame = 3000;
    auto preview = std::make_unique<FakePreview>();
    FakePreview& fake = *preview;
    window->SetPreviewPlayer(std::move(preview));

    for (bool playing : {false, true}) {
        fake.playing = playing;
        fake.frame = 2000;
        const QImage& image = window->RenderBackBuffer();
        for (int column = 0; column < 455; ++column) {
            QRgb expected = kNormalSkin;
            if (column == 0 || column == 100 || column == 300 || (playing && column == 200))
                expected = kBlack;
            else if (playing && column > 100 && column < 200)
                expected = kYellowTint;
            else if (column > 100 && column < 300)
                expected = kCyanTint;
            ASSERT_EQ(image.pixel(kOverview.left + column, kOverview.top + 10), expected)
                << "column " << column << (playing ? " playing" : "");
        }
        // The play button shows pressed while playing.
        EXPECT_EQ(image.pixel(main_window::RectOf(Element::Play).left, 40), playing ? kPressedSkin : kNormalSkin);
    }
}

TEST_F(MainWindow, MonoPositiveDrawsBelowItsCentreAndStereoLanesAbove) {
    struct Case {
        uint16_t channels;
        int16_t value;
        std::vector<int> inkRows;   // plot image rows with the waveform
        std::vector<int> bareRows;  // their mirror images across the centre lines
    };
    // Mono centre 127, half height 103; stereo centres 75 and 179, half height 51.
    const Case cases[] = {
        {1, 16000, {177}, {77}},
        {1, -16000, {77}, {177}},
        {2, 16000, {51, 155}, {99, 203}},
    };
    for (const Case& c : cases) {
        window->OpenPath(WriteWav("song.wav", 1000, c.channels, 8000, c.value, c.value));
        const QImage& image = window->RenderBackBuffer();
        for (int row : c.inkRows) EXPECT_EQ(image.pixel(PlotX(200), PlotY(row)), kBlack) << c.channels << " " << row;
        for (int row : c.bareRows) EXPECT_FALSE(IsInk(image.pixel(PlotX(200), PlotY(row)))) << c.channels << " " << row;
    }
}

TEST_F(MainWindow, CursorLineSitsAtItsColumnInBothViews) {
    window->OpenPath(WriteWav("song.wav", 1000, 1, 8000));
    ClickPlotColumn(300);
    const QImage& image = window->RenderBackBuffer();
    for (int row = 30; row < 120; ++row) {
        EXPECT_EQ(image.pixel(PlotX(300), PlotY(row)), kBlack) << row;
        EXPECT_FALSE(IsInk(image.pixel(PlotX(299), PlotY(row)))) << row;
        EXPECT_FALSE(IsInk(image.pixel(PlotX(301), PlotY(row)))) << row;
    }
    // Frame 300 of 1000 in the overview: column 136.
    EXPECT_EQ(image.pixel(kOverview.left + 136, kOverview.top + 10), kBlack);
    EXPECT_EQ(image.pixel(kOverview.left + 137, kOverview.top + 10), kCyanTint);
}

TEST_F(MainWindow, RulerLabelsFallOnTheColumnsOfTheirTimes) {
    // The second label: 50 ms at 8000 Hz, 20 ms at 16000 Hz, 10 ms at 44100 Hz.
    const std::pair<uint32_t, int> cases[] = {{8000, 400}, {16000, 320}, {44100, 441}};
    for (auto [rate, column] : cases) {
        window->OpenPath(WriteWav("song.wav", 2000, 1, rate));
        const QImage& image = window->RenderBackBuffer();
        auto inkBetween = [&](int left, int right) {
            for (int x = left; x <= right; ++x) {
                for (int y = PlotY(0); y < PlotY(17); ++y) {
                    if (IsInk(image.pixel(x, y))) return true;
                }
            }
            return false;
        };
        EXPECT_TRUE(inkBetween(PlotX(column) - 25, PlotX(column) + 25)) << rate;
        EXPECT_FALSE(inkBetween(90, PlotX(column) - 40)) << rate;
        EXPECT_FALSE(inkBetween(PlotX(column) + 40, kDetailView.right)) << rate;
    }
}

TEST_F(MainWindow, TextsOfALongInputStayInTheirPlaces) {
    // 1250 s: four-digit seconds in the length and in the selection.
    window->MutableModel().input = MakeLoadedInput(8000 * 1250, 1, 8000);
    window->MutableModel().InputReplaced();
    const QImage& image = window->RenderBackBuffer();
    auto inkIn = [&](int left, int right, int top, int bottom) {
        for (int x = left; x <= right; ++x)
            for (int y = top; y <= bottom; ++y)
                if (IsInk(image.pixel(x, y))) return true;
        return false;
    };
    EXPECT_TRUE(inkIn(170, 320, 75, 89)) << "the length";
    EXPECT_FALSE(inkIn(325, 329, 75, 89)) << "the length runs into the cursor text";
    EXPECT_TRUE(inkIn(500, 558, 90, 105)) << "the selection";
    EXPECT_FALSE(inkIn(559, main_window::kSkinWidth - 1, 90, 105)) << "the selection runs out of the window";
}

TEST_F(MainWindow, PressedElementsAreCopiedFromThePressedSkin) {
    Press(CentreOf(Element::SetStart));
    const SkinRect& rect = main_window::RectOf(Element::SetStart);
    const QImage& pressed = window->RenderBackBuffer();
    EXPECT_EQ(pressed.pixel(rect.left, rect.top), kPressedSkin);
    EXPECT_EQ(pressed.pixel(rect.right, rect.bottom), kPressedSkin);
    EXPECT_EQ(pressed.pixel(rect.left - 1, rect.top), kNormalSkin);
    EXPECT_EQ(pressed.pixel(rect.right, rect.bottom + 1), kNormalSkin);
    EXPECT_EQ(pressed.pixel(CentreOf(Element::Open).x(), CentreOf(Element::Open).y()), kNormalSkin);
    Release({300, 300});
    EXPECT_EQ(window->RenderBackBuffer().pixel(rect.left, rect.top), kNormalSkin);
}

}  // namespace
}  // namespace kvt::testing
