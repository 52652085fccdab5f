// kvt-convert: the headless front end of the conversion job.

#include <malloc.h>

#include <cstdio>
#include <string>
#include <vector>

#include "cli/convert_command.h"
#include "platform/library_log.h"

int main(int argc, char** argv) {
    // Whole-input buffers come and go for every output; blocks of 4 MB and more get their
    // own mappings, which go back to the system when freed instead of leaving holes in
    // the heap.
    mallopt(M_MMAP_THRESHOLD, 4 << 20);
    kvt::SetLibraryLog(kvt::LibraryLog::ErrorsAsNotes);
    std::vector<std::string> arguments(argv + 1, argv + argc);
    return kvt::cli::RunConvertCommand(arguments, stdout, stderr, true);
}
