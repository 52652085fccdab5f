#pragma once
// EngineFile: the shared base of the ringtone encoders. An in-memory file image with a
// read/write cursor, plus one block of PCM samples with its format block. SourceClip is
// the same type holding the selected range that the conversion job hands the encoders.
//
// Operations that can fail have already shown their message through ShowMessage when they
// report failure, and the object keeps what it held before the failing step. The file and
// PCM operations the encoders are built on (Load, Allocate, Save, AllocateData) return
// int 1 (success) or 0 (failure); the copy and the WAV helpers return a bool.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "engine/format_block.h"

namespace kvt {

class EngineFile {
public:
    EngineFile() = default;
    // A PCM block from a path, a format block and the bytes (copied).
    EngineFile(std::string path, const FormatBlock& format, std::span<const uint8_t> bytes);

    EngineFile(const EngineFile&) = default;
    EngineFile& operator=(const EngineFile&) = default;
    EngineFile(EngineFile&&) noexcept = default;
    EngineFile& operator=(EngineFile&&) noexcept = default;
    ~EngineFile() = default;

    // --- File image -------------------------------------------------------------------
    // Reads the whole file into the image; "file is not found" when it cannot be opened.
    int Load(const std::string& filePath);
    // Looks for the 4-byte tag at every position from the cursor on; on a match the
    // cursor stays at the match and its offset is returned.
    std::optional<size_t> FindTag(std::string_view tag);
    std::optional<size_t> FindTagFromStart(std::string_view tag);

    // Reads a little-endian u32 at the cursor and advances it. A read past the end of the
    // image yields 0 (missing bytes) and leaves the cursor at the end; check Remaining()
    // first where that matters.
    uint32_t ReadU32();
    size_t Remaining() const;

    // Writes at the cursor and advance it; the image grows when a write runs past its end.
    void WriteU32(uint32_t value);        // little-endian
    void WriteTag(std::string_view tag);  // 4 bytes as given
    void WriteBytes(std::span<const uint8_t> bytes);

    // A zeroed image of `size` bytes, cursor at the start ("filesize" when 0).
    int Allocate(uint32_t size);
    // Writes the image to a file in one piece (temporary name + rename);
    // "ファイルが書き込めませんでした。" when it cannot.
    int Save(const std::string& filePath) const;

    // --- PCM block ----------------------------------------------------------------------
    // `data` becomes `size` zeroed bytes ("no memory" when it cannot).
    int AllocateData(uint32_t size);
    // Replaces format and data with a copy of another block's ("no memory" when it cannot).
    bool CopyPcmFrom(const EngineFile& other);

    // --- RIFF/WAVE --------------------------------------------------------------------
    // Parses the loaded image as RIFF/WAVE into format and data; A-law and µ-law become
    // 16-bit samples. Messages "RIFF", "WAVE", "fmt", "data", "This is not pcm data.".
    bool ReadWave();
    // Load + ReadWave.
    bool LoadWave(const std::string& filePath);
    // Builds a RIFF/WAVE image of format and data (18-byte "fmt ") and saves it.
    bool WriteWave(const std::string& filePath);

    // --- Fields -----------------------------------------------------------------------
    std::vector<uint8_t> image;
    size_t cursor = 0;  // read/write position in `image`
    std::string path;   // file the object came from / output base path

    FormatBlock format;
    std::vector<uint8_t> data;  // PCM: interleaved 16-bit signed little-endian
};

// The clip of the selected range: path of the input, its format block, a copy of the bytes.
class SourceClip : public EngineFile {
public:
    SourceClip() = default;
    SourceClip(std::string path, const FormatBlock& format, std::span<const uint8_t> bytes)
        : EngineFile(std::move(path), format, bytes) {}
};

}  // namespace kvt
