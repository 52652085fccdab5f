// Any INI text: writing one key must give that key back and leave every other key's
// value as it was, and must not crash on the way.
#include "platform/profile.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "fuzz/common/scratch_folder.h"

namespace {

const std::string& IniPath() {
    static const std::string path = kvt::fuzz::ScratchFolder::Path() + "/setup.ini";
    return path;
}

constexpr const char* kSections[] = {"kvt", "KVT", "other"};
constexpr const char* kProbes[] = {"a", "B", "directory", "mp3", "button001", ""};

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    IniPath();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string& ini = IniPath();
    std::FILE* file = std::fopen(ini.c_str(), "wb");
    if (!file) return 0;
    std::fwrite(data, 1, size, file);
    std::fclose(file);

    std::string before[3][6];
    for (int s = 0; s < 3; ++s)
        for (int k = 0; k < 6; ++k) before[s][k] = kvt::ReadProfileString(kSections[s], kProbes[k], "?", ini);
    (void)kvt::ReadProfileInt("kvt", "button000", 5, ini);

    const std::string value = size > 0 && data[0] % 2 ? " quoted \"value\" " : "7";
    if (!kvt::WriteProfileString("kvt", "button000", value, ini)) std::abort();
    if (kvt::ReadProfileString("Kvt", "BUTTON000", "?", ini) != value) std::abort();
    for (int s = 0; s < 3; ++s)
        for (int k = 0; k < 6; ++k)
            if (kvt::ReadProfileString(kSections[s], kProbes[k], "?", ini) != before[s][k]) std::abort();
    return 0;
}
