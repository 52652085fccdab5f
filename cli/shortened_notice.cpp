#include "cli/shortened_notice.h"

#include <cstdio>

#include "platform/message_language.h"
#include "platform/paths.h"

namespace kvt::cli {
namespace {

constexpr char kShortenedEnglishFormat[] = "%s: shortened to %.1f s to fit in %d KB";

}  // namespace

std::string ShortenedNotice(const OverLimitFile& file, uint32_t limit) {
    if (MessagesInJapanese()) return ShortenedText(file, limit);
    char text[1024];
    std::snprintf(text, sizeof text, kShortenedEnglishFormat, std::string(FileNameOfPath(file.path)).c_str(),
                  file.fittingSeconds, LimitKb(limit));
    return text;
}

}  // namespace kvt::cli
