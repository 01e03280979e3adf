#pragma once

#include <climits>
#include <cmath>

namespace DLP {

// float -> int that stays defined for NaN and out-of-range values (a plain
// cast is undefined there). Values inside the int range truncate as usual.
inline int truncToInt(float value)
{
    if (std::isnan(value))
        return 0;
    if (value >= 2147483648.0f)
        return INT_MAX;
    if (value < -2147483648.0f)
        return INT_MIN;
    return static_cast<int>(value);
}

} // namespace DLP
