#pragma once
// Integer points and rectangles. A rectangle's right and bottom edges are exclusive.

#include <algorithm>
#include <cstdint>

namespace HA::GP {

struct Point {
    std::int32_t x = 0;
    std::int32_t y = 0;

    friend bool operator==(const Point& a, const Point& b) { return a.x == b.x && a.y == b.y; }
    friend bool operator!=(const Point& a, const Point& b) { return !(a == b); }
};

struct Rect {
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t right = 0;
    std::int32_t bottom = 0;

    std::int32_t width() const { return right - left; }
    std::int32_t height() const { return bottom - top; }
    bool isEmpty() const { return left >= right || top >= bottom; }

    // True when both are non-empty and share at least one pixel.
    bool overlaps(const Rect& r) const
    {
        return !isEmpty() && !r.isEmpty() && left < r.right && r.left < right && top < r.bottom &&
               r.top < bottom;
    }
    // True when every pixel of `r` lies inside this rectangle (edges may coincide).
    bool contains(const Rect& r) const
    {
        return r.left >= left && r.right <= right && r.top >= top && r.bottom <= bottom;
    }
    // The common part of two rectangles; the all-zero rectangle when they do not overlap.
    static Rect intersect(const Rect& a, const Rect& b)
    {
        if (!a.overlaps(b))
            return Rect{};
        return Rect{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
                     std::min(a.bottom, b.bottom)};
    }
    Rect offsetBy(std::int32_t dx, std::int32_t dy) const
    {
        return Rect{left + dx, top + dy, right + dx, bottom + dy};
    }

    friend bool operator==(const Rect& a, const Rect& b)
    {
        return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
    }
    friend bool operator!=(const Rect& a, const Rect& b) { return !(a == b); }
};

}  // namespace HA::GP
