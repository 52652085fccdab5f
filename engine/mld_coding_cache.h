#pragma once
// The work an MldEncoder keeps from its last calls: the clip brought to one channel count
// and rate, and the coded streams made from it, so that a later call for another row with
// the same coder and rate writes its file without converting and coding again.

#include <cstddef>
#include <cstdint>
#include <map>
#include <utility>
#include <vector>

#include "engine/engine_file.h"
#include "engine/format_block.h"
#include "engine/pcm_operations.h"

namespace kvt {

// How a row lays the coded audio out.
enum class MldStreamSplit {
    Mono,             // one stream of mono codes
    TwoStreams,       // left and right coded apart, in two data events
    OneStereoStream,  // the left codes followed by the right codes, one stream
};

// The coded audio of one row: `stream` for mono and one-stream stereo, `left` and
// `right` for two-stream stereo, each already cut or padded to its final size.
struct MldCodedStreams {
    std::vector<uint8_t> stream;
    std::vector<uint8_t> left;
    std::vector<uint8_t> right;
};

struct MldCodingCache {
    // What the converted PCM was made from; `bytes` holds it when `valid`.
    const uint8_t* sourceBytes = nullptr;
    size_t sourceSize = 0;
    FormatBlock sourceFormat;
    int channels = 0;
    uint32_t rate = 0;
    ResamplerKind resampler = ResamplerKind::BandLimited;
    bool valid = false;
    FormatBlock format;          // of the converted PCM
    std::vector<uint8_t> bytes;  // the converted PCM, before normalisation

    // Coded streams of the converted PCM at level `normalize`, by split and codec.
    int normalize = 0;
    std::map<std::pair<MldStreamSplit, int>, MldCodedStreams> coded;

    // The converted PCM of `source` at `channels` and `rate`, resampled by `kind`, is at hand.
    bool Holds(const EngineFile& source, int targetChannels, uint32_t targetRate, ResamplerKind kind) const {
        return valid && sourceBytes == source.data.data() && sourceSize == source.data.size() &&
               sourceFormat == source.format && channels == targetChannels && rate == targetRate && resampler == kind;
    }

    // Keeps `pcm` as the converted PCM of `source`; the coded streams of the last one go.
    void Keep(const EngineFile& source, int targetChannels, uint32_t targetRate, ResamplerKind kind,
              const EngineFile& pcm) {
        Clear();
        bytes = pcm.data;
        format = pcm.format;
        sourceBytes = source.data.data();
        sourceSize = source.data.size();
        sourceFormat = source.format;
        channels = targetChannels;
        rate = targetRate;
        resampler = kind;
        valid = true;
    }

    // The coded streams for a split and codec at `level`, or null when not made yet.
    // Asking for another level lets the streams of the previous one go.
    const MldCodedStreams* FindCoded(MldStreamSplit split, int codec, int level) {
        if (level != normalize) {
            coded.clear();
            normalize = level;
        }
        const auto found = coded.find({split, codec});
        return found == coded.end() ? nullptr : &found->second;
    }

    const MldCodedStreams& KeepCoded(MldStreamSplit split, int codec, MldCodedStreams streams) {
        return coded[{split, codec}] = std::move(streams);
    }

    void Clear() {
        valid = false;
        bytes = {};
        coded.clear();
    }
};

}  // namespace kvt
