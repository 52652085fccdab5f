#pragma once
// The clip as the 3GP path codes it: the selection with a silent tail that carries its end
// out of the encoder, converted to the requested channel count and rate.

#include <cstdint>

#include "engine/engine_file.h"
#include "engine/pcm_operations.h"

namespace kvt {

// The rate and channel count a request codes at.
struct AacTarget {
    int sampleRate = 0;        // the request's, or the clip's for 0
    int channels = 0;          // the request's, or the clip's for 0 (at most 2)
    bool channelsCut = false;  // the clip has more than 2 channels and no count was asked
};

AacTarget ResolveAacTarget(int requestedRate, int requestedChannels, const FormatBlock& clip);

// Milliseconds of silence appended before coding, by requested rate (0 counts as 8000).
int SilentTailMilliseconds(int requestedRate);

// `pcm` becomes the clip followed by its silent tail, in the clip's format; false after a
// message.
bool PadForAac(const SourceClip& clip, int requestedRate, EngineFile& pcm);

// Converts the padded clip to the target's channels and rate; false after a message
// ("error channel", "samplerate:44100" or a conversion's own). "error channel" is shown
// once, also for a cut channel count that goes on.
bool ConvertForAac(EngineFile& pcm, const AacTarget& target, ResamplerKind resampler);

// Whether `pcmBytes` of 16-bit audio code into no more frames than a file's frame table holds.
bool FitsFrameTable(size_t pcmBytes, int channels);

}  // namespace kvt
