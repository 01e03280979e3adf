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

TEST(SupportRecord, HeightKeysTruncateSaturateAndPutTheHighestFirst)
{
    const std::pair<float, int> keys[] = {
        {0.0004f, 0}, {-0.0004f, 0}, {12.3456f, -12345}, {NAN, 0}, {1e30f, std::numeric_limits<int>::min()}};
    for (const auto& k : keys)
        EXPECT_EQ(SupportHeightKey(k.first), k.second) << k.first;
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

TEST(SupportTriangles, ConesAreClosedOutwardAndCappedInAnyDirection)
{
    const struct {
        Point3f dir;
        double r0, r1;
    } rows[] = {{{0, 0, -1}, 0.5, 1.0}, {{0, 0, 1}, 0.8, 0.8},        {{1, 0, 0}, 0.8, 0.8},
                {{-1, 0, 0}, 0.8, 0.8}, {{0, 1, 0}, 0.8, 0.8},        {{0.3f, -0.2f, 0.93f}, 0.8, 0.8},
                {{0.001f, 0, 1}, 0.8, 0.8}, {{-0.6f, 0.64f, -0.48f}, 0.8, 0.8}, {{0, 0, -1}, 0.0, 1.0}};
    for (const auto& row : rows) {
        Point3f d = row.dir;
        d.Normalize();
        SCOPED_TRACE(testing::Message() << d[0] << " " << d[1] << " " << d[2] << " r0 " << row.r0);
        const Point3f p0(3, -2, 7), p1 = p0 + d * 4.f;
        const QVector<VSLTriangle3D> tris = supportgeom::GenerateConeTris(p0, row.r0, p1, row.r1, 16);
        ASSERT_EQ(tris.size(), 64);
        // Frustum volume pi h (r0^2 + r0 r1 + r1^2) / 3, a little less for 16 sides.
        const double v = M_PI * 4 * (row.r0 * row.r0 + row.r0 * row.r1 + row.r1 * row.r1) / 3;
        EXPECT_GT(SignedVolume(tris), 0.9 * v);
        EXPECT_LT(SignedVolume(tris), v);
        const QVector3D axis(d[0], d[1], d[2]);
        EXPECT_GT(QVector3D::dotProduct(tris[1].normal, axis), 0.99f); // the cap at p1 faces away from p0
        if (row.r0 == 0) {
            EXPECT_EQ(tris[0].normal, QVector3D(0, 0, 0)); // a pointed end keeps its degenerate cap
        } else {
            EXPECT_TRUE(ClosedAndConsistent(tris));
            EXPECT_LT(QVector3D::dotProduct(tris[0].normal, axis), -0.99f);
        }
    }
    EXPECT_TRUE(supportgeom::GenerateConeTris({0, 0, 1}, 1, {0, 0, 0}, 1, 0).isEmpty());
    EXPECT_EQ(supportgeom::GenerateConeTris({0, 0, 1}, 1, {0, 0, 0}, 1, 5).size(), 20);
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
