#include "support/DLP_Support.h"
#include "support/SupportGeometry.h"

#include <gtest/gtest.h>

#include <QMap>

#include <cmath>
#include <tuple>

using vcg::Point3f;

namespace {

// Volume enclosed by the triangles (divergence theorem): positive when the
// surface is closed and wound outward.
double SignedVolume(const QVector<VSLTriangle3D>& tris)
{
    double v = 0;
    for (const VSLTriangle3D& t : tris) {
        const QVector3D& a = t.vertices[0];
        const QVector3D& b = t.vertices[1];
        const QVector3D& c = t.vertices[2];
        v += QVector3D::dotProduct(a, QVector3D::crossProduct(b, c));
    }
    return v / 6.0;
}

// Every directed edge must be met by exactly one opposite edge: the surface
// is closed and consistently oriented. Corners are matched after rounding.
bool ClosedAndConsistent(const QVector<VSLTriangle3D>& tris)
{
    using Key = std::tuple<long, long, long>;
    auto key = [](const QVector3D& p) {
        return Key(std::lround(p.x() * 1e4), std::lround(p.y() * 1e4), std::lround(p.z() * 1e4));
    };
    QMap<std::pair<Key, Key>, int> edges;
    for (const VSLTriangle3D& t : tris) {
        for (int i = 0; i < 3; ++i) {
            const Key a = key(t.vertices[i]), b = key(t.vertices[(i + 1) % 3]);
            if (a == b)
                continue;
            edges[{a, b}] += 1;
        }
    }
    for (auto it = edges.begin(); it != edges.end(); ++it) {
        if (it.value() != edges.value({it.key().second, it.key().first}, 0))
            return false;
    }
    return true;
}

QVector<Point3f> UnitSphere() { return supportgeom::BuildUnitSphere(); }

} // namespace

TEST(SupportRecord, PrimitivesEncodeTheirKind)
{
    const QVector<Point3f> cyl = SaveCone({1, 2, 3}, 0.5, {1, 2, 0}, 0.5);
    ASSERT_EQ(cyl.size(), 3);
    EXPECT_EQ(cyl[0], Point3f(1, 2, 3));
    EXPECT_EQ(cyl[1], Point3f(1, 2, 0));
    EXPECT_EQ(cyl[2], Point3f(0.5f, 0.5f, 0));
    const QVector<Point3f> sph = SaveSphere({4, 5, 6}, 0.25);
    ASSERT_EQ(sph.size(), 2);
    EXPECT_EQ(sph[1], Point3f(0.25f, 0, 0));
}

TEST(SupportRecord, DefaultsAndKeys)
{
    const DLP_Support s;
    EXPECT_TRUE(s.generated);
    EXPECT_FALSE(s.isDeleted || s.addedByClick || s.onModel || s.linked || s.skipShaft);
    EXPECT_EQ(SupportHeightKey(0.0004f), 0);
    EXPECT_EQ(SupportHeightKey(-0.0004f), 0);
    EXPECT_EQ(SupportHeightKey(12.3456f), -12345);
    EXPECT_EQ(SupportHeightKey(NAN), 0);
    EXPECT_EQ(SupportHeightKey(1e30f), std::numeric_limits<int>::min());
    SupportMap map;
    DLP_Support a, b;
    a.index = 1;
    b.index = 2;
    map.insert({SupportHeightKey(5), 13}, a);
    map.insert({SupportHeightKey(5), 13}, b);
    ASSERT_EQ(map.size(), 1);
    EXPECT_EQ(map.first().index, 2);
    map.insert({SupportHeightKey(9), 3}, a);
    EXPECT_EQ(map.firstKey().first, -9000); // the highest contact comes first
}

TEST(UnitShapes, CountsAndValues)
{
    const QVector<Point3f> circle = supportgeom::BuildUnitCircle();
    ASSERT_EQ(circle.size(), 16);
    EXPECT_EQ(circle[0], Point3f(1, 0, 0));
    EXPECT_NEAR(circle[4][0], 0.f, 1e-7);
    EXPECT_FLOAT_EQ(circle[4][1], 1.f);
    EXPECT_FLOAT_EQ(circle[2][0], float(std::cos(M_PI / 4)));

    const QVector<Point3f> sphere = UnitSphere();
    ASSERT_EQ(sphere.size(), 1920);
    EXPECT_EQ(sphere[1], Point3f(0, 0, 1));
    EXPECT_FLOAT_EQ(sphere[2][0], 0.19509032201612825f);
    EXPECT_FLOAT_EQ(sphere[2][2], 0.98078525f);
    for (int i = 0; i < sphere.size(); i += 4) {
        const Point3f centroid = (sphere[i + 1] + sphere[i + 2] + sphere[i + 3]) / 3.f;
        EXPECT_GT(sphere[i] * centroid, 0.f) << "facet " << i / 4 << " faces inward";
        EXPECT_NEAR(sphere[i].Norm(), 1.f, 1e-5);
    }

    const QVector<QVector<int>> co = supportgeom::BuildCoPlane();
    ASSERT_EQ(co.size(), 64);
    int ones = 0;
    for (const QVector<int>& row : co) {
        ASSERT_EQ(row.size(), 64);
        for (int v : row)
            ones += v;
    }
    EXPECT_EQ(ones, 16 * 16 * 2 + 32);
    EXPECT_EQ(co[3][15], 1);
    EXPECT_EQ(co[15][16], 0);
    EXPECT_EQ(co[34][35], 1);
    EXPECT_EQ(co[35][34], 1);
    EXPECT_EQ(co[35][36], 0);
    EXPECT_EQ(co[40][40], 0);
}

TEST(UnitColumn, ClosedPrismWithAdjacency)
{
    MyMesh m;
    supportgeom::BuildUnitColumn(m, supportgeom::BuildUnitCircle());
    ASSERT_EQ(m.face.size(), 64u);
    ASSERT_EQ(m.vert.size(), 192u);
    EXPECT_EQ(m.vert[33].p, Point3f(0, 0, -1));
    EXPECT_EQ(m.vert[17].p[2], -1.f);
    EXPECT_EQ(m.vert[100].p, Point3f(0, 0, 0));
    EXPECT_EQ(m.face[3].v[0], 32u);
    EXPECT_EQ(m.face[3].v[2], 4u);
    EXPECT_EQ(m.face[16 + 15].v[1], 16u);
    EXPECT_EQ(m.face[33].v[0], 1u);
    for (uint32_t f = 0; f < 64; ++f) {
        for (int e = 0; e < 3; ++e) {
            const uint32_t g = m.face[f].ff[e];
            ASSERT_NE(g, f) << "border edge on face " << f;
            ASSERT_LT(g, 64u);
            const int back = m.face[f].ffi[e];
            EXPECT_EQ(m.face[g].ff[back], f);
            // The shared edge runs the other way in the neighbour: outward-consistent.
            EXPECT_EQ(m.face[g].v[back], m.face[f].v[(e + 1) % 3]);
        }
    }
}

TEST(SupportTriangles, ConeCountsClosureAndOrientation)
{
    const QVector<VSLTriangle3D> down = supportgeom::GenerateConeTris({0, 0, 5}, 0.5, {0, 0, 0}, 1.0, 16);
    ASSERT_EQ(down.size(), 64);
    EXPECT_TRUE(ClosedAndConsistent(down));
    // Frustum volume pi h (r0^2 + r0 r1 + r1^2) / 3, less for 16 sides.
    const double v = SignedVolume(down);
    EXPECT_GT(v, 0.9 * M_PI * 5 * (0.25 + 0.5 + 1) / 3);
    EXPECT_LT(v, M_PI * 5 * (0.25 + 0.5 + 1) / 3);
    EXPECT_TRUE(supportgeom::GenerateConeTris({0, 0, 1}, 1, {0, 0, 0}, 1, 0).isEmpty());
    EXPECT_EQ(supportgeom::GenerateConeTris({0, 0, 1}, 1, {0, 0, 0}, 1, 5).size(), 20);
}

TEST(SupportTriangles, EveryDirectionStaysOutwardIncludingStraightUp)
{
    const QVector<Point3f> dirs{{0, 0, 1}, {0, 0, -1}, {1, 0, 0}, {-1, 0, 0}, {0, 1, 0},
                                {0.3f, -0.2f, 0.93f}, {0.001f, 0, 1}, {-0.6f, 0.64f, -0.48f}};
    for (Point3f d : dirs) {
        d.Normalize();
        const Point3f p0(3, -2, 7);
        const Point3f p1 = p0 + d * 4.f;
        const QVector<VSLTriangle3D> tris = supportgeom::GenerateConeTris(p0, 0.8, p1, 0.8, 16);
        EXPECT_TRUE(ClosedAndConsistent(tris));
        EXPECT_GT(SignedVolume(tris), 0.9 * M_PI * 0.64 * 4) << d[0] << " " << d[1] << " " << d[2];
        // The cap at p1 faces along the axis, away from p0.
        const QVector3D axis(d[0], d[1], d[2]);
        EXPECT_GT(QVector3D::dotProduct(tris[1].normal, axis), 0.99f);
        EXPECT_LT(QVector3D::dotProduct(tris[0].normal, axis), -0.99f);
    }
}

TEST(SupportTriangles, PointedConeKeepsDegenerateCap)
{
    const QVector<VSLTriangle3D> tris = supportgeom::GenerateConeTris({0, 0, 2}, 0.0, {0, 0, 0}, 1.0, 16);
    ASSERT_EQ(tris.size(), 64);
    EXPECT_EQ(tris[0].normal, QVector3D(0, 0, 0));
    EXPECT_GT(SignedVolume(tris), 0.0);
}

TEST(SupportTriangles, SphereCountClosureAndSize)
{
    const QVector<VSLTriangle3D> s = supportgeom::GenerateSphereTris({1, 2, 3}, 2.0, UnitSphere());
    ASSERT_EQ(s.size(), 480);
    EXPECT_TRUE(ClosedAndConsistent(s));
    const double v = SignedVolume(s);
    EXPECT_GT(v, 0.95 * 4.0 / 3 * M_PI * 8);
    EXPECT_LT(v, 4.0 / 3 * M_PI * 8);
    for (const VSLTriangle3D& t : s)
        EXPECT_NEAR((t.vertices[0] - QVector3D(1, 2, 3)).length(), 2.f, 1e-5);
    EXPECT_TRUE(supportgeom::GenerateSphereTris({0, 0, 0}, 1, {}).isEmpty());
}

TEST(SupportTriangles, OppositeVectorsGiveAProperRotation)
{
    const vcg::Matrix33f r = supportgeom::ProperRotation({0, 0, -1}, {0, 0, 1});
    const Point3f up = r * Point3f(0, 0, -1);
    EXPECT_EQ(up, Point3f(0, 0, 1));
    // Determinant +1: a rotation, not the point reflection -I.
    const Point3f x = r * Point3f(1, 0, 0), y = r * Point3f(0, 1, 0), z = r * Point3f(0, 0, 1);
    EXPECT_FLOAT_EQ((x ^ y) * z, 1.f);
    const vcg::Matrix33f rx = supportgeom::ProperRotation({1, 0, 0}, {-1, 0, 0});
    EXPECT_EQ(rx * Point3f(1, 0, 0), Point3f(-1, 0, 0));
}
