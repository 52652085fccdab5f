#include "platform/library_log.h"

#include <cstdarg>
#include <string>

#include "platform/message.h"

extern "C" {
#include <libavutil/log.h>
}

namespace kvt {
namespace {

void NoteLibraryLine(void* object, int level, const char* format, va_list arguments) {
    if (level > av_log_get_level()) return;
    char line[1024];
    int printPrefix = 1;
    av_log_format_line2(object, level, format, arguments, line, sizeof line, &printPrefix);
    std::string text(line);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    if (!text.empty()) ShowNote(text);
}

}  // namespace

void SetLibraryLog(LibraryLog mode) {
    switch (mode) {
    case LibraryLog::Quiet: av_log_set_level(AV_LOG_QUIET); break;
    case LibraryLog::ErrorsAsNotes:
        av_log_set_level(AV_LOG_ERROR);
        av_log_set_callback(NoteLibraryLine);
        break;
    }
}

}  // namespace kvt
