#include "platform/message_hold.h"

namespace kvt {
namespace {

thread_local MessageHold* currentHold = nullptr;

}  // namespace

MessageHold::MessageHold() : outer_(currentHold) {
    currentHold = this;
}

MessageHold::~MessageHold() {
    currentHold = outer_;
}

bool MessageHold::Keep(const MessageRequest& request) {
    if (currentHold == nullptr) return false;
    currentHold->held_.push_back(request);
    return true;
}

}  // namespace kvt
