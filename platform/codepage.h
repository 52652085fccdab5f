#pragma once
// Text that goes into ringtone files is CP932 (the handsets' code page); everything that
// faces the OS is UTF-8.

#include <string>
#include <string_view>

namespace kvt {

// Characters with no CP932 form become '?'. Text that is not valid UTF-8 is taken as CP932
// (its invalid bytes become '?'), so a CP932 file name keeps its characters.
std::string Utf8ToCp932(std::string_view utf8);
// Bytes that are not valid CP932 become '?'.
std::string Cp932ToUtf8(std::string_view cp932);

// At most `limit` bytes of CP932 text, never splitting a double-byte character nor ending
// in a lead byte without its second byte.
std::string CutCp932(std::string_view cp932, size_t limit);

// The lead-byte test of the process's code set: the CP932 table when the locale's code
// set is CP932/Shift_JIS, otherwise (UTF-8) no byte is a lead byte.
bool IsDbcsLeadByte(unsigned char byte);
bool IsCp932LeadByte(unsigned char byte);

enum class LeadByteTable { FromLocale, Cp932, None };
// Tests switch the table; FromLocale asks nl_langinfo(CODESET).
void SetLeadByteTable(LeadByteTable table);

}  // namespace kvt
