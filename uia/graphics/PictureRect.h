#pragma once
// Rectangles of the picture code: {left, top, right, bottom}, right and bottom exclusive.

#include <algorithm>
#include <cstdint>

namespace HA::UIA {

// FIXME: becomes the foundation's shared rectangle type once it exists.
struct Rect {
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;
};

namespace DETAIL {

inline bool isEmptyRect(const Rect& r) { return r.left >= r.right || r.top >= r.bottom; }

// Intersection; an empty one is {0, 0, 0, 0}.
inline Rect intersectRects(const Rect& a, const Rect& b)
{
    Rect r;
    r.left = std::max(a.left, b.left);
    r.top = std::max(a.top, b.top);
    r.right = std::min(a.right, b.right);
    r.bottom = std::min(a.bottom, b.bottom);
    if (isEmptyRect(r))
        return Rect{};
    return r;
}

inline bool sameRect(const Rect& a, const Rect& b)
{
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

// Clamps a 64-bit coordinate into the 32-bit range, for rectangles built from sums.
inline int32_t clampCoordinate(int64_t v)
{
    return static_cast<int32_t>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX));
}

}  // namespace DETAIL
}  // namespace HA::UIA
