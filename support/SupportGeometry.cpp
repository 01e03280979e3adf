#include "SupportGeometry.h"

#include "mesh/allocator.h"
#include "mesh/topology.h"

#include <cmath>

namespace supportgeom {
namespace {
constexpr double kQuarterPi = 0.7853981633974483;

// Azimuth step k of 16: k * 22.5 degrees, formed as (8k) * (pi/4) * 0.0625.
double Azimuth(int k) { return (8 * k) * kQuarterPi * 0.0625; }

vcg::Point3f RingPoint(int band, int k)
{
    const double polar = (4 * band) * kQuarterPi * 0.0625;
    const double a = Azimuth(k % 16);
    return vcg::Point3f(static_cast<float>(std::sin(polar) * std::cos(a)),
                        static_cast<float>(std::sin(polar) * std::sin(a)), static_cast<float>(std::cos(polar)));
}

void AppendFacet(QVector<vcg::Point3f>& out, vcg::Point3f a, vcg::Point3f b, vcg::Point3f c)
{
    vcg::Point3f n = (b - a) ^ (c - a);
    n.Normalize();
    out << n << a << b << c;
}

VSLTriangle3D Triangle(const vcg::Point3f& a, const vcg::Point3f& b, const vcg::Point3f& c)
{
    VSLTriangle3D t;
    t.vertices[0] = QVector3D(a[0], a[1], a[2]);
    t.vertices[1] = QVector3D(b[0], b[1], b[2]);
    t.vertices[2] = QVector3D(c[0], c[1], c[2]);
    t.UpdateNormal();
    t.UpdateBound();
    return t;
}
} // namespace

QVector<vcg::Point3f> BuildUnitSphere()
{
    QVector<vcg::Point3f> s;
    s.reserve(480 * 4);
    const vcg::Point3f top(0, 0, 1), bottom(0, 0, -1);
    for (int k = 0; k < 16; ++k)
        AppendFacet(s, top, RingPoint(1, k), RingPoint(1, k + 1));
    for (int j = 1; j <= 14; ++j) {
        for (int k = 0; k < 16; ++k) {
            const vcg::Point3f a = RingPoint(j, k), b = RingPoint(j + 1, k);
            const vcg::Point3f c = RingPoint(j + 1, k + 1), d = RingPoint(j, k + 1);
            AppendFacet(s, a, b, c);
            AppendFacet(s, a, c, d);
        }
    }
    for (int k = 0; k < 16; ++k)
        AppendFacet(s, bottom, RingPoint(15, k + 1), RingPoint(15, k));
    return s;
}

QVector<vcg::Point3f> BuildUnitCircle()
{
    QVector<vcg::Point3f> c;
    c.reserve(16);
    for (int k = 0; k < 16; ++k) {
        const double a = k * 22.5 * M_PI / 180.0;
        c << vcg::Point3f(static_cast<float>(std::cos(a)), static_cast<float>(std::sin(a)), 0.f);
    }
    return c;
}

QVector<QVector<int>> BuildCoPlane()
{
    QVector<QVector<int>> t(64, QVector<int>(64, 0));
    for (int i = 0; i < 16; ++i)
        for (int j = 0; j < 16; ++j) {
            t[i][j] = 1;
            t[16 + i][16 + j] = 1;
        }
    for (int m = 0; m < 16; ++m) {
        t[32 + 2 * m][33 + 2 * m] = 1;
        t[33 + 2 * m][32 + 2 * m] = 1;
    }
    return t;
}

void BuildUnitColumn(MyMesh& mesh, const QVector<vcg::Point3f>& unitCircle)
{
    mesh.Clear();
    vcg::tri::Allocator<MyMesh>::AddFaces(mesh, 64);
    vcg::tri::Allocator<MyMesh>::AddVertices(mesh, 192);
    for (int k = 0; k < 16 && k < unitCircle.size(); ++k) {
        mesh.vert[k].p = unitCircle[k];
        mesh.vert[16 + k].p = unitCircle[k] + vcg::Point3f(0, 0, -1);
    }
    mesh.vert[32].p = vcg::Point3f(0, 0, 0);
    mesh.vert[33].p = vcg::Point3f(0, 0, -1);
    auto setFace = [&mesh](int f, uint32_t a, uint32_t b, uint32_t c) {
        mesh.face[f].v[0] = a;
        mesh.face[f].v[1] = b;
        mesh.face[f].v[2] = c;
    };
    for (uint32_t i = 0; i < 8; ++i) {
        setFace(2 * i, 32, 2 * i, 2 * i + 1);
        setFace(2 * i + 1, 32, 2 * i + 1, (2 * i + 2) % 16);
    }
    for (uint32_t k = 0; k < 16; ++k) {
        const uint32_t k1 = (k + 1) % 16;
        setFace(16 + k, 33, 16 + k1, 16 + k);
        setFace(32 + 2 * k, k, 16 + k, 16 + k1);
        setFace(33 + 2 * k, k1, k, 16 + k1);
    }
    vcg::tri::UpdateTopology<MyMesh>::FaceFace(mesh);
    vcg::tri::UpdateTopology<MyMesh>::VertexFace(mesh);
}

vcg::Matrix33f ProperRotation(const vcg::Point3f& a, const vcg::Point3f& b)
{
    const vcg::Point3f axis = a ^ b;
    if (a * b < 0.f && axis.SquaredNorm() == 0.f) {
        // Half turn about an axis perpendicular to a.
        vcg::Matrix33f r;
        const bool alongX = std::fabs(a[0]) > std::fabs(a[1]) && std::fabs(a[0]) > std::fabs(a[2]);
        const int keep = alongX ? 1 : 0;
        for (int i = 0; i < 3; ++i)
            r.m[i][i] = (i == keep) ? 1.f : -1.f;
        return r;
    }
    return vcg::RotationMatrix(a, b);
}

QVector<VSLTriangle3D> GenerateConeTris(vcg::Point3f p0, double r0, vcg::Point3f p1, double r1, int n)
{
    QVector<VSLTriangle3D> out;
    // A corrupt segment count must not turn into an unbounded allocation.
    if (n < 1 || n > 4096)
        return out;
    const vcg::Point3f d = p1 - p0;
    const float length = d.Norm();
    // A zero-length cone keeps the unrotated frame.
    vcg::Point3f u = length > 0.f ? d / length : vcg::Point3f(0, 0, -1);
    const vcg::Matrix33f rot = ProperRotation(vcg::Point3f(0, 0, -1), u);
    QVector<vcg::Point3f> ringA(n), ringB(n);
    for (int k = 0; k < n; ++k) {
        const double a = (8.0 * k) * kQuarterPi / n;
        const float c = static_cast<float>(std::cos(a)), s = static_cast<float>(std::sin(a));
        ringA[k] = p0 + rot * vcg::Point3f(static_cast<float>(r0) * c, static_cast<float>(r0) * s, 0.f);
        ringB[k] = p0 + rot * vcg::Point3f(static_cast<float>(r1) * c, static_cast<float>(r1) * s, -length);
    }
    out.reserve(4 * n);
    for (int k = 0; k < n; ++k) {
        const int j = (k + 1) % n;
        out << Triangle(p0, ringA[k], ringA[j]) << Triangle(p1, ringB[j], ringB[k])
            << Triangle(ringA[k], ringB[k], ringB[j]) << Triangle(ringA[j], ringA[k], ringB[j]);
    }
    return out;
}

QVector<VSLTriangle3D> GenerateSphereTris(vcg::Point3f c, double r, const QVector<vcg::Point3f>& unitSphere)
{
    QVector<VSLTriangle3D> out;
    const float rf = static_cast<float>(r);
    out.reserve(unitSphere.size() / 4);
    for (int i = 0; i + 3 < unitSphere.size(); i += 4)
        out << Triangle(c + unitSphere[i + 1] * rf, c + unitSphere[i + 2] * rf, c + unitSphere[i + 3] * rf);
    return out;
}

QVector<VSLTriangle3D> SupportTriangles(const DLP_Support& support, const QVector<vcg::Point3f>& unitSphere)
{
    QVector<VSLTriangle3D> out;
    for (const QVector<vcg::Point3f>& c : support.cones)
        if (IsCone(c))
            out += GenerateConeTris(c[0], c[2][0], c[1], c[2][1], kConeSegments);
    for (const QVector<vcg::Point3f>& sp : support.spheres)
        if (IsSphere(sp))
            out += GenerateSphereTris(sp[0], sp[1][0], unitSphere);
    return out;
}

long SupportTriangleCount(const DLP_Support& support, const QVector<vcg::Point3f>& unitSphere)
{
    long count = 0;
    for (const QVector<vcg::Point3f>& c : support.cones)
        count += IsCone(c) ? 4 * kConeSegments : 0;
    for (const QVector<vcg::Point3f>& sp : support.spheres)
        count += IsSphere(sp) ? unitSphere.size() / 4 : 0;
    return count;
}

void MapTriangles(QVector<VSLTriangle3D>& triangles, const QMatrix4x4& m)
{
    if (m.isIdentity())
        return;
    for (VSLTriangle3D& t : triangles) {
        for (QVector3D& v : t.vertices)
            v = m.map(v);
        t.UpdateNormal();
    }
}

void MapPrimitives(QVector<QVector<vcg::Point3f>>& cones, QVector<QVector<vcg::Point3f>>& spheres,
                   const QMatrix4x4& m)
{
    if (m.isIdentity())
        return;
    auto map = [&m](vcg::Point3f& p) {
        const QVector3D q = m.map(QVector3D(p[0], p[1], p[2]));
        p = vcg::Point3f(q.x(), q.y(), q.z());
    };
    for (QVector<vcg::Point3f>& cone : cones)
        for (int i = 0; i < 2 && i < cone.size(); ++i)
            map(cone[i]);
    for (QVector<vcg::Point3f>& sphere : spheres)
        if (!sphere.isEmpty())
            map(sphere[0]);
}

QVector<VSLTriangle3D> WorldTriangles(const PlacedSupports& placed, const DLP_Support& support)
{
    QVector<VSLTriangle3D> triangles = SupportTriangles(support, placed.unitSphere);
    MapTriangles(triangles, placed.toWorld);
    return triangles;
}

long TriangleCount(const SupportMap& supports, const QVector<vcg::Point3f>& unitSphere)
{
    long count = 0;
    for (const DLP_Support& support : supports)
        count += SupportTriangleCount(support, unitSphere);
    return count;
}

long TriangleCount(const PlacedSupports& placed) { return TriangleCount(placed.supports, placed.unitSphere); }

} // namespace supportgeom
