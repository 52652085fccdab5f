#pragma once
// Which language kvt-convert speaks: Japanese in a Japanese locale, English elsewhere.

namespace kvt::cli {

// The first of LC_ALL, LC_MESSAGES and LANG that is set begins with "ja".
bool SpeaksJapanese();

}  // namespace kvt::cli
