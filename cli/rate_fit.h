#pragma once
// Handsets and the MLD rate: --all leaves out the handsets whose preset refuses the rate,
// and a handset named on its own that refuses it gets a line saying which rates it takes.

#include <map>
#include <string>
#include <vector>

#include "cli/cli_options.h"
#include "convert/settings_store.h"

namespace kvt::cli {

// Turns off the handset cells that --all chose and the grid's rate and channels do not
// fit; returns their labels.
std::vector<std::string> LeaveOutUnfitHandsets(const CliOptions& options, Settings& settings);

// "lg.mld"-style preset file endings ("_lg.mld") of the chosen handsets that refuse the
// rate, each with the line that names the rates the handset takes.
std::map<std::string, std::string> RateRefusals(const Settings& settings);

}  // namespace kvt::cli
