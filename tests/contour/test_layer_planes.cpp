#include "contour/slicegeometry.h"
#include "sliced.h"

#include <gtest/gtest.h>
#include <cmath>
#include <set>

using contour::LayerPlanes;

// Planes 0.0001 above each layer's middle on the micrometre grid (half step and step truncated).
TEST(LayerPlanes, HeightsFollowTheTruncatedGrid)
{
    const struct { float thickness, top; int count; float first, second, last; } cases[] = {
        {0.05f, 1.0f, 20, 0.0251f, 0.0751f, 0.9751f},
        {0.03f, 1.0f, 33, 0.0141f, 0.0441f, 0.9741f}, // half of 0.03 truncates to 14 um
        {0.0333f, 10.0f, 303, 0.0161f, 0.0491f, float((33 * 302 + 16) / 1000.0 + 0.0001)}, // step 33 um
        {0.05f, 0.0251f, 0, 0, 0, 0}, {0.05f, -3.0f, 0, 0, 0, 0}, // top at the first plane, below the base
        // Unusable input gives none instead of looping forever.
        {0.0f, 10.0f, 0, 0, 0, 0}, {0.0005f, 10.0f, 0, 0, 0, 0}, {-0.05f, 10.0f, 0, 0, 0, 0},
        {NAN, 10.0f, 0, 0, 0, 0}, {0.05f, NAN, 0, 0, 0, 0},
    };
    for (const auto& c : cases) {
        const QVector<float> z = LayerPlanes::Heights(c.thickness, c.top, 0.0f);
        ASSERT_EQ(z.size(), c.count) << c.thickness << " up to " << c.top;
        if (c.count == 0)
            continue;
        EXPECT_FLOAT_EQ(z[0], c.first) << c.thickness;
        EXPECT_FLOAT_EQ(z[1], c.second) << c.thickness;
        EXPECT_FLOAT_EQ(z.back(), c.last) << c.thickness;
    }
    EXPECT_LE(LayerPlanes::Heights(0.001f, 1e30f, 0.0f).size(), LayerPlanes::kMaxPlanes);
}

TEST(LayerPlanes, VertexHeightsAreRoundedToTheMicronGrid)
{
    const Sliced s = Slice(testmesh::Box({0, 0, -1.2f}, {1, 1, 1.2345f}), 0.05f, 2.0f);
    std::set<float> heights;
    for (const MyVertex& v : s.model->m_mesh.vert)
        heights.insert(v.p.Z());
    EXPECT_EQ(heights, (std::set<float>{-1.199f, 1.235f}));
}

TEST(ZIntersect, CrossingFromFirstPointAndMissedPlane)
{
    VSLModel3D model;
    ClipperLib::IntPoint p;
    EXPECT_FALSE(model.Z_Intersect({0, 0, 0}, {1, 1, 1}, 2.0f, p));
    ASSERT_TRUE(model.Z_Intersect({0, 0, 0}, {2, -4, 1}, 0.25f, p));
    EXPECT_EQ(p, ClipperLib::IntPoint(500, -1000));
    // Lying in the plane: the first point, not a NaN conversion.
    ASSERT_TRUE(model.Z_Intersect({1, 2, 3}, {4, 5, 3}, 3.0f, p));
    EXPECT_EQ(p, ClipperLib::IntPoint(1000, 2000));
    // Coordinates beyond 32 bits saturate.
    ASSERT_TRUE(model.Z_Intersect({1e12f, -1e12f, 0}, {1e12f, -1e12f, 2}, 1.0f, p));
    EXPECT_EQ(p, ClipperLib::IntPoint(INT32_MAX, INT32_MIN));
}
