#include "platform/message.h"

#include <cstdio>

#include "platform/message_hold.h"

namespace kvt {
namespace {

std::mutex sinkMutex;

MessageSink& CurrentSink() {
    static MessageSink sink = ConsoleMessageSink();
    return sink;
}

NoteSink& CurrentNoteSink() {
    static NoteSink sink = [](std::string_view text) {
        std::fprintf(stderr, "%.*s\n", static_cast<int>(text.size()), text.data());
    };
    return sink;
}

}  // namespace

void ShowNote(std::string_view text) {
    NoteSink sink;
    {
        std::lock_guard lock(sinkMutex);
        sink = CurrentNoteSink();
    }
    if (sink) sink(text);
}

NoteSink SetNoteSink(NoteSink sink) {
    std::lock_guard lock(sinkMutex);
    NoteSink previous = std::move(CurrentNoteSink());
    CurrentNoteSink() = std::move(sink);
    return previous;
}

namespace {

MessageAnswer Show(const MessageRequest& request) {
    if (MessageHold::Keep(request)) return MessageAnswer::Ok;
    MessageSink sink;
    {
        std::lock_guard lock(sinkMutex);
        sink = CurrentSink();
    }
    return sink ? sink(request) : MessageAnswer::Ok;
}

}  // namespace

MessageAnswer ShowMessage(std::string_view text, std::string_view caption, MessageButtons buttons, bool systemModal) {
    MessageRequest request;
    request.text = text;
    request.caption = caption;
    request.buttons = buttons;
    request.systemModal = systemModal;
    return Show(request);
}

MessageAnswer AskWithCheckBox(std::string_view text, std::string_view caption, std::string_view checkBoxText,
                              bool& checked) {
    checked = false;
    MessageRequest request;
    request.text = text;
    request.caption = caption;
    request.buttons = MessageButtons::YesNo;
    request.checkBoxText = std::string(checkBoxText);
    request.checkBoxChecked = &checked;
    return Show(request);
}

MessageSink SetMessageSink(MessageSink sink) {
    std::lock_guard lock(sinkMutex);
    MessageSink previous = std::move(CurrentSink());
    CurrentSink() = std::move(sink);
    return previous;
}

MessageSink ConsoleMessageSink(MessageAnswer questionAnswer) {
    return [questionAnswer](const MessageRequest& request) {
        static std::mutex printMutex;
        std::lock_guard lock(printMutex);
        if (request.caption.empty())
            std::fprintf(stderr, "%s\n", request.text.c_str());
        else
            std::fprintf(stderr, "%s: %s\n", request.caption.c_str(), request.text.c_str());
        return request.buttons == MessageButtons::Ok ? MessageAnswer::Ok : questionAnswer;
    };
}

MessageRecorder::MessageRecorder(std::vector<MessageAnswer> answers) : answers_(std::move(answers)) {
    previous_ = SetMessageSink([this](const MessageRequest& request) {
        std::lock_guard lock(mutex_);
        requests_.push_back(request);
        if (answers_.empty()) return MessageAnswer::Ok;
        MessageAnswer answer = answers_.front();
        answers_.erase(answers_.begin());
        return answer;
    });
}

MessageRecorder::~MessageRecorder() {
    SetMessageSink(std::move(previous_));
}

std::vector<MessageRequest> MessageRecorder::Requests() const {
    std::lock_guard lock(mutex_);
    return requests_;
}

std::vector<std::string> MessageRecorder::Texts() const {
    std::lock_guard lock(mutex_);
    std::vector<std::string> texts;
    for (const auto& request : requests_) texts.push_back(request.text);
    return texts;
}

void MessageRecorder::Clear() {
    std::lock_guard lock(mutex_);
    requests_.clear();
}

}  // namespace kvt
