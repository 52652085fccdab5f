#include "convert/input_kinds.h"

#include <algorithm>
#include <array>

#include "Module/General/General/GeneralFile.h"

namespace kvt {
namespace {

constexpr std::array<InputKind, 12> kInputKinds = {{
    {"wav", InputReader::Wave},
    {"wma", InputReader::Decoder},
    {"mp3", InputReader::Mp3},
    {"flac", InputReader::Decoder},
    {"m4a", InputReader::Decoder},  // AAC or ALAC in MP4
    {"mp4", InputReader::Decoder},  // a phone's video: its first audio stream
    {"ogg", InputReader::Decoder},  // Vorbis, Opus or FLAC in Ogg
    {"oga", InputReader::Decoder},
    {"opus", InputReader::Decoder},
    {"aif", InputReader::Decoder},
    {"aiff", InputReader::Decoder},
    {"aifc", InputReader::Decoder},
}};

// The scratch copy a CD rip leaves in the temporary folder.
constexpr std::string_view kRippedTrackExtension = "tmp";

}  // namespace

std::span<const InputKind> InputKinds() {
    return kInputKinds;
}

InputReader ReaderForPath(std::string_view path) {
    const std::string extension = GneGetExtension(GneGetFileName(path));
    if (extension == kRippedTrackExtension) return InputReader::Wave;
    auto kind = std::find_if(kInputKinds.begin(), kInputKinds.end(),
                             [&](const InputKind& k) { return k.extension == extension; });
    return kind == kInputKinds.end() ? InputReader::Unknown : kind->reader;
}

std::string InputPatterns(std::string_view separator) {
    std::string patterns;
    for (const InputKind& kind : kInputKinds) {
        if (!patterns.empty()) patterns += separator;
        patterns += "*.";
        patterns += kind.extension;
    }
    return patterns;
}

}  // namespace kvt
