// Arbitrary bytes as an external encoder's MP4 file through the box reader: every node
// must lie inside its parent, within the child and depth bounds, and the searches of the
// side-file extraction must finish.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "iso/box_reader.h"
#include "iso/side_files.h"

namespace {

void Check(const kvt::BoxNode& node) {
    if (node.ChildCount() > kvt::BoxNode::kMaxChildren || node.Depth() > kvt::BoxNode::kMaxDepth) std::abort();
    size_t used = 0;
    for (size_t i = 0; i < node.ChildCount(); ++i) {
        const kvt::BoxNode& child = node.Child(i);
        if (child.Depth() != node.Depth() + 1) std::abort();
        used += child.BodySize() + 8;
        Check(child);
    }
    if (used > node.BodySize()) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
    const kvt::BoxNode root("root", std::span<const uint8_t>(bytes, size));
    Check(root);
    for (std::string_view type : kvt::kSideFileTypes) {
        const kvt::BoxNode* found = root.Find(type);
        if (found != nullptr && (found->Name() != type || found->BodySize() + 8 > size)) std::abort();
    }
    return 0;
}
