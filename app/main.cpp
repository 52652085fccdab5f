// kvt: the desktop program.

#include "app/application.h"
#include "platform/cleanup_registry.h"
#include "platform/library_log.h"

int main(int argc, char** argv) {
    kvt::SetLibraryLog(kvt::LibraryLog::ErrorsAsNotes);
    kvt::AdoptOrphanedDescendants();
    return kvt::RunDesktopProgram(argc, argv);
}
