#pragma once
// Reads the box tree of an MP4 file made by an external encoder. Every node keeps its own
// copy of its body; container types (and "mdat", whose children nobody uses) are walked
// into children. The walk never trusts a size: a size below 8, or one reaching past the
// rest of the parent's body, ends the walk, a node takes at most kMaxChildren children
// and nodes deeper than kMaxDepth are not walked, so any input is read in bounds.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kvt {

class BoxNode {
public:
    static constexpr size_t kMaxChildren = 100;
    static constexpr int kMaxDepth = 8;  // stbl, the deepest walked box, is at depth 5

    // `bytes` is the box body (the whole file for the root, named "root", depth 0).
    BoxNode(std::string_view name, std::span<const uint8_t> bytes, int depth = 0);
    virtual ~BoxNode();
    BoxNode(const BoxNode&) = delete;
    BoxNode& operator=(const BoxNode&) = delete;

    // Depth-first in file order: a child named `type` is returned at once, otherwise the
    // search goes into that child before the next one. nullptr when there is no match.
    const BoxNode* Find(std::string_view type) const;

    // Writes the body (nothing else) to `path`; false when the file cannot be written.
    bool SaveBody(const std::string& path) const;

    const std::string& Name() const { return name_; }
    std::span<const uint8_t> Body() const { return body_; }
    size_t BodySize() const { return body_.size(); }
    int Depth() const { return depth_; }
    size_t ChildCount() const { return children_.size(); }
    const BoxNode& Child(size_t index) const { return *children_[index]; }

private:
    std::string name_;  // four characters, "root" for the file
    std::vector<uint8_t> body_;
    int depth_;
    std::vector<std::unique_ptr<BoxNode>> children_;
};

// True for the types whose body is walked into children.
bool IsContainerBox(std::string_view name);

}  // namespace kvt
