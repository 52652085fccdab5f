#include "cli/preset_list.h"

#include <gtest/gtest.h>

namespace kvt::cli {
namespace {

TEST(PresetList, StoredHandsetTextsAreTidiedIntoFamilies) {
    struct Case {
        std::string_view description;
        std::vector<std::string> families;
    };
    const Case cases[] = {
        {"SH900i,SH901iC,SH506ic,SO903i,,SO902i,SH506iC", {"SH: SH900i SH901iC SH506ic", "SO: SO903i SO902i"}},
        {"F904i, F905i ,F704i,SO703i SO704i F705i", {"F: F904i F905i F704i F705i", "SO: SO703i SO704i"}},
        {"N251i, N505i(iS), N901iC Stereo", {"N: N251i N505i(iS) N901iC"}},
        {"LG電子携帯", {"LG: LG電子携帯"}},
        {"", {}},
        {" , ,", {}},
    };
    for (const Case& c : cases) EXPECT_EQ(HandsetFamilies(c.description), c.families) << c.description;
}

}  // namespace
}  // namespace kvt::cli
