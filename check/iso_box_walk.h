#pragma once
// Walks the boxes of an ISO media file from untrusted bytes for the 3GP reader: each box
// as its type, its offset and a cursor over its body. A size that does not fit, a full
// box without its version and flags and a table whose count passes its box each end the
// read with a problem in the report.

#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "check/check_report.h"
#include "engine/byte_cursor.h"

namespace kvt {

struct Box {
    std::string type;
    size_t offset = 0;
    ByteCursor body{{}};
};

// The boxes of `at`, in order: a u32 size (1: a u64 size follows, 0: up to the end) and a
// type. A size that does not fit ends the walk with a problem.
std::vector<Box> ReadBoxes(ByteCursor at, CheckReport& report);

// The first box of `type`; nullptr when there is none.
const Box* FindBox(const std::vector<Box>& boxes, std::string_view type);

// The children of a box found by a path of types from `boxes`; nothing when one is missing.
std::optional<std::vector<Box>> ChildrenAt(const std::vector<Box>& boxes, std::initializer_list<std::string_view> path,
                                           CheckReport& report);

// A full box's body after its version and flags; nothing when it is too short.
std::optional<ByteCursor> FullBoxBody(const Box& box, CheckReport& report, uint32_t* version = nullptr);

// Entries of a table box as u32 words: after `fieldsBefore` u32 fields (kept in `before`),
// a u32 count, then `count` entries of `width` bytes that must fit.
std::optional<std::vector<uint64_t>> TableEntries(const Box& box, size_t width, size_t fieldsBefore,
                                                  CheckReport& report, std::vector<uint64_t>* before = nullptr);

}  // namespace kvt
