#pragma once
// The sound of a ringtone file as a handset plays it: the file read and decoded by the
// ringtone readers (every MLD codec, MMF's ADPCM, 3GP/3G2 through the AAC decoder), as a
// loaded input the preview plays whole at the file's own rate.

#include <optional>
#include <string>
#include <string_view>

#include "convert/loaded_input.h"

namespace kvt {

inline constexpr std::string_view kNoRingtoneSoundText = "着信音ファイルの音を読み出せませんでした。";

// Shows kNoRingtoneSoundText with the reader's reason when the file is no ringtone or holds
// no audio that decodes.
std::optional<LoadedInput> RingtoneSound(const std::string& path);

}  // namespace kvt
