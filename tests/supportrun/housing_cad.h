#pragma once
// Housings as a CAD export tessellates them: plan or side profiles with
// round holes (many facets) extruded or stacked, large flat faces in few
// triangles. Profiles are joined and cut with the polygon clipper and their
// faces triangulated by the GL utility tessellator.
#include "housing.h"

#include <GL/glu.h>
#include <polyclipping/clipper.hpp>

#include <cmath>
#include <memory>
#include <utility>
#include <vector>

namespace housing {

constexpr double kProfileScale = 10000.0; // clipper units per mm

inline ClipperLib::IntPoint At(double u, double v)
{
    return {ClipperLib::cInt(std::lround(u * kProfileScale)), ClipperLib::cInt(std::lround(v * kProfileScale))};
}

inline ClipperLib::Path Rect(double u0, double v0, double u1, double v1)
{
    return {At(u0, v0), At(u1, v0), At(u1, v1), At(u0, v1)};
}

inline ClipperLib::Path Circle(double u, double v, double r, int segments)
{
    ClipperLib::Path p;
    for (int k = 0; k < segments; ++k) {
        const double a = 2 * M_PI * k / segments;
        p.push_back(At(u + r * std::cos(a), v + r * std::sin(a)));
    }
    return p;
}

inline ClipperLib::Path Polygon(const std::vector<std::pair<double, double>>& points)
{
    ClipperLib::Path p;
    for (const auto& q : points)
        p.push_back(At(q.first, q.second));
    return p;
}

// The union of `add` less `cut`.
inline ClipperLib::Paths Region(std::vector<ClipperLib::Path> add, const std::vector<ClipperLib::Path>& cut = {})
{
    ClipperLib::Clipper c;
    for (ClipperLib::Path& p : add) {
        if (!ClipperLib::Orientation(p))
            std::reverse(p.begin(), p.end());
        c.AddPath(p, ClipperLib::ptSubject, true);
    }
    for (const ClipperLib::Path& p : cut)
        c.AddPath(p, ClipperLib::ptClip, true);
    ClipperLib::Paths out;
    c.Execute(cut.empty() ? ClipperLib::ctUnion : ClipperLib::ctDifference, out, ClipperLib::pftNonZero,
              ClipperLib::pftNonZero);
    return out;
}

inline ClipperLib::Paths Difference(const ClipperLib::Paths& a, const ClipperLib::Paths& b)
{
    ClipperLib::Clipper c;
    c.AddPaths(a, ClipperLib::ptSubject, true);
    c.AddPaths(b, ClipperLib::ptClip, true);
    ClipperLib::Paths out;
    c.Execute(ClipperLib::ctDifference, out, ClipperLib::pftNonZero, ClipperLib::pftNonZero);
    return out;
}

namespace detail {

struct Tess {
    std::vector<std::array<double, 2>> corners;
    std::vector<std::unique_ptr<std::array<double, 3>>> made;
};

inline void TessVertex(void* v, void* data)
{
    const GLdouble* p = static_cast<const GLdouble*>(v);
    static_cast<Tess*>(data)->corners.push_back({p[0], p[1]});
}

inline void TessEdgeFlag(GLboolean, void*) {} // asks for plain triangles

inline void TessCombine(GLdouble c[3], void*[4], GLfloat[4], void** out, void* data)
{
    Tess* t = static_cast<Tess*>(data);
    t->made.push_back(std::make_unique<std::array<double, 3>>(std::array<double, 3>{c[0], c[1], c[2]}));
    *out = t->made.back()->data();
}

} // namespace detail

// Triangles (u, v corner triples) covering the region, counter-clockwise.
inline std::vector<std::array<double, 2>> Triangulate(const ClipperLib::Paths& region)
{
    detail::Tess t;
    std::vector<std::array<double, 3>> points;
    size_t n = 0;
    for (const ClipperLib::Path& p : region)
        n += p.size();
    points.reserve(n);
    GLUtesselator* tess = gluNewTess();
    gluTessCallback(tess, GLU_TESS_VERTEX_DATA, reinterpret_cast<void (*)()>(&detail::TessVertex));
    gluTessCallback(tess, GLU_TESS_EDGE_FLAG_DATA, reinterpret_cast<void (*)()>(&detail::TessEdgeFlag));
    gluTessCallback(tess, GLU_TESS_COMBINE_DATA, reinterpret_cast<void (*)()>(&detail::TessCombine));
    gluTessProperty(tess, GLU_TESS_WINDING_RULE, GLU_TESS_WINDING_ODD);
    gluTessNormal(tess, 0, 0, 1);
    gluTessBeginPolygon(tess, &t);
    for (const ClipperLib::Path& p : region) {
        gluTessBeginContour(tess);
        for (const ClipperLib::IntPoint& q : p) {
            points.push_back({q.X / kProfileScale, q.Y / kProfileScale, 0});
            gluTessVertex(tess, points.back().data(), points.back().data());
        }
        gluTessEndContour(tess);
    }
    gluTessEndPolygon(tess);
    gluDeleteTess(tess);
    for (size_t i = 0; i + 2 < t.corners.size(); i += 3) {
        auto &a = t.corners[i], &b = t.corners[i + 1], &c = t.corners[i + 2];
        if ((b[0] - a[0]) * (c[1] - a[1]) - (b[1] - a[1]) * (c[0] - a[0]) < 0)
            std::swap(b, c);
    }
    t.corners.resize(t.corners.size() / 3 * 3);
    return t.corners;
}

// A solid of layers: plan region k from z[k] to z[k + 1]; closed, faces out,
// every level face the difference of the regions it parts.
inline std::vector<Tri> Stack(const std::vector<ClipperLib::Paths>& regions, const std::vector<double>& z)
{
    std::vector<Tri> out;
    auto level = [&out](const ClipperLib::Paths& region, double h, bool up) {
        const std::vector<std::array<double, 2>> t = Triangulate(region);
        const float zf = float(h);
        for (size_t i = 0; i + 2 < t.size(); i += 3) {
            const auto &a = t[i], &b = up ? t[i + 1] : t[i + 2], &c = up ? t[i + 2] : t[i + 1];
            out.push_back({float(a[0]), float(a[1]), zf, float(b[0]), float(b[1]), zf, float(c[0]), float(c[1]), zf});
        }
    };
    const size_t n = regions.size();
    for (size_t k = 0; k <= n; ++k) {
        const ClipperLib::Paths below = k > 0 ? regions[k - 1] : ClipperLib::Paths();
        const ClipperLib::Paths above = k < n ? regions[k] : ClipperLib::Paths();
        if (!below.empty())
            level(Difference(below, above), z[k], true);
        if (!above.empty())
            level(Difference(above, below), z[k], false);
    }
    for (size_t k = 0; k < n; ++k) {
        const float z0 = float(z[k]), z1 = float(z[k + 1]);
        for (const ClipperLib::Path& p : regions[k])
            for (size_t i = 0; i < p.size(); ++i) {
                const ClipperLib::IntPoint &A = p[i], &B = p[(i + 1) % p.size()];
                const float ax = float(A.X / kProfileScale), ay = float(A.Y / kProfileScale);
                const float bx = float(B.X / kProfileScale), by = float(B.Y / kProfileScale);
                // The region lies left of A B (outer outlines counter-clockwise,
                // holes clockwise): the wall faces right.
                out.push_back({ax, ay, z0, bx, by, z0, bx, by, z1});
                out.push_back({ax, ay, z0, bx, by, z1, ax, ay, z1});
            }
    }
    return out;
}

inline void Scale(std::vector<Tri>& tris, float s)
{
    for (Tri& t : tris)
        for (float& c : t)
            c *= s;
}

// A housing's side profile (x, z), extruded 29 mm along y: walls open below
// on a flange, a chamfered roof, a ledge and a sloping ledge inside, a boss
// hanging from the roof with a cross hole, cross holes in both walls (one
// 6.3 mm up) and in the flange.
inline std::vector<Tri> ProfileHousing(float scale)
{
    const ClipperLib::Paths profile = Region(
        {Rect(4, 0, 59, 57), Rect(0, 0, 63, 3), Rect(6.9, 6, 10, 9), Polygon({{52, 9}, {56.1, 5}, {56.1, 9}}),
         Rect(28, 40, 36, 54.1)},
        {Rect(7, -1, 56, 54), Polygon({{-1, 54}, {4, 59}, {-1, 59}}), Polygon({{64, 54}, {64, 59}, {59, 59}}),
         Circle(32, 44, 2, 64), Circle(5.5, 6.3, 1.2, 48), Circle(57.5, 20, 1, 40), Circle(2, 1.5, 0.8, 32),
         Circle(61, 1.5, 0.8, 32)});
    // Stacking the profile along y and turning y up to z extrudes it.
    std::vector<Tri> tris = Stack({profile}, {0, 29});
    for (Tri& t : tris) {
        for (int k = 0; k < 3; ++k)
            std::swap(t[3 * k + 1], t[3 * k + 2]); // (x, z, y): mirrored
        for (int k = 0; k < 3; ++k)
            std::swap(t[3 + k], t[6 + k]); // turned back out
    }
    Scale(tris, scale);
    return tris;
}

// A closed housing: a floor 2.3 mm thick with bosses standing on it, walls
// 3 mm, and an inner ceiling 3 mm under the top with bosses hanging from it;
// its supports stand on the floor.
inline std::vector<Tri> ClosedHousing(float scale)
{
    const ClipperLib::Path outer = Rect(0, 0, 63, 29), inner = Rect(3, 3, 60, 26);
    const ClipperLib::Paths full = Region({outer});
    const ClipperLib::Paths ring = Region({outer}, {inner});
    const std::vector<ClipperLib::Path> standing = {Circle(20, 20, 2, 64), Circle(45, 8, 3, 72)};
    const std::vector<ClipperLib::Path> hanging = {Circle(12, 10, 2.5, 48), Circle(30, 18, 3.5, 96),
                                                   Circle(50, 12, 1.5, 32)};
    auto withRing = [&ring](const std::vector<ClipperLib::Path>& bosses) {
        ClipperLib::Clipper c;
        c.AddPaths(ring, ClipperLib::ptSubject, true);
        c.AddPaths(Region(bosses), ClipperLib::ptClip, true);
        ClipperLib::Paths out;
        c.Execute(ClipperLib::ctUnion, out, ClipperLib::pftNonZero, ClipperLib::pftNonZero);
        return out;
    };
    std::vector<Tri> tris = Stack({full, withRing(standing), ring, withRing(hanging), full}, {0, 2.3, 6, 40, 54, 57});
    Scale(tris, scale);
    return tris;
}

} // namespace housing
