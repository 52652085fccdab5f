#pragma once
// File_3gp writes one AAC-LC audio track into a 3GP (type 1) or 3G2 (type 2) file. Every
// box is built in memory; the whole image is then written in one piece (temporary name +
// rename, so a failure never leaves a half-written file).
//
// File layout. 3GP: ftyp, moov, free, free, the 24-byte mdat block, the frames.
//              3G2: ftyp, the 24-byte mdat block, the frames, moov.
// Every frame is its own chunk.
//
// Splicing (external encoder path, 3GP): the boxes stsd, stts, stsc, stsz, stco, hdlr and
// mvhd and the payload are taken from the side files (see side_files.h) instead of being
// built here. The payload is the mdat side file without its first 8 bytes, and the spliced
// stco is rebased so that its first entry points at the first payload byte; so the
// external file's first chunk must start 8 bytes into its mdat body. The sample tables
// and the payload belong together: when one of stsd, stts, stsc, stsz, stco, mdat is
// missing, or the spliced tables point outside the spliced payload, all six stay the
// writer's own (with the frames passed in), and so do hdlr and mvhd. A missing hdlr or
// mvhd keeps its own box.
// After a spliced write the eight side files are deleted.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "engine/engine_message.h"  // kFileNotWritableText

namespace kvt {

// The frame table holds at most this many frames (about 25 minutes at 44100 Hz); longer
// streams are refused with kTooManyFramesText and no file.
inline constexpr size_t kMaxAacFrames = 65531;

inline constexpr std::string_view kJapaneseFileNameText = "ファイル名に日本語が含まれています。";
inline constexpr std::string_view kBadFileTypeText = "error";
inline constexpr std::string_view kTooManyFramesText =
    "音声が長すぎます。3GP/3G2ファイルに入るのは65531フレーム（44100Hzで約25分）までです。";

// The coded audio as the AAC encoder produced it.
struct AacTrack {
    std::span<const uint8_t> payload;              // frames back to back
    std::span<const uint32_t> frameSizes;          // one per non-empty frame, in order
    std::span<const uint8_t> decoderSpecificInfo;  // 2 bytes for AAC LC
    int channels = 1;                              // 1 or 2
    int sampleRate = 8000;                         // Hz, at most 44100
    int blockAlign = 2;                            // bytes per sample frame, 2 × channels
};

struct File3gpOptions {
    int type = 1;  // 1 = 3GP, 2 = 3G2
    // UTF-8; written in CP932. Without a title the output file's base name is used
    // (the text after the last "/", cut at the first ".").
    std::optional<std::string> title;
    std::optional<std::string> author;       // "auth"
    std::optional<std::string> copyright;    // "cprt"
    std::optional<std::string> description;  // "dscp"
    bool spliced = false;                    // take boxes and payload from the side files
    bool patchDcmd = true;                   // set the dcmd value from the file and moov sizes (3GP)
    // The streaming re-mux of a 3GP file, called with the written file before it is renamed
    // to the output path; false (after its message) fails the write and keeps the old file.
    std::function<bool(const std::string& path)> remux;
    // Creation/modification time in seconds since 1904 as written; the clock when empty.
    std::optional<uint32_t> now;
};

class File_3gp {
public:
    // `scratchWavPath` locates the side files (see side_files.h); empty for 3G2.
    explicit File_3gp(std::string scratchWavPath = {});

    // Builds and writes the file. False (after a message) when it was not written: it
    // could not be created (kFileNotWritableText), its re-mux failed, there are too many frames
    // (kTooManyFramesText), or the type is not 1 or 2 or the track is unusable
    // (channels not 1 or 2, rate not 1..44100, no block align, frame sizes adding up to
    // more than the payload, over 104 bytes of decoder info: kBadFileTypeText).
    bool Write(const std::string& outputPath, const AacTrack& track, const File3gpOptions& options);

    // The whole file image Write would write, or nothing after a message. Shows the
    // Japanese-file-name notice like Write does; touches no file.
    std::optional<std::vector<uint8_t>> BuildImage(const std::string& outputPath, const AacTrack& track,
                                                   const File3gpOptions& options);

    const std::string& ScratchWavPath() const { return scratchWavPath_; }

private:
    std::string scratchWavPath_;
};

// The text after the last "/" cut at the first "." (the default title).
std::string OutputBaseName(std::string_view outputPath);

}  // namespace kvt
