#pragma once
// The language of kvt-convert's messages. The core's texts are Japanese (the window shows
// them as they are); outside a Japanese locale the console shows their English rendition,
// and an internal key ("samplerate_f04:lg", "fmt_num") is shown with the sentence that
// explains it, in the console's language.

#include <span>
#include <string>
#include <string_view>

namespace kvt {

// One text the core shows. printf conversions (%d, %.1f, %s) stand for the values a text
// carries or is completed with; `english` has the same conversions in the same order. A
// text of plain ASCII (an internal key) is recognised only as a whole message, a Japanese
// one also inside a longer message ("<folder>にファイルを保存しました。").
struct MessageRendition {
    std::string_view text;
    std::string_view english;
    std::string_view japanese = {};  // a key with its explanation, for a Japanese locale
};

std::span<const MessageRendition> MessageRenditions();

// True when the first of LC_ALL, LC_MESSAGES and LANG that is set (and not empty) names a
// Japanese locale ("ja", "ja_JP.UTF-8"), as POSIX picks the locale of messages.
bool MessagesInJapanese();

// `text` as the console shows it: every known text in English, or, in Japanese, unchanged
// but for the explanation a key gets.
std::string LocalizedMessage(std::string_view text, bool japanese);

}  // namespace kvt
