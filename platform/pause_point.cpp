#include "platform/pause_point.h"

#include <unistd.h>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace kvt {

void PausePoint(std::string_view stage) {
    static const std::string wanted = [] {
        const char* value = std::getenv("KVT_PAUSE_AT");
        return std::string(value ? value : "");
    }();
    if (wanted.empty() || wanted != stage) return;
    std::fprintf(stderr, "paused at %s\n", wanted.c_str());
    std::fflush(stderr);
    for (;;) pause();
}

}  // namespace kvt
