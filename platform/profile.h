#pragma once
// INI files with the semantics of the Windows private-profile functions that setup.ini
// needs: a missing key gives the default, keys keep the order they were first written in,
// and every write replaces the whole file atomically.

#include <string>

namespace kvt {

int ReadProfileInt(const std::string& section, const std::string& key, int defaultValue,
                   const std::string& iniPath);
std::string ReadProfileString(const std::string& section, const std::string& key,
                              const std::string& defaultValue, const std::string& iniPath);
// false when the file cannot be written (the old file is then left as it was).
bool WriteProfileString(const std::string& section, const std::string& key, const std::string& value,
                        const std::string& iniPath);

}  // namespace kvt
