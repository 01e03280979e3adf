// Dimples in a downward surface that a lower contact's region claims: their
// floor, one vertex or a run of vertices of one height, is a low point.
#include "gen_harness.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

// A 6 x 6 mm slab, top at 12, whose underside is a grid of 0.5 mm squares at
// `ring`, with its lowest vertex at `seed` (x 1, y 3) and the vertices of
// `floor` (grid positions) at `floorZ`. Faces out.
QVector<VSLTriangle3D> DimpledSlab(float ring, float seed, float floorZ, const std::vector<QPoint>& floor)
{
    constexpr int n = 12;
    constexpr float step = 0.5f;
    auto under = [&](int i, int j) {
        float z = ring;
        if (i == 2 && j == 6)
            z = seed;
        for (const QPoint& f : floor)
            if (f.x() == i && f.y() == j)
                z = floorZ;
        return QVector3D(i * step, j * step, z);
    };
    auto top = [&](int i, int j) { return QVector3D(i * step, j * step, 12.f); };
    QVector<VSLTriangle3D> tris;
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j) {
            tris << testmesh::Tri(under(i, j), under(i + 1, j + 1), under(i + 1, j))
                 << testmesh::Tri(under(i, j), under(i, j + 1), under(i + 1, j + 1));
            tris << testmesh::Tri(top(i, j), top(i + 1, j), top(i + 1, j + 1))
                 << testmesh::Tri(top(i, j), top(i + 1, j + 1), top(i, j + 1));
        }
    // The sides: the underside's rim up to the top's.
    for (int k = 0; k < n; ++k) {
        const std::pair<QPoint, QPoint> edges[4] = {{{k, 0}, {k + 1, 0}},
                                                    {{n, k}, {n, k + 1}},
                                                    {{k + 1, n}, {k, n}},
                                                    {{0, k + 1}, {0, k}}};
        for (const auto& e : edges) {
            const QVector3D a = under(e.first.x(), e.first.y()), b = under(e.second.x(), e.second.y());
            const QVector3D c = top(e.second.x(), e.second.y()), d = top(e.first.x(), e.first.y());
            tris << testmesh::Tri(a, b, c) << testmesh::Tri(a, c, d);
        }
    }
    return tris;
}

// Whether a support holds the point: a record of its own there, or a drop
// of a link that starts a tip radius above it.
bool Held(const genh::Generation& g, const vcg::Point3f& p, double rt)
{
    for (const DLP_Support& s : g.map) {
        if ((s.point - p).Norm() < 1e-4f)
            return true;
        for (const QVector<vcg::Point3f>& c : s.cones)
            if ((c[0] - (p + vcg::Point3f(0, 0, float(rt)))).Norm() < 1e-4f)
                return true;
    }
    return false;
}

} // namespace

TEST(DimpleFloors, AFloorOfTwoVerticesOfOneHeightIsALowPoint)
{
    // Seed 10.00, ring 10.07, floor 10.03: ring and floor share a slab, so
    // the seed's region walks into the dimple and claims it.
    const SupportParameters params{1.0, 0.6, 1.1, 3.0};
    auto g = genh::Generate(DimpledSlab(10.07f, 10.f, 10.03f, {{4, 6}, {5, 6}}), params);
    ASSERT_FALSE(g->map.isEmpty());
    bool floorListed = false;
    for (const auto& m : g->run.m_claimedMinima)
        floorListed = floorListed || std::fabs(m.point[2] - 10.03f) < 1e-4f;
    EXPECT_TRUE(floorListed);
    EXPECT_TRUE(Held(*g, vcg::Point3f(2.f, 3.f, 10.03f), 0.3) || Held(*g, vcg::Point3f(2.5f, 3.f, 10.03f), 0.3));
}

TEST(DimpleFloors, AFlatFloorOfFourVerticesIsOneLowPoint)
{
    const SupportParameters params{1.0, 0.6, 1.1, 3.0};
    auto g = genh::Generate(DimpledSlab(10.07f, 10.f, 10.03f, {{4, 6}, {5, 6}, {4, 7}, {5, 7}}), params);
    int listed = 0;
    for (const auto& m : g->run.m_claimedMinima)
        listed += std::fabs(m.point[2] - 10.03f) < 1e-4f;
    EXPECT_EQ(listed, 1);
}

TEST(DimpleFloors, AnEdgeWithALowerNeighbourIsNoFloor)
{
    // The same edge, but one end beside the seed's lower vertex: the
    // surface runs down from it, nothing cures there on its own.
    const SupportParameters params{1.0, 0.6, 1.1, 3.0};
    for (const std::vector<QPoint>& run : {std::vector<QPoint>{{3, 6}, {4, 6}},
                                           std::vector<QPoint>{{3, 6}, {4, 6}, {5, 6}, {6, 6}, {7, 6}},
                                           std::vector<QPoint>{{7, 6}, {6, 6}, {5, 6}, {4, 6}, {3, 6}, {3, 7}, {3, 5}}}) {
        auto g = genh::Generate(DimpledSlab(10.07f, 10.f, 10.03f, run), params);
        for (const auto& m : g->run.m_claimedMinima)
            EXPECT_GT(std::fabs(m.point[2] - 10.03f), 1e-4f) << run.size() << ": " << m.point[0] << "," << m.point[1];
    }
}

// An upward region must not walk on from a knife edge across the underside
// it runs into: it claimed every vertex of the sliver's underside level with
// the edge, so none seeded a contact and the sliver's first layer cured in
// the air beside a supported block.
TEST(UpwardRegions, StopAtAKnifeEdgeAboveAnUnderside)
{
    const float z0 = 5.f;
    const genh::TestModel sliver = genh::KnifeEdgeSliver(z0);
    const auto g = genh::Generate(sliver.tris, sliver.params);
    int onSliver = 0, onBlock = 0;
    for (const DLP_Support& s : g->map) {
        if (s.point[2] > z0 + 0.05f)
            continue;
        ++(s.point[0] < 0.8f ? onSliver : onBlock);
    }
    EXPECT_GT(onBlock, 0);
    EXPECT_GT(onSliver, 0);
    // What holds the sliver stands on the plate, not in the air.
    for (const DLP_Support& s : g->map) {
        if (s.point[0] < 0.8f && s.point[2] <= z0 + 0.05f) {
            EXPECT_TRUE(!s.onModel && std::fabs(s.base[2]) < 1e-4f) << s.point[0] << " " << s.point[1];
        }
    }
}

