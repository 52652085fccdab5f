#pragma once
// The binary-search 4-bit ADPCM step shared by the 25-step and 19-step codecs: the
// difference is compared with the step, half and quarter of it, and the predictor moves by
// the sum of the chosen parts plus an eighth.

#include <algorithm>
#include <cstdint>

namespace kvt {

// Traits: kInputShift (the input is divided by 2^kInputShift, truncating), kSteps,
// kIndexShift (by code & 7), kMinPredictor, kMaxPredictor, kInitialPredictor.
template <class Traits>
struct StepAdpcmCoder {
    int16_t predictor = Traits::kInitialPredictor;
    int16_t index = 0;

    unsigned operator()(int16_t sample) {
        const int32_t x = sample / (1 << Traits::kInputShift);
        int32_t d = static_cast<int16_t>(x - predictor);
        const int32_t step = Traits::kSteps[index];
        unsigned code = 0;
        int32_t delta = step / 8;
        if (d < 0) {
            code = 8;
            d = -d;
        }
        if (d >= step) {
            code |= 4;
            d -= step;
            delta += step;
        }
        if (d >= step / 2) {
            code |= 2;
            d -= step / 2;
            delta += step / 2;
        }
        if (d >= step / 4) {
            code |= 1;
            delta += step / 4;
        }
        if (code & 8) delta = -delta;
        predictor = static_cast<int16_t>(std::clamp(predictor + delta, Traits::kMinPredictor, Traits::kMaxPredictor));
        constexpr int32_t kLastIndex = static_cast<int32_t>(Traits::kSteps.size()) - 1;
        index = static_cast<int16_t>(std::clamp(index + Traits::kIndexShift[code & 7], 0, kLastIndex));
        return code;
    }

    // The predictor scaled back to 16 bits.
    int16_t Reconstructed() const {
        return static_cast<int16_t>(std::clamp(predictor * (1 << Traits::kInputShift), -32768, 32767));
    }
};

}  // namespace kvt
