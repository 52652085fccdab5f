#include "convert/first_output.h"

#include <algorithm>
#include <span>

#include "convert/conversion_job.h"
#include "engine/mld_encoder.h"
#include "engine/mld_preset_table.h"
#include "engine/mmf_encoder.h"
#include "iso/encoder_3gp.h"

namespace kvt {

OutputResult WriteFirstOutput(const LoadedInput& input, const Settings& settings, const std::string& basePath,
                              std::string& outputPath) {
    const ButtonGrid& grid = settings.grid;
    JobChoices choices = ReadJobChoices(grid);
    choices.resampler = settings.resampler;
    const PcmRange selection = SelectedRange(input, ReversedSelection::Swap);
    const std::span<const uint8_t> all(input.pcm);
    const size_t end = std::min(selection.offset + selection.length, all.size());
    const size_t start = std::min(selection.offset, end);
    const SourceClip clip(input.inputPath, input.format, all.subspan(start, end - start));

    for (const MldHandset& handset : MldHandsets()) {
        if (!grid.IsOn(kMldPage, handset.cell)) continue;
        const int preset = MldPresetFor(handset, choices.mldChannels, choices.mldRate);
        MldEncoder mld(clip);
        mld.path = basePath;
        mld.resampler = choices.resampler;
        mld.showsSizeMessage = false;  // nothing is saved: the ceiling is the job's to speak of
        mld.SetSizeLimit(choices.mldSizeLimit);
        outputPath = MldOutputPath(basePath, MldPresetTable.at(static_cast<size_t>(preset)).name);
        return mld.WriteMld(preset, choices.mldRate, kJobNormalizeLevel, outputPath);
    }
    if (choices.mmf) {
        MmfEncoder mmf(clip);
        mmf.path = basePath;
        mmf.resampler = choices.resampler;
        outputPath = MmfOutputPath(basePath).value_or(basePath);
        return mmf.WriteMmf(choices.mmfRate, choices.mmfChannels != 1);
    }
    for (const int kind : {1, 2}) {
        if (!(kind == 1 ? choices.make3gp : choices.make3g2)) continue;
        Encoder3gp aac(clip);
        aac.path = basePath;
        std::string noExternal;
        outputPath = Output3gpPath(basePath, kind).value_or(basePath);
        return aac.Write(AacRequest(choices, kind, MldTitleBase(input.inputPath)), noExternal);
    }
    return OutputResult::Refused;
}

}  // namespace kvt
