#pragma once
// Reads an MMF file image back chunk by chunk for the tests: every length field must
// frame its chunk exactly, and the stored CRC must match the bytes before it.

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "engine/byte_order.h"
#include "engine/crc16.h"
#include "platform/temp_folder.h"

namespace kvt::testing {

struct MmfParts {
    uint32_t mmmdLength = 0;
    std::span<const uint8_t> cnti, opda, trackHead, mtsu, mtsq;
    uint8_t trackType = 0;  // byte after "MTR"
    uint8_t waveType = 0;
    uint16_t sampleRate = 0;
    std::span<const uint8_t> wave;
    uint16_t storedCrc = 0;
    uint16_t computedCrc = 0;
};

// Walks `bytes` as tag + u32 length + content; records a failure and returns nothing when
// a tag or a length is wrong.
class ChunkReader {
public:
    explicit ChunkReader(std::span<const uint8_t> bytes) : bytes_(bytes) {}

    std::optional<std::span<const uint8_t>> Next(std::string_view tag) {
        if (bytes_.size() - at_ < 8) {
            ADD_FAILURE() << "no room for chunk " << tag << " at " << at_;
            return std::nullopt;
        }
        const std::string found(reinterpret_cast<const char*>(&bytes_[at_]), 4);
        if (found.compare(0, tag.size(), tag) != 0) {
            ADD_FAILURE() << "expected " << tag << " at " << at_ << ", found " << found;
            return std::nullopt;
        }
        const uint32_t length = GetBe32(bytes_.subspan(at_ + 4));
        if (length > bytes_.size() - at_ - 8) {
            ADD_FAILURE() << tag << " length " << length << " runs past its parent";
            return std::nullopt;
        }
        lastTagByte_ = bytes_[at_ + 3];
        auto content = bytes_.subspan(at_ + 8, length);
        at_ += 8 + length;
        return content;
    }
    uint8_t LastTagByte() const { return lastTagByte_; }
    size_t Remaining() const { return bytes_.size() - at_; }

private:
    std::span<const uint8_t> bytes_;
    size_t at_ = 0;
    uint8_t lastTagByte_ = 0;
};

inline std::optional<MmfParts> ParseMmf(std::span<const uint8_t> file) {
    MmfParts parts;
    ChunkReader top(file);
    auto mmmd = top.Next("MMMD");
    if (!mmmd) return std::nullopt;
    parts.mmmdLength = static_cast<uint32_t>(mmmd->size());
    if (top.Remaining() != 2 || file[file.size() - 2] != 0x1D || file[file.size() - 1] != 0x0F) {
        ADD_FAILURE() << "MMMD must be followed by exactly 1D 0F";
        return std::nullopt;
    }
    if (mmmd->size() < 2) return std::nullopt;
    const size_t crcAt = 8 + mmmd->size() - 2;
    parts.storedCrc = GetBe16(file.subspan(crcAt));
    parts.computedCrc = Crc16(file.first(crcAt));

    ChunkReader inner(mmmd->first(mmmd->size() - 2));
    auto cnti = inner.Next("CNTI");
    auto opda = cnti ? inner.Next("OPDA") : std::nullopt;
    auto mtr = opda ? inner.Next("MTR") : std::nullopt;
    if (!mtr) return std::nullopt;
    if (inner.Remaining() != 0) {
        ADD_FAILURE() << inner.Remaining() << " stray bytes after the track";
        return std::nullopt;
    }
    parts.cnti = *cnti;
    parts.opda = *opda;
    parts.trackType = inner.LastTagByte();
    if (mtr->size() < 20) return std::nullopt;
    parts.trackHead = mtr->first(20);

    ChunkReader track(mtr->subspan(20));
    auto mtsu = track.Next("Mtsu");
    auto mtsq = mtsu ? track.Next("Mtsq") : std::nullopt;
    auto mtsp = mtsq ? track.Next("Mtsp") : std::nullopt;
    if (!mtsp) return std::nullopt;
    if (track.Remaining() != 0) {
        ADD_FAILURE() << track.Remaining() << " stray bytes in the track";
        return std::nullopt;
    }
    parts.mtsu = *mtsu;
    parts.mtsq = *mtsq;

    ChunkReader stream(*mtsp);
    auto mwa = stream.Next("Mwa");
    if (!mwa || stream.Remaining() != 0 || mwa->size() < 3 || stream.LastTagByte() != 0x01) {
        ADD_FAILURE() << "Mtsp must hold exactly one wave, number 1, with its 3-byte head";
        return std::nullopt;
    }
    parts.waveType = (*mwa)[0];
    parts.sampleRate = GetBe16(mwa->subspan(1));
    parts.wave = mwa->subspan(3);
    return parts;
}

}  // namespace kvt::testing
