#pragma once
// kvt-convert --play FILE: plays an MLD, MMF, 3GP or 3G2 file as a handset would, decoded
// by the ringtone readers, at the file's own rate.

#include <cstdio>
#include <memory>
#include <string>

#include "app/preview/audio_output.h"

namespace kvt::cli {

// kExitSuccess once the sound has played to its end; kExitFailed when the file has no
// sound to play or the device did not play it (the message is on `err`).
int RunPlayCommand(const std::string& path, std::unique_ptr<AudioOutput> output, std::FILE* err);

}  // namespace kvt::cli
