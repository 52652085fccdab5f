// From a loaded WAV to output files through the window's buttons and the real job.

#include <filesystem>
#include <future>

#include <gmock/gmock.h>

#include "app/qt_platform/qt_message_box.h"
#include "convert/conversion_job.h"
#include "main_window_fixture.h"

namespace kvt::testing {
namespace {

using main_window::Element;
using main_window::kProgressBar;

TEST_F(MainWindow, ConvertWritesTheSelectionAndFillsTheProgressBar) {
    const std::string out = folder / "out";
    std::filesystem::create_directory(out);
    Settings& settings = window->UserSettings();
    settings.savingDirectory = out;
    settings.grid.At(kMldPage, 0) = kCellOn;  // N503i
    settings.grid.At(kMmfPage, kMmfOutputCell) = kCellOn;
    window->OpenPath(folder.Write("song.wav", WavBytes({.channels = 2, .rate = 8000}, SineData(8000, 2, 8000))));
    window->show();

    ClickPlotColumn(100);
    Click(CentreOf(Element::SetStart));
    ClickPlotColumn(400);
    Click(CentreOf(Element::SetEnd));
    ASSERT_EQ(window->Input().startFrame, 100u);
    ASSERT_EQ(window->Input().endFrame, 400u);

    // The window as it looks while the closing message is up.
    QImage atClosingMessage;
    std::vector<std::string> texts;
    MessageSink previous = SetMessageSink([&](const MessageRequest& request) {
        texts.push_back(request.text);
        if (request.text == out + std::string(kSavedText)) atClosingMessage = window->grab().toImage();
        return MessageAnswer::Ok;
    });
    Click(CentreOf(Element::Convert));
    window->WaitForConversion();
    SetMessageSink(previous);

    EXPECT_THAT(texts, ::testing::ElementsAre(out + std::string(kSavedText)));
    EXPECT_GT(std::filesystem::file_size(out + "/song_n1.mld"), 0u);
    EXPECT_GT(std::filesystem::file_size(out + "/song.mmf"), 0u);
    ASSERT_FALSE(atClosingMessage.isNull());
    for (int x : {kProgressBar.left, (kProgressBar.left + kProgressBar.right) / 2, kProgressBar.right}) {
        for (int y : {kProgressBar.top, 80, kProgressBar.bottom - 1}) {
            EXPECT_EQ(atClosingMessage.pixel(x, y), qRgb(255, 255, 255)) << x << "," << y;
        }
    }
    // After the job the bar gives way to the texts again.
    EXPECT_EQ(window->grab().toImage().pixel(kProgressBar.right, kProgressBar.top), kNormalSkin);
}

// Each failure names the file's folder and the reason; the job does not claim to have saved.
TEST_F(MainWindow, AJobThatSavedNothingSaysWhyAndNotThatItSaved) {
    const std::string gone = folder / "gone";  // removed since it was chosen
    window->UserSettings().savingDirectory = gone;
    window->UserSettings().grid.At(kMldPage, 0) = kCellOn;
    window->UserSettings().grid.At(kMmfPage, kMmfOutputCell) = kCellOn;
    window->OpenPath(WriteWav("song.wav", 800, 1, 8000, 1000));
    messages.Clear();
    MessageSink recorder = SetMessageSink(nullptr);
    SetMessageSink(WithFailureCause(recorder));
    Click(CentreOf(Element::Convert));
    window->WaitForConversion();
    SetMessageSink(recorder);
    const std::string failure =
        "ファイルが書き込めませんでした。\ncannot create a file in " + gone + ": No such file or directory";
    EXPECT_THAT(messages.Texts(), ::testing::ElementsAre(failure, failure));
}

// The job is held at its first message; meanwhile the window takes clicks on its own thread.
TEST_F(MainWindow, DuringAJobWhatWouldChangeItsInputIsInertAndStopEndsIt) {
    const std::string out = folder / "out";
    std::filesystem::create_directory(out);
    Settings& settings = window->UserSettings();
    settings.savingDirectory = out;
    settings.grid.At(kMldPage, 21) = kCellOn;  // D903i in stereo at 32000 Hz: refused, with a message
    settings.grid.At(kMldPage, kStereoCell) = kCellOn;
    settings.grid.At(kMldPage, 27) = kCellOn;
    settings.grid.At(kMmfPage, kMmfOutputCell) = kCellOn;
    const std::string song = WriteWav("song.wav", 8000, 1, 8000, 1000);
    window->OpenPath(song);
    int settingsRuns = 0;
    int menus = 0;
    window->SetSettingsDialogRunner([&] { return ++settingsRuns, false; });
    window->SetVolumeMenu([&](QPoint) { return ++menus, std::optional<VolumeCommand>(VolumeCommand::Up); });
    window->show();

    std::promise<void> held;
    std::promise<void> released;
    std::shared_future<void> release = released.get_future().share();
    std::vector<std::string> texts;
    MessageSink previous = SetMessageSink([&](const MessageRequest& request) {
        texts.push_back(request.text);
        if (texts.size() == 1) {
            held.set_value();
            release.wait();
        }
        return MessageAnswer::Ok;
    });
    const size_t dialogsBefore = dialogs.Requests().size();  // the first start's folder browser
    Click(CentreOf(Element::Convert));
    held.get_future().wait();
    ASSERT_TRUE(window->Converting());

    ClickPlotColumn(100);
    for (Element button : {Element::SetStart, Element::Open, Element::Settings, Element::Convert}) {
        Press(CentreOf(button));
        EXPECT_FALSE(window->Model().IsPressed(button));  // no pressed look either
        Release(CentreOf(button));
    }
    QMouseEvent right(QEvent::MouseButtonPress, QPoint(300, 300), window->mapToGlobal(QPoint(300, 300)),
                      Qt::RightButton, Qt::RightButton, Qt::NoModifier);
    QApplication::sendEvent(window.get(), &right);
    window->DropFiles({WriteWav("other.wav", 100, 2, 16000)});
    Click(CentreOf(Element::Stop));
    released.set_value();
    window->WaitForConversion();
    SetMessageSink(previous);

    EXPECT_EQ(window->Input().startFrame, 0u);
    EXPECT_EQ(window->Input().inputPath, song);
    EXPECT_EQ(window->Input().pcm[0], 1000 & 0xFF);
    EXPECT_EQ(dialogs.Requests().size(), dialogsBefore);
    EXPECT_EQ(settingsRuns, 0);
    EXPECT_EQ(menus, 0);
    ASSERT_EQ(texts.size(), 2u);
    EXPECT_THAT(texts[0], ::testing::HasSubstr("93s"));
    EXPECT_EQ(texts[1], kStoppedBeforeAnyText);  // the MMF file was not begun
    EXPECT_FALSE(std::filesystem::exists(out + "/song.mmf"));
    EXPECT_FALSE(window->Converting());
}

TEST_F(MainWindow, ConvertWithNothingLoadedAsksForAFile) {
    Click(CentreOf(Element::Convert));
    window->WaitForConversion();
    EXPECT_THAT(messages.Texts(), ::testing::ElementsAre("ファイルを選択してください。"));
}

}  // namespace
}  // namespace kvt::testing
