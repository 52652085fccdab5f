#include "check/sample_decoders.h"

#include <algorithm>
#include <array>

#include "engine/g726_coder.h"

namespace kvt {
namespace {

int16_t ToSample(int32_t value) {
    return static_cast<int16_t>(std::clamp(value, -32768, 32767));
}

// Yamaha-type ADPCM: the predictor moves by (2m + 1) / 8 steps, and the step is scaled by
// 0.9 for small codes and up to 2.4 for the largest.
class YamahaDecoder {
public:
    int16_t operator()(unsigned code) {
        constexpr std::array<int32_t, 8> kScale = {230, 230, 230, 230, 307, 409, 512, 614};
        const int32_t magnitude = static_cast<int32_t>(code & 7);
        const int32_t delta = (2 * magnitude + 1) * step_ / 8;
        predictor_ = std::clamp(predictor_ + ((code & 8) ? -delta : delta), -32768, 32767);
        step_ = std::clamp((kScale[static_cast<size_t>(magnitude)] * step_) >> 8, 127, 24576);
        return static_cast<int16_t>(predictor_);
    }

private:
    int32_t predictor_ = 0;
    int32_t step_ = 127;
};

// IMA steps and index moves with the (2m + 1) / 8 reconstruction of the Yamaha coder.
class ImaTableDecoder {
public:
    int16_t operator()(unsigned code) {
        constexpr std::array<int32_t, 89> kSteps = {
            7,    8,     9,     10,    11,    12,    13,    14,    16,    17,    19,    21,    23,    25,   28,
            31,   34,    37,    41,    45,    50,    55,    60,    66,    73,    80,    88,    97,    107,  118,
            130,  143,   157,   173,   190,   209,   230,   253,   279,   307,   337,   371,   408,   449,  494,
            544,  598,   658,   724,   796,   876,   963,   1060,  1166,  1282,  1411,  1552,  1707,  1878, 2066,
            2272, 2499,  2749,  3024,  3327,  3660,  4026,  4428,  4871,  5358,  5894,  6484,  7132,  7845, 8630,
            9493, 10442, 11487, 12635, 13899, 15289, 16818, 18500, 20350, 22385, 24623, 27086, 29794, 32767};
        constexpr std::array<int32_t, 8> kIndexMoves = {-1, -1, -1, -1, 2, 4, 6, 8};
        const int32_t magnitude = static_cast<int32_t>(code & 7);
        const int32_t delta = (2 * magnitude + 1) * kSteps[static_cast<size_t>(index_)] / 8;
        predictor_ = std::clamp(predictor_ + ((code & 8) ? -delta : delta), -32768, 32767);
        index_ = std::clamp(index_ + kIndexMoves[static_cast<size_t>(magnitude)], 0, 88);
        return static_cast<int16_t>(predictor_);
    }

private:
    int32_t predictor_ = 0;
    int32_t index_ = 0;
};

// The binary-search ADPCM of codecs 2 and 6: bits 2, 1, 0 add the step, its half and its
// quarter to an eighth of it; the predictor lives on `shift` fewer bits than the output.
class StepDecoder {
public:
    StepDecoder(std::span<const int32_t> steps, std::span<const int32_t> indexMoves, int32_t limitLow,
                int32_t limitHigh, int32_t predictor, int shift)
        : steps_(steps), moves_(indexMoves), low_(limitLow), high_(limitHigh), predictor_(predictor), shift_(shift) {}

    int16_t operator()(unsigned code) {
        const int32_t step = steps_[static_cast<size_t>(index_)];
        int32_t delta = step / 8;
        if (code & 4) delta += step;
        if (code & 2) delta += step / 2;
        if (code & 1) delta += step / 4;
        predictor_ = std::clamp(predictor_ + ((code & 8) ? -delta : delta), low_, high_);
        const int32_t last = static_cast<int32_t>(steps_.size()) - 1;
        index_ = std::clamp(index_ + moves_[code & 7], 0, last);
        return ToSample(predictor_ * (1 << shift_));
    }

private:
    std::span<const int32_t> steps_;
    std::span<const int32_t> moves_;
    int32_t low_, high_;
    int32_t predictor_;
    int32_t index_ = 0;
    int shift_;
};

constexpr std::array<int32_t, 25> k25Steps = {16, 17, 19, 21, 23, 25, 28, 31,  34,  37,  41,  45, 50,
                                              55, 60, 66, 73, 80, 88, 97, 107, 118, 130, 143, 157};
constexpr std::array<int32_t, 8> k25Moves = {-1, -1, -1, -1, 2, 4, 6, 8};
constexpr std::array<int32_t, 19> k19Steps = {4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21, 22};
constexpr std::array<int32_t, 8> k19Moves = {-1, -1, -1, -1, 1, 2, 4, 8};
constexpr size_t kCodec6LeadIn = 4;

template <class Decoder>
std::vector<int16_t> DecodeNibbles(std::span<const uint8_t> codes, bool lowFirst, Decoder decoder) {
    std::vector<int16_t> out;
    out.reserve(codes.size() * 2);
    for (uint8_t byte : codes) {
        const unsigned low = byte & 0x0F;
        const unsigned high = byte >> 4;
        out.push_back(decoder(lowFirst ? low : high));
        out.push_back(decoder(lowFirst ? high : low));
    }
    return out;
}

std::vector<int16_t> DecodeG726_16(std::span<const uint8_t> codes) {
    G726Coder<G726Rate16> decoder;
    std::vector<int16_t> out;
    out.reserve(codes.size() * 4);
    for (uint8_t byte : codes)
        for (unsigned shift = 0; shift < 8; shift += 2) out.push_back(decoder.Decode((byte >> shift) & 3));
    return out;
}

}  // namespace

std::vector<int16_t> DecodeWithCodec(int codec, std::span<const uint8_t> codes) {
    switch (codec) {
    case 1: return DecodeNibbles(codes, true, YamahaDecoder{});
    case 2: return DecodeNibbles(codes, false, StepDecoder(k25Steps, k25Moves, -2048, 2048, 0, 4));
    case 3: {
        G726Coder<G726Rate32> decoder;
        return DecodeNibbles(codes, true, [&](unsigned code) { return decoder.Decode(code); });
    }
    case 4: return DecodeG726_16(codes);
    case 5: return DecodeNibbles(codes, true, ImaTableDecoder{});
    case 6:
        return DecodeNibbles(codes.subspan(std::min(kCodec6LeadIn, codes.size())), false,
                             StepDecoder(k19Steps, k19Moves, -15000, 15000, k19Steps[0], 5));
    default: return {};
    }
}

std::vector<int16_t> DecodeYamahaAdpcmStereo(std::span<const uint8_t> codes) {
    YamahaDecoder left, right;
    std::vector<int16_t> out;
    out.reserve(codes.size() * 2);
    for (uint8_t byte : codes) {
        out.push_back(left(byte >> 4));
        out.push_back(right(byte & 0x0F));
    }
    return out;
}

}  // namespace kvt
