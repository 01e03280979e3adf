#pragma once
#include "mesh/point3.h"

#include <cmath>

namespace vcg {

// A line through an origin along a direction (not normalised: callers that
// walk a length along it rely on the direction they gave).
struct Line3f {
    Point3f origin;
    Point3f direction{0.f, 0.f, 1.f};

    Line3f() = default;
    Line3f(const Point3f& o, const Point3f& d) : origin(o), direction(d) {}

    const Point3f& Origin() const { return origin; }
    const Point3f& Direction() const { return direction; }
    Point3f& Origin() { return origin; }
    Point3f& Direction() { return direction; }
    Point3f P(float t) const { return origin + direction * t; }
};

template <class T> using Line3 = Line3f;

// Where the line meets the plane of triangle v0 v1 v2: the line parameter t
// (point = origin + t * direction) and the barycentric weights u of v1 and v
// of v2. All three are written on every call (0 when the line runs parallel
// to the plane or the triangle has no area). True when the point lies on the
// triangle, edges included; t may have either sign.
inline bool IntersectionLineTriangle(const Line3f& line, const Point3f& v0, const Point3f& v1, const Point3f& v2,
                                     float& t, float& u, float& v)
{
    const Point3f e1 = v1 - v0, e2 = v2 - v0;
    const Point3f p = line.direction ^ e2;
    const float det = e1 * p;
    // Relative to the sizes involved, so small triangles are not refused.
    const float scale = e1.Norm() * e2.Norm() * line.direction.Norm();
    if (!(std::fabs(det) > 1e-7f * scale) || !std::isfinite(det)) {
        t = u = v = 0.f;
        return false;
    }
    const float inv = 1.f / det;
    const Point3f s = line.origin - v0;
    const Point3f q = s ^ e1;
    u = (s * p) * inv;
    v = (line.direction * q) * inv;
    t = (e2 * q) * inv;
    return u >= 0.f && v >= 0.f && u + v <= 1.f;
}

} // namespace vcg
