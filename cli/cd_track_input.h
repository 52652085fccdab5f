#pragma once
// Audio-CD tracks as kvt-convert inputs: "D:\Track02.cda" is ripped into the job's work
// folder first, and "--cd-image D=disc.cue" puts a BIN/CUE image at a drive letter.

#include <optional>
#include <string>

namespace kvt::cli {

class Console;

// Whether "--cd-image" was given `value` in the form LETTER=CUE; the reason when not.
std::optional<std::string> CdImageValueProblem(const std::string& value);

// "D=disc.cue": loads the image and puts a simulated drive holding it at D:. The reason
// when the image cannot be read, else nothing.
std::optional<std::string> MountCdImage(const std::string& letterAndCue);

bool IsCdaPath(const std::string& path);

// Rips the track into `folder` as "TrackNN.wav", its progress on the console's bar. The
// WAV file's path, or nothing after the reason has been shown. Rips run one at a time;
// jobs side by side wait for each other here.
std::optional<std::string> RipCdaInput(const std::string& cdaPath, const std::string& folder, Console& console);

}  // namespace kvt::cli
