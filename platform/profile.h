#pragma once
// INI files with the semantics of the Windows private-profile functions that setup.ini
// needs: a missing key gives the default, keys keep the order they were first written in,
// and every write replaces the whole file atomically. Section and key names match without
// regard to ASCII case; blanks around names and values do not count; a value in matching
// quotes loses them. Other lines (comments, other sections) are kept as they are.

#include <string>
#include <utility>
#include <vector>

namespace kvt {

// The value's leading decimal digits with an optional sign (Windows GetPrivateProfileInt:
// "12abc" reads 12, "abc" reads 0); the default when the key is missing or empty.
int ReadProfileInt(const std::string& section, const std::string& key, int defaultValue, const std::string& iniPath);
std::string ReadProfileString(const std::string& section, const std::string& key, const std::string& defaultValue,
                              const std::string& iniPath);
// Replaces the key's value in place or adds the key at the end of its section (the
// section at the end of the file). Any value reads back unchanged; one with a line break
// is refused, as are such names. false when the file cannot be read or written (the old
// file is then left as it was).
bool WriteProfileString(const std::string& section, const std::string& key, const std::string& value,
                        const std::string& iniPath);

// Key and value.
using ProfileEntry = std::pair<std::string, std::string>;
// The same as writing the entries one by one in order, with one replace of the file
// instead of one per key (each replace waits for the disk). Refused entries are left
// out and make the result false.
bool WriteProfileStrings(const std::string& section, const std::vector<ProfileEntry>& entries,
                         const std::string& iniPath);

}  // namespace kvt
