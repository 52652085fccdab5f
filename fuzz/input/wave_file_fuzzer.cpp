// Loads arbitrary bytes as a WAV file. A file that loads must hold only bytes of its own,
// survive normalisation and mixing (a down-mix keeps every frame), and read back from its
// saved image unchanged.

#include <algorithm>
#include <cstdint>
#include <cstdlib>

#include "input/wave_file.h"
#include "platform/message.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool quiet = [] {
        kvt::SetMessageSink([](const kvt::MessageRequest&) { return kvt::MessageAnswer::Ok; });
        return true;
    }();
    (void)quiet;

    const std::span<const uint8_t> file(data, size);
    kvt::WaveFile wave;
    if (!wave.LoadFromMemory(file)) {
        if (wave.HasData() || wave.SampleBytes() != 0) std::abort();
        return 0;
    }
    const auto samples = wave.Samples();
    if (samples.size() > size || std::search(file.begin(), file.end(), samples.begin(), samples.end()) == file.end())
        std::abort();

    if (!kvt::HasUsableSampleRate(wave) || !kvt::NormalizeTo16Bits(wave)) return 0;
    const uint16_t channels = wave.channels;
    const size_t frames = channels ? wave.SampleBytes() / (2u * channels) : 0;
    if (wave.MixDownToStereo() && channels > 2 && (wave.channels != 2 || wave.SampleBytes() != frames * 4))
        std::abort();
    wave.MixToMono();
    const std::vector<uint8_t> saved = wave.SavedBytes();
    if (saved.size() != wave.SavedSize()) std::abort();

    kvt::WaveFile again;
    if (!again.LoadFromMemory(saved) || !std::ranges::equal(again.Samples(), wave.Samples()) ||
        again.channels != wave.channels || again.sampleRate != wave.sampleRate ||
        again.bitsPerSample != wave.bitsPerSample || again.blockAlign != wave.blockAlign)
        std::abort();
    return 0;
}
