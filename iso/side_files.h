#pragma once
// Side files carry boxes of an external encoder's MP4 output to the 3GP writer: the body
// of each box (without size and type) in a file "<type>.bx" beside the scratch WAV file
// (in the current directory when that path has no folder).

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kvt {

inline constexpr std::array<std::string_view, 8> kSideFileTypes = {"stsd", "stts", "stsc", "stsz",
                                                                   "stco", "hdlr", "mvhd", "mdat"};

// Shown for each of the eight boxes missing from the external encoder's output.
inline constexpr std::string_view kMissingBoxText = "File_3gp::ErrorMsg";

std::string SideFileFolder(std::string_view scratchWavPath);
std::string SideFilePath(std::string_view scratchWavPath, std::string_view type);

// Builds the box tree over a whole MP4 file image and saves the body of each of the
// eight types to its side file; a type that is not found shows kMissingBoxText and
// gets no side file. Returns how many side files were written.
int ExtractSideFiles(std::span<const uint8_t> mp4File, std::string_view scratchWavPath);

// The side file's content, or nothing when it does not exist or cannot be read.
std::optional<std::vector<uint8_t>> ReadSideFile(std::string_view scratchWavPath, std::string_view type);

// Removes the eight side files (those that exist).
void DeleteSideFiles(std::string_view scratchWavPath);

}  // namespace kvt
