#include "layers/supportcut.h"

#include "layers/columnmesh.h"
#include "layers/layeroutlines.h"
#include "mesh/matrix33.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace layers {

using ClipperLib::IntPoint;
using ClipperLib::Path;

qint32 TruncToInt32(float value)
{
    if (std::isnan(value))
        return 0;
    if (value >= 2147483648.f)
        return std::numeric_limits<qint32>::max();
    if (value < -2147483648.f)
        return std::numeric_limits<qint32>::min();
    return qint32(value);
}

bool ZIntersect(const vcg::Point3f& a, const vcg::Point3f& b, float z, IntPoint& out)
{
    const float da = a.Z() - z;
    const float db = b.Z() - z;
    if ((da < 0.f && db < 0.f) || (da > 0.f && db > 0.f))
        return false;
    const float dz = b.Z() - a.Z();
    const float t = dz != 0.f ? (z - a.Z()) / dz : 0.f;
    const float x = t * (b.X() - a.X()) + a.X();
    const float y = t * (b.Y() - a.Y()) + a.Y();
    out = IntPoint(TruncToInt32(x * 1000.f), TruncToInt32(y * 1000.f));
    return true;
}

PlaneSpan PlaneSpanOf(const QVector<float>& planesMm, float zLowMm, float zHighMm)
{
    PlaneSpan span;
    if (planesMm.isEmpty() || !(zLowMm <= zHighMm))
        return span;
    // From the planes themselves: their spacing is a whole number of
    // micrometres, not the nominal thickness, and indices are signed.
    span.first = int(std::lower_bound(planesMm.begin(), planesMm.end(), zLowMm) - planesMm.begin());
    span.last = int(std::upper_bound(planesMm.begin(), planesMm.end(), zHighMm) - planesMm.begin()) - 1;
    return span;
}

namespace {

// Heights of the ring vertices on the micrometre grid, off the planes.
float SnapToMicrometre(float zMm)
{
    const float scaled = zMm * 1000.f;
    return float(std::trunc(double(scaled) + 0.5) / 1000.0);
}

} // namespace

Path CircleOutline(float centreX, float centreY, float radiusUnits)
{
    const QVector<vcg::Point3f>& circle = ColumnUnitCircle();
    Path outline;
    outline.reserve(circle.size());
    const float cx = centreX * 1000.f;
    const float cy = centreY * 1000.f;
    for (const vcg::Point3f& dir : circle)
        outline.emplace_back(TruncToInt32(dir.X() * radiusUnits + cx), TruncToInt32(dir.Y() * radiusUnits + cy));
    return outline;
}

ColumnTopology::ColumnTopology(const MyMesh& workMesh)
{
    MyMesh built;
    const MyMesh* mesh = &workMesh;
    if (!IsColumnMeshUsable(workMesh)) {
        BuildColumnMesh(built);
        mesh = &built;
    }
    for (int f = 0; f < kColumnFaces; ++f)
        for (int e = 0; e < 3; ++e) {
            v[f][e] = int(mesh->face[f].v[e]);
            ff[f][e] = int(mesh->face[f].ff[e]);
            ffi[f][e] = mesh->face[f].ffi[e];
        }
}

bool IsFinite(const vcg::Point3f& p)
{
    return std::isfinite(p.X()) && std::isfinite(p.Y()) && std::isfinite(p.Z());
}

bool ConeAxisOf(const vcg::Point3f& p1, float r1, const vcg::Point3f& p2, float r2, ConeAxis& out)
{
    if (!IsFinite(p1) || !IsFinite(p2) || !std::isfinite(r1) || !std::isfinite(r2))
        return false;
    const vcg::Point3f d = p2 - p1;
    out.lengthMm = d.Norm();
    if (!(out.lengthMm > 0.f) || !std::isfinite(out.lengthMm))
        return false; // coincident ends: no axis
    out.axis = d / out.lengthMm;
    const float sinTilt = std::sqrt(std::max(0.f, 1.f - out.axis.Z() * out.axis.Z()));
    out.zLowMm = std::min(p1.Z() - r1 * sinTilt, p2.Z() - r2 * sinTilt);
    out.zHighMm = std::max(p1.Z() + r1 * sinTilt, p2.Z() + r2 * sinTilt);
    out.upright = double(out.axis.Z()) < -0.999999;
    return true;
}

void PlacedColumn::Place(const ColumnTopology& t, const vcg::Point3f& p1, float r1, const vcg::Point3f& p2, float r2, float lengthMm,
                         const vcg::Point3f& axis)
{
    const vcg::Matrix33f rotation = vcg::RotationMatrix(vcg::Point3f(0.f, 0.f, -1.f), axis);
    const QVector<vcg::Point3f>& circle = ColumnUnitCircle();
    for (int k = 0; k < kColumnRingPoints; ++k) {
        vcg::Point3f a = p1 + rotation * vcg::Point3f(r1 * circle[k].X(), r1 * circle[k].Y(), 0.f);
        vcg::Point3f b = p1 + rotation * vcg::Point3f(r2 * circle[k].X(), r2 * circle[k].Y(), -lengthMm);
        a.Z() = SnapToMicrometre(a.Z());
        b.Z() = SnapToMicrometre(b.Z());
        m_pos[k] = a;
        m_pos[16 + k] = b;
    }
    m_pos[32] = p1;
    m_pos[33] = p2;
    for (int f = kColumnFirstSideFace; f < kColumnFaces; ++f) {
        const float z0 = m_pos[t.v[f][0]].Z();
        const float z1 = m_pos[t.v[f][1]].Z();
        const float z2 = m_pos[t.v[f][2]].Z();
        m_sideLow[f] = std::min({z0, z1, z2});
        m_sideHigh[f] = std::max({z0, z1, z2});
    }
}

void PlacedColumn::BoundsXY(float& x0, float& y0, float& x1, float& y1) const
{
    x0 = x1 = m_pos[0].X();
    y0 = y1 = m_pos[0].Y();
    for (const vcg::Point3f& p : m_pos) {
        x0 = std::min(x0, p.X());
        x1 = std::max(x1, p.X());
        y0 = std::min(y0, p.Y());
        y1 = std::max(y1, p.Y());
    }
}

bool PlacedColumn::Crosses(const ColumnTopology& t, int face, int edge, float z) const
{
    const float da = m_pos[t.v[face][edge]].Z() - z;
    const float db = m_pos[t.v[face][(edge + 1) % 3]].Z() - z;
    return !((da < 0.f && db < 0.f) || (da > 0.f && db > 0.f));
}

IntPoint PlacedColumn::Crossing(const ColumnTopology& t, int face, int edge, float z) const
{
    IntPoint point;
    ZIntersect(m_pos[t.v[face][edge]], m_pos[t.v[face][(edge + 1) % 3]], z, point);
    return point;
}

void PlacedColumn::Walk(const ColumnTopology& t, float z, Path& outline) const
{
    outline.clear();
    int start = -1;
    for (int f = kColumnFirstSideFace; f < kColumnFaces; ++f) {
        if (m_sideLow[f] < z && z < m_sideHigh[f]) {
            start = f;
            break;
        }
    }
    if (start < 0)
        return;

    // A walk over the closed column returns within one visit per face.
    constexpr int kMaxSteps = 3 * kColumnFaces;
    IntPoint walked[kMaxSteps + 1];
    int visited[kMaxSteps + 1];
    int count = 0;
    int edge = Crosses(t, start, 0, z) ? 0 : 1;
    walked[count] = Crossing(t, start, edge, z);
    visited[count++] = start;
    int face = start;
    bool closed = false;
    for (int step = 0; step < kMaxSteps; ++step) {
        const int exit = Crosses(t, face, (edge + 1) % 3, z) ? (edge + 1) % 3 : (edge + 2) % 3;
        walked[count] = Crossing(t, face, exit, z);
        edge = t.ffi[face][exit];
        face = t.ff[face][exit];
        visited[count++] = face;
        if (face == start) {
            closed = true;
            break;
        }
    }
    if (!closed || count < 3)
        return;
    const qint64 s = OrientationSum(walked, size_t(count));
    if (s == 0)
        return;

    // Points on a quad diagonal or a cap spoke lie on the line between their
    // neighbours and are left out.
    const int m = count - 1;
    outline.reserve(size_t(count));
    auto keep = [&](int k) {
        if (!ColumnFacesCoplanar(visited[k], visited[k - 1]))
            outline.push_back(walked[k]);
    };
    if (s < 0) {
        for (int k = 1; k <= m; ++k)
            keep(k);
    } else {
        for (int k = m; k >= 1; --k)
            keep(k);
    }
}

SupportCrossSections::SupportCrossSections(const QVector<float>& planesMm, MyMesh& columnWorkMesh)
    : m_planes(planesMm), m_topology(columnWorkMesh)
{
    m_paths.resize(planesMm.size());
}

QVector<ClipperLib::Paths> SupportCrossSections::takePaths()
{
    QVector<ClipperLib::Paths> out;
    out.swap(m_paths);
    m_paths.resize(m_planes.size());
    return out;
}

void SupportCrossSections::AddRecord(bool isDeleted, const QVector<QVector<vcg::Point3f>>& spheres,
                                     const QVector<QVector<vcg::Point3f>>& cones)
{
    AddSupportRecord(*this, isDeleted, spheres, cones);
}

void SupportCrossSections::AddSphere(const QVector<vcg::Point3f>& sphere)
{
    if (sphere.size() < 2)
        return;
    const vcg::Point3f centre = sphere[0];
    const float r = sphere[1].X();
    if (!IsFinite(centre) || !std::isfinite(r))
        return;
    const PlaneSpan span = PlaneSpanOf(m_planes, centre.Z() - r, centre.Z() + r);
    for (int layer = span.first; layer <= span.last; ++layer) {
        const float dz = m_planes[layer] - centre.Z();
        if (dz <= -r || dz >= r)
            continue;
        const float rho = std::sqrt(r * r - dz * dz) * 1000.f;
        m_paths[layer].push_back(CircleOutline(centre.X(), centre.Y(), rho));
    }
}

void SupportCrossSections::AddCone(const QVector<vcg::Point3f>& cone)
{
    if (cone.size() < 3)
        return;
    const vcg::Point3f p1 = cone[0];
    const vcg::Point3f p2 = cone[1];
    const float r1 = cone[2].X();
    const float r2 = cone[2].Y();
    ConeAxis axis;
    if (!ConeAxisOf(p1, r1, p2, r2, axis))
        return;
    const PlaneSpan span = PlaneSpanOf(m_planes, axis.zLowMm, axis.zHighMm);
    if (span.isEmpty())
        return;

    if (axis.upright) {
        const float heightMm = p1.Z() - p2.Z();
        for (int layer = span.first; layer <= span.last; ++layer) {
            const float z = m_planes[layer];
            const float rho = (r2 + (r1 - r2) * (z - p2.Z()) / heightMm) * 1000.f;
            m_paths[layer].push_back(CircleOutline(p1.X(), p1.Y(), rho));
        }
        return;
    }

    m_column.Place(m_topology, p1, r1, p2, r2, axis.lengthMm, axis.axis);
    Path outline;
    for (int layer = span.first; layer <= span.last; ++layer) {
        m_column.Walk(m_topology, m_planes[layer], outline);
        if (!outline.empty())
            m_paths[layer].push_back(std::move(outline));
    }
}

} // namespace layers
