#include "Module/General/General/GeneralError.h"
#include "Module/General/General/GeneralFile.h"

#include "platform/codepage.h"
#include "platform/paths.h"

#include <optional>

namespace kvt {
namespace {

// A Windows path with a drive letter ("C:\music\a.wav", "D:\Track01.cda"). Only there
// does '\' separate: on Linux it is an ordinary character of a file name ("live\take1.wav").
bool IsDriveLetterPath(std::string_view path) {
    return path.size() >= 3 && ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z')) &&
           path[1] == ':' && path[2] == '\\';
}

// Whether the byte at `i` separates path elements. A '\' right after a lead byte is that
// character's second byte, unless the lead byte itself completes an earlier character.
bool IsSeparatorAt(std::string_view path, size_t i) {
    char c = path[i];
    if (c == '/') return true;
    if (c != '\\' || i == 0 || !IsDriveLetterPath(path)) return false;
    auto lead = [&](size_t at) { return IsDbcsLeadByte(static_cast<unsigned char>(path[at])); };
    return !lead(i - 1) || (i >= 2 && lead(i - 2));
}

// Index (>= 1) of the last separator.
std::optional<size_t> LastSeparator(std::string_view path) {
    for (size_t i = path.size(); i-- > 1;)
        if (IsSeparatorAt(path, i)) return i;
    return std::nullopt;
}

// Index of the last '.' after the last separator ('.' is never a second byte in CP932).
std::optional<size_t> ExtensionDot(std::string_view path) {
    size_t dot = path.rfind('.');
    if (dot == std::string_view::npos) return std::nullopt;
    if (auto separator = LastSeparator(path); separator && *separator > dot) return std::nullopt;
    return dot;
}

}  // namespace

std::string GneGetFolder(std::string_view path) {
    if (auto separator = LastSeparator(path)) return std::string(path.substr(0, *separator));
    if (!path.empty() && path[0] == '/') return "/";
    std::optional<std::string> current = CurrentFolderPath();
    if (!current) {
        ShowGeneralError(kGneErrorNoCurrentDirectory);
        return {};
    }
    return *current;
}

std::string GneGetFileName(std::string_view path) {
    if (auto separator = LastSeparator(path)) return std::string(path.substr(*separator + 1));
    if (!path.empty() && path[0] == '/') return std::string(path.substr(1));
    return std::string(path);
}

void GneCutExtension(std::string& name) {
    if (auto dot = ExtensionDot(name)) name.resize(*dot);
}

std::string GneGetExtension(std::string_view path) {
    auto dot = ExtensionDot(path);
    std::string extension(dot ? path.substr(*dot + 1) : path);
    for (char& c : extension)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return extension;
}

}  // namespace kvt
