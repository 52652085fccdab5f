#pragma once
// A rectangle of a skinned window, in client coordinates. Both edges belong to it: a point
// is inside when left <= x <= right and top <= y <= bottom.

namespace kvt {

struct SkinRect {
    int left;
    int top;
    int right;
    int bottom;

    constexpr bool Contains(int x, int y) const { return left <= x && x <= right && top <= y && y <= bottom; }
    constexpr int Width() const { return right - left + 1; }
    constexpr int Height() const { return bottom - top + 1; }
};

}  // namespace kvt
