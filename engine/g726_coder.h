#pragma once
// The ITU-T G.726 ADPCM encoder: adaptive quantiser, scale-factor adaptation with speed
// control, the two-pole/six-zero adaptive predictor and the tone/transition detector, in
// the Recommendation's fixed-point arithmetic. Rate tables come as a traits type.

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <cstdlib>

namespace kvt {

// 32 kbit/s (the G.721 algorithm): 4-bit codes, bit 3 the sign.
struct G726Rate32 {
    static constexpr int kBits = 4;
    static constexpr std::array<int16_t, 7> kDecisionLevels = {-124, 80, 178, 246, 300, 349, 400};
    // Log-domain reconstruction levels, by code.
    static constexpr std::array<int16_t, 16> kReconstruction = {-2048, 4,   135, 213, 273, 323, 373, 425,
                                                                425,   373, 323, 273, 213, 135, 4,   -2048};
    // Scale-factor multipliers W(I), times 32.
    static constexpr std::array<int32_t, 16> kScaleMultipliers = {-384,  576,   1312, 2048, 3584, 6336, 11360, 35904,
                                                                  35904, 11360, 6336, 3584, 2048, 1312, 576,   -384};
    // Transition weights F(I) for the speed control.
    static constexpr std::array<int32_t, 16> kTransitionWeights = {
        0, 0, 0, 0x200, 0x200, 0x200, 0x600, 0xE00, 0xE00, 0x600, 0x200, 0x200, 0x200, 0, 0, 0};
};

// 16 kbit/s: 2-bit codes, bit 1 the sign.
struct G726Rate16 {
    static constexpr int kBits = 2;
    static constexpr std::array<int16_t, 1> kDecisionLevels = {261};
    static constexpr std::array<int16_t, 4> kReconstruction = {116, 365, 365, 116};
    static constexpr std::array<int32_t, 4> kScaleMultipliers = {-704, 14048, 14048, -704};
    static constexpr std::array<int32_t, 4> kTransitionWeights = {0, 0xE00, 0xE00, 0};
};

template <class Rate>
class G726Coder {
public:
    // Codes one 16-bit sample (reduced to the 14-bit linear input) and adapts.
    unsigned operator()(int16_t sample) {
        const int16_t input = static_cast<int16_t>(sample >> 2);
        const int16_t zeroEstimate = PredictZeros();
        const int16_t fullEstimate = static_cast<int16_t>(zeroEstimate + PredictPoles());
        const int16_t estimate = static_cast<int16_t>(fullEstimate >> 1);
        const int16_t difference = static_cast<int16_t>(input - estimate);

        const int32_t y = StepSize();
        const unsigned code = Quantize(difference, y);
        Adapt(code, y, zeroEstimate, estimate);
        return code;
    }

    // Takes one code as a decoder does and adapts; the 16-bit output it reconstructs.
    int16_t Decode(unsigned code) {
        const int16_t zeroEstimate = PredictZeros();
        const int16_t fullEstimate = static_cast<int16_t>(zeroEstimate + PredictPoles());
        const int16_t estimate = static_cast<int16_t>(fullEstimate >> 1);
        Adapt(code & ((1u << Rate::kBits) - 1), StepSize(), zeroEstimate, estimate);
        return Reconstructed();
    }

    // The last reconstructed sample, 14-bit linear scaled back to 16 bits: what a decoder
    // hears for the last code.
    int16_t Reconstructed() const { return static_cast<int16_t>(std::clamp(reconstructed_ * 4, -32768, 32767)); }

private:
    void Adapt(unsigned code, int32_t y, int16_t zeroEstimate, int16_t estimate) {
        const int16_t dq = Reconstruct((code & kSignBit) != 0, Rate::kReconstruction[code], y);
        reconstructed_ = static_cast<int16_t>(dq < 0 ? estimate - (dq & 0x3FFF) : estimate + dq);
        const int16_t poleDifference = static_cast<int16_t>(reconstructed_ + (zeroEstimate >> 1) - estimate);
        Update(y, Rate::kScaleMultipliers[code], Rate::kTransitionWeights[code], dq, reconstructed_, poleDifference);
    }

    static constexpr unsigned kSignBit = 1u << (Rate::kBits - 1);

    // Number of binary digits of a non-negative magnitude (the Recommendation's exponent).
    static int Exponent(int32_t magnitude) {
        return static_cast<int>(std::bit_width(static_cast<uint32_t>(magnitude)));
    }

    // Product of a coefficient and a 4-bit-exponent/6-bit-mantissa floating value (FMULT).
    // The coefficient's 6-bit mantissa is its magnitude << 6 >> exponent (32 for zero); the
    // product's exponent is both exponents less 19, applied as one shift of a 64-bit value
    // (a left shift keeps 15 bits, a right shift truncates).
    static int16_t FloatMultiply(int16_t coefficient, int16_t floating) {
        const int32_t magnitude = coefficient > 0 ? coefficient : (-coefficient) & 0x1FFF;
        const int exponent = Exponent(magnitude);
        const int32_t mantissa = magnitude == 0 ? 32 : (magnitude << 6) >> exponent;
        const int32_t productMantissa = (mantissa * (floating & 0x3F) + 0x30) >> 4;
        const int shift = exponent + ((floating >> 6) & 0xF);
        const int32_t product = static_cast<int32_t>((static_cast<uint64_t>(productMantissa) << shift) >> 19) & 0x7FFF;
        return static_cast<int16_t>((coefficient ^ floating) < 0 ? -product : product);
    }

    // A value in the 4-bit exponent, 6-bit mantissa form with 0x400 as the sign (FLOAT A/B).
    static int16_t ToFloat(int32_t magnitude, bool negative) {
        const int exponent = Exponent(magnitude);
        return static_cast<int16_t>((exponent << 6) + ((magnitude << 6) >> exponent) - (negative ? 0x400 : 0));
    }

    int16_t PredictZeros() const {
        int32_t sum = 0;
        for (int i = 0; i < 6; ++i) sum += FloatMultiply(static_cast<int16_t>(b_[i] >> 2), dq_[i]);
        return static_cast<int16_t>(sum);
    }

    int32_t PredictPoles() const {
        return FloatMultiply(static_cast<int16_t>(a_[1] >> 2), sr_[1]) +
               FloatMultiply(static_cast<int16_t>(a_[0] >> 2), sr_[0]);
    }

    // Quantiser scale factor, mixing the fast and the slow one by the speed control.
    int32_t StepSize() const {
        if (ap_ >= 256) return yu_;
        int32_t y = yl_ >> 6;
        const int32_t dif = yu_ - y;
        const int32_t al = ap_ >> 2;
        if (dif > 0)
            y += (dif * al) >> 6;
        else if (dif < 0)
            y += (dif * al + 0x3F) >> 6;
        return y;
    }

    static unsigned Quantize(int16_t difference, int32_t y) {
        const int16_t magnitude = static_cast<int16_t>(std::abs(difference));
        const int16_t exponent = static_cast<int16_t>(Exponent(magnitude >> 1));
        const int16_t mantissa = static_cast<int16_t>(((magnitude << 7) >> exponent) & 0x7F);
        const int16_t logMagnitude = static_cast<int16_t>((exponent << 7) + mantissa);
        const int16_t normalized = static_cast<int16_t>(logMagnitude - static_cast<int16_t>(y >> 2));

        constexpr unsigned kLevels = static_cast<unsigned>(Rate::kDecisionLevels.size());
        unsigned i = 0;
        while (i < kLevels && normalized >= Rate::kDecisionLevels[i]) ++i;
        unsigned code;
        if (difference < 0)
            code = 2 * kLevels + 1 - i;  // one's complement carries the sign
        else if (i == 0)
            code = 2 * kLevels + 1;  // the all-ones code stands for the smallest positive level
        else
            code = i;
        // At 16 kbit/s the smallest positive level has a code of its own.
        if constexpr (Rate::kBits == 2) {
            if (code == 3 && difference >= 0) code = 0;
        }
        return code;
    }

    // Quantised difference in sign-magnitude form: the sign makes it negative (-0x8000 + value).
    static int16_t Reconstruct(bool negative, int32_t logLevel, int32_t y) {
        const int16_t logValue = static_cast<int16_t>(logLevel + (y >> 2));
        if (logValue < 0) return negative ? static_cast<int16_t>(-0x8000) : 0;
        const int16_t exponent = static_cast<int16_t>((logValue >> 7) & 15);
        const int16_t mantissa = static_cast<int16_t>(128 + (logValue & 127));
        const int16_t value = static_cast<int16_t>((mantissa << 7) >> (14 - exponent));
        return negative ? static_cast<int16_t>(value - 0x8000) : value;
    }

    void Update(int32_t y, int32_t wi, int32_t fi, int16_t dq, int16_t sr, int16_t dqsez) {
        const int16_t pk0 = dqsez < 0 ? 1 : 0;
        const int16_t magnitude = static_cast<int16_t>(dq & 0x7FFF);

        // Tone and transition detector.
        const int16_t ylint = static_cast<int16_t>(yl_ >> 15);
        const int16_t ylfrac = static_cast<int16_t>((yl_ >> 10) & 0x1F);
        const int16_t threshold =
            ylint > 9 ? static_cast<int16_t>(31 << 10) : static_cast<int16_t>((32 + ylfrac) << ylint);
        const int16_t dqThreshold = static_cast<int16_t>((threshold + (threshold >> 1)) >> 1);
        const bool transition = td_ && magnitude > dqThreshold;

        // Scale factor adaptation.
        yu_ = static_cast<int16_t>(std::clamp<int32_t>(y + ((wi - y) >> 5), 544, 5120));
        yl_ += yu_ + ((-yl_) >> 6);

        int16_t a2p = 0;
        if (transition) {
            a_ = {};
            b_ = {};
        } else {
            const int16_t pks1 = static_cast<int16_t>(pk0 ^ pk_[0]);
            a2p = static_cast<int16_t>(a_[1] - (a_[1] >> 7));
            if (dqsez != 0) {
                const int16_t fa1 = pks1 ? a_[0] : static_cast<int16_t>(-a_[0]);
                if (fa1 < -8191)
                    a2p -= 0x100;
                else if (fa1 > 8191)
                    a2p += 0xFF;
                else
                    a2p += fa1 >> 5;
                if (pk0 ^ pk_[1]) {
                    if (a2p <= -12160)
                        a2p = -12288;
                    else if (a2p >= 12416)
                        a2p = 12288;
                    else
                        a2p -= 0x80;
                } else if (a2p <= -12416) {
                    a2p = -12288;
                } else if (a2p >= 12160) {
                    a2p = 12288;
                } else {
                    a2p += 0x80;
                }
            }
            a_[1] = a2p;

            a_[0] -= a_[0] >> 8;
            if (dqsez != 0) a_[0] += pks1 == 0 ? 192 : -192;
            const int16_t a1Limit = static_cast<int16_t>(15360 - a2p);
            a_[0] = std::clamp<int16_t>(a_[0], static_cast<int16_t>(-a1Limit), a1Limit);

            for (int i = 0; i < 6; ++i) {
                b_[i] -= b_[i] >> 8;
                if (magnitude != 0) b_[i] += (dq ^ dq_[i]) >= 0 ? 128 : -128;
            }
        }

        for (int i = 5; i > 0; --i) dq_[i] = dq_[i - 1];
        if (magnitude == 0)
            dq_[0] = dq >= 0 ? 0x20 : static_cast<int16_t>(0xFC20);
        else
            dq_[0] = ToFloat(magnitude, dq < 0);

        sr_[1] = sr_[0];
        if (sr == 0)
            sr_[0] = 0x20;
        else if (sr > 0)
            sr_[0] = ToFloat(sr, false);
        else if (sr > -32768)
            sr_[0] = ToFloat(-sr, true);
        else
            sr_[0] = static_cast<int16_t>(0xFC20);

        pk_[1] = pk_[0];
        pk_[0] = pk0;

        if (transition)
            td_ = false;
        else
            td_ = a2p < -11776;  // little sample-to-sample correlation: maybe a tone

        // Adaptation speed control.
        dms_ += static_cast<int16_t>((fi - dms_) >> 5);
        dml_ += static_cast<int16_t>(((fi << 2) - dml_) >> 7);
        if (transition)
            ap_ = 256;
        else if (y < 1536 || td_ || std::abs((dms_ << 2) - dml_) >= (dml_ >> 3))
            ap_ += (0x200 - ap_) >> 4;
        else
            ap_ += (-ap_) >> 4;
    }

    // The Recommendation's reset state.
    int32_t yl_ = 34816;                                    // slow scale factor
    int16_t yu_ = 544;                                      // fast scale factor
    int16_t dms_ = 0;                                       // short-term mean of F(I)
    int16_t dml_ = 0;                                       // long-term mean of F(I)
    int16_t ap_ = 0;                                        // speed control
    std::array<int16_t, 2> a_{};                            // pole coefficients
    std::array<int16_t, 6> b_{};                            // zero coefficients
    std::array<int16_t, 2> pk_{};                           // signs of past pole differences
    std::array<int16_t, 6> dq_ = {32, 32, 32, 32, 32, 32};  // past differences, floating
    std::array<int16_t, 2> sr_ = {32, 32};                  // past reconstructions, floating
    bool td_ = false;                                       // tone detected
    int16_t reconstructed_ = 0;                             // last sr, 14-bit linear
};

}  // namespace kvt
