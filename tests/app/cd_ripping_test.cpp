// A ".cda" track opened in the window: ripped from a simulated drive into a temporary file
// that the window then loads while the progress bar moves; refusals; closing mid-rip; the
// track places of the open dialog; messages of the ripping thread.

#include <unistd.h>

#include <atomic>
#include <functional>
#include <thread>

#include <QElapsedTimer>
#include <QLineEdit>

#include "app/cd/cd_ripping.h"
#include "app/cd/cd_track_places.h"
#include "app/qt_platform/input_file_dialog.h"
#include "app/qt_platform/qt_message_box.h"
#include "input/cd/cd_test_support.h"
#include "input/cd/cda_path.h"
#include "main_window_fixture.h"
#include "platform/paths.h"

namespace kvt::testing {
namespace {

cd::SimulatedFaults ReadsTaking(int milliseconds) {
    cd::SimulatedFaults faults;
    faults.readDelayMs = milliseconds;
    return faults;
}

class CdRippingFixture : public MainWindow {
protected:
    // Ripped files go to a temporary folder of the test's own.
    void SetUp() override {
        if (const char* previous = std::getenv("TMPDIR")) previousTmp_ = previous;
        std::filesystem::create_directory(TmpDir());
        setenv("TMPDIR", TmpDir().c_str(), 1);
    }
    void TearDown() override {
        if (previousTmp_)
            setenv("TMPDIR", previousTmp_->c_str(), 1);
        else
            unsetenv("TMPDIR");
    }
    std::string TmpDir() { return folder / "tmp"; }
    std::optional<std::string> RipFile() {
        for (const auto& entry : std::filesystem::directory_iterator(TmpDir()))
            if (entry.path().filename().string().starts_with("KVT")) return entry.path().string();
        return std::nullopt;
    }

    // Runs the event loop until the window is enabled again; the rightmost progress drawn.
    int RunUntilEnabled(const CdRipping& ripping) {
        int rightmost = main_window::kProgressBar.left;
        QElapsedTimer clock;
        clock.start();
        while ((!window->isEnabled() || ripping.Ripping()) && clock.elapsed() < 20000) {
            QApplication::processEvents(QEventLoop::AllEvents, 20);
            if (window->Model().ProgressShown()) rightmost = std::max(rightmost, window->Model().ProgressWhiteRight());
        }
        QApplication::processEvents();
        return rightmost;
    }
    std::optional<std::string> previousTmp_;
};

TEST_F(CdRippingFixture, TrackIsRippedAndLoadedWithTheBarMovingAndItsFileGoesWhenAnotherOpens) {
    SimulatedMachine machine(NoiseDisc({600, 3000}));
    machine.drive->SetFaults(ReadsTaking(4));  // slow enough for timer 5 to draw the bar
    CdRipping ripping(*window, *machine.layer);

    window->OpenPath(folder / "D:\\Track02.cda");  // as a name typed in the dialog arrives
    EXPECT_FALSE(window->isEnabled());
    EXPECT_GT(RunUntilEnabled(ripping), main_window::kProgressBar.left) << "the progress bar moved";
    EXPECT_TRUE(messages.Texts().empty()) << messages.Texts().front();
    ASSERT_TRUE(window->Input().isLoaded);
    EXPECT_EQ(window->Input().totalFrames, 3000u * 588);
    std::optional<std::string> ripped = RipFile();
    ASSERT_TRUE(ripped);
    EXPECT_EQ(WaveData(*ripped), DiscBytes(*machine.disc, 600, 3000));

    window->OpenPath(WriteWav("other.wav", 100, 2, 44100));
    EXPECT_FALSE(RipFile()) << "the ripped file goes when another input opens";
}

TEST_F(CdRippingFixture, RefusalsEndWithTheirMessagesAndLeaveNoFile) {
    SimulatedMachine machine(NoiseDisc({300, 300}));
    CdRipping ripping(*window, *machine.layer);
    struct Case {
        const char* path;
        std::vector<std::string> texts;
    };
    const Case cases[] = {
        {"D:\\Track03.cda", {"CDがセットされていません。", std::string(cd::kRipFailedText)}},
        {"F:\\Track01.cda", {"CD-ROMドライブではありません。", std::string(cd::kRipFailedText)}},
        {"D:\\track01.cda", {std::string(cd::kBadCdaPathText)}},
        {"/music/song.cda", {std::string(cd::kBadCdaPathText)}},
    };
    for (const Case& c : cases) {
        messages.Clear();
        window->OpenPath(c.path);
        RunUntilEnabled(ripping);
        EXPECT_EQ(messages.Texts(), c.texts) << c.path;
        EXPECT_TRUE(window->isEnabled()) << c.path;
        EXPECT_FALSE(RipFile()) << c.path;
    }
}

TEST_F(CdRippingFixture, ClosingMidRipStopsAtOnceLeavingAClosedValidPrefixThenDeletesIt) {
    SimulatedMachine machine(NoiseDisc({6000}));
    machine.drive->SetFaults(ReadsTaking(5));
    CdRipping ripping(*window, *machine.layer);
    window->show();
    window->OpenPath("D:\\Track01.cda");
    while (window->Model().ProgressWhiteRight() <= main_window::kProgressBar.left)
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    std::optional<std::string> ripFile = RipFile();
    ASSERT_TRUE(ripFile);
    // A second name for the file keeps its content after the window deletes it.
    const std::string kept = folder / "kept.wav";
    ASSERT_EQ(link(ripFile->c_str(), kept.c_str()), 0);

    QElapsedTimer clock;
    clock.start();
    window->close();
    EXPECT_LT(clock.elapsed(), 1000);
    EXPECT_FALSE(ripping.Ripping());
    EXPECT_FALSE(RipFile());
    std::vector<uint8_t> data = WaveData(kept);
    const uint32_t frames = static_cast<uint32_t>(data.size() / cd::kFrameBytes);
    EXPECT_GT(frames, 0u);
    EXPECT_LT(frames, 6000u);
    EXPECT_EQ(data, DiscBytes(*machine.disc, 0, frames));
    QApplication::processEvents();
    EXPECT_TRUE(messages.Texts().empty()) << "a stopped rip is not a failure";
}

TEST(CdTrackPlaces, ADriveWithADiscIsAFolderOfItsTracks) {
    SimulatedMachine machine(NoiseDisc({100, 100, 100}));
    std::string place;
    {
        CdTrackPlaces places(*machine.layer);
        std::vector<std::string> folders = places.Folders();
        ASSERT_EQ(folders.size(), 1u);
        place = folders[0];
        EXPECT_TRUE(place.ends_with("/D:"));
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(place)) names.push_back(entry.path().filename());
        std::sort(names.begin(), names.end());
        EXPECT_EQ(names, (std::vector<std::string>{"Track01.cda", "Track02.cda", "Track03.cda"}));

        cd::SimulatedFaults noDisc;
        noDisc.noDisc = true;
        machine.drive->SetFaults(noDisc);
        EXPECT_TRUE(places.Folders().empty());
        EXPECT_FALSE(std::filesystem::exists(place)) << "a drive emptied since is no place any more";
    }
    EXPECT_FALSE(std::filesystem::exists(FolderOfPath(place))) << "removed at the end";
}

TEST(CdTrackPlaces, ChosenPathsNameTheirTrack) {
    const std::pair<std::string, std::string> cases[] = {
        {"/tmp/kvt-cd-a1b2c3/D:/Track05.cda", "D:\\Track05.cda"},
        {"/home/u/E:\\Track12.cda", "E:\\Track12.cda"},
        {"D:\\Track01.cda", "D:\\Track01.cda"},
        {"/home/u/XD:/Track01.cda", "/home/u/XD:/Track01.cda"},
        {"/music/song.cda", "/music/song.cda"},
    };
    for (const auto& [chosen, path] : cases) EXPECT_EQ(CdaPathFromChosen(chosen), path) << chosen;
}

TEST(InputFileDialog, OffersTheTrackPlacesAndTakesATypedTrackNameButDoesNotKeepThePlaces) {
    TempFolder folder;
    const std::string place = folder / (std::string(kTrackPlacesPrefix) + "test/D:");
    std::filesystem::create_directories(place);
    const QUrl placeUrl = QUrl::fromLocalFile(QString::fromStdString(place));
    {
        InputFileDialog dialog(nullptr, InputFilter(), {place});
        EXPECT_TRUE(dialog.sidebarUrls().contains(placeUrl));

        dialog.setDirectory(QString::fromStdString(folder.Path()));
        dialog.selectFile("D:\\Track05.cda");
        dialog.accept();
        EXPECT_EQ(dialog.result(), QDialog::Accepted);
        ASSERT_EQ(dialog.selectedFiles().size(), 1);
        EXPECT_EQ(CdaPathFromChosen(dialog.selectedFiles().front().toStdString()), "D:\\Track05.cda");
    }
    InputFileDialog next(nullptr, InputFilter(), {});
    EXPECT_FALSE(next.sidebarUrls().contains(placeUrl)) << "the disc may be gone by then";
}

// Entering a folder as Qt does for a click in the side bar; the filter and the pattern shown after it.
TEST(InputFileDialog, TheFileNameFieldShowsThePatternOfTheFilterInUse) {
    TempFolder folder;
    const QString place = QString::fromStdString(folder / (std::string(kTrackPlacesPrefix) + "test/D:"));
    const QString home = QString::fromStdString(folder.Path());
    std::filesystem::create_directories(place.toStdString());
    InputFileDialog dialog(nullptr, InputFilter(), {place.toStdString()});
    dialog.setDirectory(home);
    dialog.selectFile(QString::fromStdString(InputFilterPatterns()));
    const char* kAllAudioPatterns = "*.wav *.wma *.mp3 *.flac *.m4a *.mp4 *.ogg *.oga *.opus *.aif *.aiff *.aifc";
    const std::string allAudio = std::string("すべての音声ファイル (") + kAllAudioPatterns + ")";
    const char* kAllAudioFiles = allAudio.c_str();
    auto* field = dialog.findChild<QLineEdit*>("fileNameEdit");
    ASSERT_NE(field, nullptr);
    auto enter = [&](const QString& where) {
        dialog.setDirectory(where);
        emit dialog.directoryEntered(where);
    };
    auto choose = [&](const QString& filter) {
        dialog.selectNameFilter(filter);
        emit dialog.filterSelected(filter);
    };
    const struct {
        const char* step;
        std::function<void()> act;
        const char* filter;
        const char* field;
    } steps[] = {
        {"into the track place", [&] { enter(place); }, "音楽CDファイル(*.cda)", "*.cda"},
        {"back out of it", [&] { enter(home); }, kAllAudioFiles, kAllAudioPatterns},
        {"MP3 chosen", [&] { choose("MP3ファイル(*.mp3)"); }, "MP3ファイル(*.mp3)", "*.mp3"},
        {"into the place again", [&] { enter(place); }, "音楽CDファイル(*.cda)", "*.cda"},
        {"out again", [&] { enter(home); }, "MP3ファイル(*.mp3)", "*.mp3"},
        {"a typed name stays",
         [&] {
             field->setText("song");
             choose("WMAファイル(*.wma)");
         },
         "WMAファイル(*.wma)", "song"},
    };
    for (const auto& step : steps) {
        step.act();
        EXPECT_EQ(dialog.selectedNameFilter().toStdString(), step.filter) << step.step;
        EXPECT_EQ(field->text().toStdString(), step.field) << step.step;
    }
}

TEST(OnGuiThread, AMessageOfAWorkerIsShownOnTheApplicationThreadWhileTheWorkerWaits) {
    std::thread::id shownOn;
    MessageSink sink = OnGuiThread([&](const MessageRequest&) {
        shownOn = std::this_thread::get_id();
        return MessageAnswer::Cancel;
    });
    std::atomic<bool> answered{false};
    MessageAnswer answer = MessageAnswer::Ok;
    std::thread worker([&] {
        MessageRequest request;
        request.text = "CDがセットされていません。";
        answer = sink(request);
        answered = true;
    });
    while (!answered) QApplication::processEvents(QEventLoop::AllEvents, 10);
    worker.join();
    EXPECT_EQ(shownOn, std::this_thread::get_id());
    EXPECT_EQ(answer, MessageAnswer::Cancel);
}

}  // namespace
}  // namespace kvt::testing
