#pragma once
// Every message box of the system goes through ShowMessage. The back end is chosen by the
// front end: the GUI installs a dialog, kvt-convert the console, tests a recorder.

#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace kvt {

// YesNo answers Ok for Yes and Cancel for No.
enum class MessageButtons { Ok, OkCancel, YesNo };
enum class MessageAnswer { Ok, Cancel };

struct MessageRequest {
    std::string text;
    std::string caption;
    MessageButtons buttons = MessageButtons::Ok;
    bool systemModal = false;
    // A check box under the text when not empty; the back end leaves its state in
    // *checkBoxChecked (unticked when the back end shows no box).
    std::string checkBoxText;
    bool* checkBoxChecked = nullptr;
};

using MessageSink = std::function<MessageAnswer(const MessageRequest&)>;

inline constexpr std::string_view kApplicationTitle = "KVT";

MessageAnswer ShowMessage(std::string_view text, std::string_view caption = kApplicationTitle,
                          MessageButtons buttons = MessageButtons::Ok, bool systemModal = false);

// A Yes/No question with a check box ("remember the answer"); `checked` holds whether it
// was ticked.
MessageAnswer AskWithCheckBox(std::string_view text, std::string_view caption, std::string_view checkBoxText,
                              bool& checked);

// Installs a back end for the whole process and returns the one it replaces.
MessageSink SetMessageSink(MessageSink sink);

// Prints "caption: text" to stderr and answers without waiting: OK for an OK box and
// the default answer (Cancel unless told otherwise) for an OK/Cancel question.
MessageSink ConsoleMessageSink(MessageAnswer questionAnswer = MessageAnswer::Cancel);

// A progress note ("Converting to 3GP file..."): no box, a line for whoever watches.
// The default back end prints it to stderr; kvt-convert tags it or, quiet, drops it.
using NoteSink = std::function<void(std::string_view)>;
void ShowNote(std::string_view text);
// Installs a back end for the whole process and returns the one it replaces.
NoteSink SetNoteSink(NoteSink sink);

// Records every request and answers with scripted answers (then OK). Installs itself on
// construction and puts the previous sink back on destruction.
class MessageRecorder {
public:
    explicit MessageRecorder(std::vector<MessageAnswer> answers = {});
    ~MessageRecorder();
    MessageRecorder(const MessageRecorder&) = delete;
    MessageRecorder& operator=(const MessageRecorder&) = delete;

    std::vector<MessageRequest> Requests() const;
    std::vector<std::string> Texts() const;
    void Clear();

private:
    mutable std::mutex mutex_;
    std::vector<MessageRequest> requests_;
    std::vector<MessageAnswer> answers_;
    MessageSink previous_;
};

}  // namespace kvt
