// The window's side of fitting MLD files to the size ceiling: one question for the files
// above it, answered Yes and No through the message seam and remembered in setup.ini, one
// box for the sizes of a conversion, and the fade entries of the right-button menu.

#include <filesystem>

#include <gmock/gmock.h>

#include "convert/conversion_job.h"
#include "main_window_fixture.h"
#include "platform/profile.h"

namespace kvt::testing {
namespace {

using main_window::Element;

class MainWindowFit : public MainWindow {
protected:
    void SetUp() override {
        std::filesystem::create_directory(out);
        Settings& settings = window->UserSettings();
        settings.savingDirectory = out;
        settings.grid.At(kMldPage, 0) = kCellOn;   // N503i: n1
        settings.grid.At(kMldPage, 1) = kCellOn;   // N900i: n2
        settings.grid.At(kMldPage, 19) = kCellOn;  // 8000Hz; 20 KB as at first
        // 6 s at 8000 Hz: 24,000 coded bytes, 4.75 s fit in 19,000.
        window->OpenPath(folder.Write("song.wav", WavBytes({.channels = 1, .rate = 8000}, SineData(48000, 1, 8000))));
    }

    // Converts with `sink` answering; the requests it saw.
    std::vector<MessageRequest> Convert(const MessageSink& sink) {
        std::vector<MessageRequest> requests;
        MessageSink previous = SetMessageSink([&](const MessageRequest& request) {
            requests.push_back(request);
            return sink(request);
        });
        Click(CentreOf(Element::Convert));
        window->WaitForConversion();
        SetMessageSink(previous);
        return requests;
    }

    static MessageSink Answering(MessageAnswer answer, bool remember = false) {
        return [=](const MessageRequest& request) {
            if (request.checkBoxChecked) *request.checkBoxChecked = remember;
            return request.buttons == MessageButtons::YesNo ? answer : MessageAnswer::Ok;
        };
    }

    uintmax_t SizeOf(const char* name) const { return std::filesystem::file_size(out + "/" + name); }

    const std::string out = folder / "out";
    const std::string question =
        "次のファイルは 20 KB に収まりません。\nsong_n1.mld: 4.7 秒に短くすれば収まります。\n"
        "song_n2.mld: 4.7 秒に短くすれば収まります。\n短くして保存しますか？";
};

TEST_F(MainWindowFit, YesShortensTheFilesAboveTheCeilingAndSaysSoInOneBox) {
    const std::vector<MessageRequest> requests = Convert(Answering(MessageAnswer::Ok));
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_EQ(requests[0].text, question);
    EXPECT_EQ(requests[0].buttons, MessageButtons::YesNo);
    EXPECT_EQ(requests[1].text,
              "song_n1.mld: 20 KB に収めるため 4.7 秒に短くしました。\n"
              "song_n2.mld: 20 KB に収めるため 4.7 秒に短くしました。");
    EXPECT_EQ(requests[2].text, out + std::string(kSavedText));
    // 19,000 coded bytes and the layout's own.
    EXPECT_LT(SizeOf("song_n1.mld"), 19200u);
    EXPECT_LT(SizeOf("song_n2.mld"), 19200u);
}

TEST_F(MainWindowFit, NoWritesTheWholeFilesAndNamesThemUnderTheSizeText) {
    const std::vector<MessageRequest> requests = Convert(Answering(MessageAnswer::Cancel));
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_EQ(requests[0].text, question);
    EXPECT_EQ(requests[1].text, "指定されたファイルサイズの制限を越えています。\nsong_n1.mld\nsong_n2.mld");
    EXPECT_GT(SizeOf("song_n1.mld"), 24000u);
    EXPECT_GT(SizeOf("song_n2.mld"), 24000u);
}

TEST_F(MainWindowFit, ARememberedAnswerIsSavedAndAskedNoMore) {
    Convert(Answering(MessageAnswer::Ok, true));
    const std::string ini = SettingsFilePath(window->UserSettings().workFolder);
    EXPECT_EQ(ReadProfileString(kSettingsSection, "fit", "", ini), kShortenToFitName);
    const std::vector<MessageRequest> requests = Convert(Answering(MessageAnswer::Cancel));
    for (const MessageRequest& request : requests) EXPECT_NE(request.buttons, MessageButtons::YesNo);
    EXPECT_LT(SizeOf("song_n2.mld"), 19200u);
}

TEST_F(MainWindowFit, FadeEntriesRampTheSelectionsEndsAndRebuildTheOverview) {
    window->OpenPath(WriteWav("flat.wav", 16000, 1, 8000, 10000));
    std::vector<VolumeCommand> answers = {VolumeCommand::FadeIn, VolumeCommand::FadeOut};
    window->SetVolumeMenu([&](QPoint) {
        const VolumeCommand answer = answers.front();
        answers.erase(answers.begin());
        return std::optional(answer);
    });
    for (int i = 0; i < 2; ++i) {
        window->grab();  // the overview is drawn
        ASSERT_TRUE(window->Model().overviewReady);
        QMouseEvent event(QEvent::MouseButtonPress, QPointF(300, 300), window->mapToGlobal(QPointF(300, 300)),
                          Qt::RightButton, Qt::RightButton, Qt::NoModifier);
        QApplication::sendEvent(window.get(), &event);
        EXPECT_FALSE(window->Model().overviewReady);
    }
    // 0.5 s = 4000 frames at each end: silence at the edge, half way at 2000 frames in.
    const LoadedInput& input = window->Input();
    EXPECT_EQ(SampleOf(input, 0), 0);
    EXPECT_EQ(SampleOf(input, 2000), 5000);
    EXPECT_EQ(SampleOf(input, 4000), 10000);
    EXPECT_EQ(SampleOf(input, 8000), 10000);
    EXPECT_EQ(SampleOf(input, 11999), 10000);
    EXPECT_EQ(SampleOf(input, 13999), 5000);
    EXPECT_EQ(SampleOf(input, 15999), 0);
}

}  // namespace
}  // namespace kvt::testing
