// Any setup.ini read through the settings store: what was read, saved and read again must
// be what was read the first time, every cell and path of it, and nothing may crash.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>

#include "convert/settings_store.h"
#include "fuzz/common/scratch_folder.h"
#include "platform/dialogs.h"
#include "platform/message.h"

namespace {

const std::string& IniPath() {
    static const std::string path = kvt::fuzz::ScratchFolder::Path() + "/setup.ini";
    return path;
}

// A saved directory that is gone opens the folder browser: the user cancels it.
class CancellingDialogs : public kvt::Dialogs {
public:
    std::optional<std::string> OpenFile(const std::string&, const std::string&) override { return std::nullopt; }
    std::optional<std::string> BrowseFolder(const std::string&, const std::string&) override { return std::nullopt; }
    std::optional<std::string> ChooseProgram() override { return std::nullopt; }
};

bool Same(const kvt::Settings& a, const kvt::Settings& b) {
    return a.grid == b.grid && a.savingDirectory == b.savingDirectory && a.mp3DecoderPath == b.mp3DecoderPath &&
           a.externalEncoderPath == b.externalEncoderPath;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    IniPath();
    kvt::SetMessageSink([](const kvt::MessageRequest&) { return kvt::MessageAnswer::Ok; });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static CancellingDialogs dialogs;
    kvt::ScopedDialogs installed(dialogs);
    const std::string& ini = IniPath();
    std::FILE* file = std::fopen(ini.c_str(), "wb");
    if (!file) return 0;
    std::fwrite(data, 1, size, file);
    std::fclose(file);

    kvt::Settings first;
    if (kvt::LoadSettings(first, ini) != 1) std::abort();
    kvt::SaveSettings(first, ini);
    kvt::Settings again;
    if (kvt::LoadSettings(again, ini) != 1 || !Same(first, again)) std::abort();
    return 0;
}
