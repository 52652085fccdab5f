#include "cli/rate_fit.h"

#include <algorithm>

#include "cli/preset_list.h"
#include "convert/conversion_job.h"
#include "engine/mld_preset_table.h"

namespace kvt::cli {
namespace {

bool TakesRate(int preset, int rate) {
    const MldPreset& row = MldPresetTable.at(static_cast<size_t>(preset));
    switch (rate) {
    case 0: return true;  // the input's own rate: the encoder decides
    case 4000: return row.f04 != 0;
    case 8000: return row.f08 != 0;
    case 16000: return row.f16 != 0;
    case 32000: return row.f32 != 0;
    default: return false;
    }
}

}  // namespace

std::vector<std::string> LeaveOutUnfitHandsets(const CliOptions& options, Settings& settings) {
    std::vector<std::string> left;
    if (!options.allHandsets) return left;
    const JobChoices choices = ReadJobChoices(settings.grid);
    for (const MldHandset& handset : MldHandsets()) {
        bool named = std::count(options.namedMldCells.begin(), options.namedMldCells.end(), handset.cell) > 0;
        if (named || !settings.grid.IsOn(kMldPage, handset.cell)) continue;
        if (TakesRate(MldPresetFor(handset, choices.mldChannels, choices.mldRate), choices.mldRate)) continue;
        settings.grid.At(kMldPage, handset.cell) = kCellOff;
        left.emplace_back(handset.label);
    }
    return left;
}

std::map<std::string, std::string> RateRefusals(const Settings& settings) {
    std::map<std::string, std::string> refusals;
    const JobChoices choices = ReadJobChoices(settings.grid);
    for (const MldHandset& handset : MldHandsets()) {
        if (!settings.grid.IsOn(kMldPage, handset.cell)) continue;
        int preset = MldPresetFor(handset, choices.mldChannels, choices.mldRate);
        if (TakesRate(preset, choices.mldRate)) continue;
        std::string name(MldPresetTable.at(static_cast<size_t>(preset)).name);
        refusals["_" + name + ".mld"] = std::string(handset.label) + " (" + name + ") takes " + AllowedRates(preset) +
                                        " Hz, not " + std::to_string(choices.mldRate) + " (see --mld-rate)";
    }
    return refusals;
}

}  // namespace kvt::cli
