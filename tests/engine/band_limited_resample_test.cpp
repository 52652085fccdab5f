#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <numbers>

#include "engine/pcm_operations.h"
#include "engine_test_support.h"

namespace kvt {
namespace {

constexpr uint32_t kInputRates[] = {8000, 11025, 16000, 22050, 24000, 32000, 44100, 48000};
// Every rate an MLD, MMF or 3GP/3G2 output is made at.
constexpr uint32_t kOutputRates[] = {4000, 8000, 16000, 24000, 32000, 44100};

// `seconds` of a tone whose frequency runs linearly from `from` to `to` Hz, faded in and
// out over a Hann window so that the start and end add no spread of their own.
std::vector<int16_t> Tone(uint32_t rate, double seconds, double from, double to, double amplitude = 16000) {
    const size_t frames = static_cast<size_t>(seconds * rate);
    std::vector<int16_t> samples(frames);
    for (size_t i = 0; i < frames; ++i) {
        const double t = static_cast<double>(i) / rate;
        const double phase = 2 * std::numbers::pi * (from * t + (to - from) * t * t / (2 * seconds));
        const double window = 0.5 - 0.5 * std::cos(2 * std::numbers::pi * static_cast<double>(i) / frames);
        samples[i] = static_cast<int16_t>(std::lround(amplitude * window * std::sin(phase)));
    }
    return samples;
}

double Rms(std::span<const int16_t> samples) {
    double sum = 0;
    for (const int16_t s : samples) sum += static_cast<double>(s) * s;
    return std::sqrt(sum / static_cast<double>(std::max<size_t>(samples.size(), 1)));
}

// The tone's frequency, from how far its phase against `nominal` Hz turns between the
// middle of the first and of the second half of the samples (edges left out).
double MeasuredFrequency(std::span<const int16_t> samples, uint32_t rate, double nominal) {
    const size_t edge = samples.size() / 10;
    const size_t half = (samples.size() - 2 * edge) / 2;
    auto phaseOf = [&](size_t start) {
        std::complex<double> sum;
        for (size_t i = start; i < start + half; ++i)
            sum += static_cast<double>(samples[i]) *
                   std::polar(1.0, -2 * std::numbers::pi * nominal * static_cast<double>(i) / rate);
        return std::arg(sum);
    };
    double turn = phaseOf(edge + half) - phaseOf(edge);
    turn = std::remainder(turn, 2 * std::numbers::pi);
    return nominal + turn / (2 * std::numbers::pi * static_cast<double>(half) / rate);
}

TEST(BandLimitedResample, EveryRatePairGivesTheRoundedFrameCount) {
    for (const uint32_t from : kInputRates) {
        for (const uint32_t to : kOutputRates) {
            SCOPED_TRACE(std::to_string(from) + " -> " + std::to_string(to));
            const size_t frames = 1001;  // no rate divides it
            SourceClip clip = testing::MakeClip("a", 2, from, std::vector<int16_t>(2 * frames, 100));
            ASSERT_EQ(Resample(clip, to, ResamplerKind::BandLimited), 1);
            const auto expected = static_cast<size_t>(std::llround(static_cast<double>(frames) * to / from));
            EXPECT_EQ(clip.data.size(), expected * 4);
            EXPECT_EQ(clip.format.sampleRate, to);
        }
    }
}

TEST(BandLimitedResample, ContentAboveTheNewNyquistIsAtLeast60DbDown) {
    for (const uint32_t to : {4000u, 8000u, 16000u, 24000u}) {
        SCOPED_TRACE(to);
        const uint32_t from = 48000;
        const std::vector<int16_t> sweep = Tone(from, 0.25, 0.5 * to * 1.02, 0.5 * from * 0.95);
        SourceClip clip = testing::MakeClip("a", 1, from, sweep);
        ASSERT_EQ(Resample(clip, to, ResamplerKind::BandLimited), 1);
        const double downDb = 20 * std::log10(Rms(sweep) / std::max(Rms(BytesToSamples(clip.data)), 1e-3));
        EXPECT_GE(downDb, 60.0);
    }
}

TEST(BandLimitedResample, PassbandIsFlatAndTonesKeepTheirPitch) {
    for (const uint32_t from : kInputRates) {
        for (const uint32_t to : kOutputRates) {
            if (from == to) continue;
            SCOPED_TRACE(std::to_string(from) + " -> " + std::to_string(to));
            const std::vector<int16_t> tone = Tone(from, 0.3, 1000, 1000);
            SourceClip clip = testing::MakeClip("a", 1, from, tone);
            ASSERT_EQ(Resample(clip, to, ResamplerKind::BandLimited), 1);
            const std::vector<int16_t> out = BytesToSamples(clip.data);
            const double ppm = (MeasuredFrequency(out, to, 1000) / 1000 - 1) * 1e6;
            EXPECT_NEAR(ppm, 0, 10);
            EXPECT_NEAR(20 * std::log10(Rms(out) / Rms(tone)), 0, 0.1);
        }
    }
    // The edge of the passband: 0.9 of the new Nyquist frequency.
    for (const uint32_t to : {4000u, 8000u, 16000u}) {
        SCOPED_TRACE(to);
        const std::vector<int16_t> tone = Tone(44100, 0.3, 0.45 * to, 0.45 * to);
        SourceClip clip = testing::MakeClip("a", 1, 44100, tone);
        ASSERT_EQ(Resample(clip, to, ResamplerKind::BandLimited), 1);
        EXPECT_NEAR(20 * std::log10(Rms(BytesToSamples(clip.data)) / Rms(tone)), 0, 0.5);
    }
}

TEST(BandLimitedResample, TheClassicOneIsWhatFailsThesePitchAndLengthChecks) {
    // The measurements above can fail: the linear resampler's truncated step is found out.
    const std::vector<int16_t> tone = Tone(22050, 0.3, 1000, 1000);
    SourceClip clip = testing::MakeClip("a", 1, 22050, tone);
    ASSERT_EQ(Resample(clip, 8000, ResamplerKind::Classic), 1);
    const double ppm = (MeasuredFrequency(BytesToSamples(clip.data), 8000, 1000) / 1000 - 1) * 1e6;
    EXPECT_LT(ppm, -50);
    EXPECT_LT(static_cast<long long>(clip.data.size() / 2),
              std::llround(static_cast<double>(tone.size()) * 8000.0 / 22050));
}

}  // namespace
}  // namespace kvt
