#pragma once
// Streaming WAV writer: creates the file with its "fmt " chunk and an open "data" chunk,
// takes the samples in pieces and fills in the chunk sizes when it is closed.

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/output_file.h"

namespace kvt {

// Result codes of WaveWriter, numbered as the multimedia file I/O errors they stand for.
inline constexpr int kWaveFileNotFound = 257;  // also: no file name given
inline constexpr int kWaveOutOfMemory = 258;
inline constexpr int kWaveCannotOpen = 259;  // also: a file is already open
inline constexpr int kWaveCannotClose = 260;
inline constexpr int kWaveCannotWrite = 262;
inline constexpr int kWaveCannotSeek = 263;
inline constexpr int kWavePathNotFound = 266;
inline constexpr int kWaveAccessDenied = 268;
inline constexpr int kWaveTooManyOpenFiles = 271;

// What a step of WaveWriter came to: 0, or the code of the error it stands for.
struct [[nodiscard]] WaveResult {
    int code = 0;
    bool Ok() const { return code == 0; }
};

class WaveWriter {
public:
    WaveWriter() = default;
    // Closes a file still open, as Close does, so its sizes are filled in.
    virtual ~WaveWriter();
    WaveWriter(const WaveWriter&) = delete;
    WaveWriter& operator=(const WaveWriter&) = delete;

    // Creates (or truncates) `fileName` and writes the RIFF header, an 18-byte "fmt " chunk
    // of PCM and the "data" chunk header. Fails with 259 when a file is already open, 257
    // without a file name, 262 when the format could not be written, else the error of
    // the failing step. Every failure shows its message first. The writer stays open once
    // the file was created, also when a later step fails.
    WaveResult Open(const std::string& fileName, uint32_t sampleRate, uint16_t bitsPerSample, uint16_t channels);
    // Appends `count` sample bytes. Fails with 262 (after "データの書き込みに失敗しました。")
    // when not all of them were written.
    WaveResult Write(const void* data, size_t count);
    // Fills in the "data" and RIFF sizes (adding the pad byte after odd-sized data),
    // writes out what is buffered and closes. Ok when nothing is open; else the error after
    // "ファイルのクローズに失敗しました。". The writer is closed afterwards in every case.
    WaveResult Close();

    bool IsOpen() const { return file_.IsOpen(); }

private:
    uint64_t DataBytes() const;  // sample bytes in the open "data" chunk

    OutputFile file_;
    bool headerComplete_ = false;  // Open wrote every header byte
};

}  // namespace kvt
