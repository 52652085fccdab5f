#pragma once
// The GUI's back end of ShowMessage: a modal message box with OK (or OK and Cancel).
// A system-modal request becomes an application-modal box that stays on top.

#include "platform/message.h"

namespace kvt {

MessageAnswer ShowQtMessageBox(const MessageRequest& request);

// Runs `sink` on the application's thread. A message from another thread (the CD rip's)
// waits there for the answer, as it would for a box of its own.
MessageSink OnGuiThread(MessageSink sink);

// Adds what the system said about the last failed file operation of the calling thread
// (platform/failure_cause.h) as a second line: the box's fixed words name the symptom
// ("ファイルが書き込めませんでした。"), the line names the file and the reason.
MessageSink WithFailureCause(MessageSink sink);

}  // namespace kvt
