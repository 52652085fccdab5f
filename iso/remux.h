#pragma once
// Rewrites a written 3GP file in the streaming layout (movie box before the media data,
// chunks of half a second, brand "mmp4", minor version 1, compatible brands "mmp4" "3gp5"
// "3gp4"), keeping its creation and modification times.

#include <string>

namespace kvt {

// The new file is written beside `path` and renamed over it, so a failure shows its
// message and leaves the file as it was. True when `path` now holds the re-muxed file.
bool RemuxForStreaming(const std::string& path);

}  // namespace kvt
