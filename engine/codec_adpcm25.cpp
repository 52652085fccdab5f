// 4-bit ADPCM on 12-bit samples with 25 step sizes, high nibble first. Short quiet stretches
// are first replaced by a fixed low-level pattern.

#include <array>

#include "engine/codec_packing.h"
#include "engine/codec_step_adpcm.h"
#include "engine/sample_codecs.h"

namespace kvt {
namespace {

struct Adpcm25Traits {
    static constexpr int kInputShift = 4;  // 16-bit to 12-bit
    static constexpr std::array<int32_t, 25> kSteps = {16, 17, 19, 21, 23, 25, 28, 31,  34,  37,  41,  45, 50,
                                                       55, 60, 66, 73, 80, 88, 97, 107, 118, 130, 143, 157};
    static constexpr std::array<int32_t, 8> kIndexShift = {-1, -1, -1, -1, 2, 4, 6, 8};
    static constexpr int32_t kMinPredictor = -2048;
    static constexpr int32_t kMaxPredictor = 2048;
    static constexpr int16_t kInitialPredictor = 0;
};

bool IsQuiet(int16_t sample) {
    return sample / 16 == 0;
}

// A run of two quiet samples is overwritten with 64, 80, 96 or 112 by index mod 4 when the
// next sample is looked at; a run still pending at the end stays as it is.
void FillSilence(std::span<int16_t> samples) {
    size_t runStart = 0;
    size_t runLength = 0;
    for (size_t i = 0; i < samples.size(); ++i) {
        if (runLength >= 2) {
            for (size_t k = runStart; k < runStart + runLength; ++k)
                samples[k] = static_cast<int16_t>(64 + 16 * (k % 4));
            runLength = 0;
        }
        if (IsQuiet(samples[i])) {
            if (runLength == 0) runStart = i;
            ++runLength;
        } else {
            runLength = 0;
        }
    }
}

}  // namespace

std::vector<uint8_t> EncodeAdpcm25Step(std::span<int16_t> samples) {
    FillSilence(samples);
    return PackNibblePairs<NibbleOrder::HighFirst>(std::span<const int16_t>(samples), StepAdpcmCoder<Adpcm25Traits>{});
}

std::vector<int16_t> ReconstructAdpcm25Step(std::span<const int16_t> samples) {
    std::vector<int16_t> filled(samples.begin(), samples.end());
    FillSilence(filled);
    return ReconstructSamples(std::span<const int16_t>(filled), filled.size() / 2 * 2, StepAdpcmCoder<Adpcm25Traits>{});
}

}  // namespace kvt
