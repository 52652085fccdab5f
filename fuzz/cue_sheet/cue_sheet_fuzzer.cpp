// Any cue sheet text: the parser's answer must hold together, and the same text loaded as
// a disc beside two small BIN files must give tracks inside the disc, in rising order.
#include "input/cd/cue_sheet.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "fuzz/common/scratch_folder.h"
#include "input/cd/track_buffer.h"

namespace {

const std::string& Folder() {
    static const std::string folder = kvt::fuzz::ScratchFolder::Path();
    return folder;
}

void WriteFile(const std::string& path, const void* data, size_t size) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) std::abort();
    if (size > 0) std::fwrite(data, 1, size, file);
    std::fclose(file);
}

void CheckSheet(const kvt::cd::CueSheet& sheet) {
    if (sheet.tracks.empty()) std::abort();
    for (size_t i = 0; i < sheet.tracks.size(); ++i) {
        const kvt::cd::CueTrack& track = sheet.tracks[i];
        if (track.number != static_cast<int>(i) + 1 || track.file >= sheet.files.size()) std::abort();
        if (i > 0 && sheet.tracks[i - 1].file == track.file && sheet.tracks[i - 1].startFrame >= track.startFrame)
            std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // Two images the seeds name: "a.bin" of 300 frames and "b.bin" of 75 and a bit.
    const std::vector<uint8_t> a(300 * kvt::cd::kFrameBytes, 0x11), b(75 * kvt::cd::kFrameBytes + 7, 0x22);
    WriteFile(Folder() + "/a.bin", a.data(), a.size());
    WriteFile(Folder() + "/b.bin", b.data(), b.size());
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const auto parsed = kvt::cd::ParseCueSheet(text);
    if (const auto* sheet = std::get_if<kvt::cd::CueSheet>(&parsed)) {
        CheckSheet(*sheet);
    } else if (std::get<kvt::cd::ImageFault>(parsed).text.empty()) {
        std::abort();  // a refusal always says why
    }

    const std::string cue = Folder() + "/disc.cue";
    WriteFile(cue, data, size);
    const auto loaded = kvt::cd::LoadCueImage(cue);
    const auto* image = std::get_if<std::shared_ptr<kvt::cd::DiscImage>>(&loaded);
    if (!image) return 0;
    const std::shared_ptr<kvt::cd::DiscImage>& disc = *image;
    const std::vector<uint32_t>& starts = disc->TrackStarts();
    if (starts.empty()) std::abort();
    for (size_t i = 0; i < starts.size(); ++i)
        if (starts[i] >= disc->LeadOut() || (i > 0 && starts[i - 1] > starts[i])) std::abort();
    std::vector<uint8_t> frame(kvt::cd::kFrameBytes);
    if (!disc->ReadBytes(int64_t{starts.back()} * kvt::cd::kFrameBytes, kvt::cd::kFrameBytes, frame.data()))
        std::abort();
    return 0;
}
