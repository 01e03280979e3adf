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

bool IsFinite(const vcg::Point3f& p)
{
    return std::isfinite(p.X()) && std::isfinite(p.Y()) && std::isfinite(p.Z());
}

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

// Heights of the ring vertices on the micrometre grid, off the planes.
float SnapToMicrometre(float zMm)
{
    const float scaled = zMm * 1000.f;
    return float(std::trunc(double(scaled) + 0.5) / 1000.0);
}

} // namespace

SupportCrossSections::SupportCrossSections(const QVector<float>& planesMm, MyMesh& columnWorkMesh)
    : m_planes(planesMm), m_mesh(&columnWorkMesh)
{
    if (!IsColumnMeshUsable(columnWorkMesh)) {
        BuildColumnMesh(m_ownMesh);
        m_mesh = &m_ownMesh;
    }
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
    if (isDeleted)
        return;
    for (const QVector<vcg::Point3f>& sphere : spheres)
        AddSphere(sphere);
    for (const QVector<vcg::Point3f>& cone : cones)
        AddCone(cone);
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
    if (!IsFinite(p1) || !IsFinite(p2) || !std::isfinite(r1) || !std::isfinite(r2))
        return;
    const vcg::Point3f d = p2 - p1;
    const float lengthMm = d.Norm();
    if (!(lengthMm > 0.f) || !std::isfinite(lengthMm))
        return; // coincident ends: no axis
    const vcg::Point3f axis = d / lengthMm;
    const float sinTilt = std::sqrt(std::max(0.f, 1.f - axis.Z() * axis.Z()));
    const float zLow = std::min(p1.Z() - r1 * sinTilt, p2.Z() - r2 * sinTilt);
    const float zHigh = std::max(p1.Z() + r1 * sinTilt, p2.Z() + r2 * sinTilt);
    const PlaneSpan span = PlaneSpanOf(m_planes, zLow, zHigh);
    if (span.isEmpty())
        return;

    if (double(axis.Z()) < -0.999999) {
        const float heightMm = p1.Z() - p2.Z();
        for (int layer = span.first; layer <= span.last; ++layer) {
            const float z = m_planes[layer];
            const float rho = (r2 + (r1 - r2) * (z - p2.Z()) / heightMm) * 1000.f;
            m_paths[layer].push_back(CircleOutline(p1.X(), p1.Y(), rho));
        }
        return;
    }

    PlaceColumn(p1, r1, p2, r2, lengthMm, axis);
    for (int layer = span.first; layer <= span.last; ++layer)
        WalkColumn(layer);
}

void SupportCrossSections::PlaceColumn(const vcg::Point3f& p1, float r1, const vcg::Point3f& p2, float r2,
                                       float lengthMm, const vcg::Point3f& axis)
{
    const vcg::Matrix33f rotation = vcg::RotationMatrix(vcg::Point3f(0.f, 0.f, -1.f), axis);
    const QVector<vcg::Point3f>& circle = ColumnUnitCircle();
    std::vector<MyVertex>& vert = m_mesh->vert;
    for (int k = 0; k < kColumnRingPoints; ++k) {
        vcg::Point3f a = p1 + rotation * vcg::Point3f(r1 * circle[k].X(), r1 * circle[k].Y(), 0.f);
        vcg::Point3f b = p1 + rotation * vcg::Point3f(r2 * circle[k].X(), r2 * circle[k].Y(), -lengthMm);
        a.Z() = SnapToMicrometre(a.Z());
        b.Z() = SnapToMicrometre(b.Z());
        vert[k].p = a;
        vert[16 + k].p = b;
    }
    vert[32].p = p1;
    vert[33].p = p2;
    for (int f = kColumnFirstSideFace; f < kColumnFaces; ++f) {
        const MyFace& face = m_mesh->face[f];
        const float z0 = vert[face.v[0]].p.Z();
        const float z1 = vert[face.v[1]].p.Z();
        const float z2 = vert[face.v[2]].p.Z();
        m_sideLow[f] = std::min({z0, z1, z2});
        m_sideHigh[f] = std::max({z0, z1, z2});
    }
}

bool SupportCrossSections::Crosses(int face, int edge, float z) const
{
    const MyFace& f = m_mesh->face[face];
    const float da = m_mesh->vert[f.v[edge]].p.Z() - z;
    const float db = m_mesh->vert[f.v[(edge + 1) % 3]].p.Z() - z;
    return !((da < 0.f && db < 0.f) || (da > 0.f && db > 0.f));
}

IntPoint SupportCrossSections::Crossing(int face, int edge, float z) const
{
    const MyFace& f = m_mesh->face[face];
    IntPoint point;
    ZIntersect(m_mesh->vert[f.v[edge]].p, m_mesh->vert[f.v[(edge + 1) % 3]].p, z, point);
    return point;
}

void SupportCrossSections::WalkColumn(int layer)
{
    const float z = m_planes[layer];
    int start = -1;
    for (int f = kColumnFirstSideFace; f < kColumnFaces; ++f) {
        if (m_sideLow[f] < z && z < m_sideHigh[f]) {
            start = f;
            break;
        }
    }
    if (start < 0)
        return;

    Path walked;
    QVector<int> visited;
    int edge = Crosses(start, 0, z) ? 0 : 1;
    walked.push_back(Crossing(start, edge, z));
    visited.append(start);
    int face = start;
    // A walk over the closed column returns within one visit per face.
    const int maxSteps = 3 * kColumnFaces;
    bool closed = false;
    for (int step = 0; step < maxSteps; ++step) {
        const int exit = Crosses(face, (edge + 1) % 3, z) ? (edge + 1) % 3 : (edge + 2) % 3;
        walked.push_back(Crossing(face, exit, z));
        const MyFace& f = m_mesh->face[face];
        edge = f.ffi[exit];
        face = int(f.ff[exit]);
        visited.append(face);
        if (face == start) {
            closed = true;
            break;
        }
    }
    if (!closed || walked.size() < 3)
        return;
    const qint64 s = OrientationSum(walked);
    if (s == 0)
        return;

    // Points on a quad diagonal or a cap spoke lie on the line between their
    // neighbours and are left out.
    const int m = int(walked.size()) - 1;
    Path outline;
    outline.reserve(walked.size());
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
    if (!outline.empty())
        m_paths[layer].push_back(std::move(outline));
}

} // namespace layers
