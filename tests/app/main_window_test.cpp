#include <cstdlib>
#include <filesystem>

#include <QCoreApplication>
#include <QDropEvent>
#include <QFileInfo>
#include <QMimeData>

#include <gmock/gmock.h>

#include "convert/input_loader.h"
#include "input/cd/rip_controller.h"
#include "main_window_fixture.h"
#include "platform/command_output.h"

namespace kvt::testing {
namespace {

using main_window::Element;
using ::testing::ElementsAre;

TEST_F(MainWindow, LoadingAWavShowsItsNameAndSelectsTheWholeInput) {
    window->OpenPath(WriteWav("song.wav", 3000, 2, 8000, 100, -100));
    const LoadedInput& input = window->Input();
    EXPECT_TRUE(input.isLoaded);
    EXPECT_EQ(input.totalFrames, 3000u);
    EXPECT_EQ(input.startFrame, 0u);
    EXPECT_EQ(input.endFrame, 3000u);
    EXPECT_EQ(window->windowTitle(), "song.wav");
    EXPECT_TRUE(messages.Texts().empty());
}

// The note comes first, so the user knows what the folder browser is asking for; a second
// start, with the settings file in place, asks nothing.
TEST(MainWindowStart, AFirstStartSaysWhatTheFolderIsForBeforeTheBrowserOpens) {
    struct NoteThenBrowser : ScriptedDialogs {
        MessageRecorder* messages = nullptr;
        std::vector<std::string> textsAtBrowser;
        std::optional<std::string> BrowseFolder(const std::string& title, const std::string& start) override {
            textsAtBrowser = messages->Texts();
            return ScriptedDialogs::BrowseFolder(title, start);
        }
    };
    TempFolder folder;
    MessageRecorder messages;
    NoteThenBrowser dialogs;
    dialogs.messages = &messages;
    ScopedDialogs installed(dialogs);
    const QImage skin = OneColourSkin(kNormalSkin);
    CMFCzorvikDlg(skin, skin, folder.Path()).Shutdown();
    EXPECT_THAT(dialogs.textsAtBrowser, ElementsAre(kSavingFolderPurposeText));

    messages.Clear();
    CMFCzorvikDlg(skin, skin, folder.Path()).Shutdown();
    EXPECT_TRUE(messages.Texts().empty());
    EXPECT_EQ(dialogs.Requests().size(), 1u);
}

TEST_F(MainWindow, TwoDroppedFilesGiveTheMessageAndNoLoad) {
    const std::string a = WriteWav("a.wav", 100, 1, 8000);
    const std::string b = WriteWav("b.wav", 100, 1, 8000);
    window->DropFiles({a, b});
    EXPECT_THAT(messages.Texts(), ElementsAre(kOneFileAtATimeText));
    EXPECT_FALSE(window->Input().isLoaded);
    window->DropFiles({a});
    EXPECT_TRUE(window->Input().isLoaded);
}

TEST_F(MainWindow, OnlyLocalFilesCanBeDropped) {
    const QString wav = QString::fromStdString(WriteWav("a.wav", 100, 1, 8000));
    struct Drag {
        const char* name;
        QList<QUrl> urls;
        bool accepted;
    };
    // Refused drags first: the last one loads the file.
    const Drag drags[] = {
        {"a web link", {QUrl("https://example.com/a.wav")}, false},
        {"a file and a web link", {QUrl::fromLocalFile(wav), QUrl("https://example.com/b.wav")}, false},
        {"no link", {}, false},
        {"a file", {QUrl::fromLocalFile(wav)}, true},
    };
    for (const Drag& drag : drags) {
        SCOPED_TRACE(drag.name);
        QMimeData data;
        data.setUrls(drag.urls);
        QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(window.get(), &enter);
        EXPECT_EQ(enter.isAccepted(), drag.accepted);
        QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(window.get(), &drop);
        EXPECT_EQ(window->Input().isLoaded, drag.accepted);
        EXPECT_TRUE(messages.Texts().empty());
    }
}

TEST_F(MainWindow, Mp3WithoutDecoderAndTheProgramDialogCancelledLoadsNothing) {
    dialogs.QueueOpenFile(std::nullopt);
    window->OpenPath(folder.Write("song.mp3", "ID3"));
    EXPECT_THAT(messages.Texts(), ElementsAre("MP3をWAVファイルに変換するための外部プログラムを指定してください。",
                                              "指定されたファイルが存在しません。"));
    EXPECT_FALSE(window->Input().isLoaded);
    EXPECT_TRUE(window->UserSettings().mp3DecoderPath.empty());
}

// MP3 decodes in-process like FLAC: no question for a program, no box, and the waveform
// of the stereo tone fills the detail view's upper lane.
TEST_F(MainWindow, Mp3AndFlacOpenWithoutADialogAndDrawTheirWaveform) {
    for (const char* name : {"song.mp3", "song.flac"}) {
        SCOPED_TRACE(name);
        const std::string path = folder.File(name);
        ASSERT_EQ(
            std::system(
                ("ffmpeg -v error -y -f lavfi -i 'sine=f=440:r=44100:d=1' -af volume=4 -ac 2 " + Quote(path)).c_str()),
            0);
        const size_t dialogsBefore = dialogs.Requests().size();
        window->OpenPath(path);
        EXPECT_TRUE(messages.Texts().empty());
        EXPECT_EQ(dialogs.Requests().size(), dialogsBefore);
        ASSERT_TRUE(window->Input().isLoaded);
        EXPECT_EQ(window->Input().format.channels, 2);
        EXPECT_NEAR(window->Input().totalFrames, 44100.0, 2500.0);
        // Upper lane centre at plot row 75, half height 51: ink well away from the centre.
        const QImage& image = window->RenderBackBuffer();
        int swinging = 0;
        for (int column = 0; column < 500; ++column) {
            for (int row = 75 - 51; row <= 75 + 51; ++row) {
                if (std::abs(row - 75) < 15) continue;
                if (qGray(image.pixel(main_window::kDetailView.left + main_window::kPlotMargin + column,
                                      main_window::kDetailView.top + row)) < 110) {
                    ++swinging;
                    break;
                }
            }
        }
        EXPECT_GT(swinging, 200);
    }
}

TEST_F(MainWindow, AFailedLoadKeepsThePreviousInput) {
    const std::string good = WriteWav("good.wav", 2000, 1, 8000, 500);
    struct Case {
        std::string path;
        const char* message;
    };
    const Case cases[] = {
        {folder.Write("broken.wav", "RIFF....WAVEjunk"), nullptr},
        {folder.Write("notes.txt", "text"), "このファイルは変換できません。"},
        {folder / "missing.wav", nullptr},
    };
    for (const Case& c : cases) {
        window->OpenPath(good);
        window->MutableModel().input.startFrame = 10;
        messages.Clear();
        window->OpenPath(c.path);
        const LoadedInput& input = window->Input();
        EXPECT_TRUE(input.isLoaded) << c.path;
        EXPECT_EQ(input.totalFrames, 2000u) << c.path;
        EXPECT_EQ(input.inputPath, good) << c.path;
        EXPECT_EQ(input.startFrame, 10u) << c.path;
        ASSERT_EQ(messages.Texts().size(), 1u) << c.path;
        if (c.message) {
            EXPECT_EQ(messages.Texts()[0], c.message);
        }
    }
}

TEST_F(MainWindow, ACdTrackGoesToTheRipperWhichRefusesUntilThereIsOne) {
    window->OpenPath(folder / "Track01.cda");
    EXPECT_THAT(messages.Texts(), ElementsAre(cd::kRipFailedText));
    EXPECT_TRUE(window->isEnabled());

    std::string ripped;
    window->SetRipStarter([&](const std::string& path) { ripped = path; });
    window->OpenPath(folder / "Track02.CDA");
    EXPECT_EQ(ripped, folder / "Track02.CDA");
}

TEST_F(MainWindow, APressEndingOnAnotherButtonRunsThatButton) {
    window->OpenPath(WriteWav("song.wav", 3000, 1, 8000));
    ClickPlotColumn(100);
    EXPECT_EQ(window->Model().cursorX, 100);
    Click(CentreOf(Element::SetStart), CentreOf(Element::SetEnd));
    EXPECT_EQ(window->Input().startFrame, 0u);
    EXPECT_EQ(window->Input().endFrame, 100u);
    EXPECT_FALSE(window->Model().IsPressed(Element::SetStart));

    // A press on a button and a release off every button runs nothing.
    ClickPlotColumn(50);
    Click(CentreOf(Element::SetStart), {300, 300});
    EXPECT_EQ(window->Input().startFrame, 0u);
}

TEST_F(MainWindow, ButtonsReachTheirSeams) {
    window->OpenPath(WriteWav("song.wav", 1000, 1, 8000));
    auto preview = std::make_unique<FakePreview>();
    FakePreview& fake = *preview;
    window->SetPreviewPlayer(std::move(preview));
    QUrl help;
    window->SetHelpOpener([&](const QUrl& url) {
        help = url;
        return true;
    });
    int settingsRuns = 0;
    window->SetSettingsDialogRunner([&] {
        ++settingsRuns;
        return false;
    });

    Click(CentreOf(Element::Play));
    EXPECT_EQ(fake.plays, 1);
    Click(CentreOf(Element::Help));
    EXPECT_TRUE(help.isLocalFile());
    EXPECT_TRUE(help.path().endsWith("/top.htm"));
    EXPECT_TRUE(QFileInfo::exists(help.toLocalFile()));  // the source tree's page, before installing
    EXPECT_TRUE(messages.Texts().empty());
    window->SetHelpOpener([](const QUrl&) { return false; });  // no browser
    Click(CentreOf(Element::Help));
    EXPECT_THAT(messages.Texts(),
                ::testing::ElementsAre(std::string(kHelpNotShownText) + help.toLocalFile().toStdString()));
    Click(CentreOf(Element::Settings));
    EXPECT_EQ(settingsRuns, 1);
    // Saved whatever the dialog's result.
    EXPECT_TRUE(std::filesystem::exists(folder / "setup.ini"));

    // While playing, START and END stay.
    fake.playing = true;
    ClickPlotColumn(200);
    Click(CentreOf(Element::SetEnd));
    EXPECT_EQ(window->Input().endFrame, 1000u);
    Click(CentreOf(Element::Stop));
    EXPECT_FALSE(fake.playing);
}

TEST_F(MainWindow, OpenDialogStartsInTheCurrentFolderWithTheInputFilter) {
    const std::string song = WriteWav("song.wav", 100, 1, 8000);
    dialogs.QueueOpenFile(song);
    Click(CentreOf(Element::Open));
    ASSERT_FALSE(dialogs.Requests().empty());
    const ScriptedDialogs::Request request = dialogs.Requests().back();
    EXPECT_EQ(request.kind, ScriptedDialogs::Request::Kind::OpenInput);
    EXPECT_EQ(request.first, std::filesystem::current_path().string() +
                                 "/*.wav *.wma *.mp3 *.flac *.m4a *.mp4 "
                                 "*.ogg *.oga *.opus *.aif *.aiff *.aifc");
    // Every audio file first, so it is the default; then the kinds one by one.
    EXPECT_EQ(
        request.second,
        "すべての音声ファイル|*.wav;*.wma;*.mp3;*.flac;*.m4a;*.mp4;*.ogg;*.oga;*.opus;*.aif;*.aiff;*.aifc|"
        "WAVファイル(*.wav)|*.wav|WMAファイル(*.wma)|*.wma|音楽CDファイル(*.cda)|*.cda|MP3ファイル(*.mp3)|*.mp3|");
    EXPECT_EQ(window->Input().inputPath, song);
}

TEST_F(MainWindow, TimerFollowsDragsPastTheDetailViewsEdges) {
    window->OpenPath(WriteWav("song.wav", 10100, 1, 8000));
    window->MutableModel().viewOffset = 1000;
    Press({300, 300});
    cursor = {20, 300};  // 11 columns left of the plot
    window->OnTimer100();
    EXPECT_EQ(window->Model().viewOffset, 989);
    EXPECT_EQ(window->Model().cursorX, 0);
    cursor = {546, 300};  // 10 columns right of it
    window->OnTimer100();
    EXPECT_EQ(window->Model().viewOffset, 999);
    EXPECT_EQ(window->Model().cursorX, 505);
    Release({546, 300});
    window->OnTimer100();
    EXPECT_EQ(window->Model().viewOffset, 999);
}

TEST_F(MainWindow, HeldScrollArrowRepeatsWhileTheCursorStaysOnIt) {
    window->OpenPath(WriteWav("song.wav", 10100, 1, 8000));
    Press(CentreOf(Element::ScrollRight));
    EXPECT_EQ(window->Model().viewOffset, 20);
    window->OnTimer100();
    EXPECT_EQ(window->Model().viewOffset, 40);
    cursor = {300, 300};
    window->OnTimer100();
    EXPECT_EQ(window->Model().viewOffset, 40);
    Release(cursor);
}

TEST_F(MainWindow, RightButtonMenuChangesTheVolumeOfTheLoadedBlock) {
    window->OpenPath(WriteWav("song.wav", 10, 1, 8000, 32767));
    std::vector<std::optional<VolumeCommand>> answers = {VolumeCommand::Down, std::nullopt, VolumeCommand::Up};
    window->SetVolumeMenu([&](QPoint) {
        auto answer = answers.front();
        answers.erase(answers.begin());
        return answer;
    });
    const int16_t expected[] = {26213, 26213, 32766};
    for (int16_t value : expected) {
        QMouseEvent event(QEvent::MouseButtonPress, QPointF(300, 300), window->mapToGlobal(QPointF(300, 300)),
                          Qt::RightButton, Qt::RightButton, Qt::NoModifier);
        QApplication::sendEvent(window.get(), &event);
        EXPECT_EQ(SampleOf(window->Input(), 9), value);
    }
}

TEST_F(MainWindow, EveryWayOutSavesTheSettingsOnce) {
    window->UserSettings().savingDirectory = folder / "out";
    window->show();
    QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(window.get(), &escape);
    EXPECT_FALSE(window->isVisible());
    EXPECT_THAT(ReadWholeFile(folder / "setup.ini"), ::testing::HasSubstr(folder / "out"));
}

// "tempkvt.wav" is a full copy of the input: the external AAC encoder reads it while the
// input is loaded, and nothing of it stays after the run (nor after a crashed one).
TEST_F(MainWindow, TheScratchCopyLivesOnlyWhileTheProgramRuns) {
    const std::string scratch = ScratchWavPath(folder.Path());
    window->OpenPath(WriteWav("song.wav", 100, 1, 8000));
    EXPECT_TRUE(std::filesystem::exists(scratch));
    window->Shutdown();
    EXPECT_FALSE(std::filesystem::exists(scratch));

    folder.Write("tempkvt.wav", "left by a crash");
    CMFCzorvikDlg next(OneColourSkin(kNormalSkin), OneColourSkin(kPressedSkin), folder.Path());
    EXPECT_FALSE(std::filesystem::exists(scratch));
}

}  // namespace
}  // namespace kvt::testing
