// 4-bit ADPCM with 19 linear steps on 11-bit samples, high nibble first. The stream starts
// with four zero bytes and keeps the length of the plain coding, so its last four code
// bytes fall away.

#include <algorithm>
#include <array>

#include "engine/codec_packing.h"
#include "engine/codec_step_adpcm.h"
#include "engine/sample_codecs.h"

namespace kvt {
namespace {

constexpr std::array<int32_t, 19> MakeLinearSteps() {
    std::array<int32_t, 19> steps{};
    for (size_t i = 0; i < steps.size(); ++i) steps[i] = static_cast<int32_t>(i) + 4;
    return steps;
}

struct Adpcm19Traits {
    static constexpr int kInputShift = 5;  // 16-bit to 11-bit
    static constexpr std::array<int32_t, 19> kSteps = MakeLinearSteps();
    static constexpr std::array<int32_t, 8> kIndexShift = {-1, -1, -1, -1, 1, 2, 4, 8};
    static constexpr int32_t kMinPredictor = -15000;
    static constexpr int32_t kMaxPredictor = 15000;
    static constexpr int16_t kInitialPredictor = kSteps[0];
};

constexpr size_t kLeadInBytes = 4;

}  // namespace

std::vector<uint8_t> EncodeAdpcm19Step(std::span<const int16_t> samples) {
    std::vector<uint8_t> out(samples.size() / 2);  // zero-filled: the lead-in
    const size_t leadIn = std::min(kLeadInBytes, out.size());
    StepAdpcmCoder<Adpcm19Traits> coder;
    CodeNibblePairs<NibbleOrder::HighFirst>(samples.data(), out.size() - leadIn, out.data() + leadIn, coder);
    return out;
}

std::vector<int16_t> ReconstructAdpcm19Step(std::span<const int16_t> samples) {
    const size_t bytes = samples.size() / 2;
    const size_t coded = 2 * (bytes - std::min(kLeadInBytes, bytes));
    return ReconstructSamples(samples, coded, StepAdpcmCoder<Adpcm19Traits>{});
}

}  // namespace kvt
