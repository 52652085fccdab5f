#include "cli/preset_list.h"

#include <algorithm>
#include <cctype>

#include "convert/button_grid.h"
#include "engine/mld_preset_table.h"

namespace kvt::cli {
namespace {

std::string Lower(std::string_view text) {
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return lower;
}

std::string FamilyOf(const std::string& model) {
    size_t letters = 0;
    while (letters < model.size() && std::isalpha(static_cast<unsigned char>(model[letters]))) ++letters;
    return model.substr(0, letters == 0 ? model.size() : letters);
}

}  // namespace

// Items are separated by commas and blanks.
std::vector<std::string> HandsetModels(std::string_view description) {
    std::vector<std::string> models;
    std::string item;
    auto flush = [&] {
        if (!item.empty() && item != "Stereo") {
            bool seen = std::any_of(models.begin(), models.end(),
                                    [&](const std::string& model) { return Lower(model) == Lower(item); });
            if (!seen) models.push_back(item);
        }
        item.clear();
    };
    for (char c : description) {
        if (c == ',' || c == ' ')
            flush();
        else
            item.push_back(c);
    }
    flush();
    return models;
}

std::vector<std::string> HandsetFamilies(std::string_view description) {
    std::vector<std::string> families;
    std::vector<std::string> lines;
    for (const std::string& model : HandsetModels(description)) {
        std::string family = FamilyOf(model);
        auto found = std::find(families.begin(), families.end(), family);
        if (found == families.end()) {
            families.push_back(family);
            lines.push_back(family + ":");
            found = families.end() - 1;
        }
        lines[static_cast<size_t>(found - families.begin())] += " " + model;
    }
    return lines;
}

std::string AllowedRates(int preset) {
    const MldPreset& row = MldPresetTable.at(static_cast<size_t>(preset));
    const std::pair<int32_t, const char*> flags[] = {
        {row.f04, "4000"}, {row.f08, "8000"}, {row.f16, "16000"}, {row.f32, "32000"}};
    std::string rates;
    for (auto [allowed, rate] : flags)
        if (allowed) rates += (rates.empty() ? "" : ", ") + std::string(rate);
    return rates;
}

void PrintPresets(std::FILE* out) {
    for (const MldHandset& handset : MldHandsets()) {
        std::string line = std::string(handset.label) + ": preset " + std::string(handset.presetName) + " (" +
                           AllowedRates(handset.preset) + " Hz)";
        if (handset.stereoPreset)
            line += ", stereo " + std::string(handset.stereoPresetName) + " (" + AllowedRates(handset.stereoPreset) +
                    " Hz)";
        std::fprintf(out, "%s\n", line.c_str());
        const MldPreset& row = MldPresetTable.at(static_cast<size_t>(handset.preset));
        for (const std::string& family : HandsetFamilies(row.description))
            std::fprintf(out, "    %s\n", family.c_str());
    }
}

}  // namespace kvt::cli
