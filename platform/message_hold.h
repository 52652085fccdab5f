#pragma once
// Keeps the messages of a thread that works ahead for another: while a MessageHold lives,
// ShowMessage on the thread that made it records the request and answers OK instead of
// reaching the back end. The work that owns the thread decides what the kept messages mean
// (kvt's conversion job throws such work away and does it again where the user follows it).

#include <vector>

#include "platform/message.h"

namespace kvt {

class MessageHold {
public:
    MessageHold();
    ~MessageHold();
    MessageHold(const MessageHold&) = delete;
    MessageHold& operator=(const MessageHold&) = delete;

    bool Empty() const { return held_.empty(); }
    const std::vector<MessageRequest>& Held() const { return held_; }

    // For ShowMessage: true when the calling thread holds its messages and this one was kept.
    static bool Keep(const MessageRequest& request);

private:
    std::vector<MessageRequest> held_;
    MessageHold* outer_;
};

}  // namespace kvt
