#include "iso/box_reader.h"

#include <array>

#include "engine/byte_order.h"
#include "platform/paths.h"

namespace kvt {
namespace {

constexpr size_t kHeaderBytes = 8;  // 32-bit size, four-character type

constexpr std::array<std::string_view, 9> kWalkedTypes = {
    "root", "moov", "udta", "drm ", "trak", "mdia", "minf", "stbl",
    "mdat",  // AAC data read as boxes; the limits of the walk keep it harmless
};

}  // namespace

bool IsContainerBox(std::string_view name) {
    for (std::string_view type : kWalkedTypes)
        if (type == name) return true;
    return false;
}

BoxNode::BoxNode(std::string_view name, std::span<const uint8_t> bytes, int depth)
    : name_(name.substr(0, 4)), body_(bytes.begin(), bytes.end()), depth_(depth) {
    if (!IsContainerBox(name_) || depth_ >= kMaxDepth) return;
    size_t offset = 0;
    while (children_.size() < kMaxChildren && body_.size() - offset >= kHeaderBytes) {
        std::span<const uint8_t> header = std::span(body_).subspan(offset, kHeaderBytes);
        const uint32_t size = GetBe32(header);
        // 0 ("up to the end"), 1 (64-bit size) and anything that does not fit end the walk.
        if (size < kHeaderBytes || size > body_.size() - offset) break;
        std::string type(reinterpret_cast<const char*>(header.data()) + 4, 4);
        children_.push_back(std::make_unique<BoxNode>(
            type, std::span(body_).subspan(offset + kHeaderBytes, size - kHeaderBytes), depth_ + 1));
        offset += size;
    }
}

BoxNode::~BoxNode() = default;

const BoxNode* BoxNode::Find(std::string_view type) const {
    for (const auto& child : children_) {
        if (child->name_ == type) return child.get();
        if (const BoxNode* found = child->Find(type)) return found;
    }
    return nullptr;
}

bool BoxNode::SaveBody(const std::string& path) const {
    return WriteFileAtomically(path, std::string_view(reinterpret_cast<const char*>(body_.data()), body_.size()));
}

}  // namespace kvt
