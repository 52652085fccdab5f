// The settings dialog and the preview as the main window runs them.

#include <filesystem>
#include <fstream>

#include <gmock/gmock.h>

#include "app/preview/sink_preview_player.h"
#include "convert/conversion_job.h"
#include "engine/engine_file.h"
#include "engine/mld_encoder.h"
#include "engine/mld_preset_table.h"
#include "fake_audio_output.h"
#include "main_window_fixture.h"
#include "settings_dialog_driver.h"

namespace kvt::testing {
namespace {

using main_window::Element;
using settings_dialog::CellRect;
using settings_dialog::kOkButton;
using settings_dialog::kTabRects;

std::vector<std::string> IniLines(const std::string& path) {
    std::ifstream file(path);
    std::vector<std::string> lines;
    for (std::string line; std::getline(file, line);) lines.push_back(line);
    return lines;
}

TEST_F(MainWindow, OutputsChosenInTheSettingsDialogAreWhatTheConversionWrites) {
    const std::string out = folder / "out";
    std::filesystem::create_directory(out);
    window->UserSettings().savingDirectory = out;
    window->OpenPath(folder.Write("song.wav", WavBytes({.channels = 1, .rate = 8000}, SineData(8000, 1, 8000))));
    window->show();
    DialogDriver settings(window.get());
    window->SetSettingsDialogRunner([&] { return settings.dialog.Exec(window->UserSettings()); });

    QTimer::singleShot(0, &settings.dialog, [&] {
        settings.Click(kTabRects[kMmfPage]);
        settings.Click(CellRect(kMmfOutputCell));
        settings.Click(kTabRects[kMldPage]);
        settings.Click(CellRect(23));  // 16000Hz
        settings.Click(CellRect(1));   // N900i
        settings.Click(CellRect(8));   // P503i
        settings.Click(kOkButton);
    });
    Click(CentreOf(Element::Settings));
    const std::vector<std::string> ini = IniLines(folder / "setup.ini");
    for (const char* line : {"button001=1", "button008=1", "button015=0", "button023=1", "button100=1"})
        EXPECT_THAT(ini, ::testing::Contains(line));

    Click(CentreOf(Element::Convert));
    window->WaitForConversion();
    EXPECT_THAT(messages.Texts(), ::testing::ElementsAre(out + std::string(kSavedText)));
    EXPECT_GT(std::filesystem::file_size(out + "/song.mmf"), 0u);
    const SourceClip clip(window->Input().inputPath, window->Input().format, window->Input().pcm);
    for (int preset : {2, 5}) {  // n2, p1
        const std::string name = std::string(MldPresetTable[preset].name);
        MldEncoder encoder(clip);
        encoder.SetSizeLimit(19000);
        const std::string direct = folder / ("direct_" + name + ".mld");
        ASSERT_EQ(encoder.ConvertMld(preset, 16000, 100, direct), 1);
        EXPECT_EQ(ReadWholeFile(out + "/song_" + name + ".mld"), ReadWholeFile(direct));
    }
}

TEST_F(MainWindow, PreviewBandsThePlayedPartFollowsTheVolumeAndLetsGoAtTheEnd) {
    window->OpenPath(WriteWav("song.wav", 4550, 1, 8000, 1000));  // 10 frames an overview column
    auto* device = new FakeAudioOutput;
    window->SetPreviewPlayer(std::make_unique<SinkPreviewPlayer>(std::unique_ptr<AudioOutput>(device)));
    window->show();
    Click(CentreOf(Element::Play));
    ASSERT_TRUE(window->Preview().IsPlaying());

    const QByteArray first = device->Pull(2);
    window->ApplyVolume(VolumeCommand::Up);
    const QByteArray next = device->Pull(2);
    EXPECT_EQ(SampleOf(window->Input(), 0), 1250);
    EXPECT_EQ(*reinterpret_cast<const int16_t*>(first.constData()), 1000);
    EXPECT_EQ(*reinterpret_cast<const int16_t*>(next.constData()), 1250);

    device->playedFrames = 2000;
    window->OnTimer100();
    EXPECT_EQ(window->Preview().PlayFrame(), 2000);
    ClickPlotColumn(300);
    Click(CentreOf(Element::SetEnd));  // refused while playing
    EXPECT_EQ(window->Input().endFrame, 4550u);

    const QPoint play = CentreOf(Element::Play);
    const int y = main_window::kOverview.top + 5;
    auto red = [&](const QImage& image, int column) {
        return qRed(image.pixel(main_window::kOverview.left + column, y));
    };
    QImage image = window->grab().toImage();
    EXPECT_EQ(image.pixel(play), kPressedSkin);
    EXPECT_EQ(red(image, 100), 255);  // the yellow band up to column 200 adds red to the skin
    EXPECT_EQ(red(image, 300), qRed(kNormalSkin));

    device->playedFrames = 4549;  // handed over long ago, the last frame not yet heard
    window->OnTimer100();
    EXPECT_TRUE(window->Preview().IsPlaying());
    device->playedFrames = 4550;
    window->OnTimer100();
    EXPECT_FALSE(window->Preview().IsPlaying());
    image = window->grab().toImage();
    EXPECT_EQ(image.pixel(play), kNormalSkin);
    EXPECT_EQ(red(image, 100), qRed(kNormalSkin));
}

}  // namespace
}  // namespace kvt::testing
