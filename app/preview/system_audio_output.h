#pragma once
// The sound output the program plays through: Qt Multimedia, and our own PulseAudio client
// when Qt cannot reach the sound server.

#include <memory>

#include "app/preview/audio_output.h"

namespace kvt {

std::unique_ptr<AudioOutput> MakeSystemAudioOutput();

}  // namespace kvt
