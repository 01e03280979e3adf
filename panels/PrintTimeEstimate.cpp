#include "PrintTimeEstimate.h"

#include <algorithm>
#include <climits>
#include <cmath>

PrintTimeEstimate estimatePrintTime(int layers, const DLP::SliceBuildConfig& c)
{
    // 64-bit arithmetic and a bottom count within 0..N: a month-long job or a
    // burn-in range taller than the job stays a sensible number.
    const long long n = std::max(0, layers);
    long long bottom = 0;
    if (double(c.SliceThickness) > 0.001) {
        const float ratio = c.HighofBottomLayer / c.SliceThickness;
        if (std::isfinite(ratio))
            bottom = static_cast<long long>(std::clamp(ratio, 0.0f, float(n)));
    }
    bottom = std::clamp(bottom, 0LL, n);
    const long long ms = (static_cast<long long>(c.BlankTime) + c.MaterialStable + 100) * n +
                         (n - bottom) * c.ExposureTimePerLayer + bottom * c.BottomExposureTime;
    const long long seconds = ms <= 0 ? 0 : (ms + 999) / 1000;
    PrintTimeEstimate e;
    e.totalSeconds = static_cast<int>(std::min<long long>(seconds, INT_MAX));
    e.hours = static_cast<int>(std::min<long long>(seconds / 3600, INT_MAX));
    e.minutes = static_cast<int>((seconds - 3600 * (seconds / 3600)) / 60);
    return e;
}

int blankTimeThreshold(const DLP::SliceBuildConfig& c)
{
    if (!(double(c.SliceThickness) > 0.001))
        return 1;
    const float ratio = c.HighofBottomLayer / c.SliceThickness;
    if (!std::isfinite(ratio))
        return 1;
    return static_cast<int>(std::clamp(ratio, -1.0e9f, 1.0e9f)) + 1;
}

int layerIntervalMs(const QTime& last, const QTime& now)
{
    return ((now.hour() - last.hour()) * 3600 + (now.minute() - last.minute()) * 60 + (now.second() - last.second())) *
               1000 +
           (now.msec() - last.msec());
}
