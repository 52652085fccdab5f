// Writes a short piece of synthetic music as a 16-bit PCM WAV file: a melody with a few
// harmonics over a bass line and chords, with soft hi-hat ticks. Deterministic, so the
// same arguments always give the same bytes.
//
//   kvt-make-sample OUT.wav [SECONDS [RATE [CHANNELS]]]   (defaults: 6 s, 22050 Hz, 2)

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kBeatSeconds = 0.25;  // one melody step; four a second

// Melody in semitones above A3 (220 Hz); -100 is a rest. Two bars of eight steps, repeated.
constexpr int kMelody[] = {3,  7,  10, 15, 14, 10, 7, 10, 12, 8, 5,  8, 12, 15, 17, -100,
                           15, 14, 12, 10, 8,  7,  5, 7,  3,  7, 10, 7, 2,  5,  3,  -100};
// One bass root a bar (eight steps), in semitones above A1 (55 Hz).
constexpr int kBass[] = {3, 11, 8, 10};

double NoteHz(double baseHz, int semitones) {
    return baseHz * std::pow(2.0, semitones / 12.0);
}

// Attack, decay to a sustain level, release over the last fifth of the note.
double Envelope(double t, double length) {
    const double attack = 0.01, decay = 0.08, sustain = 0.6;
    double level = t < attack           ? t / attack
                   : t < attack + decay ? 1.0 - (1.0 - sustain) * (t - attack) / decay
                                        : sustain;
    double releaseStart = length * 0.8;
    if (t > releaseStart) level *= std::max(0.0, 1.0 - (t - releaseStart) / (length - releaseStart));
    return level;
}

void PutU16(std::vector<uint8_t>& out, uint32_t value) {
    out.push_back(static_cast<uint8_t>(value));
    out.push_back(static_cast<uint8_t>(value >> 8));
}
void PutU32(std::vector<uint8_t>& out, uint32_t value) {
    PutU16(out, value & 0xFFFF);
    PutU16(out, value >> 16);
}
void PutTag(std::vector<uint8_t>& out, const char* tag) {
    out.insert(out.end(), tag, tag + 4);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2 || argc > 5) {
        std::fprintf(stderr, "usage: %s OUT.wav [SECONDS [RATE [CHANNELS]]]\n", argv[0]);
        return 2;
    }
    double seconds = argc > 2 ? std::atof(argv[2]) : 6.0;
    long rate = argc > 3 ? std::atol(argv[3]) : 22050;
    long channels = argc > 4 ? std::atol(argv[4]) : 2;
    if (seconds <= 0 || seconds > 3600 || rate < 1000 || rate > 192000 || (channels != 1 && channels != 2)) {
        std::fprintf(stderr, "%s: seconds 0-3600, rate 1000-192000, channels 1 or 2\n", argv[0]);
        return 2;
    }
    const uint64_t frames = static_cast<uint64_t>(seconds * rate);
    const uint32_t dataBytes = static_cast<uint32_t>(frames * channels * 2);

    std::vector<uint8_t> file;
    file.reserve(44 + dataBytes);
    PutTag(file, "RIFF");
    PutU32(file, 36 + dataBytes);
    PutTag(file, "WAVE");
    PutTag(file, "fmt ");
    PutU32(file, 16);
    PutU16(file, 1);  // PCM
    PutU16(file, static_cast<uint32_t>(channels));
    PutU32(file, static_cast<uint32_t>(rate));
    PutU32(file, static_cast<uint32_t>(rate * channels * 2));  // byte rate
    PutU16(file, static_cast<uint32_t>(channels * 2));         // block align
    PutU16(file, 16);
    PutTag(file, "data");
    PutU32(file, dataBytes);

    const int melodySteps = sizeof kMelody / sizeof kMelody[0];
    const int bassBars = sizeof kBass / sizeof kBass[0];
    uint32_t noise = 0x12345678;
    for (uint64_t i = 0; i < frames; ++i) {
        double t = static_cast<double>(i) / rate;
        long step = static_cast<long>(t / kBeatSeconds);
        double inStep = t - step * kBeatSeconds;

        double melody = 0;
        int note = kMelody[step % melodySteps];
        if (note > -100) {
            double hz = NoteHz(220.0, note);
            double env = Envelope(inStep, kBeatSeconds);
            melody = env *
                     (std::sin(2 * kPi * hz * t) + 0.4 * std::sin(4 * kPi * hz * t) + 0.2 * std::sin(6 * kPi * hz * t));
        }

        long bar = step / 8;
        double inBar = t - bar * 8 * kBeatSeconds;
        int root = kBass[bar % bassBars];
        double bassHz = NoteHz(55.0, root);
        double bass =
            Envelope(inBar, 8 * kBeatSeconds) * (std::sin(2 * kPi * bassHz * t) + 0.3 * std::sin(4 * kPi * bassHz * t));
        double chord = 0;
        for (int interval : {12, 15, 19}) chord += std::sin(2 * kPi * NoteHz(55.0, root + interval) * t);
        chord *= 0.12 * Envelope(inBar, 8 * kBeatSeconds);

        noise = noise * 1664525u + 1013904223u;
        double hat = 0;
        if (step % 2 == 1 && inStep < 0.03)
            hat = (static_cast<double>(noise >> 8) / (1 << 24) - 0.5) * (1.0 - inStep / 0.03) * 0.5;

        double left = 0.45 * melody + 0.30 * bass + chord + hat;
        double right = 0.30 * melody + 0.45 * bass + chord + 0.6 * hat;
        double fadeOut = std::min(1.0, (seconds - t) / 0.05);  // no click at the end
        for (long c = 0; c < channels; ++c) {
            double value = channels == 1 ? (left + right) / 2 : c == 0 ? left : right;
            long sample = std::lround(value * fadeOut * 0.42 * 32767);
            sample = std::max(-32768L, std::min(32767L, sample));
            PutU16(file, static_cast<uint16_t>(static_cast<int16_t>(sample)));
        }
    }

    std::FILE* out = std::fopen(argv[1], "wb");
    if (!out) {
        std::perror(argv[1]);
        return 1;
    }
    bool ok = std::fwrite(file.data(), 1, file.size(), out) == file.size();
    ok = std::fclose(out) == 0 && ok;
    if (!ok) {
        std::perror(argv[1]);
        std::remove(argv[1]);
        return 1;
    }
    return 0;
}
