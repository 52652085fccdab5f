#include "check/ringtone_check.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <string_view>
#include <vector>

#include "check/file_3gp_reader.h"
#include "check/mld_reader.h"
#include "check/mmf_reader.h"
#include "platform/paths.h"
#include "platform/regular_file.h"

namespace kvt {
namespace {

// Larger than any ringtone a handset takes: such a file is refused unread.
constexpr uint64_t kLargestFile = 64u << 20;

// The file name's extension without its ".", in lower case.
std::string Extension(const std::string& name) {
    const size_t stem = PathWithoutExtension(name).size();
    std::string extension = stem < name.size() ? name.substr(stem + 1) : std::string();
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return extension;
}

bool StartsWith(std::span<const uint8_t> bytes, size_t at, std::string_view text) {
    return bytes.size() >= at + text.size() &&
           std::equal(text.begin(), text.end(), reinterpret_cast<const char*>(bytes.data()) + at);
}

CheckReport Unreadable(std::string found, std::string expected) {
    CheckReport report;
    report.Problem("file", std::move(found), std::move(expected));
    return report;
}

}  // namespace

CheckReport CheckRingtoneBytes(std::span<const uint8_t> bytes, const std::string& name) {
    CheckReport report;
    if (StartsWith(bytes, 0, "melo")) {
        report = ReadMld(bytes);
    } else if (StartsWith(bytes, 0, "MMMD")) {
        report = ReadMmf(bytes);
    } else if (StartsWith(bytes, 4, "ftyp")) {
        report = ReadFile3gp(bytes);
    } else {
        const size_t shown = std::min<size_t>(bytes.size(), 8);
        return Unreadable(bytes.empty()
                              ? "an empty file"
                              : std::to_string(bytes.size()) + " bytes starting " + TagText(bytes.first(shown)),
                          "an MLD, MMF, 3GP or 3G2 file");
    }
    std::string wanted = report.format;
    std::transform(wanted.begin(), wanted.end(), wanted.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    const std::string extension = Extension(name);
    if (extension != wanted)
        report.Problem("file name extension", "'." + extension + "'", "'." + wanted + "' for this content");
    return report;
}

CheckReport CheckRingtoneFile(const std::string& path) {
    const RegularFile file(path);
    switch (file.Check()) {
    case FileCheck::Missing: return Unreadable("no such file", "a readable file");
    case FileCheck::NotRegular: return Unreadable("not a regular file", "a readable file");
    case FileCheck::Regular: break;
    }
    if (file.Size() > kLargestFile)
        return Unreadable(std::to_string(file.Size()) + " bytes", "at most " + std::to_string(kLargestFile) + " bytes");
    std::vector<uint8_t> bytes;
    if (!file.ReadAll(bytes))
        return Unreadable(std::string("a read error: ") + std::strerror(errno), "a readable file");
    return CheckRingtoneBytes(bytes, path);
}

}  // namespace kvt
