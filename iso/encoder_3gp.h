#pragma once
// Encoder3gp: turns one SourceClip into a 3GP (kind 1) or 3G2 (kind 2) file of AAC-LC
// audio. The clip gets a silent tail, its channels and rate are converted, the built-in
// encoder codes it (and, for 3GP, the user's external encoder program may supply the
// tables and media data), File_3gp writes the boxes, and a 3GP file may be re-muxed for
// streaming.

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <stop_token>
#include <string>
#include <string_view>

#include "engine/engine_file.h"
#include "engine/output_result.h"
#include "iso/aac_clip.h"
#include "iso/aac_coding.h"
#include "iso/external_encoder.h"

namespace kvt {

inline constexpr std::string_view kChannelErrorText = "error channel";
inline constexpr int kMaxAacSampleRate = 44100;

// One 3GP or 3G2 file to make from the clip.
struct Aac3gpRequest {
    int kind = 1;                // 1 = 3GP, 2 = 3G2
    int bitRate = 32000;         // per channel
    int samplingRate = 0;        // Hz; 0 keeps the clip's
    int channels = 0;            // 1 or 2; 0 keeps the clip's
    bool streaming = false;      // re-mux the written file (3GP only)
    int bandwidth = 0;           // Hz; 0 lets the encoder choose
    int longBlocksOnly = 0;      // 1: long blocks only
    std::string title;           // "titl"; empty: the output file's base name
    std::string scratchWavPath;  // the work WAV file, beside which the external program's files lie
    bool useExternal = false;    // 3GP: try the program at the external encoder path first
    ResamplerKind resampler = ResamplerKind::BandLimited;
};

class Encoder3gp : public EngineFile {
public:
    // `source` must outlive the encoder and stay unchanged. The output base path (`path`)
    // starts as the clip's path; the conversion job replaces it with the saving directory
    // and the input's name.
    explicit Encoder3gp(const SourceClip& source);
    ~Encoder3gp();  // stops and waits for coding started ahead

    // Makes the file "<path without its extension>.3gp" (or ".3g2"). `externalEncoderPath`
    // is cleared when that program is missing or cannot be started. Every failure has shown
    // its message.
    OutputResult Write(const Aac3gpRequest& request, std::string& externalEncoderPath);

    // The same with the arguments in a row: 1 when the request was accepted and the writer
    // ran (its failures are shown, not returned), 0 when it was refused.
    int Convert3gp(int kind, int bitRate, int samplingRate, int channels, int streaming, int bandwidth,
                   int longBlocksOnly, const std::string& title, const std::string& scratchWavPath, int useExternal,
                   std::string& externalEncoderPath);

    // Starts the clip's conversion and coding for `request` on a spare thread, when one is
    // free, for the next Write of the same coding to take over instead of doing it. Nothing
    // is shown from that thread: if anything goes wrong there, Write does the work itself
    // and reports as it would have anyway.
    void CodeAhead(const Aac3gpRequest& request);

    // Looked at between the AAC frames (also of the coding done ahead): a stopped Write
    // makes no file and says nothing.
    std::stop_token stop;

    // Told the share of the AAC coding done, per batch of frames, while Write codes or waits
    // for the coding started ahead (then from the spare thread). Set before CodeAhead.
    AacProgress progress;

    // How long the external program may run before its output is looked for.
    std::chrono::milliseconds externalEncoderWait = kExternalEncoderWait;

private:
    struct CodedStream;
    struct Ahead;

    OutputResult WriteFile(const Aac3gpRequest& request, const std::string& outputPath, const CodedStream& stream,
                           bool spliced);

    const SourceClip& source_;
    // The coded stream of the last call and what it was coded from. A 3GP and a 3G2 file
    // of the same clip with the same settings hold the same AAC frames; the second call
    // takes them from here instead of running the encoder again.
    std::unique_ptr<CodedStream> lastStream_;
    // The clip in `data` is the one lastStream_ was coded from, so a call of the same coding
    // need not pad and convert it again.
    bool pcmOfLastStream_ = false;
    std::unique_ptr<Ahead> ahead_;
};

// `path` with the extension of its file name replaced by ".3gp" (kind 1) or ".3g2";
// nothing when the file name has no '.'.
std::optional<std::string> Output3gpPath(const std::string& path, int kind);

}  // namespace kvt
