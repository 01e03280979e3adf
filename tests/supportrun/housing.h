#pragma once
// Machined-housing test parts: a solid described by distances (boxes and
// cylinders joined and cut), meshed by marching tetrahedra into a closed,
// finely faceted surface like a CAD export's, faces out. Plain C++ so that a
// small generator can write the same parts as STL files.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <functional>
#include <random>
#include <string>
#include <unordered_map>
#include <vector>

namespace housing {

using Tri = std::array<float, 9>;
using Field = std::function<double(double, double, double)>;

inline double Box(double x, double y, double z, const double lo[3], const double hi[3])
{
    const double c[3] = {(lo[0] + hi[0]) / 2, (lo[1] + hi[1]) / 2, (lo[2] + hi[2]) / 2};
    const double h[3] = {(hi[0] - lo[0]) / 2, (hi[1] - lo[1]) / 2, (hi[2] - lo[2]) / 2};
    const double q[3] = {std::fabs(x - c[0]) - h[0], std::fabs(y - c[1]) - h[1], std::fabs(z - c[2]) - h[2]};
    const double out = std::sqrt(std::pow(std::max(q[0], 0.0), 2) + std::pow(std::max(q[1], 0.0), 2) +
                                 std::pow(std::max(q[2], 0.0), 2));
    return out + std::min(std::max(q[0], std::max(q[1], q[2])), 0.0);
}

// A cylinder along axis `axis` (0 x, 1 y, 2 z) through (a, b) in the other two
// axes (in order), radius r, from t0 to t1 along the axis.
inline double Cylinder(double x, double y, double z, int axis, double a, double b, double r, double t0, double t1)
{
    const double p[3] = {x, y, z};
    const double u = p[(axis + 1) % 3], v = p[(axis + 2) % 3], t = p[axis];
    const double radial = std::hypot(u - a, v - b) - r;
    const double along = std::max(t0 - t, t - t1);
    const double out = std::hypot(std::max(radial, 0.0), std::max(along, 0.0));
    return out + std::min(std::max(radial, along), 0.0);
}

struct Solid {
    struct Part {
        bool cut;
        Field f;
    };
    std::vector<Part> parts; // applied in order: a join, or a cut
    double lo[3], hi[3];     // the mesh's sampling bounds

    double operator()(double x, double y, double z) const
    {
        double d = 1e9;
        for (const Part& p : parts) {
            const double e = p.f(x, y, z);
            d = p.cut ? std::max(d, -e) : std::min(d, e);
        }
        return d;
    }
    void Add(Field f) { parts.push_back({false, std::move(f)}); }
    void Cut(Field f) { parts.push_back({true, std::move(f)}); }
    void AddBox(double x0, double y0, double z0, double x1, double y1, double z1, bool cut = false)
    {
        const std::array<double, 3> lo{x0, y0, z0}, hi{x1, y1, z1};
        parts.push_back({cut, [lo, hi](double x, double y, double z) { return Box(x, y, z, lo.data(), hi.data()); }});
    }
    void AddCylinder(int axis, double a, double b, double r, double t0, double t1, bool cut = false)
    {
        parts.push_back({cut, [=](double x, double y, double z) { return Cylinder(x, y, z, axis, a, b, r, t0, t1); }});
    }
};

// Marching tetrahedra over the grid of step h: every cube cut into six
// tetrahedra round its main diagonal, so neighbours share their cuts and the
// surface closes. Crossings are placed from the lower grid point of an edge
// to the higher, so both faces of a shared edge get the same bits.
inline std::vector<Tri> Mesh(const Solid& s, double h)
{
    const int n[3] = {int(std::ceil((s.hi[0] - s.lo[0]) / h)) + 3, int(std::ceil((s.hi[1] - s.lo[1]) / h)) + 3,
                      int(std::ceil((s.hi[2] - s.lo[2]) / h)) + 3};
    // A grid a little off the features' round numbers: no sample lies on the surface.
    const double o[3] = {s.lo[0] - h * 1.0137, s.lo[1] - h * 1.0071, s.lo[2] - h * 1.0193};
    auto index = [&n](int i, int j, int k) { return (size_t(k) * n[1] + j) * n[0] + i; };
    std::vector<double> v(size_t(n[0]) * n[1] * n[2]);
    for (int k = 0; k < n[2]; ++k)
        for (int j = 0; j < n[1]; ++j)
            for (int i = 0; i < n[0]; ++i) {
                double d = s(o[0] + i * h, o[1] + j * h, o[2] + k * h);
                if (d == 0)
                    d = 1e-9;
                if (i == 0 || j == 0 || k == 0 || i == n[0] - 1 || j == n[1] - 1 || k == n[2] - 1)
                    d = std::max(d, 1e-3); // closed at the bounds
                v[index(i, j, k)] = d;
            }
    auto point = [&](size_t g) {
        const int i = int(g % size_t(n[0])), j = int((g / size_t(n[0])) % size_t(n[1])),
                  k = int(g / (size_t(n[0]) * n[1]));
        return std::array<double, 3>{o[0] + i * h, o[1] + j * h, o[2] + k * h};
    };
    auto cross = [&](size_t a, size_t b) {
        if (a > b)
            std::swap(a, b);
        const std::array<double, 3> pa = point(a), pb = point(b);
        const double t = v[a] / (v[a] - v[b]);
        return std::array<float, 3>{float(pa[0] + t * (pb[0] - pa[0])), float(pa[1] + t * (pb[1] - pa[1])),
                                    float(pa[2] + t * (pb[2] - pa[2]))};
    };
    std::vector<Tri> out;
    // Emits the triangle (p, q, r) turned so its normal points from the inside
    // point `in` toward the outside point `out`.
    auto addTri = [&](std::array<float, 3> p, std::array<float, 3> q, std::array<float, 3> r, size_t in, size_t outside) {
        const std::array<double, 3> a = point(in), b = point(outside);
        const double e1[3] = {double(q[0]) - p[0], double(q[1]) - p[1], double(q[2]) - p[2]};
        const double e2[3] = {double(r[0]) - p[0], double(r[1]) - p[1], double(r[2]) - p[2]};
        const double nx = e1[1] * e2[2] - e1[2] * e2[1], ny = e1[2] * e2[0] - e1[0] * e2[2],
                     nz = e1[0] * e2[1] - e1[1] * e2[0];
        if (nx * (b[0] - a[0]) + ny * (b[1] - a[1]) + nz * (b[2] - a[2]) < 0)
            std::swap(q, r);
        if (p == q || q == r || p == r)
            return;
        out.push_back({p[0], p[1], p[2], q[0], q[1], q[2], r[0], r[1], r[2]});
    };
    static const int kTets[6][4] = {{0, 1, 3, 7}, {0, 3, 2, 7}, {0, 2, 6, 7}, {0, 6, 4, 7}, {0, 4, 5, 7}, {0, 5, 1, 7}};
    for (int k = 0; k + 1 < n[2]; ++k)
        for (int j = 0; j + 1 < n[1]; ++j)
            for (int i = 0; i + 1 < n[0]; ++i) {
                size_t c[8];
                bool anyIn = false, anyOut = false;
                for (int b = 0; b < 8; ++b) {
                    c[b] = index(i + (b & 1), j + ((b >> 1) & 1), k + ((b >> 2) & 1));
                    (v[c[b]] < 0 ? anyIn : anyOut) = true;
                }
                if (!anyIn || !anyOut)
                    continue;
                for (const auto& tet : kTets) {
                    size_t ins[4], outs[4];
                    int ni = 0, no = 0;
                    for (int t : tet)
                        (v[c[t]] < 0 ? ins[ni++] : outs[no++]) = c[t];
                    if (ni == 1)
                        addTri(cross(ins[0], outs[0]), cross(ins[0], outs[1]), cross(ins[0], outs[2]), ins[0], outs[0]);
                    else if (ni == 3)
                        addTri(cross(ins[0], outs[0]), cross(ins[1], outs[0]), cross(ins[2], outs[0]), ins[0], outs[0]);
                    else if (ni == 2) {
                        const auto a = cross(ins[0], outs[0]), b = cross(ins[0], outs[1]), c2 = cross(ins[1], outs[1]),
                                   d = cross(ins[1], outs[0]);
                        addTri(a, b, c2, ins[0], outs[0]);
                        addTri(a, c2, d, ins[1], outs[0]);
                    }
                }
            }
    return out;
}

// Binary STL bytes of the triangles.
inline std::string Stl(const std::vector<Tri>& tris)
{
    std::string s(80, ' ');
    auto put = [&s](const void* p, size_t n) { s.append(static_cast<const char*>(p), n); };
    const uint32_t count = uint32_t(tris.size());
    put(&count, 4);
    for (const Tri& t : tris) {
        const float normal[3] = {0, 0, 0};
        put(normal, 12);
        put(t.data(), 36);
        const uint16_t attr = 0;
        put(&attr, 2);
    }
    return s;
}

} // namespace housing

namespace housing {

// A piece of a machined housing (63 x 29 x 57 mm, open below, walls 3.4 mm):
// the side wall with a window and two cross holes, a partition across the
// cavity with a counterbored boss hanging under it and a rib beside it.
// Meshed at 0.8 mm, the boss's rounded rim holds dimples whose floor is an
// edge of two vertices of one height, inside the region of a lower contact.
inline Solid BossUnderPartition()
{
    Solid s;
    const double t = 3.4212141146043527, fl = 3.192763822494002;
    s.AddBox(fl, 0, 0, 63 - fl, 29, 57);
    s.AddBox(0, 0, 0, 63, 29, 2.7402188079625818);
    s.AddBox(fl + t, t, -1, 63 - fl - t, 29 - t, 57 - t, true);
    s.AddBox(fl, 0, 18.344051489142444, 63 - fl, 29, 21.404844424418293);
    const double bx = 45.735075205671876, by = 18.620390317225887, bz = 11.873110396593656;
    s.AddCylinder(2, bx, by, 2.7799511564596937, bz, 56);
    s.AddCylinder(2, bx, by, 1.2509780204068621, bz - 1, 58, true);
    s.AddCylinder(2, bx, by, 2.0849633673447703, bz - 1, 14.32176785228263, true);
    s.AddBox(38.669873238633855, t - 0.1, 19.574153673191645, 40.745871454588638, 29 - t + 0.1, 56);
    s.AddBox(50.581032606991684, t - 0.1, 13.14705399166078, 51.961483758448466, 29 - t + 0.1, 56);
    s.AddCylinder(1, 41.71119631543597, 9.8420260138414051, 3.7817509878313862, -1, 30, true);
    s.AddCylinder(1, 37.032765710594546, 7.9876306531382166, 2.1871690034324587, -1, 30, true);
    s.AddCylinder(0, 20.901263266974702, 8.7014402511938584, 2.5460262787992276, -1, 64, true);
    s.AddBox(33.376819069695351, -1, 9.8816293052381816, 47.07508866917712, t + 1, 19.95203249372506, true);
    // The piece: 12 mm of the housing's length, from its front to beyond the boss.
    const std::array<double, 3> lo{40, -0.5, -0.5}, hi{52, 24, 20};
    s.Cut([lo, hi](double x, double y, double z) { return -Box(x, y, z, lo.data(), hi.data()); });
    const double h = 0.8;
    for (int k = 0; k < 3; ++k) {
        s.lo[k] = -0.5 + std::floor((lo[k] + 0.5) / h) * h - h;
        s.hi[k] = hi[k] + h;
    }
    return s;
}

} // namespace housing
