#pragma once
// Whole-file RIFF/WAVE reader: loads one WAV file into memory, tolerates a fixed set of
// foreign chunks, converts 8-, 20- and 24-bit samples to 16 bits and stereo to mono, and
// saves the result with the canonical 44-byte header.

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kvt {

using ChunkId = std::array<char, 4>;

class WaveFile {
public:
    // Header fields as read (riffSize, fmtSize and dataSize are never used for saving).
    // formatTag ... bitsPerSample are the 16-byte PCM format record of the "fmt " chunk.
    ChunkId riffId{};
    uint32_t riffSize = 0;
    ChunkId formType{};
    ChunkId fmtId{};
    uint32_t fmtSize = 0;
    uint16_t formatTag = 0;  // not checked: PCM is assumed; an extensible format's sub-format
    uint16_t channels = 0;
    uint32_t sampleRate = 0;  // frames per second
    uint32_t byteRate = 0;    // bytes per second
    uint16_t blockAlign = 0;  // bytes per frame, all channels
    uint16_t bitsPerSample = 0;
    ChunkId dataId{};
    uint32_t dataSize = 0;
    // Speaker positions of an extensible "fmt " (dwChannelMask); 0 when the file has none.
    uint32_t channelMask = 0;

    // Reads the whole file. True when the "data" chunk was found: a "data" chunk that runs
    // past the end (a file still being written, or sent down a pipe) gives the whole frames
    // that are there, and a file cut short says how many seconds its header promised and
    // how many it holds. "LIST" chunks are skipped without a word. False after a message box (not a regular file, not
    // RIFF/WAVE, a chunk out of place or cut short before "data", no "data" chunk), and the object then holds no sample
    // data.
    bool Load(const std::string& path);
    // The same on a file image already in memory.
    bool LoadFromMemory(std::span<const uint8_t> file);

    // True after a successful Load (also when the "data" chunk is empty).
    bool HasData() const { return loaded_; }
    // True after a Load refused the file for not starting with "RIFF": it may be another
    // kind of audio file under a ".wav" name.
    bool WasNotRiff() const { return notRiff_; }
    std::span<const uint8_t> Samples() const { return samples_; }
    uint32_t SampleBytes() const { return static_cast<uint32_t>(samples_.size()); }

    // 8-bit unsigned to 16-bit signed: (in - 128) * 256.
    void Convert8To16();
    // 24-bit (or 20-bit) samples in 3-byte containers to 16 bits: the upper two bytes.
    void Convert24To16();
    // 32-bit integer samples to 16 bits: the upper two bytes.
    void Convert32To16();
    // 32- or 64-bit IEEE float samples (format tag 3) to 16-bit PCM (format tag 1): full
    // scale ±1.0 to ±32768, rounded; values beyond it are clipped.
    void ConvertFloatTo16();
    // A-law (format tag 6) or µ-law (7) codes to 16-bit linear PCM (format tag 1).
    void ExpandG711();
    // 16-bit samples of more than two channels to stereo, with FFmpeg's standard down-mix
    // for the speaker layout (channelMask, else the usual layout of that many channels).
    // True when there was nothing to do or the mix was made; false when no mix is known
    // for the layout, the samples then unchanged.
    bool MixDownToStereo();
    // Stereo to mono, (left + right) / 2 truncated toward zero; nothing unless channels is 2.
    // bitsPerSample 8 mixes unsigned 8-bit samples, any other value 16-bit samples.
    void MixToMono();

    // Takes `samples` (interleaved 16-bit PCM) as a loaded file of that format would hold
    // them: what in-process decoding delivers, with no file in between.
    void AdoptPcm16(uint16_t channelCount, uint32_t rate, std::vector<uint8_t> samples);
    // Hands the samples over; the object then holds none.
    std::vector<uint8_t> TakeSamples();

    // Length of the saved file: SampleBytes() + 44.
    uint32_t SavedSize() const;
    // The canonical file image: 44-byte header ("fmt " of 16 bytes) and the samples.
    std::vector<uint8_t> SavedBytes() const;
    // Its first 44 bytes.
    std::vector<uint8_t> SavedHeader() const;
    // Writes SavedBytes() to `path` (replacing it only when complete). False after the
    // message "ファイルが開けませんでした。" or when nothing is loaded.
    bool Save(const std::string& path) const;

    // Message boxes of loading and saving. Codes: 0 "ファイルが見つかりませんでした。",
    // 1 "不明なタグが検出されました。", 2 "ファイルが開けませんでした。", 3 "フォーマットが違う
    // 音声ファイルを処理しようとしました。", 4 "ビット数を変更しました。", others an empty text.
    static void ShowMessage(int code);
    // "%s [%s]" of "不明なタグが検出されました。処理は継続可能です。" (kind 1; an empty text
    // for any other kind) and a four-character chunk identifier.
    static void ShowTagMessage(int kind, std::string_view tag);

private:
    // Shows the cut-short message when `heldBytes` of the "data" chunk are fewer whole
    // frames than dataSize promised (a size standing for "unknown length" promises nothing).
    void ReportCutShort(size_t heldBytes) const;
    // blockAlign, byteRate and bitsPerSample of 16-bit samples in `channels` channels.
    void SetPcm16Layout();

    std::vector<uint8_t> samples_;
    bool loaded_ = false;
    bool notRiff_ = false;
};

// Brings a loaded input to 16 bits: A-law and µ-law codes are expanded, 32/64-bit float and
// 8-, 20/24- and 32-bit integer data are converted, 16-bit data is kept. Any other bit count shows
// "対応していないビット数のWAVファイルです。 [bits]" and returns false; the caller then
// drops the file.
bool NormalizeTo16Bits(WaveFile& wave);

// The sampling rates real audio uses. A header outside them (1 Hz, say) would make every
// later resampling step multiply a small file into gigabytes.
inline constexpr uint32_t kMinSampleRate = 1000;
inline constexpr uint32_t kMaxSampleRate = 384000;
// True for a rate within those bounds; otherwise shows
// "対応していないサンプリング周波数のWAVファイルです。 [rate Hz]" and returns false.
bool HasUsableSampleRate(const WaveFile& wave);

}  // namespace kvt
