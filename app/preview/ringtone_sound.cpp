#include "app/preview/ringtone_sound.h"

#include <cstring>

#include "check/ringtone_check.h"
#include "platform/message.h"

namespace kvt {

std::optional<LoadedInput> RingtoneSound(const std::string& path) {
    CheckReport report = CheckRingtoneFile(path);
    DecodedAudio& audio = report.audio;
    if (audio.samples.empty() || audio.rate == 0 || audio.channels < 1) {
        std::string text(kNoRingtoneSoundText);
        if (!report.problems.empty())
            text += "\n" + report.problems.front().field + ": " + report.problems.front().found;
        ShowMessage(text);
        return std::nullopt;
    }
    LoadedInput sound;
    sound.inputPath = path;
    sound.isLoaded = true;
    sound.format = FormatBlock::Pcm16(static_cast<uint16_t>(audio.channels), audio.rate);
    sound.totalFrames = static_cast<uint32_t>(audio.samples.size() / static_cast<size_t>(audio.channels));
    sound.pcm.resize(size_t{sound.totalFrames} * static_cast<size_t>(audio.channels) * 2);
    std::memcpy(sound.pcm.data(), audio.samples.data(), sound.pcm.size());
    // START equal to END: the preview plays the whole sound.
    return sound;
}

}  // namespace kvt
