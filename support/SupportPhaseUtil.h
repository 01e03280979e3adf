#pragma once
#include "DLP_Support.h"
#include "mesh/mymesh.h"
#include "mesh/point3.h"

#include <QtGlobal>

#include <algorithm>
#include <cmath>
#include <unordered_map>
#include <vector>

// Small helpers shared by the phases of a generation run.
namespace supportphase {

// Position in a vertex-face ring: face f, corner k (f.V(k) is the vertex).
struct RingPos {
    uint32_t f;
    int k;
};

inline bool ValidPos(const MyMesh& m, uint32_t f, int k) { return f < m.FaceCount() && k >= 0 && k < 3; }

// The face after (f, k) in the ring of f.V(k). The ring is circular: after
// its last face comes its first, so the walk never leaves the mesh.
inline RingPos NextInRing(const MyMesh& m, uint32_t f, int k)
{
    const MyFace& face = m.face[f];
    uint32_t g = face.vf[k];
    int i = face.vfi[k];
    if (!ValidPos(m, g, i)) {
        const MyVertex& v = m.vert[face.v[k]];
        g = v.vfFace;
        i = v.vfCorner;
    }
    if (!ValidPos(m, g, i))
        return {f, k};
    return {g, i};
}

// fn(f, k) for the faces around vertex v, from its first face.
template <class Fn> void ForRing(const MyMesh& m, uint32_t v, Fn&& fn)
{
    if (v >= m.VertexCount())
        return;
    uint32_t f = m.vert[v].vfFace;
    int k = m.vert[v].vfCorner;
    for (uint32_t guard = 0; ValidPos(m, f, k) && guard <= m.FaceCount(); ++guard) {
        fn(f, k);
        const MyFace& face = m.face[f];
        const uint32_t nf = face.vf[k];
        k = face.vfi[k];
        f = nf;
    }
}

// v / |v|; a zero vector stays zero.
inline vcg::Point3f Unit(vcg::Point3f v)
{
    const float n = v.Norm();
    return n > 0.f ? v / n : v;
}

inline double HorizontalDistance(const vcg::Point3f& a, const vcg::Point3f& b)
{
    const double dx = double(a[0]) - b[0], dy = double(a[1]) - b[1];
    return std::sqrt(dx * dx + dy * dy);
}

// Unit horizontal direction from a to b; zero when b lies straight above or below.
inline vcg::Point3f HorizontalDirection(const vcg::Point3f& a, const vcg::Point3f& b)
{
    return Unit(vcg::Point3f(b[0] - a[0], b[1] - a[1], 0.f));
}

// The lower end of a record's upright shaft. A column standing on the model
// that is neither joined nor landed yet, or that ends on its own hit, leans
// (or will) from a tip length above its hit down to the model: a strut or a
// joint ending on the shaft's axis there would stand beside the column with
// nothing below it.
inline vcg::Point3f UprightShaftFoot(const DLP_Support& s, float tipLength)
{
    if (s.onModel && !s.linked)
        return vcg::Point3f(s.base[0], s.base[1], std::min(s.base[2] + tipLength, s.shaftTop[2]));
    return s.base;
}

// Whether the leg from q (radius rt) up to top (radius rs), straight between
// its ends, holds the lowest point of the sphere of radius rs round top,
// with a hundredth of a millimetre to spare.
inline bool HoldsEndSphereBottom(const vcg::Point3f& q, double rt, const vcg::Point3f& top, double rs)
{
    const double ax = double(q[0]) - top[0], ay = double(q[1]) - top[1], az = double(q[2]) - top[2];
    const double length = std::sqrt(ax * ax + ay * ay + az * az);
    if (!(length > 0))
        return false;
    // From top down to the sphere's lowest point: along the leg by t, off its axis by d.
    const double t = -rs * az / length;
    if (t < 0 || t > length)
        return false;
    const double d = std::sqrt(std::max(0.0, rs * rs - t * t));
    return d <= rs - (rs - rt) * t / length - 0.01;
}

// Candidates nearer than this horizontally give a strut of no length and no
// direction: they are skipped.
constexpr double kMinNeighbourDistance = 1e-6;

constexpr double kCos30 = 0.8660254037844386;

// Items by the square of the plan (`cellMm` wide) their point lies in, to
// visit those within one square of a point: every item closer than `cellMm`
// in plan is among them.
template <class T> class PlanCells {
public:
    explicit PlanCells(double cellMm) : m_cell(std::max(cellMm, 1e-3)) {}
    void Add(const vcg::Point3f& p, T item) { m_cells[Key(Cell(p[0]), Cell(p[1]))].push_back(item); }
    // Rows of squares from the lowest y, each from the lowest x; each
    // square's items in the order they were added.
    template <class Fn> void ForEachNear(const vcg::Point3f& p, Fn&& fn) const
    {
        const qint64 cx = Cell(p[0]), cy = Cell(p[1]);
        for (qint64 y = cy - 1; y <= cy + 1; ++y)
            for (qint64 x = cx - 1; x <= cx + 1; ++x) {
                const auto it = m_cells.find(Key(x, y));
                if (it == m_cells.end())
                    continue;
                for (const T& item : it->second)
                    fn(item);
            }
    }

private:
    qint64 Cell(float c) const { return qint64(std::floor(double(c) / m_cell)); }
    static qint64 Key(qint64 cx, qint64 cy) { return qint64((quint64(cx) << 32) ^ (quint64(cy) & 0xFFFFFFFFull)); }
    double m_cell;
    std::unordered_map<qint64, std::vector<T>> m_cells;
};

} // namespace supportphase
