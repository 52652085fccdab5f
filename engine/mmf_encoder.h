#pragma once
// MmfEncoder: turns one SourceClip into one MMF (SMAF) ringtone, mono or stereo, at most
// 24000 Hz, the whole clip as one wave note coded with the Yamaha-type ADPCM.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "engine/engine_file.h"
#include "engine/output_result.h"
#include "engine/pcm_operations.h"

namespace kvt {

class MmfEncoder : public EngineFile {
public:
    // `source` must outlive the encoder. The output base path starts as the clip's path;
    // the conversion job replaces it with the saving directory and the input's name.
    explicit MmfEncoder(const SourceClip& source);

    // Writes the clip as "<path without its extension>.mmf". `sampleRate` 0 keeps the
    // clip's rate. Every failure has shown its message.
    OutputResult WriteMmf(int sampleRate, bool stereo);
    // The same with `stereo` 1 or 0: 1 when the file was built (and written, or the write
    // failure was shown), 0 when it was refused.
    int ConvertMmf(int sampleRate, int stereo);

    // Song title of a mono file, UTF-8 (written in CP932); empty writes "Untitled".
    std::string title;
    ResamplerKind resampler = ResamplerKind::BandLimited;

private:
    const SourceClip& source_;
};

// Codes 16-bit PCM (interleaved when stereo) into the wave data of samples.size() / 2
// bytes (a PCM byte count / 4). Mono packs two codes a byte, the first in the low nibble; stereo
// codes each channel with a fresh coder and packs one frame a byte, left code high.
std::vector<uint8_t> EncodeMmfWave(std::span<const int16_t> samples, bool stereo);

// "<path>.mmf" with the extension of the path's file name replaced; nothing when the file
// name has no '.'.
std::optional<std::string> MmfOutputPath(const std::string& path);

}  // namespace kvt
