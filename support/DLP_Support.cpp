#include "DLP_Support.h"

#include <cmath>
#include <limits>

int SupportHeightKey(float contactZ)
{
    const double v = -1000.0 * static_cast<double>(contactZ);
    // Out-of-range heights saturate instead of overflowing the conversion.
    if (!(v > std::numeric_limits<int>::min()))
        return v != v ? 0 : std::numeric_limits<int>::min();
    if (v >= static_cast<double>(std::numeric_limits<int>::max()))
        return std::numeric_limits<int>::max();
    return static_cast<int>(v);
}

QVector<vcg::Point3f> SaveCone(vcg::Point3f p0, double r0, vcg::Point3f p1, double r1)
{
    return {p0, p1, vcg::Point3f(static_cast<float>(r0), static_cast<float>(r1), 0.f)};
}

QVector<vcg::Point3f> SaveSphere(vcg::Point3f c, double r)
{
    return {c, vcg::Point3f(static_cast<float>(r), 0.f, 0.f)};
}
