#pragma once
// AAC-LC encoder with the calls the 3GP path makes of an AAC library: open (which tells
// the samples per call and the largest frame), read and set the configuration, the
// decoder-specific info, one frame per call, close. Built on FFmpeg's native `aac`
// encoder; no file I/O, no messages.

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <span>
#include <vector>

struct AVCodecContext;
struct AVFrame;
struct AVPacket;

namespace kvt {

inline constexpr int kAacConfigurationVersion = 104;

inline constexpr int kAacMpeg4 = 0;
inline constexpr int kAacMpeg2 = 1;
inline constexpr int kAacObjectLc = 2;
inline constexpr int kAacOutputRaw = 0;
inline constexpr int kAacOutputAdts = 1;
inline constexpr int kAacInput16Bit = 1;
inline constexpr int kAacShortNormal = 0;
inline constexpr int kAacShortLongOnly = 1;

struct AacConfiguration {
    int version = kAacConfigurationVersion;
    int mpegVersion = kAacMpeg4;
    int objectType = kAacObjectLc;
    int allowMidSide = 1;
    int useTns = 0;
    unsigned long bitRate = 64000;  // bits per second for each channel
    int bandWidth = 0;              // Hz; 0 lets the encoder choose
    int outputFormat = kAacOutputRaw;
    int inputFormat = kAacInput16Bit;
    int shortControl = kAacShortNormal;
};

// A decoder's input buffer holds 6144 bits a channel; no frame may be larger.
inline constexpr size_t kAacDecoderBufferBytes = 768;
inline bool FrameFitsDecoderBuffer(size_t frameBytes, int channels) {
    return frameBytes <= kAacDecoderBufferBytes * static_cast<size_t>(channels);
}

class AacEncoder {
public:
    // Nothing when the rate or channel count cannot be coded.
    static std::unique_ptr<AacEncoder> Open(int sampleRate, int channels);
    ~AacEncoder();
    AacEncoder(const AacEncoder&) = delete;
    AacEncoder& operator=(const AacEncoder&) = delete;

    // Samples of all channels together that one Encode call takes (1024 × channels).
    size_t InputSamples() const { return 1024 * static_cast<size_t>(channels_); }
    // The largest frame the encoder can hand out. FFmpeg's encoder does not keep to the
    // decoder buffer of 6144 bits a channel (it lets frames of up to about 780 bytes a
    // channel through at 8000 and 16000 Hz); it never makes a packet larger than 8192
    // bytes a channel. Callers that need FrameFitsDecoderBuffer check each frame.
    size_t MaxOutputBytes() const { return 8192 * static_cast<size_t>(channels_); }

    AacConfiguration CurrentConfiguration() const { return configuration_; }
    // False when the configuration cannot be honoured (version, object type, formats,
    // bit rate or bandwidth out of range, or the library refused it).
    bool SetConfiguration(const AacConfiguration& configuration);

    // The AudioSpecificConfig (2 bytes for AAC-LC); empty when the encoder cannot start.
    std::vector<uint8_t> DecoderSpecificInfo();

    // Codes one frame of interleaved 16-bit samples (at most InputSamples(); a short
    // call is padded with silence, an empty one drains the encoder) into `output`.
    // Returns the bytes written, 0 while the encoder is still filling its look-ahead,
    // -1 on failure (including a frame larger than `output`).
    int Encode(std::span<const int16_t> samples, std::span<uint8_t> output);

    void Close();

private:
    AacEncoder(int sampleRate, int channels);
    bool Start();

    int sampleRate_;
    int channels_;
    AacConfiguration configuration_;
    AVCodecContext* context_ = nullptr;
    AVFrame* frame_ = nullptr;
    AVPacket* packet_ = nullptr;
    std::deque<std::vector<uint8_t>> pending_;
    int64_t nextPts_ = 0;
    bool draining_ = false;
    bool finished_ = false;
};

}  // namespace kvt
