#include "platform/message.h"

#include <gtest/gtest.h>

#include <thread>

#include "platform/message_hold.h"

namespace kvt {
namespace {

TEST(Message, RecorderSeesEveryBoxAndAnswersAsScripted) {
    MessageRecorder recorder({MessageAnswer::Cancel});
    EXPECT_EQ(ShowMessage("question", "caption", MessageButtons::OkCancel, true), MessageAnswer::Cancel);
    EXPECT_EQ(ShowMessage("plain"), MessageAnswer::Ok);
    auto requests = recorder.Requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].caption, "caption");
    EXPECT_TRUE(requests[0].systemModal);
    EXPECT_EQ(requests[1].caption, kApplicationTitle);
    EXPECT_EQ(requests[1].buttons, MessageButtons::Ok);
}

TEST(Message, RecorderRestoresThePreviousSink) {
    MessageRecorder outer;
    {
        MessageRecorder inner;
        ShowMessage("inner");
    }
    ShowMessage("outer");
    EXPECT_EQ(outer.Texts(), std::vector<std::string>{"outer"});
}

TEST(Message, ConsoleAnswersQuestionsWithItsDefault) {
    MessageRequest question;
    question.text = "q";
    question.caption = "c";
    question.buttons = MessageButtons::OkCancel;
    EXPECT_EQ(ConsoleMessageSink()(question), MessageAnswer::Cancel);
    EXPECT_EQ(ConsoleMessageSink(MessageAnswer::Ok)(question), MessageAnswer::Ok);
    MessageRequest box;
    box.text = "b";
    box.caption = "c";
    EXPECT_EQ(ConsoleMessageSink()(box), MessageAnswer::Ok);
}

TEST(MessageHold, KeepsOnlyTheMessagesOfItsOwnThreadUntilItEnds) {
    MessageRecorder recorder;
    {
        MessageHold hold;
        EXPECT_EQ(ShowMessage("kept", "c", MessageButtons::OkCancel), MessageAnswer::Ok);
        std::thread other([] { ShowMessage("other thread"); });
        other.join();
        {
            MessageHold inner;
            ShowMessage("inner");
            EXPECT_EQ(inner.Held().size(), 1u);
        }
        ASSERT_EQ(hold.Held().size(), 1u);
        EXPECT_EQ(hold.Held()[0].text, "kept");
        EXPECT_EQ(hold.Held()[0].buttons, MessageButtons::OkCancel);
    }
    ShowMessage("after");
    EXPECT_EQ(recorder.Texts(), (std::vector<std::string>{"other thread", "after"}));
}

}  // namespace
}  // namespace kvt
