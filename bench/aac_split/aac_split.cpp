// Measures what coding a clip's AAC in pieces would do to the sound, against coding it in
// one piece as CodeAac does: the clip is cut at frame boundaries, each later piece is coded
// by an encoder of its own started P frames early with those priming packets dropped, and
// the streams are joined into one of the same frame count. Both streams are decoded with
// FFmpeg's decoder and compared with each other and with the input, over the whole clip and
// around each join, for several P. The clip is the WAV file's music, and the same music at
// -12 dB with drum-like bursts at each join (the window switching is what a join can break).
//
//   aac_split IN.wav BIT_RATE_PER_CHANNEL [PIECES [BURST_PEAK]]
//       (16-bit PCM, 1 or 2 channels; defaults: 2 pieces, bursts peaking at 26000)
//
// Columns: P; joins where the later piece's windows did not follow on from the earlier
// one's; RMS difference in dB of full scale of one piece against the input, of the joined
// stream against one piece, and of the joined stream against the input, each over the
// whole clip and over the five frames around the joins; the margin (one piece against the
// input, less joined against one piece); the largest frame of each stream and the bound.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "bench/aac_split/aac_join.h"
#include "bench/aac_split/aac_piece.h"
#include "check/aac_frame_decoder.h"
#include "iso/aac_coding.h"

extern "C" {
#include <libavutil/log.h>
}

namespace {

using kvt::AacSettings;
using kvt::AacStream;
using kvt::bench::AacPiece;

constexpr size_t kFrame = 1024;

struct AacPiecePlan {
    std::vector<size_t> starts;  // the first packet of each piece, then the stream's packet count
    size_t primingFrames = 0;
};

struct Clip {
    int rate = 0;
    int channels = 0;
    std::vector<int16_t> samples;  // interleaved
};

uint32_t Le(const std::vector<uint8_t>& b, size_t at, int bytes) {
    uint32_t v = 0;
    for (int i = bytes - 1; i >= 0; --i) v = (v << 8) | b[at + i];
    return v;
}

bool ReadWav(const char* path, Clip& clip) {
    std::ifstream in(path, std::ios::binary);
    std::vector<uint8_t> b((std::istreambuf_iterator<char>(in)), {});
    if (b.size() < 12) return false;
    for (size_t at = 12; at + 8 <= b.size();) {
        const uint32_t size = Le(b, at + 4, 4);
        const std::string tag(b.begin() + at, b.begin() + at + 4);
        if (tag == "fmt " && Le(b, at + 8, 2) == 1 && Le(b, at + 22, 2) == 16) {
            clip.channels = static_cast<int>(Le(b, at + 10, 2));
            clip.rate = static_cast<int>(Le(b, at + 12, 4));
        } else if (tag == "data" && clip.rate > 0) {
            const size_t count = std::min<size_t>(size, b.size() - at - 8) / 2;
            clip.samples.resize(count);
            for (size_t i = 0; i < count; ++i) clip.samples[i] = static_cast<int16_t>(Le(b, at + 8 + 2 * i, 2));
            return true;
        }
        at += 8 + size + (size & 1);
    }
    return false;
}

// The music at -12 dB with a decaying noise burst (a drum hit) at the start, the middle and
// the end of each join's overlapped frame and one in the frame before.
std::vector<int16_t> WithBursts(const Clip& clip, const AacPiecePlan& plan, double peak) {
    std::vector<int16_t> out(clip.samples.size());
    for (size_t i = 0; i < out.size(); ++i) out[i] = static_cast<int16_t>(clip.samples[i] / 4);
    uint32_t seed = 1;
    const double decay = std::exp(-1.0 / (0.005 * clip.rate));  // 5 ms
    for (size_t j = 1; j + 1 < plan.starts.size(); ++j) {
        const size_t overlap = (plan.starts[j] - 1) * kFrame;
        for (size_t start : {overlap - kFrame + 700, overlap, overlap + kFrame / 2, overlap + kFrame}) {
            double level = peak;
            for (size_t n = start; n < start + kFrame && n * clip.channels < out.size(); ++n, level *= decay) {
                for (int c = 0; c < clip.channels; ++c) {
                    seed = seed * 1664525u + 1013904223u;
                    const double noise = (static_cast<int32_t>(seed >> 16) - 32768) / 32768.0;
                    const double mixed = out[n * clip.channels + c] + level * noise;
                    out[n * clip.channels + c] = static_cast<int16_t>(std::clamp(mixed, -32768.0, 32767.0));
                }
            }
        }
    }
    return out;
}

AacStream Coded(const std::vector<int16_t>& pcm, const AacSettings& settings, const AacPiecePlan& plan,
                size_t* windowBreaks) {
    const auto bytes = std::span(reinterpret_cast<const uint8_t*>(pcm.data()), pcm.size() * 2);
    AacStream stream;
    for (size_t i = 0; i + 1 < plan.starts.size(); ++i) {
        AacPiece piece;
        if (kvt::bench::StartAacPiece(piece, settings, settings.bitRate, plan.starts[i], plan.primingFrames) ||
            kvt::bench::CodeAacPiece(piece, bytes, settings.channels, plan.starts[i + 1], {}) || piece.oversized) {
            std::fprintf(stderr, "piece %zu did not code within the bound at %d bit/s\n", i, settings.bitRate);
            std::exit(1);
        }
        if (i > 0 &&
            !kvt::bench::SameAacWindows(std::span(stream.payload).last(stream.frameSizes.back()), piece.lead)) {
            ++*windowBreaks;
        }
        if (i == 0) stream.decoderSpecificInfo = kvt::bench::AacPieceDecoderInfo(piece);
        stream.payload.insert(stream.payload.end(), piece.payload.begin(), piece.payload.end());
        stream.frameSizes.insert(stream.frameSizes.end(), piece.frameSizes.begin(), piece.frameSizes.end());
    }
    return stream;
}

// Decoded and moved back by the coder's delay of one frame, so that sample n is input sample n.
std::vector<int16_t> Decoded(const AacStream& stream, int channels) {
    kvt::AacFrameDecoder decoder(stream.decoderSpecificInfo);
    std::vector<int16_t> out;
    size_t at = 0;
    for (uint32_t size : stream.frameSizes) {
        if (auto error = decoder.Decode(std::span(stream.payload).subspan(at, size), out)) {
            std::fprintf(stderr, "decode: %s\n", error->c_str());
            std::exit(1);
        }
        at += size;
    }
    out.erase(out.begin(), out.begin() + std::min(out.size(), kFrame * channels));
    return out;
}

struct Span {
    size_t from, to;  // sample frames
};

double RmsDb(const std::vector<int16_t>& a, const std::vector<int16_t>& b, const std::vector<Span>& spans,
             int channels) {
    double sum = 0;
    size_t count = 0;
    for (const Span& s : spans) {
        for (size_t i = s.from * channels; i < std::min({s.to * channels, a.size(), b.size()}); ++i, ++count) {
            const double d = double(a[i]) - double(b[i]);
            sum += d * d;
        }
    }
    return 20 * std::log10(std::sqrt(sum / std::max<size_t>(count, 1)) / 32768 + 1e-12);
}

uint32_t Largest(const AacStream& stream) {
    return stream.frameSizes.empty() ? 0 : *std::max_element(stream.frameSizes.begin(), stream.frameSizes.end());
}

void Measure(const char* name, const std::vector<int16_t>& input, const AacSettings& settings, size_t pieces) {
    const size_t frames = kvt::bench::AacFrameCount(input.size() * 2, settings.channels);
    size_t unused = 0;
    const AacStream one = Coded(input, settings, {{0, frames - 1}, 0}, &unused);
    const std::vector<int16_t> oneOut = Decoded(one, settings.channels);
    const int ch = settings.channels;
    for (size_t priming : {1, 2, 4, 8, 16, 32, 64}) {
        AacPiecePlan plan;
        plan.primingFrames = priming;
        for (size_t i = 0; i <= pieces; ++i) plan.starts.push_back((frames - 1) * i / pieces);
        size_t breaks = 0;
        const AacStream joined = Coded(input, settings, plan, &breaks);
        if (joined.frameSizes.size() != one.frameSizes.size()) {
            std::fprintf(stderr, "frame counts differ: %zu, %zu\n", joined.frameSizes.size(), one.frameSizes.size());
            std::exit(1);
        }
        const std::vector<int16_t> joinedOut = Decoded(joined, ch);
        const std::vector<Span> whole{{0, frames * kFrame}};
        std::vector<Span> joins;
        for (size_t j = 1; j < pieces; ++j)
            joins.push_back({(plan.starts[j] - 3) * kFrame, (plan.starts[j] + 2) * kFrame});
        const double oneIn = RmsDb(oneOut, input, whole, ch), oneInJ = RmsDb(oneOut, input, joins, ch);
        const double diff = RmsDb(joinedOut, oneOut, whole, ch), diffJ = RmsDb(joinedOut, oneOut, joins, ch);
        const double joinIn = RmsDb(joinedOut, input, whole, ch), joinInJ = RmsDb(joinedOut, input, joins, ch);
        std::printf("%-6s %5d %2d %3zu %6zu %8.1f %7.1f %8.1f %7.1f %8.1f %7.1f %7.1f %7.1f %5u %5u %5zu\n", name,
                    settings.sampleRate, ch, priming, breaks, oneIn, oneInJ, diff, diffJ, joinIn, joinInJ, oneIn - diff,
                    oneInJ - diffJ, Largest(one), Largest(joined), kvt::kAacDecoderBufferBytes * ch);
    }
}

}  // namespace

int main(int argc, char** argv) {
    av_log_set_level(AV_LOG_ERROR);  // no encoder statistics
    Clip clip;
    if (argc < 3 || !ReadWav(argv[1], clip) || clip.channels < 1 || clip.channels > 2) {
        std::fprintf(stderr, "usage: %s IN.wav BIT_RATE_PER_CHANNEL [PIECES]  (16-bit PCM, 1 or 2 channels)\n",
                     argv[0]);
        return 2;
    }
    AacSettings settings{clip.rate, clip.channels, std::atoi(argv[2]), 0, 0};
    // The rate the product ends up with when the asked one overshoots the bound.
    const auto bytes = std::span(reinterpret_cast<const uint8_t*>(clip.samples.data()), clip.samples.size() * 2);
    kvt::AacCoding product = kvt::CodeAac(bytes, settings);
    if (!std::holds_alternative<AacStream>(product)) {
        std::fprintf(stderr, "the clip does not code\n");
        return 1;
    }
    std::printf("bit rate asked %d, coded at %d a channel\n", settings.bitRate, std::get<AacStream>(product).bitRate);
    settings.bitRate = std::get<AacStream>(product).bitRate;
    size_t unused = 0;
    const size_t frames = kvt::bench::AacFrameCount(bytes.size(), clip.channels);
    if (Coded(clip.samples, settings, {{0, frames - 1}, 0}, &unused).payload != std::get<AacStream>(product).payload) {
        std::fprintf(stderr, "one piece here is not CodeAac's stream: the configurations differ\n");
        return 1;
    }
    const size_t pieces = argc > 3 ? std::max(2, std::atoi(argv[3])) : 2;
    const double burstPeak = argc > 4 ? std::atof(argv[4]) : 26000;
    if (frames < pieces * 16) {
        std::fprintf(stderr, "clip too short for %zu pieces\n", pieces);
        return 2;
    }
    std::printf("%-6s %5s %2s %3s %6s %8s %7s %8s %7s %8s %7s %7s %7s %5s %5s %5s\n", "clip", "rate", "ch", "P",
                "breaks", "one-in", "@joins", "join-one", "@joins", "join-in", "@joins", "margin", "@joins", "max1",
                "maxJ", "bound");
    AacPiecePlan plan;
    for (size_t i = 0; i <= pieces; ++i) plan.starts.push_back((frames - 1) * i / pieces);
    Measure("music", clip.samples, settings, pieces);
    Measure("bursts", WithBursts(clip, plan, burstPeak), settings, pieces);
    return 0;
}
