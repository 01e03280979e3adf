#pragma once
#include "mesh/point3.h"

namespace vcg {

// Row-major 3x3 matrix.
struct Matrix33f {
    float m[3][3] = {{1.f, 0.f, 0.f}, {0.f, 1.f, 0.f}, {0.f, 0.f, 1.f}};

    float* operator[](int r) { return m[r]; }
    const float* operator[](int r) const { return m[r]; }
    Point3f operator*(const Point3f& p) const
    {
        return {m[0][0] * p[0] + m[0][1] * p[1] + m[0][2] * p[2],
                m[1][0] * p[0] + m[1][1] * p[1] + m[1][2] * p[2],
                m[2][0] * p[0] + m[2][1] * p[1] + m[2][2] * p[2]};
    }
    static Matrix33f Identity() { return {}; }
};

// Rotation that carries unit vector a onto unit vector b: identity when their
// dot product exceeds 0.99999, otherwise the rotation by the angle between them
// about their normalised cross product. For opposite vectors the cross product
// is zero and the result is -I (a point reflection, not a half turn); callers
// that need a proper rotation there must handle that case themselves.
inline Matrix33f RotationMatrix(const Point3f& a, const Point3f& b)
{
    Matrix33f r;
    float dot = a * b;
    if (dot > 0.99999f)
        return r;
    if (dot < -1.f)
        dot = -1.f;
    Point3f axis = a ^ b;
    axis.Normalize();
    const double angle = std::acos(static_cast<double>(dot));
    const float c = static_cast<float>(std::cos(angle));
    const float s = static_cast<float>(std::sin(angle));
    const float t = 1.f - c;
    const float x = axis[0], y = axis[1], z = axis[2];
    r.m[0][0] = t * x * x + c;     r.m[0][1] = t * x * y - s * z; r.m[0][2] = t * x * z + s * y;
    r.m[1][0] = t * x * y + s * z; r.m[1][1] = t * y * y + c;     r.m[1][2] = t * y * z - s * x;
    r.m[2][0] = t * x * z - s * y; r.m[2][1] = t * y * z + s * x; r.m[2][2] = t * z * z + c;
    return r;
}

} // namespace vcg
