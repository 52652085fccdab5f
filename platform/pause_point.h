#pragma once
// A seam for tests that interrupt the program at a chosen moment: when the environment
// variable KVT_PAUSE_AT equals `stage` ("rename song.mmf": a finished output before it gets
// its name), the program prints "paused at <stage>" on stderr and waits there until it is
// ended. Unset, a pause point costs one comparison.

#include <string_view>

namespace kvt {

void PausePoint(std::string_view stage);

}  // namespace kvt
