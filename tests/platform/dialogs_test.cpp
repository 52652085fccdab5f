#include "platform/dialogs.h"

#include <gtest/gtest.h>

namespace kvt {
namespace {

TEST(Dialogs, CancelUntilAFrontEndInstallsItsOwn) {
    EXPECT_EQ(CurrentDialogs().OpenFile("exe", "exe files|*.exe|"), std::nullopt);
    EXPECT_EQ(CurrentDialogs().BrowseFolder("t", "/"), std::nullopt);
}

TEST(Dialogs, ScriptedAnswersComeInOrderThenCancel) {
    ScriptedDialogs scripted;
    scripted.QueueOpenFile("/usr/bin/lame");
    scripted.QueueOpenFile(std::nullopt);
    scripted.QueueBrowseFolder("/music");
    {
        ScopedDialogs scope(scripted);
        EXPECT_EQ(CurrentDialogs().OpenFile("exe", "exe files|*.exe|"), "/usr/bin/lame");
        EXPECT_EQ(CurrentDialogs().BrowseFolder("フォルダを選択してください", "/home"), "/music");
        EXPECT_EQ(CurrentDialogs().OpenFile("exe", "f|*|"), std::nullopt);
        EXPECT_EQ(CurrentDialogs().OpenFile("exe", "f|*|"), std::nullopt);
    }
    EXPECT_NE(&CurrentDialogs(), &scripted);
    auto requests = scripted.Requests();
    ASSERT_EQ(requests.size(), 4u);
    EXPECT_EQ(requests[0].kind, ScriptedDialogs::Request::Kind::OpenFile);
    EXPECT_EQ(requests[0].second, "exe files|*.exe|");
    EXPECT_EQ(requests[1].kind, ScriptedDialogs::Request::Kind::BrowseFolder);
    EXPECT_EQ(requests[1].second, "/home");
}

}  // namespace
}  // namespace kvt
