#pragma once
// The first output the settings ask for (the MLD rows in the grid's order, then the MMF,
// the 3GP and the 3G2 file, as a job makes them), coded from the selected range into a
// file beside a path of the caller's choosing: the window's "hear the handset's version"
// writes it to the temporary folder, never to the saving directory.

#include <string>

#include "convert/loaded_input.h"
#include "convert/settings_store.h"
#include "engine/output_result.h"

namespace kvt {

// Codes the selection of `input` (all of it when START equals END) as the first chosen
// output, named as the job names it but from `basePath` instead of the saving directory
// and the input's name; `outputPath` is set to the file it makes. Refused, with nothing
// shown, when no output is chosen; every other failure has shown its message. The 3GP
// file is coded by the built-in encoder, never the external program.
OutputResult WriteFirstOutput(const LoadedInput& input, const Settings& settings, const std::string& basePath,
                              std::string& outputPath);

}  // namespace kvt
