#include "engine/mld_track_file.h"

#include <limits>

#include "engine/byte_order.h"
#include "engine/engine_message.h"
#include "engine/mld_header.h"
#include "platform/message.h"

namespace kvt {

void PutMldEvent(std::vector<uint8_t>& out, uint8_t delta, uint8_t b1, uint8_t b2, uint8_t b3) {
    out.insert(out.end(), {delta, b1, b2, b3});
}

MldFile BuildMldTrackFile(uint8_t headerA, std::string_view title, std::string_view version, bool note,
                          std::span<const uint8_t> track) {
    std::vector<uint8_t> file;
    PutMldFileHeader(file, headerA, 1, 1);
    PutMldU8Chunk(file, "sorc", 0);
    PutMldTextChunk(file, "titl", title);
    PutMldTextChunk(file, "vers", version);
    if (note) PutMldU16Chunk(file, "note", 1);
    SetMldHeaderLength(file);
    if (file.size() + 8 + track.size() > std::numeric_limits<uint32_t>::max()) {
        ShowMessage(kFileTooLargeText);
        return std::nullopt;
    }
    PutText(file, "trac");
    PutBe32(file, static_cast<uint32_t>(track.size()));
    PutBytes(file, track);
    SetMldFileLength(file);
    return file;
}

}  // namespace kvt
