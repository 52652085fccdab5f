#include "convert/conversion_job.h"

#include <gtest/gtest.h>
#include <filesystem>

#include "convert/input_loader.h"
#include "engine/mld_encoder.h"
#include "engine/mmf_encoder.h"
#include "platform/message.h"
#include "platform/spare_threads.h"
#include "platform/temp_folder.h"
#include "wav_bytes.h"

namespace kvt {
namespace {

using testing::ReadWholeFile;
using testing::TempFolder;
using testing::TestHost;
using testing::WavBytes;

class ConversionJob : public ::testing::Test {
protected:
    void SetUp() override {
        out = folder / "out";
        std::filesystem::create_directory(out);
        std::filesystem::create_directory(folder / "work");
        host.settings.savingDirectory = out;
        host.settings.workFolder = folder / "work";
        // A free core: the AAC coding runs ahead on a thread of its own, whatever the machine.
        SetSpareThreads(1);
        // Nothing chosen: every output cell off.
        for (const MldHandset& handset : MldHandsets()) host.settings.grid.At(kMldPage, handset.cell) = kCellOff;
    }

    // Loads a 0.5 s input named `name`.
    void Load(const std::string& name, uint16_t channels = 1, uint32_t rate = 8000, uint32_t frames = 4000) {
        std::string path =
            folder.Write(name, WavBytes({1, channels, rate, 16}, testing::SineData(frames, channels, rate)));
        ASSERT_TRUE(LoadInputFile(path, host.input, host.settings));
    }

    void Choose(int page, std::initializer_list<int> cells) {
        for (int cell : cells) host.settings.grid.At(page, cell) = kCellOn;
    }
    void SetRate(int page, int rateCell) {
        for (const RateCell& cell : RateCells(page)) host.settings.grid.At(page, cell.cell) = kCellOff;
        host.settings.grid.At(page, rateCell) = kCellOn;
    }
    void SetStereo(int page) {
        host.settings.grid.At(page, kMonoCell) = kCellOff;
        host.settings.grid.At(page, kStereoCell) = kCellOn;
    }

    std::vector<std::string> WrittenNames(const JobReport& report) const {
        std::vector<std::string> names;
        for (const JobOutput& output : report.outputs) {
            EXPECT_EQ(std::filesystem::path(output.path).parent_path(), out);
            if (output.written) names.push_back(std::filesystem::path(output.path).filename());
        }
        return names;
    }
    std::vector<std::string> FilesInOut() const {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(out)) names.push_back(entry.path().filename());
        std::sort(names.begin(), names.end());
        return names;
    }
    std::string Closing() const { return out + "にファイルを保存しました。"; }

    TempFolder folder;
    std::string out;
    TestHost host;
    MessageRecorder messages;
};

TEST_F(ConversionJob, NothingLoadedAsksForAFile) {
    Choose(kMmfPage, {kMmfOutputCell});
    JobReport report = OnConvert(host);
    EXPECT_EQ(report.outcome, JobOutcome::NoInput);
    EXPECT_EQ(messages.Texts(), std::vector<std::string>{"ファイルを選択してください。"});
    EXPECT_TRUE(host.resets.empty());
    EXPECT_EQ(host.dialogRuns, 0);
}

TEST_F(ConversionJob, NothingChosenOpensTheDialogSavesAndEndsWithTheTwoTextMessage) {
    Load("song.wav");
    messages.Clear();
    JobReport report = OnConvert(host);
    EXPECT_EQ(report.outcome, JobOutcome::NothingChosen);
    EXPECT_EQ(host.dialogRuns, 1);
    EXPECT_EQ(host.saves, 1);
    auto requests = messages.Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].text, "変換するファイルの種類を決めてください。");
    EXPECT_EQ(requests[0].caption, "変換できませんでした。");
    EXPECT_TRUE(FilesInOut().empty());
    EXPECT_TRUE(host.resets.empty());
}

TEST_F(ConversionJob, OutputChosenInTheDialogIsMade) {
    Load("song.wav");
    host.dialogChoice = [](ButtonGrid& grid) { grid.At(kMmfPage, kMmfOutputCell) = kCellOn; };
    JobReport report = OnConvert(host);
    EXPECT_EQ(report.outcome, JobOutcome::Finished);
    EXPECT_EQ(host.saves, 1);
    EXPECT_EQ(WrittenNames(report), std::vector<std::string>{"song.mmf"});
}

TEST_F(ConversionJob, StereoVariantsFollowTheRate) {
    struct Case {
        int rateCell;
        std::vector<std::string> names;
    };
    const Case cases[] = {
        {19, {"song_p1s.mld", "song_n2s.mld"}},  // 8000Hz
        {23, {"song_p1s.mld", "song_n2s.mld"}},  // 16000Hz
        {15, {"song_p1.mld", "song_n2.mld"}},    // 4000Hz
    };
    Load("song.wav");
    Choose(kMldPage, {1, 8});  // N900i, P503i
    SetStereo(kMldPage);
    for (const Case& c : cases) {
        SetRate(kMldPage, c.rateCell);
        JobReport report = OnConvert(host);
        EXPECT_EQ(WrittenNames(report), c.names) << "rate cell " << c.rateCell;
    }
}

// The job goes on after the refusal; with nothing written, it does not say it saved.
TEST_F(ConversionJob, RefusedStereoAt32000IsSaidAndNoSaveIsClaimed) {
    Load("song.wav");
    Choose(kMldPage, {21});  // D903i
    SetStereo(kMldPage);
    SetRate(kMldPage, 27);  // 32000Hz
    messages.Clear();
    JobReport report = OnConvert(host);
    EXPECT_EQ(report.outcome, JobOutcome::Finished);
    ASSERT_EQ(report.outputs.size(), 1u);
    EXPECT_EQ(std::filesystem::path(report.outputs[0].path).filename(), "song_93s.mld");
    EXPECT_FALSE(report.outputs[0].written);
    EXPECT_FALSE(report.AllWritten());
    auto texts = messages.Texts();
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_NE(texts[0].find("93s"), std::string::npos) << texts[0];
    EXPECT_TRUE(FilesInOut().empty());
    EXPECT_EQ(host.resets, std::vector<int>{1});
    EXPECT_EQ(host.steps, 1);
}

TEST_F(ConversionJob, OnePieceRowsThatCutTheClipGiveOneNoticeWithTheLengthKept) {
    // At 8000 Hz a one-piece row keeps 65522 to 65530 coded bytes of 4000 a second.
    const std::string notice = "選択範囲が長いため、MLDファイルには先頭の16.3秒だけを保存しました。";
    struct Case {
        const char* name;
        uint32_t frames;
        std::initializer_list<int> cells;
        std::vector<std::string> texts;  // before the closing message
    };
    const Case cases[] = {
        {"four one-piece rows, one notice", 8000 * 20, {0, 12, 20, 24}, {notice}},
        {"a row of many pieces keeps it all", 8000 * 20, {4}, {}},
        {"a clip that fits the piece", 8000 * 16, {0, 12, 20, 24}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Load("song.wav", 1, 8000, c.frames);
        for (const MldHandset& handset : MldHandsets()) host.settings.grid.At(kMldPage, handset.cell) = kCellOff;
        Choose(kMldPage, c.cells);
        Choose(kMldPage, {22});  // 100 KB
        SetRate(kMldPage, 19);   // 8000Hz
        messages.Clear();
        JobReport report = OnConvert(host);
        EXPECT_TRUE(report.AllWritten());
        std::vector<std::string> expected = c.texts;
        expected.push_back(Closing());
        EXPECT_EQ(messages.Texts(), expected);
    }
}

TEST_F(ConversionJob, ProgressCountsEveryChosenOutputAlsoWhenOneFails) {
    Load("song.wav");
    Choose(kMldPage, {0, 24});  // N503i, LG (LG has no 4000 Hz)
    Choose(kMmfPage, {kMmfOutputCell});
    JobReport report = OnConvert(host);
    EXPECT_EQ(host.resets, std::vector<int>{3});
    EXPECT_EQ(host.steps, 3);
    EXPECT_EQ(WrittenNames(report), (std::vector<std::string>{"song_n1.mld", "song.mmf"}));
    EXPECT_EQ(host.repaints, 1);
    EXPECT_EQ(messages.Texts().back(), Closing());
}

TEST_F(ConversionJob, ThreeG2WithExternalShowsTheNoticeAndEncodesInternally) {
    Load("song.wav");
    Choose(k3gpPage, {k3g2OutputCell, k3gpExternalCell});
    host.settings.externalEncoderPath = "/bin/sh";  // any file that opens; 3G2 never runs it
    messages.Clear();
    JobReport report = OnConvert(host);
    EXPECT_EQ(WrittenNames(report), std::vector<std::string>{"song.3g2"});
    EXPECT_EQ(messages.Texts(),
              (std::vector<std::string>{
                  "3G2ファイルへの変換に外部エンコーダリンク機能は使用できません。内部エンコーダで変換を行います。",
                  Closing()}));
}

TEST_F(ConversionJob, ExternalEncoderNotChosenFallsBackToTheInternalOne) {
    Load("song.wav");
    Choose(k3gpPage, {k3gpOutputCell, k3g2OutputCell, k3gpExternalCell});
    host.settings.externalEncoderPath = folder / "gone-encoder";
    messages.Clear();
    JobReport report = OnConvert(host);  // the program dialog is cancelled
    EXPECT_EQ(WrittenNames(report), (std::vector<std::string>{"song.3gp", "song.3g2"}));
    EXPECT_EQ(messages.Texts(), (std::vector<std::string>{"外部エンコーダを指定してください。",
                                                          "内部エンコーダーを使用します。", Closing()}));
    EXPECT_EQ(host.settings.externalEncoderPath, "");
    EXPECT_EQ(host.settings.grid.At(k3gpPage, k3gpExternalCell), kCellOn);  // only this job drops it
}

TEST_F(ConversionJob, MmfChannelsComeFromTheMmfPageOnly) {
    Load("song.wav", 2);
    Choose(kMmfPage, {kMmfOutputCell});
    SetStereo(kMldPage);
    OnConvert(host);
    auto monoSize = std::filesystem::file_size(out + "/song.mmf");
    SetStereo(kMmfPage);
    host.settings.grid.At(kMldPage, kMonoCell) = kCellOn;
    host.settings.grid.At(kMldPage, kStereoCell) = kCellOff;
    OnConvert(host);
    auto stereoSize = std::filesystem::file_size(out + "/song.mmf");
    // 4000 frames at 4000 Hz after resampling: 1000 bytes of codes mono, 2000 stereo.
    EXPECT_GE(stereoSize, monoSize + 900) << monoSize << " " << stereoSize;
}

TEST_F(ConversionJob, DottedInputNameKeepsAllButTheLastExtension) {
    Load("a.b.wav");
    Choose(kMldPage, {0});
    Choose(kMmfPage, {kMmfOutputCell});
    Choose(k3gpPage, {k3gpOutputCell});
    JobReport report = OnConvert(host);
    EXPECT_EQ(WrittenNames(report), (std::vector<std::string>{"a.b_n1.mld", "a.b.mmf", "a.b.3gp"}));
    std::string file = ReadWholeFile(out + "/a.b.3gp");
    auto titl = file.find("titl");
    ASSERT_NE(titl, std::string::npos);
    auto title = file.find("a.b", titl);
    EXPECT_LT(title, titl + 24) << "the title is the name without its last extension";
    EXPECT_EQ(file.find("a.b.wav"), std::string::npos);
}

TEST_F(ConversionJob, StartEqualToEndConvertsTheWholeInput) {
    Load("song.wav");
    Choose(kMmfPage, {kMmfOutputCell});
    ASSERT_EQ(host.input.startFrame, 0u);
    ASSERT_EQ(host.input.endFrame, host.input.totalFrames);
    OnConvert(host);
    std::string whole = ReadWholeFile(out + "/song.mmf");

    host.input.startFrame = host.input.endFrame = 1234;
    OnConvert(host);
    EXPECT_EQ(ReadWholeFile(out + "/song.mmf"), whole);

    host.input.startFrame = 0;
    host.input.endFrame = host.input.totalFrames / 2;
    OnConvert(host);
    EXPECT_LT(ReadWholeFile(out + "/song.mmf").size(), whole.size());
}

TEST_F(ConversionJob, HostHandingOverItsSamplesGetsTheSameSelection) {
    struct TakingHost : testing::TestHost {
        std::optional<std::vector<uint8_t>> TakeInputSamples() override {
            std::optional<std::vector<uint8_t>> samples(std::move(input.pcm));
            input.pcm = {};
            return samples;
        }
    };
    Load("song.wav", 2);
    Choose(kMmfPage, {kMmfOutputCell});
    host.input.startFrame = 1000;
    host.input.endFrame = 3000;
    TakingHost taking;
    taking.input = host.input;
    taking.settings = host.settings;

    OnConvert(host);
    std::string copied = ReadWholeFile(out + "/song.mmf");
    EXPECT_EQ(host.input.PcmBytes(), 4000u * 4);  // the window keeps its input
    OnConvert(taking);
    EXPECT_EQ(ReadWholeFile(out + "/song.mmf"), copied);
    EXPECT_TRUE(taking.input.pcm.empty());
}

TEST_F(ConversionJob, SharedMonoMixGivesTheBytesEachEncoderMakesFromTheClip) {
    Load("song.wav", 2, 44100, 9000);
    for (const MldHandset& handset : MldHandsets()) Choose(kMldPage, {handset.cell});
    Choose(kMmfPage, {kMmfOutputCell});
    host.settings.grid.At(kMldPage, kMld20KbCell) = kCellOff;
    host.settings.grid.At(kMldPage, kMld100KbCell) = kCellOn;
    const SourceClip clip(host.input.inputPath, host.input.format, host.input.pcm);
    for (int rateCell : {15, 19, 23}) {  // 4000Hz (codec 3 moves to 8000 Hz), 8000Hz, 16000Hz
        SetRate(kMldPage, rateCell);
        SetRate(kMmfPage, rateCell);
        for (const auto& entry : std::filesystem::directory_iterator(out)) std::filesystem::remove(entry.path());
        OnConvert(host);
        std::string direct = folder / "direct";
        std::filesystem::create_directories(direct);
        JobChoices choices = ReadJobChoices(host.settings.grid);
        for (const MldHandset& handset : MldHandsets()) {
            MldEncoder encoder(clip);
            encoder.SetSizeLimit(99000);
            int preset = MldPresetFor(handset, 1, choices.mldRate);
            std::string path = direct + "/" + std::string(handset.presetName) + ".mld";
            std::string viaJob = out + "/song_" + std::string(handset.presetName) + ".mld";
            if (encoder.ConvertMld(preset, choices.mldRate, 100, path) != 1) {  // a rate the row refuses
                EXPECT_FALSE(std::filesystem::exists(viaJob)) << handset.label;
                continue;
            }
            EXPECT_EQ(ReadWholeFile(viaJob), ReadWholeFile(path)) << handset.label << " at " << choices.mldRate;
        }
        MmfEncoder mmf(clip);
        mmf.path = direct + "/song.wav";
        ASSERT_EQ(mmf.ConvertMmf(choices.mmfRate, 0), 1);
        EXPECT_EQ(ReadWholeFile(out + "/song.mmf"), ReadWholeFile(direct + "/song.mmf"));
    }
}

TEST_F(ConversionJob, WithoutARateCellTheInputRateAndTheLowestAacPairAreUsed) {
    Load("song.wav", 1, 8000);
    Choose(kMldPage, {0});
    Choose(kMmfPage, {kMmfOutputCell});
    Choose(k3gpPage, {k3gpOutputCell});
    for (int page = 0; page < kGridPages; ++page)
        for (const RateCell& cell : RateCells(page)) host.settings.grid.At(page, cell.cell) = kCellOff;
    JobChoices choices = ReadJobChoices(host.settings.grid);
    EXPECT_EQ(choices.mldRate, 0);
    EXPECT_EQ(choices.mmfRate, 0);
    EXPECT_EQ(choices.aacRate, 8000);
    EXPECT_EQ(choices.aacBitRate, 32000);
    JobReport report = OnConvert(host);
    EXPECT_TRUE(report.AllWritten());
    EXPECT_EQ(report.outputs.size(), 3u);
}

TEST_F(ConversionJob, GridIsReadAsTheTablesSay) {
    ButtonGrid grid = InitialButtonGrid();
    grid.At(kMldPage, kStereoCell) = kCellOn;  // STEREO wins over MONO
    grid.At(kMldPage, 19) = kCellOn;           // 4000Hz and 8000Hz on: the later one wins
    grid.At(kMldPage, kMld100KbCell) = kCellOn;
    grid.At(k3gpPage, 18) = kCellOn;  // 8000Hz and 32000Hz on
    grid.At(k3gpPage, k3gpStreamingCell) = kCellOn;
    JobChoices choices = ReadJobChoices(grid);
    EXPECT_EQ(choices.mldChannels, 2);
    EXPECT_EQ(choices.mldRate, 8000);
    EXPECT_EQ(choices.mldSizeLimit, 99000u);
    EXPECT_EQ(choices.aacRate, 32000);
    EXPECT_EQ(choices.aacBitRate, 96000);
    EXPECT_TRUE(choices.streaming);
    EXPECT_EQ(ReadJobChoices(InitialButtonGrid()).mldSizeLimit, 19000u);
    grid.At(kMldPage, kMld20KbCell) = grid.At(kMldPage, kMld100KbCell) = kCellOff;
    EXPECT_EQ(ReadJobChoices(grid).mldSizeLimit, 10000u);

    EXPECT_EQ(CountSelectedOutputs(InitialButtonGrid()), 0);
    ButtonGrid all = InitialButtonGrid();
    for (const MldHandset& handset : MldHandsets()) all.At(kMldPage, handset.cell) = kCellOn;
    all.At(kMmfPage, 0) = all.At(k3gpPage, 0) = all.At(k3gpPage, 4) = kCellOn;
    all.At(k3gpPage, k3gpExternalCell) = kCellOn;  // an option, not an output
    EXPECT_EQ(CountSelectedOutputs(all), 16);
}

TEST_F(ConversionJob, ExistingFilesAreReplacedAndWriteFailuresAreReported) {
    Load("song.wav");
    Choose(kMmfPage, {kMmfOutputCell});
    std::string old = folder.Write("out/song.mmf", "old contents");
    JobReport report = OnConvert(host);
    EXPECT_TRUE(report.AllWritten());
    EXPECT_NE(ReadWholeFile(old), "old contents");

    host.settings.savingDirectory = folder / "no-such-folder";
    messages.Clear();
    report = OnConvert(host);
    ASSERT_EQ(report.outputs.size(), 1u);
    EXPECT_FALSE(report.outputs[0].written);
    auto texts = messages.Texts();
    EXPECT_EQ(texts, std::vector<std::string>{"ファイルが書き込めませんでした。"});
}

// Every encoder tells the job whether its file was written: an accepted output whose write
// failed is not reported as written.
TEST_F(ConversionJob, OutputsThatCannotBeWrittenAreReportedUnwritten) {
    Load("song.wav");
    Choose(kMldPage, {0});
    Choose(kMmfPage, {kMmfOutputCell});
    Choose(k3gpPage, {k3gpOutputCell, k3g2OutputCell});
    host.settings.savingDirectory = folder / "no-such-folder";
    messages.Clear();
    JobReport report = OnConvert(host);
    EXPECT_EQ(report.outcome, JobOutcome::Finished);
    ASSERT_EQ(report.outputs.size(), 4u);
    for (const JobOutput& output : report.outputs) EXPECT_FALSE(output.written) << output.path;
    const std::string notWritten = "ファイルが書き込めませんでした。";
    EXPECT_EQ(messages.Texts(), (std::vector<std::string>{notWritten, notWritten, notWritten, notWritten}));
    EXPECT_EQ(host.steps, 4);
}

TEST(ClosingMessage, SaysSavedOnlyAfterAWriteAndAStoppedJobNamesWhatItWrote) {
    const JobOutput written{"/ring/song_n1.mld", true};
    const JobOutput failed{"/ring/song.mmf", false};
    const JobOutput alsoWritten{"/ring/song.3gp", true};
    struct Case {
        const char* name;
        JobReport report;
        std::optional<std::string> text;
    };
    const Case cases[] = {
        {"finished with a file", {JobOutcome::Finished, {failed, written}}, "/ringにファイルを保存しました。"},
        {"finished with nothing but failures", {JobOutcome::Finished, {failed}}, std::nullopt},
        {"out of memory after a file", {JobOutcome::OutOfMemory, {written}}, std::nullopt},
        {"stopped before any file", {JobOutcome::Stopped, {failed}}, std::string(kStoppedBeforeAnyText)},
        {"stopped after two files",
         {JobOutcome::Stopped, {written, failed, alsoWritten}},
         "/ringに次のファイルを保存しました。\nsong_n1.mld\nsong.3gp\n残りのファイルの変換は中止しました。"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(ClosingMessage(c.report, "/ring"), c.text);
    }
}

}  // namespace
}  // namespace kvt
