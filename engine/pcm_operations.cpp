#include "engine/pcm_operations.h"

#include <algorithm>
#include <limits>
#include <new>
#include <optional>

#include "engine/band_limited_resample.h"
#include "engine/byte_order.h"
#include "engine/engine_message.h"
#include "platform/message.h"

namespace kvt {

namespace {

constexpr uint64_t kMaxBlock = std::numeric_limits<uint32_t>::max();

bool IsConvertible(const EngineFile& pcm) {
    return pcm.format.bitsPerSample == 16 && pcm.format.channels > 0;
}

// The conversions read the little-endian samples where they lie and write the result's
// bytes directly: a whole clip is never held a second time as 16-bit numbers.
int16_t SampleAt(std::span<const uint8_t> bytes, uint64_t index) {
    return static_cast<int16_t>(GetLe16(bytes.subspan(2 * index, 2)));
}

void SetSampleAt(std::span<uint8_t> bytes, uint64_t index, int16_t sample) {
    SetLe16(bytes.subspan(2 * index, 2), static_cast<uint16_t>(sample));
}

// A zeroed block of `bytes` for the result; nothing ("no memory") when it cannot be held.
std::optional<std::vector<uint8_t>> NewBlock(uint64_t bytes) {
    if (bytes > kMaxBlock) {
        ShowMessage(kNoMemoryText);
        return std::nullopt;
    }
    return std::vector<uint8_t>(bytes);
}

void StoreBlock(EngineFile& pcm, std::vector<uint8_t> block) {
    pcm.data = std::move(block);
}

void ResampleClassic(std::span<const uint8_t> source, std::span<uint8_t> output, uint64_t channels, uint32_t sourceRate,
                     uint32_t targetRate) {
    const uint64_t step = 1000ull * sourceRate / targetRate;  // source frames × 1000 per output frame
    const uint64_t sourceFrames = source.size() / 2 / channels;
    const uint64_t frames = output.size() / 2 / channels;
    for (uint64_t i = 0; i < frames && sourceFrames > 0; ++i) {
        const uint64_t position = i * step;
        const uint64_t k = std::min(position / 1000, sourceFrames - 1);
        // The frame one past the end repeats the last frame.
        const uint64_t next = std::min(k + 1, sourceFrames - 1);
        const int64_t fraction = static_cast<int64_t>(position % 1000);
        for (uint64_t c = 0; c < channels; ++c) {
            const int64_t a = SampleAt(source, k * channels + c);
            const int64_t b = SampleAt(source, next * channels + c);
            SetSampleAt(output, i * channels + c, static_cast<int16_t>(a + (b - a) * fraction / 1000));
        }
    }
}

}  // namespace

uint64_t ResampledPcmBytes(uint64_t sourceBytes, uint64_t channels, uint32_t sourceRate, uint32_t targetRate,
                           ResamplerKind kind) {
    const uint64_t frameBytes = 2 * channels;
    if (kind == ResamplerKind::BandLimited)
        return ResampledFrameCount(sourceBytes / frameBytes, sourceRate, targetRate) * frameBytes;
    const uint64_t scale = 1000ull * targetRate / sourceRate;  // output bytes per 1000 source bytes
    return sourceBytes * scale / 1000 / frameBytes * frameBytes;
}

std::vector<int16_t> BytesToSamples(std::span<const uint8_t> bytes) {
    std::vector<int16_t> samples(bytes.size() / 2);
    for (size_t i = 0; i < samples.size(); ++i) samples[i] = SampleAt(bytes, i);
    return samples;
}

std::vector<uint8_t> SamplesToBytes(std::span<const int16_t> samples) {
    std::vector<uint8_t> bytes(samples.size() * 2);
    for (size_t i = 0; i < samples.size(); ++i) SetSampleAt(bytes, i, samples[i]);
    return bytes;
}

int ConvertChannels(EngineFile& pcm, int targetChannels) {
    if (!IsConvertible(pcm)) return 1;
    const uint16_t channels = pcm.format.channels;
    const std::span<const uint8_t> source = pcm.data;
    const uint64_t sourceSamples = source.size() / 2;
    try {
        if (channels == 1 && targetChannels == 2) {
            auto stereo = NewBlock(sourceSamples * 4);
            if (!stereo) return 0;
            for (uint64_t i = 0; i < sourceSamples; ++i) {
                const int16_t sample = SampleAt(source, i);
                SetSampleAt(*stereo, 2 * i, sample);
                SetSampleAt(*stereo, 2 * i + 1, sample);
            }
            StoreBlock(pcm, std::move(*stereo));
            pcm.format.channels = 2;
            pcm.format.blockAlign = static_cast<uint16_t>(pcm.format.blockAlign * 2);
            pcm.format.byteRate *= 2;
        } else if (channels == 2 && targetChannels == 1) {
            const uint64_t frames = sourceSamples / 2;
            auto mono = NewBlock(frames * 2);
            if (!mono) return 0;
            for (uint64_t i = 0; i < frames; ++i)
                SetSampleAt(*mono, i,
                            static_cast<int16_t>((SampleAt(source, 2 * i) + SampleAt(source, 2 * i + 1)) / 2));
            StoreBlock(pcm, std::move(*mono));
            pcm.format.channels = 1;
            pcm.format.blockAlign = static_cast<uint16_t>(pcm.format.blockAlign / 2);
            pcm.format.byteRate /= 2;
        }
    } catch (const std::bad_alloc&) {
        ShowMessage(kNoMemoryText);
        return 0;
    }
    return 1;
}

int Resample(EngineFile& pcm, uint32_t targetRate, ResamplerKind kind) {
    const uint32_t sourceRate = pcm.format.sampleRate;
    if (!IsConvertible(pcm) || targetRate == 0 || sourceRate == 0 || targetRate == sourceRate) return 1;
    const uint64_t channels = pcm.format.channels;
    const std::span<const uint8_t> source = pcm.data;
    try {
        auto output = NewBlock(ResampledPcmBytes(source.size(), channels, sourceRate, targetRate, kind));
        if (!output) return 0;
        if (kind == ResamplerKind::Classic) {
            ResampleClassic(source, *output, channels, sourceRate, targetRate);
        } else if (!ResampleBandLimited(source, *output, static_cast<unsigned>(channels), sourceRate, targetRate)) {
            ShowMessage(kNoMemoryText);
            return 0;
        }
        StoreBlock(pcm, std::move(*output));
    } catch (const std::bad_alloc&) {
        ShowMessage(kNoMemoryText);
        return 0;
    }
    pcm.format.sampleRate = targetRate;
    pcm.format.byteRate = static_cast<uint32_t>(uint64_t{targetRate} * channels * 2);
    return 1;
}

}  // namespace kvt
