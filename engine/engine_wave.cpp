// The engine's RIFF/WAVE reader and writer: little-endian, size field after the tag.

#include <algorithm>
#include <limits>
#include <new>

#include "engine/byte_order.h"
#include "engine/engine_file.h"
#include "engine/engine_message.h"
#include "engine/g711.h"
#include "platform/message.h"

namespace kvt {

namespace {

constexpr std::string_view kNoRiffText = "RIFF";
constexpr std::string_view kNoWaveText = "WAVE";
constexpr std::string_view kNoFormatText = "fmt";
constexpr std::string_view kNoDataText = "data";
constexpr uint16_t kFormatPcm = 1;
constexpr uint16_t kFormatALaw = 6;
constexpr uint16_t kFormatMuLaw = 7;
// The PCM record every "fmt " chunk must hold.
constexpr uint32_t kMinimumFormatChunk = 16;
// "RIFF" size "WAVE" "fmt " size, 18-byte format, "data" size.
constexpr uint32_t kWaveHeaderSize = 46;

}  // namespace

bool EngineFile::ReadWave() {
    const auto riff = FindTagFromStart("RIFF");
    if (!riff) {
        ShowMessage(kNoRiffText);
        return false;
    }
    if (!FindTag("WAVE")) {
        ShowMessage(kNoWaveText);
        return false;
    }

    // A chunk shorter than the PCM record, or one that runs past the end of the file,
    // cannot describe the samples.
    if (!FindTagFromStart("fmt ")) {
        ShowMessage(kNoFormatText);
        return false;
    }
    cursor += 4;
    const uint32_t formatLength = ReadU32();
    if (formatLength < kMinimumFormatChunk || formatLength > Remaining()) {
        ShowMessage(kNoFormatText);
        return false;
    }
    // Only the 18-byte block and the 2 bytes after it are kept; the rest is ignored.
    const size_t kept = std::min<size_t>(formatLength, FormatBlock::kSize);
    FormatBlock parsed = FormatBlock::FromBytes(std::span(image).subspan(cursor, kept));

    if (!FindTagFromStart("data")) {
        ShowMessage(kNoDataText);
        return false;
    }
    cursor += 4;
    const bool haveSizeField = Remaining() >= 4;
    const uint32_t length = ReadU32();
    if (!haveSizeField || length > Remaining()) {
        ShowMessage(kNoDataText);
        return false;
    }
    const auto body = std::span(image).subspan(cursor, length);

    if (parsed.formatTag != kFormatPcm && parsed.formatTag != kFormatALaw && parsed.formatTag != kFormatMuLaw) {
        ShowMessage(kNotPcmText);
        return false;
    }

    std::vector<uint8_t> samples;
    try {
        if (parsed.formatTag == kFormatPcm) {
            samples.assign(body.begin(), body.end());
        } else {
            if (length > std::numeric_limits<uint32_t>::max() / 2) {
                ShowMessage(kNoMemoryText);
                return false;
            }
            samples.resize(size_t{length} * 2);
            const bool aLaw = parsed.formatTag == kFormatALaw;
            for (size_t i = 0; i < body.size(); ++i) {
                const int16_t sample = aLaw ? ExpandALaw(body[i]) : ExpandMuLaw(body[i]);
                SetLe16(std::span(samples).subspan(2 * i), static_cast<uint16_t>(sample));
            }
            // The block now holds 16-bit linear PCM: describe it as such, so the byte rate
            // and block align used for durations and frame counts match the samples.
            parsed.formatTag = kFormatPcm;
            parsed.bitsPerSample = 16;
            parsed.blockAlign = static_cast<uint16_t>(parsed.channels * 2);
            parsed.byteRate = parsed.sampleRate * parsed.blockAlign;
        }
    } catch (const std::bad_alloc&) {
        ShowMessage(kNoMemoryText);
        return false;
    }

    format = parsed;
    data = std::move(samples);
    return true;
}

bool EngineFile::LoadWave(const std::string& filePath) {
    if (!Load(filePath)) return false;
    return ReadWave();
}

bool EngineFile::WriteWave(const std::string& filePath) {
    if (data.size() > std::numeric_limits<uint32_t>::max() - kWaveHeaderSize) {
        ShowMessage(kFileSizeText);
        return false;
    }
    const auto dataSize = static_cast<uint32_t>(data.size());
    const uint32_t fileSize = dataSize + kWaveHeaderSize;
    if (!Allocate(fileSize)) return false;
    const auto formatBytes = format.ToBytes();
    WriteTag("RIFF");
    WriteU32(fileSize - 8);  // RIFF size: everything after this field
    WriteTag("WAVE");
    WriteTag("fmt ");
    WriteU32(FormatBlock::kChunkSize);
    WriteBytes(std::span(formatBytes).first(FormatBlock::kChunkSize));
    WriteTag("data");
    WriteU32(dataSize);
    WriteBytes(data);
    return Save(filePath);
}

}  // namespace kvt
