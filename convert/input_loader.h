#pragma once
// Loading an input file into 16-bit PCM, shared by the main window and kvt-convert:
// the extension picks how it is read (a WAV file as it is; WMA, MP3, FLAC, M4A, Ogg, Opus
// and AIFF decoded in-process into memory; MP3 through the user's decoder program when one
// is chosen), WaveFile brings it to 16 bits, the scratch file "tempkvt.wav" gets a copy
// when asked, and the samples become the loaded input.

#include <string>
#include <string_view>

#include "convert/loaded_input.h"
#include "convert/settings_store.h"

namespace kvt {

inline constexpr std::string_view kCannotConvertText = "このファイルは変換できません。";

// workFolder + "/tempkvt.wav": the 16-bit copy of the whole input.
std::string ScratchWavPath(const std::string& workFolder);
// workFolder + "/sample.wav": where the external MP3 decoder program writes its WAV file; removed by
// the load that wrote it, once its samples are read (or the load failed). A "sample.wav"
// no load wrote (the user's own, in the folder the program was started in) is left alone.
std::string DecodedWavPath(const std::string& workFolder);

// Removes "tempkvt.wav" from `workFolder`: at the end of a run, and at its start the one a
// crashed run left behind.
void RemoveScratchWav(const std::string& workFolder);

// Loads `path` into `input`: true when loaded, with the selection set to the whole input.
// Every failure has shown its message; the previous input then stays loaded (and keeps
// its path), except after an allocation failure, which leaves nothing loaded. May set or
// clear settings.mp3DecoderPath.
// How a front end wants its inputs loaded.
struct LoadOptions {
    // An MP3 input with no decoder program chosen is decoded in-process; when that finds
    // no audio, the window asks the user for a decoder program (kvt-convert, which has no
    // one to ask, shows the decoder's message).
    bool askForMp3Decoder = true;
    // Writes the 16-bit copy of the input to ScratchWavPath (the window: the external AAC
    // encoder path needs it there); kvt-convert asks for it only when that path will run.
    bool writeScratchFile = true;
};

bool LoadInputFile(const std::string& path, LoadedInput& input, Settings& settings, const LoadOptions& options = {});

}  // namespace kvt
