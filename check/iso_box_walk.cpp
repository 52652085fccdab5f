#include "check/iso_box_walk.h"

namespace kvt {

std::vector<Box> ReadBoxes(ByteCursor at, CheckReport& report) {
    std::vector<Box> boxes;
    while (!at.AtEnd()) {
        Box box;
        box.offset = at.Offset();
        const auto size32 = at.U32();
        const auto type = at.Bytes(4);
        if (!size32 || !type) {
            report.Problem("box at offset " + Num(box.offset), Num(at.Left() + (size32 ? 4 : 0)) + " bytes",
                           "a size and a type");
            break;
        }
        box.type.assign(AsText(*type));
        uint64_t size = *size32;
        size_t header = 8;
        if (size == 1) {
            const auto high = at.U32();
            const auto low = at.U32();
            if (!high || !low) {
                report.Problem(TagText(*type) + " box at offset " + Num(box.offset), "a cut 64-bit size", "8 bytes");
                break;
            }
            size = (static_cast<uint64_t>(*high) << 32) | *low;
            header = 16;
        } else if (size == 0) {
            size = header + at.Left();
        }
        if (size < header || size - header > at.Left()) {
            report.Problem(
                TagText(*type) + " box size", Num(size),
                "at most " + Num(header + at.Left()) + " (the bytes left at offset " + Num(box.offset) + ")");
            break;
        }
        box.body = *at.Sub(static_cast<size_t>(size - header));
        boxes.push_back(box);
    }
    return boxes;
}

const Box* FindBox(const std::vector<Box>& boxes, std::string_view type) {
    for (const Box& box : boxes)
        if (box.type == type) return &box;
    return nullptr;
}

std::optional<std::vector<Box>> ChildrenAt(const std::vector<Box>& boxes, std::initializer_list<std::string_view> path,
                                           CheckReport& report) {
    std::vector<Box> level = boxes;
    for (std::string_view type : path) {
        const Box* box = FindBox(level, type);
        if (box == nullptr) {
            report.Problem("'" + std::string(type) + "' box", "none", "one");
            return std::nullopt;
        }
        level = ReadBoxes(box->body, report);
    }
    return level;
}

std::optional<ByteCursor> FullBoxBody(const Box& box, CheckReport& report, uint32_t* version) {
    ByteCursor body = box.body;
    const auto versionFlags = body.U32();
    if (!versionFlags) {
        report.Problem("'" + box.type + "' box", Num(box.body.Left()) + " bytes", "a version and flags");
        return std::nullopt;
    }
    if (version) *version = *versionFlags >> 24;
    return body;
}

std::optional<std::vector<uint64_t>> TableEntries(const Box& box, size_t width, size_t fieldsBefore,
                                                  CheckReport& report, std::vector<uint64_t>* before) {
    auto body = FullBoxBody(box, report);
    if (!body) return std::nullopt;
    for (size_t i = 0; i < fieldsBefore; ++i) {
        const auto field = body->U32();
        if (!field) return std::nullopt;
        if (before) before->push_back(*field);
    }
    const auto count = body->U32();
    if (!count) {
        report.Problem("'" + box.type + "' entry count", "none", "a u32");
        return std::nullopt;
    }
    if (*count > body->Left() / width) {
        report.Problem("'" + box.type + "' entry count", Num(*count),
                       "at most " + Num(body->Left() / width) + " (the room in the box)");
        return std::nullopt;
    }
    std::vector<uint64_t> values;
    values.reserve(*count * (width / 4));
    for (size_t i = 0; i < *count * (width / 4); ++i) values.push_back(*body->U32());
    if (!body->AtEnd())
        report.Problem("'" + box.type + "' box", Num(body->Left()) + " bytes after the entries", "none");
    return values;
}

}  // namespace kvt
