// The question of the files above the MLD size ceiling, answered through the message seam,
// and where its answer is remembered.

#include "convert/mld_size_fit.h"

#include <gtest/gtest.h>

#include "platform/message.h"
#include "platform/profile.h"
#include "platform/temp_folder.h"

namespace kvt {
namespace {

const std::vector<OverLimitFile> kFiles = {{"/out/song_n2.mld", 37600, 4.7}, {"/out/song_d1.mld", 37600, 4.7}};

TEST(MldSizeFit, TheQuestionListsEachFileAndItsAnswerIsRememberedOnlyWhenTicked) {
    struct Case {
        MessageAnswer answer;
        bool tick;
        bool shorten;
        std::optional<bool> remembered;
    };
    const Case cases[] = {
        {MessageAnswer::Ok, false, true, std::nullopt},
        {MessageAnswer::Cancel, false, false, std::nullopt},
        {MessageAnswer::Ok, true, true, true},
        {MessageAnswer::Cancel, true, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.answer) * 2 + c.tick);
        std::vector<MessageRequest> asked;
        MessageSink previous = SetMessageSink([&](const MessageRequest& request) {
            asked.push_back(request);
            if (request.checkBoxChecked) *request.checkBoxChecked = c.tick;
            return c.answer;
        });
        Settings settings;
        EXPECT_EQ(AskToShortenToFit(kFiles, 19000, settings), c.shorten);
        SetMessageSink(previous);
        ASSERT_EQ(asked.size(), 1u);
        EXPECT_EQ(asked[0].text,
                  "次のファイルは 20 KB に収まりません。\nsong_n2.mld: 4.7 秒に短くすれば収まります。\n"
                  "song_d1.mld: 4.7 秒に短くすれば収まります。\n短くして保存しますか？");
        EXPECT_EQ(asked[0].buttons, MessageButtons::YesNo);
        EXPECT_FALSE(asked[0].checkBoxText.empty());
        EXPECT_EQ(settings.shortenToFit, c.remembered);
    }
}

TEST(MldSizeFit, ARememberedAnswerAsksNothingAndAnOldFileAsks) {
    MessageRecorder recorder;
    Settings settings;
    settings.shortenToFit = false;
    EXPECT_FALSE(AskToShortenToFit(kFiles, 99000, settings));
    EXPECT_TRUE(recorder.Texts().empty());

    // A setup.ini of before, without the key, keeps its other settings and asks.
    testing::TempFolder folder;
    const std::string ini = folder.Write("setup.ini", "[kvt]\ndirectory=" + folder.Path() + "\nresampler=classic\n");
    Settings loaded;
    ASSERT_EQ(LoadSettings(loaded, ini), 1);
    EXPECT_FALSE(loaded.shortenToFit.has_value());
    EXPECT_EQ(loaded.resampler, ResamplerKind::Classic);
    loaded.shortenToFit = true;
    SaveSettings(loaded, ini);
    EXPECT_EQ(ReadProfileString(kSettingsSection, "fit", "", ini), kShortenToFitName);
    EXPECT_EQ(ReadProfileString(kSettingsSection, "resampler", "", ini), "classic");
}

}  // namespace
}  // namespace kvt
