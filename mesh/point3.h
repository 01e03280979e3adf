#pragma once
#include <cmath>

namespace vcg {

// Three-component float point/vector. '*' between two points is the dot
// product and '^' the cross product.
struct Point3f {
    float v[3] = {0.f, 0.f, 0.f};

    Point3f() = default;
    Point3f(float x, float y, float z) : v{x, y, z} {}

    float& operator[](int i) { return v[i]; }
    float operator[](int i) const { return v[i]; }
    float& X() { return v[0]; }
    float& Y() { return v[1]; }
    float& Z() { return v[2]; }
    float X() const { return v[0]; }
    float Y() const { return v[1]; }
    float Z() const { return v[2]; }

    Point3f operator+(const Point3f& o) const { return {v[0] + o.v[0], v[1] + o.v[1], v[2] + o.v[2]}; }
    Point3f operator-(const Point3f& o) const { return {v[0] - o.v[0], v[1] - o.v[1], v[2] - o.v[2]}; }
    Point3f operator-() const { return {-v[0], -v[1], -v[2]}; }
    Point3f operator*(float s) const { return {v[0] * s, v[1] * s, v[2] * s}; }
    Point3f operator/(float s) const { return {v[0] / s, v[1] / s, v[2] / s}; }
    float operator*(const Point3f& o) const { return v[0] * o.v[0] + v[1] * o.v[1] + v[2] * o.v[2]; }
    Point3f operator^(const Point3f& o) const
    {
        return {v[1] * o.v[2] - v[2] * o.v[1], v[2] * o.v[0] - v[0] * o.v[2], v[0] * o.v[1] - v[1] * o.v[0]};
    }
    Point3f& operator+=(const Point3f& o) { return *this = *this + o; }
    Point3f& operator-=(const Point3f& o) { return *this = *this - o; }
    Point3f& operator*=(float s) { return *this = *this * s; }
    Point3f& operator/=(float s) { return *this = *this / s; }
    bool operator==(const Point3f& o) const { return v[0] == o.v[0] && v[1] == o.v[1] && v[2] == o.v[2]; }
    bool operator!=(const Point3f& o) const { return !(*this == o); }

    float SquaredNorm() const { return *this * *this; }
    float Norm() const { return std::sqrt(SquaredNorm()); }
    // A zero vector stays zero instead of turning into NaNs.
    Point3f& Normalize()
    {
        const float n = Norm();
        if (n > 0.f)
            *this /= n;
        return *this;
    }
};

inline Point3f operator*(float s, const Point3f& p) { return p * s; }
inline float Distance(const Point3f& a, const Point3f& b) { return (a - b).Norm(); }
inline float SquaredDistance(const Point3f& a, const Point3f& b) { return (a - b).SquaredNorm(); }
inline Point3f Normalized(Point3f p) { return p.Normalize(); }

} // namespace vcg
