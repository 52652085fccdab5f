#include "app/preview/handset_version.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>

#include "app/preview/ringtone_sound.h"
#include "convert/conversion_host.h"
#include "convert/conversion_job.h"
#include "convert/first_output.h"
#include "platform/message.h"
#include "platform/paths.h"

namespace kvt {

std::optional<LoadedInput> HandsetVersion(const LoadedInput& input, const Settings& settings) {
    if (CountSelectedOutputs(settings.grid) == 0) {
        ShowNothingChosenMessage();
        return std::nullopt;
    }
    // The reserved name keeps the coded file's name, beside it, from being anyone else's.
    const std::optional<std::string> scratch = CreateTemporaryFile();
    if (!scratch) {
        ShowMessage(std::string(kNoScratchFileText) + "\n" + TemporaryFolder() + ": " + std::strerror(errno));
        return std::nullopt;
    }
    std::string coded;
    std::optional<LoadedInput> sound;
    try {
        if (WriteFirstOutput(input, settings, *scratch, coded) == OutputResult::Written) sound = RingtoneSound(coded);
    } catch (const std::bad_alloc&) {
        sound.reset();
        ShowErrorMsg(2);
    }
    if (!coded.empty()) std::remove(coded.c_str());
    std::remove(scratch->c_str());
    return sound;
}

}  // namespace kvt
