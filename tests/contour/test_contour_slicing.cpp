#include "sliced.h"

#include <gtest/gtest.h>
#include <cmath>
#include <set>

namespace {

int64_t Dist(const ClipperLib::IntPoint& a, const ClipperLib::IntPoint& b)
{
    return std::max(std::llabs(a.X - b.X), std::llabs(a.Y - b.Y));
}

// Crossing of edge p -> q at h as the outlines define it (single precision, truncated).
ClipperLib::IntPoint Cross(const vcg::Point3f& p, const vcg::Point3f& q, float h)
{
    const float t = (h - p.Z()) / (q.Z() - p.Z());
    const float x = t * (q.X() - p.X()) + p.X(), y = t * (q.Y() - p.Y()) + p.Y();
    return {ClipperLib::cInt(int32_t(x * 1000.f)), ClipperLib::cInt(int32_t(y * 1000.f))};
}

} // namespace

// Shells numbered by lowest face; empty slot above a short shell; a point per crossed face + start.
TEST(ContourSlicing, ShellsGetSlotsOfTheirOwn)
{
    Sliced s = Slice(testmesh::TwoDisjointCubes() + testmesh::Cube(1.f, {50, 0, 0}), 0.5f, 10.f);
    ASSERT_EQ(s.layers, 20);
    const QVector<uint> labels = s.model->m_vShellOfFace;
    EXPECT_TRUE(labels.value(0) == 0u && labels.value(12) == 1u && labels.value(35) == 2u);
    s.model->CountShells();
    EXPECT_EQ(s.model->m_vShellOfFace, labels);
    EXPECT_EQ(s.model->m_nShellCount, 3);
    s.model->m_bSlicedOpenMesh = true; // left from an earlier open run: a closed run clears it
    ASSERT_EQ(s.model->SilceMeshXX(s.out, s.z, 0.5f, 10.f, 0.f), s.layers);
    EXPECT_FALSE(s.model->m_bSlicedOpenMesh);
    ASSERT_EQ(s.out.size(), 3);
    for (int L = 0; L < s.layers; ++L) {
        ASSERT_EQ(s.out[0][L].size(), 1u);
        ASSERT_EQ(s.out[1][L].size(), 1u);
        EXPECT_EQ(s.out[2][L].size(), L < 2 ? 1u : 0u) << L;
        ASSERT_EQ(s.out[0][L][0].size(), 9u);
        EXPECT_LE(Dist(s.out[0][L][0].front(), s.out[0][L][0].back()), 1);
        for (const auto& p : s.out[0][L][0])
            EXPECT_TRUE(p.X <= 1 || p.X >= 9999 || p.Y <= 1 || p.Y >= 9999) << "on a side: " << p.X << "," << p.Y;
        for (const auto& p : s.out[1][L][0])
            EXPECT_GE(p.X, 19999);
    }
}

// Every face a plane cuts adds its own point, on chained (open sphere) and traced (cubes) paths.
class EveryCrossedFaceContributes : public ::testing::TestWithParam<float> {};

TEST_P(EveryCrossedFaceContributes, InEveryPlane)
{
    const float thickness = GetParam();
    QVector<VSLTriangle3D> tris = testmesh::UvSphere(5.f, 24, 12, {0, 0, 5.5f});
    tris.remove(100); // opens the sphere
    for (int i = 0; i < 60; ++i)
        tris += testmesh::Cube(0.011f + 0.0003f * i, {float(20 + i), 0, 0.0007f + 0.0313f * i});
    Sliced s = Slice(tris, thickness, 11.f);
    ASSERT_TRUE(s.model->m_bSlicedOpenMesh);
    const MyMesh& m = s.model->m_mesh;
    int checked = 0;
    for (int L = 0; L < s.layers; ++L) {
        const float h = s.z[L];
        std::set<std::pair<int64_t, int64_t>> points;
        for (const auto& slot : s.out)
            for (const auto& path : slot[L])
                for (const auto& p : path)
                    points.insert({p.X, p.Y});
        for (uint32_t f = 0; f < m.FaceCount(); ++f) {
            const float lo = std::min({m.P(f, 0).Z(), m.P(f, 1).Z(), m.P(f, 2).Z()});
            const float hi = std::max({m.P(f, 0).Z(), m.P(f, 1).Z(), m.P(f, 2).Z()});
            if (!(lo < h && h < hi))
                continue;
            bool found = false;
            std::set<std::pair<int64_t, int64_t>> own;
            for (int e = 0; e < 3; ++e) {
                const vcg::Point3f &p = m.P(f, e), &q = m.P(f, (e + 1) % 3);
                if ((p.Z() < h) != (q.Z() < h)) {
                    const ClipperLib::IntPoint c = Cross(p, q, h);
                    own.insert({c.X, c.Y});
                    found = found || points.count({c.X, c.Y}) > 0;
                }
            }
            if (own.size() < 2)
                continue; // both crossings truncate to one point: no segment
            EXPECT_TRUE(found) << "face " << f << " plane " << L << " thickness " << thickness;
            ++checked;
        }
    }
    EXPECT_GT(checked, 1000);
}

INSTANTIATE_TEST_SUITE_P(Thicknesses, EveryCrossedFaceContributes,
                         ::testing::Values(0.0333f, 0.05f, 0.03f, 0.025f, 0.0777f, 0.1f, 0.0101f));

TEST(ContourSlicing, NonManifoldEdgeBetweenTwoCubesTerminates)
{
    // Two closed cubes touching along one vertical edge: four faces on it.
    Sliced s = Slice(testmesh::Cube(10.f) + testmesh::Cube(10.f, {10, 10, 0}), 0.5f, 10.f);
    ASSERT_EQ(s.layers, 20);
    EXPECT_FALSE(s.model->m_bSlicedOpenMesh);
    for (int L = 0; L < s.layers; ++L) {
        size_t points = 0;
        for (const auto& slot : s.out)
            for (const auto& path : slot[L]) {
                EXPECT_GE(path.size(), 3u);
                points += path.size();
            }
        EXPECT_TRUE(points > 0 && points <= 18u) << points; // one per crossed face (16) plus closing points
    }
}

TEST(ContourSlicing, WalkOnCorruptedLinksEndsAndNextOutlineFollows)
{
    auto model = ModelOf(testmesh::TwoDisjointCubes());
    model->CountShells();
    // A side face linked back into one already passed: without a bound the walk would circle for ever.
    MyMesh& m = model->m_mesh;
    for (uint32_t f = 4; f < 12; ++f)
        for (int e = 0; e < 3; ++e) {
            const uint32_t g = m.face[f].ff[e];
            if (f != 5 && g != 4 && g != 5 && g >= 4 && g < 12) {
                m.face[f].ff[e] = 5;
                m.face[f].ffi[e] = 0;
            }
        }
    ShellLayerContours out;
    QVector<float> z;
    ASSERT_EQ(model->SilceMeshXX(out, z, 0.5f, 10.f, 0.f), 20);
    ASSERT_EQ(out.size(), 2);
    for (int L = 0; L < 20; ++L) {
        ASSERT_EQ(out[1][L].size(), 1u); // the sound cube is still traced
        EXPECT_EQ(out[1][L][0].size(), 9u);
        for (const auto& path : out[0][L])
            EXPECT_LE(path.size(), 9u);
    }
}
