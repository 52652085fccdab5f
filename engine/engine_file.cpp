#include "engine/engine_file.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <limits>
#include <new>

#include "engine/byte_order.h"
#include "engine/engine_message.h"
#include "platform/message.h"
#include "platform/paths.h"
#include "platform/regular_file.h"

namespace kvt {

namespace {
constexpr std::string_view kFileNotFoundText = "file is not found";
constexpr size_t kTagSize = 4;
}  // namespace

EngineFile::EngineFile(std::string clipPath, const FormatBlock& clipFormat, std::span<const uint8_t> bytes)
    : path(std::move(clipPath)), format(clipFormat) {
    // The engine's sizes are 32-bit: a larger range keeps its whole frames up to that limit.
    size_t size = bytes.size();
    if (size > std::numeric_limits<uint32_t>::max()) {
        const size_t frame = std::max<size_t>(clipFormat.blockAlign, 1);
        size = std::numeric_limits<uint32_t>::max() / frame * frame;
    }
    data.assign(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(size));
}

int EngineFile::Load(const std::string& filePath) {
    const RegularFile file(filePath);
    if (file.Check() != FileCheck::Regular || file.Size() > std::numeric_limits<uint32_t>::max()) {
        ShowMessage(kFileNotFoundText);
        return 0;
    }
    std::vector<uint8_t> bytes;
    try {
        bytes.reserve(static_cast<size_t>(file.Size()));
    } catch (const std::bad_alloc&) {
        ShowMessage(kNoMemoryText);
        return 0;
    }
    if (!file.ReadAll(bytes)) {
        ShowMessage(kFileNotFoundText);
        return 0;
    }
    image = std::move(bytes);
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
std::array<uint8_t, 4> TakeBytes(const std::vector<uint8_t>& image, size_t& cursor, size_t width) {
    std::array<uint8_t, 4> bytes{};
    const size_t available = cursor < image.size() ? std::min(width, image.size() - cursor) : 0;
    std::copy_n(image.begin() + static_cast<std::ptrdiff_t>(std::min(cursor, image.size())), available, bytes.begin());
    cursor = std::min(cursor + width, image.size());
    return bytes;
}
}  // namespace

uint32_t EngineFile::ReadU32() {
    return GetLe32(TakeBytes(image, cursor, 4));
}

void EngineFile::WriteBytes(std::span<const uint8_t> bytes) {
    if (cursor + bytes.size() > image.size()) image.resize(cursor + bytes.size());
    std::copy(bytes.begin(), bytes.end(), image.begin() + static_cast<std::ptrdiff_t>(cursor));
    cursor += bytes.size();
}

void EngineFile::WriteU32(uint32_t value) {
    std::array<uint8_t, 4> bytes{};
    SetLe32(bytes, value);
    WriteBytes(bytes);
}

void EngineFile::WriteTag(std::string_view tag) {
    std::array<uint8_t, kTagSize> bytes{};
    std::copy_n(tag.begin(), std::min(tag.size(), kTagSize), bytes.begin());
    WriteBytes(bytes);
}

int EngineFile::Allocate(uint32_t size) {
    if (size == 0) {
        ShowMessage(kFileSizeText);
        return 0;
    }
    image.clear();
    try {
        image.assign(size, 0);
    } catch (const std::bad_alloc&) {
        image = {};
        cursor = 0;
        ShowMessage(kNoMemoryText);
        return 0;
    }
    cursor = 0;
    return 1;
}

int EngineFile::Save(const std::string& filePath) const {
    const std::string_view bytes(reinterpret_cast<const char*>(image.data()), image.size());
    if (!WriteFileAtomically(filePath, bytes)) {
        ShowMessage(kFileNotWritableText);
        return 0;
    }
    return 1;
}

int EngineFile::AllocateData(uint32_t size) {
    try {
        data.assign(size, 0);
    } catch (const std::bad_alloc&) {
        data = {};
        ShowMessage(kNoMemoryText);
        return 0;
    }
    return 1;
}

bool EngineFile::CopyPcmFrom(const EngineFile& other) {
    if (!AllocateData(static_cast<uint32_t>(other.data.size()))) return false;
    std::copy(other.data.begin(), other.data.end(), data.begin());
    format = other.format;
    return true;
}

}  // namespace kvt
