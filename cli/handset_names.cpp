#include "cli/handset_names.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <numeric>

#include "cli/preset_list.h"
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

size_t EditDistance(const std::string& a, const std::string& b) {
    std::vector<size_t> row(b.size() + 1);
    std::iota(row.begin(), row.end(), size_t{0});
    for (size_t i = 1; i <= a.size(); ++i) {
        size_t diagonal = row[0];
        row[0] = i;
        for (size_t j = 1; j <= b.size(); ++j) {
            const size_t above = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
            diagonal = above;
        }
    }
    return row[b.size()];
}

std::vector<HandsetName> CollectNames() {
    // Lower-case name -> the name as written and its cell; -1 once two buttons claim it.
    std::map<std::string, HandsetName> byKey;
    std::vector<std::string> order;
    auto add = [&](const std::string& name, int cell) {
        const std::string key = Lower(name);
        auto [at, inserted] = byKey.try_emplace(key, HandsetName{name, cell});
        if (inserted)
            order.push_back(key);
        else if (at->second.cell != cell)
            at->second.cell = -1;
    };
    for (const MldHandset& handset : MldHandsets()) {
        add(std::string(handset.label), handset.cell);
        add(std::string(handset.presetName), handset.cell);
        const MldPreset& row = MldPresetTable.at(static_cast<size_t>(handset.preset));
        for (const std::string& model : HandsetModels(row.description))
            for (const std::string& spelling : ModelSpellings(model)) add(spelling, handset.cell);
    }
    std::vector<HandsetName> names;
    for (const std::string& key : order)
        if (byKey[key].cell >= 0) names.push_back(byKey[key]);
    return names;
}

}  // namespace

std::vector<std::string> ModelSpellings(const std::string& model) {
    const size_t open = model.find('(');
    if (open == std::string::npos || open == 0 || !model.ends_with(')')) return {model};
    const std::string base = model.substr(0, open);
    const std::string variant = model.substr(open + 1, model.size() - open - 2);
    size_t overlap = std::min(base.size(), variant.size());
    while (overlap > 0 && base.compare(base.size() - overlap, overlap, variant, 0, overlap) != 0) --overlap;
    return {model, base, base + variant.substr(overlap)};
}

const std::vector<HandsetName>& HandsetNames() {
    static const std::vector<HandsetName> names = CollectNames();
    return names;
}

std::optional<int> FindHandsetCell(std::string_view name) {
    const std::string wanted = Lower(name);
    for (const HandsetName& known : HandsetNames())
        if (Lower(known.name) == wanted) return known.cell;
    return std::nullopt;
}

std::vector<std::string> ClosestHandsetNames(std::string_view name, size_t count) {
    const std::string wanted = Lower(name);
    // Changes per letter of the longer name: a short preset code is not near everything.
    std::vector<std::pair<double, std::string>> ranked;
    for (const HandsetName& known : HandsetNames()) {
        const std::string key = Lower(known.name);
        const double length = static_cast<double>(std::max(key.size(), wanted.size()));
        ranked.emplace_back(static_cast<double>(EditDistance(wanted, key)) / std::max(length, 1.0), known.name);
    }
    std::stable_sort(ranked.begin(), ranked.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<std::string> closest;
    for (size_t i = 0; i < ranked.size() && i < count; ++i) closest.push_back(ranked[i].second);
    return closest;
}

}  // namespace kvt::cli
