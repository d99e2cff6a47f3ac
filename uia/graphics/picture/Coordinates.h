#pragma once
// Coordinate helpers of the picture code: sums are formed in 64 bits and clamped back.

#include <algorithm>
#include <cstdint>

namespace HA::UIA::DETAIL {

inline int32_t clampCoordinate(int64_t v)
{
    return static_cast<int32_t>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX));
}

}  // namespace HA::UIA::DETAIL
