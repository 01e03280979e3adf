#pragma once

#include "dlp/saturatingcast.h"

#include <QString>
#include <QVariant>

#include <algorithm>
#include <climits>
#include <cmath>

// Conversions of values read from our ini files. The files are edited by
// hand and by older versions: nothing read may overflow or turn into NaN.
namespace IniValues {

inline bool isFloatVariant(const QVariant& v)
{
    const int t = v.userType();
    return t == QMetaType::Float || t == QMetaType::Double;
}

// Integer keys: typed floats round to the nearest integer, text must be an
// integer; anything else, and NaN, reads 0. Out-of-range values saturate.
inline int readInt(const QVariant& v)
{
    if (isFloatVariant(v))
        return DLP::truncToInt(std::round(v.toFloat()));
    bool ok = false;
    const qlonglong n = v.toString().trimmed().toLongLong(&ok);
    if (!ok)
        return 0;
    return static_cast<int>(std::clamp<qlonglong>(n, INT_MIN, INT_MAX));
}

// Float keys: non-numbers and non-finite values read 0.
inline float readFloat(const QVariant& v)
{
    bool ok = false;
    const float f = isFloatVariant(v) ? v.toFloat() : v.toString().trimmed().toFloat(&ok);
    if (!isFloatVariant(v) && !ok)
        return 0.0f;
    return std::isfinite(f) ? f : 0.0f;
}

// Float read, truncated toward zero into an int (saturating).
inline int readTruncated(const QVariant& v)
{
    bool ok = false;
    const float f = isFloatVariant(v) ? v.toFloat() : v.toString().trimmed().toFloat(&ok);
    if (!isFloatVariant(v) && !ok)
        return 0;
    return DLP::truncToInt(f);
}

} // namespace IniValues
