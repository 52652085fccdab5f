#pragma once
// The system's reason for the last failure of a file operation on this thread, for a front
// end that can show more than a message box's fixed words ("ファイルが開けませんでした。"
// when the scratch folder is full, for instance).

#include <optional>
#include <string>

namespace kvt {

// Records "what: <the errno text>" for the calling thread.
void NoteFailureCause(const std::string& what, int error);
// The recorded cause, once; nothing when none was recorded since the last call.
std::optional<std::string> TakeFailureCause();

}  // namespace kvt
