#pragma once
// The handset rows of the MLD encoder: row 0 "none" and eighteen handset rows. A row's
// type equals its index and selects the MLD layout and mono/stereo.

#include <array>
#include <cstdint>
#include <string_view>

namespace kvt {

struct MldPreset {
    std::string_view name;  // short name, used in messages and file names
    int32_t type = 0;       // layout type, equals the row index
    int32_t codec = 0;      // sample codec 1..6 (0: none)
    int32_t f04 = 0;        // 1 if 4000 Hz is allowed
    int32_t f08 = 0;
    int32_t f16 = 0;
    int32_t f32 = 0;
    int32_t useV4Layout = 0;       // 1: the version "0400" layout
    std::string_view description;  // handsets the row serves

    // Whether the row's flag for `rate` (4000, 8000, 16000 or 32000 Hz) is set.
    constexpr bool AllowsRate(int rate) const {
        switch (rate) {
        case 4000: return f04 != 0;
        case 8000: return f08 != 0;
        case 16000: return f16 != 0;
        case 32000: return f32 != 0;
        default: return false;
        }
    }
};

inline constexpr size_t kMldPresetCount = 19;

extern const std::array<MldPreset, kMldPresetCount> MldPresetTable;

// Rows 13 to 17 are the stereo presets.
constexpr bool IsStereoMldType(int32_t type) {
    return type >= 13 && type <= 17;
}
// Stereo rows coded as two streams in two data events (all stereo rows but 14).
constexpr bool IsTwoStreamMldType(int32_t type) {
    return type == 13 || type == 15 || type == 16 || type == 17;
}

}  // namespace kvt
