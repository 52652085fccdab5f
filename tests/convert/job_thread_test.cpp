#include "convert/job_thread.h"

#include <filesystem>
#include <future>

#include <gmock/gmock.h>

#include "convert/input_loader.h"
#include "platform/message.h"
#include "platform/spare_threads.h"
#include "platform/temp_folder.h"
#include "wav_bytes.h"

namespace kvt::testing {
namespace {

// A host that stops its job when the output it names begins.
class StoppingHost : public TestHost {
public:
    void OutputStarted(const std::string& path) override {
        if (job && path.ends_with(stopAt)) job->Stop();
    }
    JobThread* job = nullptr;
    std::string stopAt;  // the end of an output's path; empty: every output
};

class JobThreadFixture : public ::testing::Test {
protected:
    void SetUp() override {
        std::filesystem::create_directory(out);
        host.settings.savingDirectory = out;
        host.settings.workFolder = folder.Path();
        SetSpareThreads(1);  // the AAC coding runs ahead, as on a machine with a free core
        const std::string song = folder.Write("song.wav", WavBytes({1, 2, 8000, 16}, SineData(8000, 2, 8000)));
        ASSERT_TRUE(LoadInputFile(song, host.input, host.settings));
        ButtonGrid& grid = host.settings.grid;
        // N503i, D903i in stereo at 32000 Hz (refused with a message), MMF, 3GP through an
        // external encoder that is not there (two messages), 3G2.
        grid.At(kMldPage, 21) = kCellOn;
        grid.At(kMldPage, kMonoCell) = kCellOff;
        grid.At(kMldPage, kStereoCell) = kCellOn;
        for (const RateCell& cell : RateCells(kMldPage)) grid.At(kMldPage, cell.cell) = kCellOff;
        grid.At(kMldPage, 27) = kCellOn;
        grid.At(kMmfPage, kMmfOutputCell) = kCellOn;
        for (int cell : {k3gpOutputCell, k3g2OutputCell, k3gpExternalCell}) grid.At(k3gpPage, cell) = kCellOn;
        host.settings.externalEncoderPath = folder / "gone-encoder";
    }

    JobReport RunOnThread(JobThread& job) {
        std::promise<JobReport> ended;
        EXPECT_TRUE(job.Start(host, [&](const JobReport& report) { ended.set_value(report); }));
        JobReport report = ended.get_future().get();
        job.Wait();
        return report;
    }

    std::vector<std::string> FilesInOut() const {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(out)) names.push_back(entry.path().filename());
        std::sort(names.begin(), names.end());
        return names;
    }

    TempFolder folder;
    std::string out = folder / "out";
    StoppingHost host;
    MessageRecorder messages;
};

TEST_F(JobThreadFixture, AJobOnItsThreadShowsWhatTheSameJobShowsInline) {
    const JobReport inline_ = OnConvert(host);
    const std::vector<MessageRequest> inlineMessages = messages.Requests();
    ASSERT_EQ(inlineMessages.size(), 4u);  // the refusal, two on the encoder, the closing one
    const std::string mmfBytes = ReadWholeFile(out + "/song.mmf");
    std::filesystem::remove_all(out);
    std::filesystem::create_directory(out);
    messages.Clear();
    host.settings.externalEncoderPath = folder / "gone-encoder";

    JobThread job;
    const JobReport threaded = RunOnThread(job);
    ASSERT_EQ(messages.Requests().size(), inlineMessages.size());
    for (size_t i = 0; i < inlineMessages.size(); ++i) {
        EXPECT_EQ(messages.Requests()[i].text, inlineMessages[i].text) << i;
        EXPECT_EQ(messages.Requests()[i].caption, inlineMessages[i].caption) << i;
    }
    EXPECT_EQ(threaded.outcome, inline_.outcome);
    EXPECT_EQ(threaded.outputs.size(), inline_.outputs.size());
    EXPECT_EQ(FilesInOut(), (std::vector<std::string>{"song.3g2", "song.3gp", "song.mmf"}));
    EXPECT_EQ(ReadWholeFile(out + "/song.mmf"), mmfBytes);
    EXPECT_FALSE(job.Running());
}

// Stopped in the middle, a job leaves the files it finished (whole: the same bytes an
// unstopped job writes), no other file, and says which it wrote; the bar moves only for
// the outputs that ended.
TEST_F(JobThreadFixture, AStoppedJobKeepsItsWholeFilesAndLeavesNoOther) {
    OnConvert(host);
    const std::string mmfBytes = ReadWholeFile(out + "/song.mmf");
    struct Case {
        const char* stopAt;
        std::vector<std::string> files;
        std::string closing;
        int steps;
    };
    const Case cases[] = {
        // During the first output, which is refused: nothing is written.
        {"_93s.mld", {}, std::string(kStoppedBeforeAnyText), 1},
        // As the 3GP file begins, its AAC coding running ahead on a thread of its own.
        {".3gp", {"song.mmf"}, out + std::string(kSavedTheseText) + "\nsong.mmf\n" + std::string(kRestStoppedText), 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.stopAt);
        std::filesystem::remove_all(out);
        std::filesystem::create_directory(out);
        host.settings.externalEncoderPath = "/bin/sh";  // no question in the 3GP step
        messages.Clear();
        JobThread job;
        host.job = &job;
        host.stopAt = c.stopAt;
        host.steps = 0;
        const JobReport report = RunOnThread(job);
        EXPECT_EQ(report.outcome, JobOutcome::Stopped);
        EXPECT_FALSE(report.AllWritten());
        EXPECT_EQ(FilesInOut(), c.files);
        EXPECT_EQ(host.steps, c.steps);
        if (!c.files.empty()) {
            EXPECT_EQ(ReadWholeFile(out + "/song.mmf"), mmfBytes);
        }
        ASSERT_FALSE(messages.Texts().empty());
        EXPECT_EQ(messages.Texts().back(), c.closing);
    }
}

}  // namespace
}  // namespace kvt::testing
