#include "platform/profile.h"

#include "platform/paths.h"

#include <fcntl.h>
#include <strings.h>
#include <unistd.h>
#include <cerrno>
#include <cstdint>
#include <mutex>
#include <optional>
#include <vector>

namespace kvt {
namespace {

// Read-modify-write of one file must not interleave with another writer in this process.
std::mutex profileMutex;

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";
constexpr std::string_view kBlanks = " \t";

std::string_view Trim(std::string_view text) {
    auto first = text.find_first_not_of(kBlanks);
    if (first == std::string_view::npos) return {};
    auto last = text.find_last_not_of(kBlanks);
    return text.substr(first, last - first + 1);
}

bool SameName(std::string_view a, std::string_view b) {
    return a.size() == b.size() && strncasecmp(a.data(), b.data(), a.size()) == 0;
}

// The whole file; an empty text for a file that does not exist, nothing when it exists
// but cannot be read (a writer must then leave it alone rather than replace it).
std::optional<std::string> ReadBytes(const std::string& path) {
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return errno == ENOENT ? std::optional<std::string>(std::string()) : std::nullopt;
    std::string bytes;
    char buffer[8192];
    for (;;) {
        ssize_t got = read(fd, buffer, sizeof buffer);
        if (got == 0) break;
        if (got < 0) {
            if (errno == EINTR) continue;
            close(fd);
            return std::nullopt;
        }
        bytes.append(buffer, static_cast<size_t>(got));
    }
    close(fd);
    return bytes;
}

// An INI text as lines without their line ends. Every line keeps the end it was read with
// ("\r\n", "\n", a stray "\r" or nothing at the end of the file), so that the lines a
// write does not touch go back byte for byte; lines the writer adds take the end style of
// the first line.
struct ProfileText {
    std::string bom;
    std::string lineEnd = "\n";
    std::vector<std::string> lines;
    std::vector<std::string> ends;

    explicit ProfileText(std::string_view bytes) {
        if (bytes.substr(0, kUtf8Bom.size()) == kUtf8Bom) {
            bom = kUtf8Bom;
            bytes.remove_prefix(kUtf8Bom.size());
        }
        while (!bytes.empty()) {
            auto newline = bytes.find('\n');
            std::string_view line = bytes.substr(0, newline);
            size_t endStart = line.size();
            if (!line.empty() && line.back() == '\r') --endStart;
            lines.emplace_back(line.substr(0, endStart));
            ends.emplace_back(bytes.substr(
                endStart, newline == std::string_view::npos ? line.size() - endStart : newline + 1 - endStart));
            if (newline == std::string_view::npos) break;
            bytes.remove_prefix(newline + 1);
        }
        if (!ends.empty() && ends.front() == "\r\n") lineEnd = "\r\n";
    }

    void Insert(size_t at, std::string line) {
        // The line before a new last line needs an end of its own.
        if (at == lines.size() && !ends.empty() && ends.back().find('\n') == std::string::npos)
            ends.back() += ends.back().empty() ? lineEnd : "\n";
        lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(at), std::move(line));
        ends.insert(ends.begin() + static_cast<std::ptrdiff_t>(at), lineEnd);
    }

    std::string Bytes() const {
        std::string bytes = bom;
        for (size_t i = 0; i < lines.size(); ++i) bytes += lines[i] + ends[i];
        return bytes;
    }
};

// "[name]" (blanks allowed around and inside the brackets) gives the name.
std::optional<std::string_view> SectionOf(std::string_view line) {
    line = Trim(line);
    if (line.empty() || line.front() != '[') return std::nullopt;
    auto close = line.rfind(']');
    if (close == std::string_view::npos) return std::nullopt;
    return Trim(line.substr(1, close - 1));
}

struct Entry {
    std::string_view key;
    std::string_view value;
};

// "key = value"; comments (';') and lines without '=' are no entries.
std::optional<Entry> EntryOf(std::string_view line) {
    std::string_view trimmed = Trim(line);
    if (trimmed.empty() || trimmed.front() == ';' || trimmed.front() == '[') return std::nullopt;
    auto equals = trimmed.find('=');
    if (equals == std::string_view::npos) return std::nullopt;
    std::string_view key = Trim(trimmed.substr(0, equals));
    if (key.empty()) return std::nullopt;
    return Entry{key, Trim(trimmed.substr(equals + 1))};
}

// Where a key of a section stands, or where a new one would go.
struct Location {
    std::optional<size_t> entryLine;   // the first line holding the key
    std::optional<size_t> sectionEnd;  // after the last non-blank line of the last such section
};

Location Find(const ProfileText& text, std::string_view section, std::string_view key) {
    Location location;
    bool inSection = false;
    for (size_t i = 0; i < text.lines.size(); ++i) {
        const std::string& line = text.lines[i];
        if (auto name = SectionOf(line)) {
            inSection = SameName(*name, section);
            if (inSection) location.sectionEnd = i + 1;
            continue;
        }
        if (!inSection) continue;
        if (!Trim(line).empty()) location.sectionEnd = i + 1;
        if (location.entryLine) continue;
        if (auto entry = EntryOf(line); entry && SameName(entry->key, key)) location.entryLine = i;
    }
    return location;
}

// As the Windows reader: a value in matching single or double quotes loses them.
std::string Unquote(std::string_view value) {
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
        value = value.substr(1, value.size() - 2);
    return std::string(value);
}

// The text after '=' that reads back as `value`: blanks at either end or a value in
// matching quotes would be lost by the reader, so such a value is put in double quotes.
std::string Stored(const std::string& value) {
    if (Trim(value) == value && Unquote(value) == value) return value;
    return "\"" + value + "\"";
}

bool HasLineBreak(std::string_view text) {
    return text.find_first_of("\r\n") != std::string_view::npos;
}

enum class Change { Unchanged, Changed, Refused };

// Sets one key in the text: in place, at the end of its section, or in a new section at
// the end of the file.
Change Apply(ProfileText& text, const std::string& section, const std::string& key, const std::string& value) {
    std::string_view sectionName = Trim(section);
    std::string_view keyName = Trim(key);
    // A line break in any of them would end the line early and plant text of its own in
    // the file (a folder name on Linux may hold one); such a write is refused.
    if (sectionName.empty() || keyName.empty() || HasLineBreak(section) || HasLineBreak(key) || HasLineBreak(value) ||
        sectionName.find(']') != std::string_view::npos || keyName.find('=') != std::string_view::npos ||
        keyName.front() == ';' || keyName.front() == '[')
        return Change::Refused;

    Location location = Find(text, sectionName, keyName);
    if (location.entryLine) {
        std::string& line = text.lines[*location.entryLine];
        std::string replaced = std::string(EntryOf(line)->key) + "=" + Stored(value);
        if (replaced == line) return Change::Unchanged;
        line = std::move(replaced);
    } else if (location.sectionEnd) {
        text.Insert(*location.sectionEnd, std::string(keyName) + "=" + Stored(value));
    } else {
        if (!text.lines.empty() && !Trim(text.lines.back()).empty()) text.Insert(text.lines.size(), "");
        text.Insert(text.lines.size(), "[" + std::string(sectionName) + "]");
        text.Insert(text.lines.size(), std::string(keyName) + "=" + Stored(value));
    }
    return Change::Changed;
}

}  // namespace

std::string ReadProfileString(const std::string& section, const std::string& key, const std::string& defaultValue,
                              const std::string& iniPath) {
    std::optional<std::string> bytes;
    {
        std::lock_guard lock(profileMutex);
        bytes = ReadBytes(iniPath);
    }
    if (bytes && !bytes->empty()) {
        ProfileText text(*bytes);
        Location location = Find(text, Trim(section), Trim(key));
        if (location.entryLine) return Unquote(EntryOf(text.lines[*location.entryLine])->value);
    }
    // Windows drops trailing blanks of the default.
    auto last = defaultValue.find_last_not_of(kBlanks);
    return last == std::string::npos ? std::string() : defaultValue.substr(0, last + 1);
}

int ReadProfileInt(const std::string& section, const std::string& key, int defaultValue, const std::string& iniPath) {
    std::string value = ReadProfileString(section, key, "", iniPath);
    if (value.empty()) return defaultValue;
    // Leading decimal digits with an optional sign; anything else after them is ignored and
    // text without digits reads as 0. Too many digits wrap around as in 32-bit arithmetic.
    size_t i = 0;
    bool negative = false;
    if (value[i] == '-' || value[i] == '+') negative = value[i++] == '-';
    uint32_t number = 0;
    for (; i < value.size() && value[i] >= '0' && value[i] <= '9'; ++i)
        number = number * 10u + static_cast<uint32_t>(value[i] - '0');
    if (negative) number = 0u - number;
    return static_cast<int>(number);
}

bool WriteProfileString(const std::string& section, const std::string& key, const std::string& value,
                        const std::string& iniPath) {
    return WriteProfileStrings(section, {{key, value}}, iniPath);
}

bool WriteProfileStrings(const std::string& section, const std::vector<ProfileEntry>& entries,
                         const std::string& iniPath) {
    std::lock_guard lock(profileMutex);
    std::optional<std::string> bytes = ReadBytes(iniPath);
    if (!bytes) return false;
    ProfileText text(*bytes);
    bool allValid = true;
    bool changed = false;
    for (const auto& [key, value] : entries) {
        switch (Apply(text, section, key, value)) {
        case Change::Refused: allValid = false; break;
        case Change::Changed: changed = true; break;
        case Change::Unchanged: break;
        }
    }
    if (changed && !WriteFileAtomically(iniPath, text.Bytes())) return false;
    return allValid;
}

}  // namespace kvt
