#pragma once
// FFmpeg's logging is process-wide, so only a front end sets it, once, at start. The core
// never touches it.

namespace kvt {

enum class LibraryLog {
    Quiet,          // the library says nothing; the program reports its own failures
    ErrorsAsNotes,  // the library's errors reach the user as notes (ShowNote), which
                    // kvt-convert tags with the file and drops under -q
};

void SetLibraryLog(LibraryLog mode);

}  // namespace kvt
