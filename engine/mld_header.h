#pragma once
// The file header and header chunks that every MLD layout starts with. All numbers are
// big-endian; a header chunk is a tag, a u16 length and that many bytes.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kvt {

inline constexpr size_t kMldFileHeaderSize = 10;  // "melo", file length, header length
inline constexpr size_t kMldTitleLimit = 255;     // bytes of the "titl" text

// "melo", file length and header length (both patched later), then header bytes A, B, C.
void PutMldFileHeader(std::vector<uint8_t>& out, uint8_t a, uint8_t b, uint8_t c);
void PutMldHeaderChunk(std::vector<uint8_t>& out, std::string_view tag, std::span<const uint8_t> body);
void PutMldTextChunk(std::vector<uint8_t>& out, std::string_view tag, std::string_view text);
void PutMldU8Chunk(std::vector<uint8_t>& out, std::string_view tag, uint8_t value);
void PutMldU16Chunk(std::vector<uint8_t>& out, std::string_view tag, uint16_t value);

// Header length at offset 8: the bytes from offset 10 up to the end written so far.
void SetMldHeaderLength(std::vector<uint8_t>& out);
// File length at offset 4: the bytes after that field.
void SetMldFileLength(std::vector<uint8_t>& out);

}  // namespace kvt
