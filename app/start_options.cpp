#include "app/start_options.h"

#include <filesystem>

#include "platform/paths.h"

namespace kvt {

StartOptions ParseStartOptions(const std::vector<std::string>& arguments) {
    StartOptions options;
    bool optionsEnded = false;
    const std::string cdImageWithValue = std::string(kCdImageOption) + "=";
    for (size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (!optionsEnded && argument == "--")
            optionsEnded = true;
        else if (!optionsEnded && argument == kXdgWorkFolderOption)
            options.xdgWorkFolder = true;
        else if (!optionsEnded && argument == kCdImageOption)
            options.cdImages.push_back(i + 1 < arguments.size() ? arguments[++i] : std::string());
        else if (!optionsEnded && argument.starts_with(cdImageWithValue))
            options.cdImages.push_back(argument.substr(cdImageWithValue.size()));
        else
            options.files.push_back(argument);
    }
    return options;
}

std::optional<std::string> XdgWorkFolder(const char* xdgDataHome, const char* home) {
    if (xdgDataHome != nullptr && xdgDataHome[0] == '/') return JoinPath(xdgDataHome, "kvt");
    if (home != nullptr && home[0] != '\0') return JoinPath(JoinPath(home, ".local/share"), "kvt");
    return std::nullopt;
}

std::optional<std::string> EnterFolder(const std::string& folder) {
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (!error) std::filesystem::current_path(folder, error);
    if (error) return folder + ": " + error.message();
    return std::nullopt;
}

}  // namespace kvt
