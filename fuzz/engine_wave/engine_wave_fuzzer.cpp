// Arbitrary bytes through the engine's RIFF/WAVE reader, then the PCM operations on
// whatever it accepted.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "engine/engine_file.h"
#include "engine/pcm_operations.h"
#include "platform/message.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
    static const bool quiet = [] {
        kvt::SetMessageSink([](const kvt::MessageRequest&) { return kvt::MessageAnswer::Ok; });
        return true;
    }();
    (void)quiet;
    kvt::EngineFile file;
    file.image.assign(bytes, bytes + size);
    if (!file.ReadWave()) return 0;
    // Keep the work bounded: the header may claim any rate.
    if (file.data.size() > (1u << 20)) return 0;
    kvt::ConvertChannels(file, 1);
    if (file.format.sampleRate < 1000) return 0;
    kvt::EngineFile classic = file;
    kvt::Resample(classic, 8000, kvt::ResamplerKind::Classic);
    if (file.format.sampleRate <= 384000) kvt::Resample(file, 8000, kvt::ResamplerKind::BandLimited);
    return 0;
}
