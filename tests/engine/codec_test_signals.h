#pragma once
// Deterministic test signals for the sample codec tests and benchmarks.

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <numbers>
#include <vector>

namespace kvt::testing {

inline int16_t ClampToSample(double value) {
    return static_cast<int16_t>(std::lround(std::fmax(-32768.0, std::fmin(32767.0, value))));
}

// A sine of `cyclesPerSample` cycles per sample.
inline std::vector<int16_t> Sine(size_t count, double amplitude, double cyclesPerSample) {
    std::vector<int16_t> samples(count);
    for (size_t i = 0; i < count; ++i)
        samples[i] = ClampToSample(amplitude * std::sin(2 * std::numbers::pi * cyclesPerSample * i));
    return samples;
}

// Uniform white noise in [-amplitude, amplitude] from a fixed linear congruential sequence.
inline std::vector<int16_t> Noise(size_t count, int32_t amplitude, uint32_t seed = 12345) {
    std::vector<int16_t> samples(count);
    for (auto& sample : samples) {
        seed = seed * 1664525u + 1013904223u;
        const int32_t unit = static_cast<int32_t>(seed >> 16) - 32768;  // -32768..32767
        sample = static_cast<int16_t>(static_cast<int64_t>(unit) * amplitude / 32768);
    }
    return samples;
}

// Voiced stretches (a gliding fundamental with falling harmonics under a syllable-rate
// envelope, plus a little breath noise) separated by short pauses; 8000 Hz in mind. Peaks
// come near twice `level`.
inline std::vector<int16_t> SpeechLike(size_t count, double level = 9000.0) {
    std::vector<int16_t> samples(count);
    const std::vector<int16_t> breath = Noise(count, 600, 777);
    double phase = 0;
    for (size_t i = 0; i < count; ++i) {
        const double t = static_cast<double>(i) / 8000.0;
        const double syllable = std::fmod(t, 0.25);
        const double envelope = syllable < 0.2 ? std::sin(std::numbers::pi * syllable / 0.2) : 0.0;
        const double pitch = 120.0 + 40.0 * std::sin(2 * std::numbers::pi * 1.5 * t);
        phase += 2 * std::numbers::pi * pitch / 8000.0;
        double voiced = 0;
        for (int harmonic = 1; harmonic <= 8; ++harmonic) voiced += std::sin(harmonic * phase) / harmonic;
        samples[i] = ClampToSample(envelope * (level * voiced + breath[i] * level / 9000.0));
    }
    return samples;
}

// Square wave between the two extreme sample values, `period` samples a cycle.
inline std::vector<int16_t> FullScaleSquare(size_t count, size_t period) {
    std::vector<int16_t> samples(count);
    for (size_t i = 0; i < count; ++i) samples[i] = (i % period) < period / 2 ? 32767 : -32768;
    return samples;
}

// Signal-to-noise ratio in dB of `decoded` against the first decoded.size() samples of
// `original`.
inline double SignalToNoiseDb(const std::vector<int16_t>& original, const std::vector<int16_t>& decoded) {
    double signal = 0;
    double noise = 0;
    for (size_t i = 0; i < decoded.size(); ++i) {
        const double error = static_cast<double>(original[i]) - decoded[i];
        signal += static_cast<double>(original[i]) * original[i];
        noise += error * error;
    }
    return noise == 0 ? 1000.0 : 10.0 * std::log10(signal / noise);
}

}  // namespace kvt::testing
