#include "engine/pcm_operations.h"

#include <algorithm>
#include <limits>
#include <new>

#include "engine/byte_order.h"
#include "engine/engine_message.h"

namespace kvt {

namespace {

constexpr uint64_t kMaxBlock = std::numeric_limits<uint32_t>::max();

bool IsConvertible(const EngineFile& pcm) {
    return pcm.format.bitsPerSample == 16 && pcm.format.channels > 0;
}

// Stores new samples as the block's data; false ("no memory") when they cannot be held.
bool StoreSamples(EngineFile& pcm, std::span<const int16_t> samples) {
    if (samples.size() * 2 > kMaxBlock) {
        ShowEngineMessage("no memory");
        return false;
    }
    pcm.data = SamplesToBytes(samples);
    pcm.dataSize = static_cast<uint32_t>(pcm.data.size());
    return true;
}

}  // namespace

std::vector<int16_t> BytesToSamples(std::span<const uint8_t> bytes) {
    std::vector<int16_t> samples(bytes.size() / 2);
    for (size_t i = 0; i < samples.size(); ++i)
        samples[i] = static_cast<int16_t>(GetLe16(bytes.subspan(2 * i)));
    return samples;
}

std::vector<uint8_t> SamplesToBytes(std::span<const int16_t> samples) {
    std::vector<uint8_t> bytes(samples.size() * 2);
    for (size_t i = 0; i < samples.size(); ++i)
        SetLe16(std::span(bytes).subspan(2 * i), static_cast<uint16_t>(samples[i]));
    return bytes;
}

int ConvertChannels(EngineFile& pcm, int targetChannels) {
    if (!IsConvertible(pcm)) return 1;
    const uint16_t channels = pcm.format.channels;
    const size_t usable = std::min<size_t>(pcm.dataSize, pcm.data.size());
    try {
        if (channels == 1 && targetChannels == 2) {
            const std::vector<int16_t> mono = BytesToSamples(std::span(pcm.data).first(usable));
            if (mono.size() * 4 > kMaxBlock) {
                ShowEngineMessage("no memory");
                return 0;
            }
            std::vector<int16_t> stereo(mono.size() * 2);
            for (size_t i = 0; i < mono.size(); ++i) stereo[2 * i] = stereo[2 * i + 1] = mono[i];
            if (!StoreSamples(pcm, stereo)) return 0;
            pcm.format.channels = 2;
            pcm.format.blockAlign = static_cast<uint16_t>(pcm.format.blockAlign * 2);
            pcm.format.byteRate *= 2;
        } else if (channels == 2 && targetChannels == 1) {
            const std::vector<int16_t> stereo = BytesToSamples(std::span(pcm.data).first(usable));
            std::vector<int16_t> mono(stereo.size() / 2);
            for (size_t i = 0; i < mono.size(); ++i)
                mono[i] = static_cast<int16_t>((stereo[2 * i] + stereo[2 * i + 1]) / 2);
            if (!StoreSamples(pcm, mono)) return 0;
            pcm.format.channels = 1;
            pcm.format.blockAlign = static_cast<uint16_t>(pcm.format.blockAlign / 2);
            pcm.format.byteRate /= 2;
        }
    } catch (const std::bad_alloc&) {
        ShowEngineMessage("no memory");
        return 0;
    }
    return 1;
}

int Resample(EngineFile& pcm, uint32_t targetRate) {
    const uint32_t sourceRate = pcm.format.sampleRate;
    if (!IsConvertible(pcm) || targetRate == 0 || sourceRate == 0 || targetRate == sourceRate)
        return 1;
    const uint64_t channels = pcm.format.channels;
    const uint64_t step = 1000ull * sourceRate / targetRate;    // source frames × 1000 per output frame
    const uint64_t scale = 1000ull * targetRate / sourceRate;   // output bytes per 1000 source bytes
    const uint64_t usable = std::min<uint64_t>(pcm.dataSize, pcm.data.size());
    const uint64_t newSize = usable * scale / 1000 / 2 / channels * channels * 2;
    if (newSize > kMaxBlock) {
        ShowEngineMessage("no memory");
        return 0;
    }
    try {
        const std::vector<int16_t> source = BytesToSamples(std::span(pcm.data).first(usable));
        const uint64_t sourceFrames = source.size() / channels;
        const uint64_t frames = newSize / 2 / channels;
        std::vector<int16_t> output(frames * channels);
        for (uint64_t i = 0; i < frames && sourceFrames > 0; ++i) {
            const uint64_t position = i * step;
            const uint64_t k = std::min(position / 1000, sourceFrames - 1);
            // The frame one past the end repeats the last frame.
            const uint64_t next = std::min(k + 1, sourceFrames - 1);
            const int64_t fraction = static_cast<int64_t>(position % 1000);
            for (uint64_t c = 0; c < channels; ++c) {
                const int64_t a = source[k * channels + c];
                const int64_t b = source[next * channels + c];
                output[i * channels + c] = static_cast<int16_t>(a + (b - a) * fraction / 1000);
            }
        }
        if (!StoreSamples(pcm, output)) return 0;
    } catch (const std::bad_alloc&) {
        ShowEngineMessage("no memory");
        return 0;
    }
    pcm.format.sampleRate = targetRate;
    pcm.format.byteRate = static_cast<uint32_t>(uint64_t{targetRate} * channels * 2);
    return 1;
}

}  // namespace kvt
