#include "engine/engine_file.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>
#include <new>

#include "engine/byte_order.h"
#include "engine/engine_message.h"
#include "platform/message.h"
#include "platform/paths.h"

namespace kvt {

namespace {
constexpr std::string_view kFileNotFoundText = "file is not found";
constexpr std::string_view kNoMacFileText = "no macfile";
constexpr size_t kTagSize = 4;
}  // namespace

EngineFile::EngineFile(std::string clipPath, const FormatBlock& clipFormat, std::span<const uint8_t> bytes)
    : path(std::move(clipPath)), format(clipFormat) {
    // dataSize is a 32-bit field: a larger range keeps its whole frames up to that limit.
    size_t size = bytes.size();
    if (size > std::numeric_limits<uint32_t>::max()) {
        const size_t frame = std::max<size_t>(clipFormat.blockAlign, 1);
        size = std::numeric_limits<uint32_t>::max() / frame * frame;
    }
    data.assign(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(size));
    dataSize = static_cast<uint32_t>(size);
}

int EngineFile::Load(const std::string& filePath) {
    std::error_code error;
    if (!std::filesystem::is_regular_file(filePath, error)) {
        ShowMessage(kFileNotFoundText);
        return 0;
    }
    std::ifstream in(filePath, std::ios::binary | std::ios::ate);
    const std::streamoff size = in ? static_cast<std::streamoff>(in.tellg()) : -1;
    if (size < 0 || static_cast<uint64_t>(size) > std::numeric_limits<uint32_t>::max()) {
        ShowMessage(kFileNotFoundText);
        return 0;
    }
    std::vector<uint8_t> bytes;
    try {
        bytes.resize(static_cast<size_t>(size));
    } catch (const std::bad_alloc&) {
        ShowMessage(kNoMemoryText);
        return 0;
    }
    in.seekg(0);
    if (!in.read(reinterpret_cast<char*>(bytes.data()), size)) {
        ShowMessage(kFileNotFoundText);
        return 0;
    }
    image = std::move(bytes);
    imageSize = static_cast<uint32_t>(image.size());
    path = filePath;
    cursor = 0;
    return 1;
}

std::optional<size_t> EngineFile::FindTag(std::string_view tag) {
    if (tag.size() != kTagSize || image.size() < kTagSize) return std::nullopt;
    for (size_t at = cursor; at + kTagSize <= image.size(); ++at) {
        if (std::memcmp(image.data() + at, tag.data(), kTagSize) == 0) {
            cursor = at;
            return at;
        }
    }
    return std::nullopt;
}

std::optional<size_t> EngineFile::FindTagFromStart(std::string_view tag) {
    cursor = 0;
    return FindTag(tag);
}

size_t EngineFile::Remaining() const {
    return cursor < image.size() ? image.size() - cursor : 0;
}

namespace {
// Reads `width` bytes at the cursor into a zero-padded buffer.
std::array<uint8_t, 8> TakeBytes(const std::vector<uint8_t>& image, size_t& cursor, size_t width) {
    std::array<uint8_t, 8> bytes{};
    const size_t available = cursor < image.size() ? std::min(width, image.size() - cursor) : 0;
    std::copy_n(image.begin() + static_cast<std::ptrdiff_t>(std::min(cursor, image.size())), available, bytes.begin());
    cursor = std::min(cursor + width, image.size());
    return bytes;
}
}  // namespace

uint8_t EngineFile::ReadU8() {
    return TakeBytes(image, cursor, 1)[0];
}

uint16_t EngineFile::ReadU16() {
    const auto bytes = TakeBytes(image, cursor, 2);
    return bigEndian ? GetBe16(bytes) : GetLe16(bytes);
}

uint32_t EngineFile::ReadU32() {
    const auto bytes = TakeBytes(image, cursor, 4);
    return bigEndian ? GetBe32(bytes) : GetLe32(bytes);
}

uint64_t EngineFile::ReadU64() {
    const auto bytes = TakeBytes(image, cursor, 8);
    return bigEndian ? GetBe64(bytes) : GetLe64(bytes);
}

bool EngineFile::ReadBytes(std::span<uint8_t> out) {
    if (out.size() > Remaining()) return false;
    std::copy_n(image.begin() + static_cast<std::ptrdiff_t>(cursor), out.size(), out.begin());
    cursor += out.size();
    return true;
}

void EngineFile::WriteBytes(std::span<const uint8_t> bytes) {
    if (cursor + bytes.size() > image.size()) {
        image.resize(cursor + bytes.size());
        imageSize = static_cast<uint32_t>(image.size());
    }
    std::copy(bytes.begin(), bytes.end(), image.begin() + static_cast<std::ptrdiff_t>(cursor));
    cursor += bytes.size();
}

void EngineFile::WriteU8(uint8_t value) {
    WriteBytes(std::span(&value, 1));
}

void EngineFile::WriteU16(uint16_t value) {
    std::array<uint8_t, 2> bytes{};
    bigEndian ? SetBe16(bytes, value) : SetLe16(bytes, value);
    WriteBytes(bytes);
}

void EngineFile::WriteU32(uint32_t value) {
    std::array<uint8_t, 4> bytes{};
    bigEndian ? SetBe32(bytes, value) : SetLe32(bytes, value);
    WriteBytes(bytes);
}

void EngineFile::WriteU64(uint64_t value) {
    std::array<uint8_t, 8> bytes{};
    bigEndian ? SetBe64(bytes, value) : SetLe64(bytes, value);
    WriteBytes(bytes);
}

void EngineFile::WriteTag(std::string_view tag) {
    std::array<uint8_t, kTagSize> bytes{};
    std::copy_n(tag.begin(), std::min(tag.size(), kTagSize), bytes.begin());
    WriteBytes(bytes);
}

int EngineFile::Allocate() {
    if (imageSize == 0) {
        ShowMessage(kFileSizeText);
        return 0;
    }
    image.clear();
    try {
        image.assign(imageSize, 0);
    } catch (const std::bad_alloc&) {
        image = {};
        imageSize = 0;
        cursor = 0;
        ShowMessage(kNoMemoryText);
        return 0;
    }
    cursor = 0;
    return 1;
}

void EngineFile::Trim() {
    image.resize(std::min(cursor, image.size()));
    image.shrink_to_fit();
    imageSize = static_cast<uint32_t>(image.size());
    WriteSizeField();
}

int EngineFile::Append(const EngineFile& other) {
    return Append(std::span(other.image));
}

int EngineFile::Append(std::span<const uint8_t> bytes) {
    if (!sizeAfterTag) {
        ShowMessage(kNoMacFileText);
        return 0;
    }
    if (image.size() + bytes.size() > std::numeric_limits<uint32_t>::max()) {
        ShowMessage(kNoMemoryText);
        return 0;
    }
    image.insert(image.end(), bytes.begin(), bytes.end());
    imageSize = static_cast<uint32_t>(image.size());
    WriteSizeField();
    return 1;
}

void EngineFile::WriteSizeField() {
    const size_t at = sizeAfterTag ? kTagSize : 0;
    if (image.size() < at + 4) return;  // no room for the field in so small an image
    std::span<uint8_t> field = std::span(image).subspan(at, 4);
    bigEndian ? SetBe32(field, imageSize) : SetLe32(field, imageSize);
}

std::optional<uint32_t> EngineFile::ReadChunkSize(std::string_view tag) {
    const auto at = FindTagFromStart(tag);
    if (!at) return std::nullopt;
    const size_t field = sizeAfterTag ? *at + kTagSize : *at;
    if (!sizeAfterTag && field < 4) return std::nullopt;
    const size_t start = sizeAfterTag ? field : field - 4;
    if (start + 4 > image.size()) return std::nullopt;
    const std::span<const uint8_t> bytes = std::span(image).subspan(start, 4);
    return bigEndian ? GetBe32(bytes) : GetLe32(bytes);
}

bool EngineFile::PatchChunkSize(std::string_view tag, uint32_t size) {
    const auto at = FindTagFromStart(tag);
    if (!at) return false;
    if (!sizeAfterTag && *at < 4) return false;
    const size_t start = sizeAfterTag ? *at + kTagSize : *at - 4;
    if (start + 4 > image.size()) return false;
    std::span<uint8_t> bytes = std::span(image).subspan(start, 4);
    bigEndian ? SetBe32(bytes, size) : SetLe32(bytes, size);
    return true;
}

int EngineFile::Save(const std::string& filePath) const {
    const size_t length = std::min<size_t>(imageSize, image.size());
    const std::string_view bytes(reinterpret_cast<const char*>(image.data()), length);
    if (!WriteFileAtomically(filePath, bytes)) {
        ShowMessage(kFileNotWritableText);
        return 0;
    }
    return 1;
}

int EngineFile::AllocateData() {
    try {
        data.assign(dataSize, 0);
    } catch (const std::bad_alloc&) {
        data = {};
        dataSize = 0;
        ShowMessage(kNoMemoryText);
        return 0;
    }
    return 1;
}

bool EngineFile::CopyPcmFrom(const EngineFile& other) {
    dataSize = static_cast<uint32_t>(other.data.size());
    if (!AllocateData()) return false;
    std::copy(other.data.begin(), other.data.end(), data.begin());
    format = other.format;
    return true;
}

}  // namespace kvt
