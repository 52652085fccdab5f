// kvt: the desktop program.

#include "app/application.h"
#include "platform/library_log.h"

int main(int argc, char** argv) {
    kvt::SetLibraryLog(kvt::LibraryLog::ErrorsAsNotes);
    return kvt::RunDesktopProgram(argc, argv);
}
