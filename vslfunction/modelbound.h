#pragma once
#include <QVector3D>

#include <cmath>

// No printer builds anything near 100 m: a coordinate beyond it comes from a
// file that is not a model (or a damaged one), and would make a plate of
// millions of empty layers.
constexpr float kMaxModelCoordinateMm = 100000.0f;

inline bool WithinModelBound(float v)
{
    return std::isfinite(v) && std::fabs(v) <= kMaxModelCoordinateMm;
}

inline bool WithinModelBound(const QVector3D& p)
{
    return WithinModelBound(p.x()) && WithinModelBound(p.y()) && WithinModelBound(p.z());
}
