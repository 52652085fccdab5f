#pragma once
// Streaming WAV writer: creates the file with its "fmt " chunk and an open "data" chunk,
// takes the samples in pieces and fills in the chunk sizes when it is closed.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

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

class WaveWriter {
public:
    WaveWriter() = default;
    // Does not close an open file: call Close first.
    virtual ~WaveWriter();
    WaveWriter(const WaveWriter&) = delete;
    WaveWriter& operator=(const WaveWriter&) = delete;

    // Creates (or truncates) `fileName` and writes the RIFF header, an 18-byte "fmt " chunk
    // of PCM and the "data" chunk header. 0 on success; 259 when a file is already open,
    // 257 without a file name, 262 when the format could not be written, else the error of
    // the failing step. Every failure shows its message first. The writer stays open once
    // the file was created, also when a later step fails.
    int Open(const std::string& fileName, uint32_t sampleRate, uint16_t bitsPerSample, uint16_t channels);
    // Appends `count` sample bytes. False (after "データの書き込みに失敗しました。") when not
    // all of them were written.
    bool Write(const void* data, size_t count);
    // Fills in the "data" and RIFF sizes (adding the pad byte after odd-sized data),
    // flushes and closes. 0 on success or when nothing is open; else the error after
    // "ファイルのクローズに失敗しました。". The writer is closed afterwards in every case.
    int Close();

    bool IsOpen() const { return file_ != nullptr; }

private:
    std::FILE* file_ = nullptr;
    uint64_t dataBytes_ = 0;       // sample bytes written into the open "data" chunk
    bool headerComplete_ = false;  // Open wrote every header byte
};

}  // namespace kvt
