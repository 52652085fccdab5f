// kvt-convert: the headless front end of the conversion job.

#include <malloc.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "cli/convert_command.h"
#ifdef KVT_WITH_PLAY
#include "app/preview/system_audio_output.h"
#include "cli/play_command.h"
#endif
#include "platform/cleanup_registry.h"
#include "platform/library_log.h"

int main(int argc, char** argv) {
    // Whole-input buffers come and go for every output; blocks of 4 MB and more get their
    // own mappings, which go back to the system when freed instead of leaving holes in
    // the heap.
    mallopt(M_MMAP_THRESHOLD, 4 << 20);
    kvt::SetLibraryLog(kvt::LibraryLog::ErrorsAsNotes);
    kvt::AdoptOrphanedDescendants();
    std::vector<std::string> arguments(argv + 1, argv + argc);
    if (!arguments.empty() && arguments.front() == "--play") {
        if (arguments.size() != 2) {
            std::fprintf(stderr, "kvt-convert: --play takes one ringtone file (MLD, MMF, 3GP or 3G2)\n");
            return kvt::cli::kExitUsage;
        }
#ifdef KVT_WITH_PLAY
        return kvt::cli::RunPlayCommand(arguments[1], kvt::MakeSystemAudioOutput(), stderr);
#else
        std::fprintf(stderr, "kvt-convert: --play is not built into this kvt-convert (it needs Qt Multimedia)\n");
        return kvt::cli::kExitUsage;
#endif
    }
    return kvt::cli::RunConvertCommand(arguments, stdout, stderr, true);
}
