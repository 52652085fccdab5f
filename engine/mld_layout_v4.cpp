// Version "0400" MLD layout, written through ChunkBuilder.

#include "engine/chunk_builder.h"
#include "engine/engine_message.h"
#include "engine/mld_layout.h"
#include "platform/message.h"

namespace kvt {

MldFile BuildMldV4Layout(const MldPreset& /*row*/, std::string_view title, std::span<const uint8_t> stream,
                         uint32_t sampleRate, uint32_t ticks, bool stereo) {
    ChunkBuilder builder;
    bool header = builder.PutFileHeader(1, 1, 1) && builder.PutByteChunk("sorc", 0) &&
                  builder.PutTextChunk("titl", title) && builder.PutTextChunk("vers", "0400") &&
                  builder.PutU16Chunk("note", 1) && builder.PutU16Chunk("exst", 1) && builder.PutAinf(sampleRate);
    if (!header) return std::nullopt;  // a title of at most 255 bytes always fits
    builder.SetHeaderLength();

    // A stream that leaves no room for the track chunk in the builder cannot make a
    // playable file: refuse it rather than write one without its audio.
    constexpr size_t kAdatOverhead = 8 + ChunkBuilder::kAdatHeadSize;
    constexpr size_t kTracSize = 8 + ChunkBuilder::kTracBodySize;
    if (stream.size() > builder.Room() || builder.Room() - stream.size() < kAdatOverhead + kTracSize) {
        ShowMessage(kFileTooLargeText);
        return std::nullopt;
    }
    if (!builder.PutAdat(stream, sampleRate, stereo) || !builder.PutTrac(ticks)) return std::nullopt;
    builder.SetFileLength();
    const auto written = builder.Written();
    return std::vector<uint8_t>(written.begin(), written.end());
}

}  // namespace kvt
