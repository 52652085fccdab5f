#include "app/start_options.h"

#include <array>
#include <filesystem>
#include <string_view>

#include "platform/paths.h"

namespace kvt {
namespace {

struct QtOption {
    std::string_view name;
    bool takesValue;
};

// The options QGuiApplication and QApplication take out of the command line themselves.
constexpr std::array kQtOptions = {
    QtOption{"-platform", true},        QtOption{"-platformpluginpath", true},
    QtOption{"-platformtheme", true},   QtOption{"-plugin", true},
    QtOption{"-display", true},         QtOption{"-geometry", true},
    QtOption{"-qwindowgeometry", true}, QtOption{"-qwindowtitle", true},
    QtOption{"-qwindowicon", true},     QtOption{"-style", true},
    QtOption{"-stylesheet", true},      QtOption{"-session", true},
    QtOption{"-reverse", false},        QtOption{"-widgetcount", false},
    QtOption{"-nograb", false},         QtOption{"-dograb", false},
};

const QtOption* FindQtOption(std::string_view argument) {
    // Qt takes its options with one dash or two.
    if (argument.starts_with("--")) argument.remove_prefix(1);
    for (const QtOption& option : kQtOptions) {
        if (argument == option.name) return &option;
    }
    return nullptr;
}

}  // namespace

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
        else if (!optionsEnded && (argument == "--help" || argument == "-h"))
            options.help = true;
        else if (!optionsEnded && argument == "--version")
            options.version = true;
        else if (const QtOption* qt = optionsEnded ? nullptr : FindQtOption(argument)) {
            if (qt->name == "-platform") options.platformOption = true;
            if (qt->takesValue) ++i;
        } else if (!optionsEnded && argument.size() > 1 && argument[0] == '-') {
            if (options.unknownOption.empty()) options.unknownOption = argument;
        } else
            options.files.push_back(argument);
    }
    return options;
}

bool HasGraphicalSession(const StartOptions& options, const char* qpaPlatform, const char* display,
                         const char* waylandDisplay) {
    auto set = [](const char* value) { return value != nullptr && value[0] != '\0'; };
    return options.platformOption || set(qpaPlatform) || set(display) || set(waylandDisplay);
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
