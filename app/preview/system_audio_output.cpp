#include "app/preview/system_audio_output.h"

#include "app/preview/fallback_audio_output.h"
#include "app/preview/pulse_audio_output.h"
#include "app/preview/qt_audio_output.h"

namespace kvt {

std::unique_ptr<AudioOutput> MakeSystemAudioOutput() {
    return std::make_unique<FallbackAudioOutput>(std::make_unique<QtAudioOutput>(),
                                                 std::make_unique<PulseAudioOutput>());
}

}  // namespace kvt
