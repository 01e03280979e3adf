#pragma once
// Strict number options of the command-line tools: the whole text, finite,
// within a stated range; anything else names the option and the range.

#include <QString>

#include <cmath>

namespace tooloptions {

inline QString RangeText(double lo, double hi)
{
    return QStringLiteral("%1 to %2").arg(lo, 0, 'g', 12).arg(hi, 0, 'g', 12);
}

// False with `error` set unless `text` is a finite number in [lo, hi].
inline bool Real(const QString& option, const QString& text, double lo, double hi, double& value, QString& error)
{
    bool ok = false;
    const double v = text.trimmed() == text ? text.toDouble(&ok) : 0.0;
    if (!ok || !std::isfinite(v) || v < lo || v > hi) {
        error = QStringLiteral("%1 needs a number from %2, not \"%3\"").arg(option, RangeText(lo, hi), text);
        return false;
    }
    value = v;
    return true;
}

// False with `error` set unless `text` is a whole number in [lo, hi].
inline bool Whole(const QString& option, const QString& text, qint64 lo, qint64 hi, qint64& value, QString& error)
{
    bool ok = false;
    const qint64 v = text.trimmed() == text ? text.toLongLong(&ok) : 0;
    if (!ok || v < lo || v > hi) {
        error = QStringLiteral("%1 needs a whole number from %2 to %3, not \"%4\"").arg(option).arg(lo).arg(hi).arg(text);
        return false;
    }
    value = v;
    return true;
}

} // namespace tooloptions
