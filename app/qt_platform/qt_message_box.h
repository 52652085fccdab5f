#pragma once
// The GUI's back end of ShowMessage: a modal message box with OK (or OK and Cancel).
// A system-modal request becomes an application-modal box that stays on top.

#include "platform/message.h"

namespace kvt {

MessageAnswer ShowQtMessageBox(const MessageRequest& request);

// Runs `sink` on the application's thread. A message from another thread (the CD rip's)
// waits there for the answer, as it would for a box of its own.
MessageSink OnGuiThread(MessageSink sink);

}  // namespace kvt
