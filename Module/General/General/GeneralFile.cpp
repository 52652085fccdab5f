#include "Module/General/General/GeneralFile.h"

#include "Module/General/General/GeneralError.h"
#include "platform/dialogs.h"
#include "platform/files.h"
#include "platform/message.h"
#include "platform/regular_file.h"

namespace kvt {
namespace {

// The path of the first entry a directory search for `name` finds. Only '*' and '?' are
// wildcards, as in a Windows file search: a name without them is looked up as it is, and
// in a pattern '[' is made to match itself.
std::optional<std::string> FirstMatch(std::string_view name) {
    if (name.empty()) return std::nullopt;
    std::string literal(name);
    if (EntryExists(literal)) return literal;
    if (name.find_first_of("*?") == std::string_view::npos) return std::nullopt;

    std::string pattern;
    for (char c : name) {
        if (c == '[')
            pattern += "[[]";
        else
            pattern.push_back(c);
    }
    return FirstPathMatching(pattern);
}

}  // namespace

bool GneFileExists(std::string_view name) {
    return FirstMatch(name).has_value();
}

bool GneCanOpen(std::string_view path) {
    return OpensForReading(std::string(path));
}

uint32_t GneFileSize(std::string_view name) {
    const std::optional<std::string> match = FirstMatch(name);
    if (!match) return 0;
    const PathStatus status = StatusOfPath(*match);
    if (status.kind == PathKind::Missing || status.kind == PathKind::Folder) return 0;
    if (status.size >> 32) ShowGeneralError(kGneErrorFileSize);
    return static_cast<uint32_t>(status.size);
}

int GneReadFile(std::string_view path, std::span<uint8_t> buffer, size_t& count) {
    count = 0;
    const std::string file(path);
    const std::optional<size_t> read = ReadFileStart(file, buffer);
    if (!read) {
        // A read that fails half-way is reported like a file that does not open: the
        // caller must not take a part of the file for all of it.
        ShowMessage(file);
        ShowGeneralError(kGneErrorCannotOpenFile);
        return 0;
    }
    count = *read;
    if (buffer.size() == kGneSuspectReadSize && count == kGneSuspectReadSize) ShowGeneralError(kGneErrorDataTooLarge);
    return 1;
}

int GneOpenFileDialog(const std::string& defaultExtension, const std::string& filter, std::string& destination) {
    auto chosen = CurrentDialogs().OpenFile(defaultExtension, filter);
    if (!chosen) return 0;
    destination = *chosen;
    return 1;
}

}  // namespace kvt
