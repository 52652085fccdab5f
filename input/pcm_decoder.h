#pragma once
// In-process decoding of any audio file FFmpeg understands into a 16-bit PCM WAV file.

#include <cstdint>
#include <functional>
#include <span>
#include <string>

namespace kvt {

class WaveFile;

struct DecodedFormat {
    int sampleRate = 0;
    int channels = 0;  // 1 or 2
    // The length the container states, in frames at sampleRate; 0 when it states none.
    // Only a hint for reserving memory: a file may lie about it.
    uint64_t statedFrames = 0;
};

// The demuxers an input may be read with, whatever its extension says: audio containers
// (ASF first) and the raw audio streams a mislabelled file may really hold. Playlists,
// concat scripts, image sequences and other formats that open further files or URLs are
// not among them.
inline constexpr const char* kAudioDemuxers =
    "asf,mp3,wav,w64,xwma,ogg,flac,aac,mov,matroska,aiff,au,caf,ac3,eac3,amr,wv,ape,tta,mpc,mpc8";

// The URL FFmpeg opens for a local path: "file:" and the absolute path, so that no part of
// a name ("file:x.wma", "http:...") is taken for a protocol of its own. The decoder opens
// it with "file" as the only protocol.
std::string LocalFileUrl(const std::string& path);

enum class DecodeOutcome { Decoded, NoAudio, WriteFailed };

// Decodes the first audio stream of a regular file to interleaved 16-bit samples at the
// rate of its first frame; a mono first frame gives mono, anything else stereo. Later frames
// of another layout, rate or sample format are converted to that same output. `onFormat`
// is called once before the first `onSamples`. Returns NoAudio when nothing could be
// decoded (also for a path that is not a regular file, or a format not in kAudioDemuxers).
DecodeOutcome DecodeAudio(const std::string& inputPath, const std::function<bool(const DecodedFormat&)>& onFormat,
                          const std::function<bool(std::span<const int16_t>)>& onSamples);

// DecodeAudio into a WAV file; the file appears complete under `outputPath` or not at all.
DecodeOutcome DecodeAudioToWav(const std::string& inputPath, const std::string& outputPath);

// DecodeAudio into memory: `wave` holds the samples as a loaded 16-bit WAV file would
// (and nothing unless Decoded).
DecodeOutcome DecodeAudioToWave(const std::string& inputPath, WaveFile& wave);

}  // namespace kvt
