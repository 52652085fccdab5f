#include "cli/handset_names.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "cli/preset_list.h"
#include "convert/button_grid.h"
#include "engine/mld_preset_table.h"

namespace kvt::cli {
namespace {

TEST(HandsetNames, ModelsLabelsAndPresetCodesReachTheirButton) {
    const struct {
        const char* name;
        const char* button;
    } rows[] = {
        {"D505i", "D503i"},    {"d505is", "D503i"},  {"D505i(iS)", "D503i"}, {"N505iS", "N900i"}, {"p252IS", "P505i"},
        {"SH505iS", "SH900i"}, {"sh505i", "SH505i"}, {"SO505iS", "SO505is"}, {"d1", "D503i"},     {"P1", "P503i"},
        {"93", "D903i"},       {"F705i", "D903i"},   {"LG電子携帯", "LG"},   {"D901i", "F503i"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(FindHandsetCell(row.name), FindHandsetCell(row.button));
        EXPECT_TRUE(FindHandsetCell(row.name).has_value());
    }
    for (const char* unknown : {"", "D505", "X900", "D505i(", "Stereo", "p1s"})
        EXPECT_FALSE(FindHandsetCell(unknown)) << unknown;
}

TEST(HandsetNames, EveryListedModelIsANameOfItsButton) {
    for (const MldHandset& handset : MldHandsets()) {
        const MldPreset& row = MldPresetTable.at(static_cast<size_t>(handset.preset));
        for (const std::string& model : HandsetModels(row.description)) {
            SCOPED_TRACE(model);
            for (const std::string& spelling : ModelSpellings(model))
                EXPECT_EQ(FindHandsetCell(spelling), handset.cell);
        }
    }
}

TEST(HandsetNames, AnUnknownNameGetsNamesThatLookLikeIt) {
    const struct {
        const char* typed;
        const char* expected;
    } rows[] = {{"X900", "N900i"}, {"D505", "D505i"}, {"sh505", "SH505i"}, {"lgx", "LG"}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.typed);
        const std::vector<std::string> closest = ClosestHandsetNames(row.typed, 3);
        EXPECT_EQ(closest.size(), 3u);
        EXPECT_NE(std::find(closest.begin(), closest.end(), row.expected), closest.end());
    }
}

}  // namespace
}  // namespace kvt::cli
