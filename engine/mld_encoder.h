#pragma once
// MldEncoder: turns one SourceClip into one MLD ringtone file for one handset row of
// MldPresetTable. Checks the request against the row, converts the channel count,
// resamples, normalises, codes with the row's sample codec, warns above the size
// ceiling, builds the row's layout and writes the file.
//
// The object keeps the clip as converted for its last channel count and rate, and the
// streams coded from it, so that calls for rows sharing a coder and rate (as when one
// clip goes to many handsets) convert and code once. The clip must stay unchanged while
// the object lives.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "engine/engine_file.h"
#include "engine/mld_coding_cache.h"
#include "engine/mld_layout.h"
#include "engine/mld_preset_table.h"
#include "engine/output_result.h"
#include "engine/pcm_operations.h"

namespace kvt {

inline constexpr std::string_view kOverSizeLimitText = "指定されたファイルサイズの制限を越えています。";

class MldEncoder : public EngineFile {
public:
    // Bound to `source` (not owned); `path` starts as the clip's path.
    explicit MldEncoder(const SourceClip& source);

    void SetSizeLimit(uint32_t limit) { sizeLimit = limit; }

    // preset: row of MldPresetTable; sampleRate: 4000, 8000, 16000, 32000 or 0 (the
    // source's rate); normalize: level 0..500 in percent, 2000 keeps the level;
    // outputPath: the file to write, else `path` without its extension + "_" + row name
    // + ".mld". Every failure has shown its message.
    OutputResult WriteMld(int preset, int sampleRate, int normalize,
                          const std::optional<std::string>& outputPath = std::nullopt);
    // The same as 1 when the file was written, 0 when it was not.
    int ConvertMld(int preset, int sampleRate, int normalize,
                   const std::optional<std::string>& outputPath = std::nullopt);

    uint32_t sizeLimit = 100000;  // ceiling for the coded audio in bytes
    // Set by a ConvertMld whose row stores one piece and kept only the start of the clip:
    // the seconds kept. Nothing after any other call.
    std::optional<double> keptSeconds;
    // Set by a ConvertMld whose coded size passed sizeLimit; shown as
    // kOverSizeLimitText unless showsSizeMessage is off (the caller then says it).
    bool overSizeLimit = false;
    bool showsSizeMessage = true;
    std::string title;  // "titl" text (UTF-8); empty: the input's base name
    ResamplerKind resampler = ResamplerKind::BandLimited;

private:
    // The coded stream's byte count and byte rate, and the rate the file records.
    struct CodedSizes {
        uint32_t streamBytes = 0;
        uint32_t byteRate = 0;
        uint32_t recordedRate = 0;
    };

    // The requested rate when the clip and the row take it; nothing after the message.
    std::optional<uint32_t> CheckedRate(const MldPreset& row, int64_t requested, int targetChannels) const;
    // Brings the PCM copy to the row's channels and rate, or takes the conversion at hand.
    bool ConvertForRow(bool atHand, int targetChannels, uint32_t rate);
    // The coded sizes for `codec`; the byte rate is recorded into the format block.
    CodedSizes TakeCodedSizes(int codec);
    // The row's coded streams at `normalize`, coded now unless the cache holds them.
    const MldCodedStreams& CodedStreamsFor(const MldPreset& row, int normalize, size_t streamBytes);
    // The row's layout of the coded streams; sets `keptSeconds` for a stream cut to one piece.
    MldFile BuildLayout(const MldPreset& row, std::string_view titleText, const MldCodedStreams& coded,
                        const CodedSizes& sizes, uint32_t ticks);

    const SourceClip& source_;
    MldCodingCache cache_;
};

// The default output path for a row name: the text before the file name's last "."
// (the whole path when the name has none), "_", the name, ".mld".
std::string MldOutputPath(const std::string& path, std::string_view rowName);
// The file name of `path` without folder and extension, the title when none is set.
std::string MldTitleBase(const std::string& path);
// The PCM's duration in ticks of 5 ms as the "0400" layout records it: the quotient of
// the byte counts times 200, in double precision, rounded down. The rounding of the
// double quotient is part of the result (2320 bytes at 16000 a second give 28, not 29).
uint32_t MldDurationTicks(uint32_t pcmBytes, uint32_t byteRate);

}  // namespace kvt
