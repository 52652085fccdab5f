#pragma once
// The kinds of input file both front ends take, by extension, and how each is read: the
// open dialog's filter, the drop, kvt-convert's check and the loader all read this table.

#include <span>
#include <string>
#include <string_view>

namespace kvt {

enum class InputReader {
    Wave,     // read as it is (a ".wav" that is not RIFF is decoded by what it really is)
    Mp3,      // in-process, or by the user's decoder program when one is chosen
    Decoder,  // in-process FFmpeg decoding, as WMA
    Unknown,  // not an input kind the loader takes
};

struct InputKind {
    std::string_view extension;  // lower case, without the dot
    InputReader reader;
};

// Every extension the loader reads; the first three are the historical WAV, WMA and MP3.
std::span<const InputKind> InputKinds();

// How a file with this name is read; Unknown for an extension the loader does not take.
// The extension is compared without regard to case; "tmp" (a ripped CD track) is WAV.
InputReader ReaderForPath(std::string_view path);

// The extensions of InputKinds() as "*.wav *.wma *.mp3 ...", separated by `separator`.
std::string InputPatterns(std::string_view separator);

}  // namespace kvt
