// The right-button menu's "hear the handset's version": the selection coded as the first
// chosen output plays as the ringtone readers decode that file, banded over the selection,
// and nothing is left in the saving directory or the temporary folder.

#include <cstdlib>
#include <filesystem>
#include <optional>

#include <gmock/gmock.h>

#include "app/preview/sink_preview_player.h"
#include "check/ringtone_check.h"
#include "convert/conversion_job.h"
#include "engine/mld_encoder.h"
#include "engine/mmf_encoder.h"
#include "fake_audio_output.h"
#include "main_window_fixture.h"

namespace kvt::testing {
namespace {

bool IsEmptyFolder(const std::string& path) {
    return std::filesystem::is_empty(path);
}

// The file the first chosen output makes of `clip`, coded straight by its encoder.
std::string DirectlyCoded(const SourceClip& clip, const ButtonGrid& grid, const std::string& folder) {
    const JobChoices choices = ReadJobChoices(grid);
    for (const MldHandset& handset : MldHandsets()) {
        if (!grid.IsOn(kMldPage, handset.cell)) continue;
        MldEncoder mld(clip);
        mld.SetSizeLimit(choices.mldSizeLimit);
        const std::string path = folder + "/direct.mld";
        const int preset = MldPresetFor(handset, choices.mldChannels, choices.mldRate);
        return mld.ConvertMld(preset, choices.mldRate, 100, path) == 1 ? path : "";
    }
    MmfEncoder mmf(clip);
    mmf.path = folder + "/direct.wav";
    return mmf.ConvertMmf(choices.mmfRate, 0) == 1 ? folder + "/direct.mmf" : "";
}

TEST_F(MainWindow, HandsetVersionPlaysTheDecodedFirstOutputOverTheSelection) {
    const std::string out = folder / "out";
    const std::string scratch = folder / "tmp";
    std::filesystem::create_directory(out);
    std::filesystem::create_directory(scratch);
    const char* previousTmp = std::getenv("TMPDIR");
    const std::optional<std::string> savedTmp = previousTmp ? std::optional<std::string>(previousTmp) : std::nullopt;
    setenv("TMPDIR", scratch.c_str(), 1);
    window->UserSettings().savingDirectory = out;
    window->OpenPath(folder.Write("song.wav", WavBytes({.channels = 1, .rate = 8000}, SineData(9100, 1, 8000))));
    window->MutableModel().input.startFrame = 2000;  // 20 frames an overview column
    window->MutableModel().input.endFrame = 6000;
    window->SetVolumeMenu([](QPoint) { return std::optional<VolumeCommand>(VolumeCommand::HandsetVersion); });
    window->show();
    auto rightClick = [&] {
        QMouseEvent event(QEvent::MouseButtonPress, QPoint(5, 5), window->mapToGlobal(QPoint(5, 5)), Qt::RightButton,
                          Qt::RightButton, Qt::NoModifier);
        QApplication::sendEvent(window.get(), &event);
    };
    const int y = main_window::kOverview.top + 5;
    auto red = [&](int column) {
        return qRed(window->grab().toImage().pixel(main_window::kOverview.left + column, y));
    };
    const LoadedInput& input = window->Input();
    const SourceClip clip(input.inputPath, input.format, std::span(input.pcm).subspan(2000 * 2, 4000 * 2));

    struct Case {
        const char* output;
        int page, cell;
    };
    for (const Case& c : {Case{"MLD N900i", kMldPage, 1}, Case{"MLD P503i", kMldPage, 8},
                          Case{"MMF before the 3GP", kMmfPage, kMmfOutputCell}}) {
        SCOPED_TRACE(c.output);
        ButtonGrid& grid = window->UserSettings().grid;
        grid = InitialButtonGrid();
        grid.At(c.page, c.cell) = kCellOn;
        grid.At(k3gpPage, k3gpOutputCell) = kCellOn;
        auto* device = new FakeAudioOutput;
        window->SetPreviewPlayer(std::make_unique<SinkPreviewPlayer>(std::unique_ptr<AudioOutput>(device)));
        rightClick();
        ASSERT_TRUE(window->Preview().IsPlaying());

        const std::string direct = DirectlyCoded(clip, grid, folder.Path());
        ASSERT_FALSE(direct.empty());
        const DecodedAudio decoded = CheckRingtoneFile(direct).audio;
        ASSERT_FALSE(decoded.samples.empty());
        EXPECT_EQ(device->openRate, static_cast<int>(decoded.rate));
        EXPECT_EQ(device->Pull(1 << 24), QByteArray(reinterpret_cast<const char*>(decoded.samples.data()),
                                                    static_cast<qsizetype>(decoded.samples.size() * 2)));

        // Half heard: the band reaches the middle of the selection (overview columns 100 to 300).
        device->playedFrames = decoded.samples.size() / 2;
        window->OnTimer100();
        EXPECT_EQ(red(190), 255);
        EXPECT_EQ(red(210), qRed(kNormalSkin));
        device->playedFrames = decoded.samples.size();
        window->OnTimer100();
        EXPECT_FALSE(window->Preview().IsPlaying());
        EXPECT_TRUE(IsEmptyFolder(out));
        EXPECT_TRUE(IsEmptyFolder(scratch));
    }
    EXPECT_THAT(messages.Texts(), ::testing::IsEmpty());

    window->UserSettings().grid = InitialButtonGrid();
    rightClick();
    EXPECT_FALSE(window->Preview().IsPlaying());
    EXPECT_THAT(messages.Texts(), ::testing::ElementsAre(std::string(kNothingChosenText)));
    savedTmp ? setenv("TMPDIR", savedTmp->c_str(), 1) : unsetenv("TMPDIR");
}

}  // namespace
}  // namespace kvt::testing
