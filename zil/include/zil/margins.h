// SPDX-License-Identifier: MIT
#pragma once

#include "zil/string.h"

#include <cmath>
#include <cstdint>
#include <limits>

namespace zil {

// A sum or product of pixel values brought back into int32_t: margins set in code may lie
// anywhere in its range, and layout adds them to sizes, where a plain int sum would overflow.
// NaN gives 0.
inline int32_t saturateToInt32(int64_t value)
{
    if (value < std::numeric_limits<int32_t>::min())
        return std::numeric_limits<int32_t>::min();
    if (value > std::numeric_limits<int32_t>::max())
        return std::numeric_limits<int32_t>::max();
    return static_cast<int32_t>(value);
}
inline int32_t saturateToInt32(double value)
{
    if (std::isnan(value))
        return 0;
    if (value <= std::numeric_limits<int32_t>::min())
        return std::numeric_limits<int32_t>::min();
    if (value >= std::numeric_limits<int32_t>::max())
        return std::numeric_limits<int32_t>::max();
    return static_cast<int32_t>(value);
}

// Space around something, in pixels (or whatever unit the caller scales from).
class CMargins {
public:
    CMargins() = default;
    explicit CMargins(int32_t all) : left(all), top(all), right(all), bottom(all) {}
    CMargins(int32_t left_, int32_t top_, int32_t right_, int32_t bottom_)
        : left(left_), top(top_), right(right_), bottom(bottom_)
    {
    }

    // "3", "2,4" (horizontal, vertical) or "1,2,3,4" (left, top, right, bottom); commas
    // and/or white space between the numbers. Anything else throws CParseError with "text".
    static CMargins parseString(const String& text);
    // The shortest form parseString() reads back to the same margins.
    String toString() const;

    // Each value times `factor`, rounded half away from zero and clamped to int32_t.
    // A factor that is not finite throws CInvalidArgError.
    CMargins toScaled(double factor) const;

    // left + right and top + bottom, saturated.
    int32_t horizontal() const { return saturateToInt32(int64_t(left) + right); }
    int32_t vertical() const { return saturateToInt32(int64_t(top) + bottom); }

    bool operator==(const CMargins& other) const
    {
        return left == other.left && top == other.top && right == other.right && bottom == other.bottom;
    }
    bool operator!=(const CMargins& other) const { return !(*this == other); }

    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;
};

} // namespace zil
