// FFmpeg's lines reach the user only as notes, and only at the level the front end chose.

#include "platform/library_log.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/message.h"

extern "C" {
#include <libavutil/log.h>
}

namespace kvt {
namespace {

TEST(LibraryLog, ErrorsBecomeNotesAndQuietSilencesThem) {
    std::vector<std::string> notes;
    NoteSink previous = SetNoteSink([&notes](std::string_view text) { notes.emplace_back(text); });
    SetLibraryLog(LibraryLog::ErrorsAsNotes);
    av_log(nullptr, AV_LOG_ERROR, "cannot write %s\n", "a.3gp");
    av_log(nullptr, AV_LOG_WARNING, "bit rate clamped\n");
    SetLibraryLog(LibraryLog::Quiet);
    av_log(nullptr, AV_LOG_ERROR, "unheard\n");
    av_log_set_callback(av_log_default_callback);
    SetNoteSink(std::move(previous));
    EXPECT_EQ(notes, std::vector<std::string>{"cannot write a.3gp"});
}

}  // namespace
}  // namespace kvt
