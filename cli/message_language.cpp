#include "cli/message_language.h"

#include <cstdlib>
#include <string_view>

namespace kvt::cli {

bool SpeaksJapanese() {
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(name);
        if (value != nullptr && *value != '\0') return std::string_view(value).starts_with("ja");
    }
    return false;
}

}  // namespace kvt::cli
