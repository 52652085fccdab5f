#pragma once
// What a handset makes of the selection: the first chosen output coded into a scratch file
// in the temporary folder, read back by the ringtone readers and the file removed, as a
// sound the preview plays whole at its own rate.

#include <optional>
#include <string_view>

#include "convert/loaded_input.h"
#include "convert/settings_store.h"

namespace kvt {

// Followed by the temporary folder and the system's reason.
inline constexpr std::string_view kNoScratchFileText = "試聴用の一時ファイルを作れませんでした。";

// Nothing after a message: no output chosen, no scratch file, a refused or failed coding,
// a file that does not decode, too little memory.
std::optional<LoadedInput> HandsetVersion(const LoadedInput& input, const Settings& settings);

}  // namespace kvt
