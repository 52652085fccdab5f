#pragma once
// The general library's file, path and memory utilities. Paths are byte strings: UTF-8
// here, CP932 where the process's code set is CP932. Failures are reported with
// ShowGeneralError (or by the result) and every function returns normally afterwards.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kvt {

// Path splitting. '/' always separates. '\' separates only in a drive-letter path
// ("C:\a\b.wav"), and there not when it is the second byte of a double-byte character
// (IsDbcsLeadByte), as in the CP932 forms of ソ and 表; elsewhere it is part of a name,
// as Linux allows ("live\take1.wav").

// The folder part without the final separator ("/a/b.wav" gives "/a", "/b.wav" gives "/").
// A bare name gives the current directory; when that cannot be read, GENE0100000C and "".
std::string GneGetFolder(std::string_view path);
// The part after the last separator; a path whose only separator is its first byte
// gives the rest.
std::string GneGetFileName(std::string_view path);
// Cuts the name before the last '.' of its last path element ("a.b.wav" becomes "a.b");
// a name without one is left unchanged.
void GneCutExtension(std::string& name);
// The text after the last '.' of the last path element with 'A'-'Z' lower-cased
// ("Track01.CDA" gives "cda"); without a '.', the whole path lower-cased.
std::string GneGetExtension(std::string_view path);

// A zero-filled block, or nothing after GENE01000002 when it cannot be had.
using GneBlock = std::vector<uint8_t>;
std::optional<GneBlock> GneAlloc(size_t size);
void GneFree(std::optional<GneBlock>& block);

// Whether a file or folder of that name exists; '*' and '?' are wildcards (any other
// byte, '[' included, stands for itself).
bool GneFileExists(std::string_view name);
// Whether the file can be opened for reading (a folder cannot).
bool GneCanOpen(std::string_view path);
// Size in bytes of the first entry found for the name (wildcards as GneFileExists), low
// 32 bits; 0 for a folder or when nothing is found. A file of 4 GiB or more shows
// GENE0100000D first.
uint32_t GneFileSize(std::string_view name);

// A read that fills exactly this many bytes may have been cut short by a buffer of a
// fixed size; it is reported as GENE0100000A.
inline constexpr size_t kGneSuspectReadSize = 0xF0000;

// Reads up to buffer.size() bytes of the file; `count` is the number read. Returns 1. A
// file that cannot be opened or read shows a box with its path, then GENE01000007;
// count 0, result 0.
int GneReadFile(std::string_view path, std::span<uint8_t> buffer, size_t& count);

// The Open dialog (CurrentDialogs) with a default extension and a filter of '|'-separated
// description/pattern pairs ending in '|' ("exe files|*.exe|"). 1 and the chosen path in
// `destination`; 0 when cancelled, `destination` unchanged.
int GneOpenFileDialog(const std::string& defaultExtension, const std::string& filter, std::string& destination);

}  // namespace kvt
