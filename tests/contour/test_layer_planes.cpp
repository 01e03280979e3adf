#include "contour/slicegeometry.h"
#include "model_fixture.h"

#include <gtest/gtest.h>
#include <cmath>

using contour::LayerPlanes;

TEST(LayerPlanes, HalfTenthMillimetreLayersUpToOneMillimetre)
{
    const QVector<float> z = LayerPlanes::Heights(0.05f, 1.0f, 0.0f);
    ASSERT_EQ(z.size(), 20);
    EXPECT_FLOAT_EQ(z.front(), 0.0251f);
    EXPECT_FLOAT_EQ(z[1], 0.0751f);
    EXPECT_FLOAT_EQ(z.back(), 0.9751f);
}

TEST(LayerPlanes, FirstPlaneTruncatesTheHalfLayer)
{
    const QVector<float> z = LayerPlanes::Heights(0.03f, 1.0f, 0.0f);
    ASSERT_GE(z.size(), 3);
    EXPECT_FLOAT_EQ(z[0], 0.0141f);
    EXPECT_NEAR(z[1] - z[0], 0.030, 1e-6);
    EXPECT_NEAR(z[2] - z[1], 0.030, 1e-6);
}

TEST(LayerPlanes, ThicknessNotWholeInMicronsKeepsTruncatedStep)
{
    // 0.0333 mm: step 33 units, first plane at 16 units.
    const QVector<float> z = LayerPlanes::Heights(0.0333f, 10.0f, 0.0f);
    ASSERT_FALSE(z.isEmpty());
    EXPECT_FLOAT_EQ(z[0], 0.0161f);
    EXPECT_FLOAT_EQ(z[100], float((33 * 100 + 16) / 1000.0 + 0.0001));
    EXPECT_LT(z.back(), 10.0f);
    EXPECT_EQ(z.size(), 303); // (10000 - 16) / 33 rounded up
}

TEST(LayerPlanes, TopAtOrBelowFirstPlaneGivesNone)
{
    EXPECT_TRUE(LayerPlanes::Heights(0.05f, 0.0251f, 0.0f).isEmpty());
    EXPECT_TRUE(LayerPlanes::Heights(0.05f, -3.0f, 0.0f).isEmpty());
}

TEST(LayerPlanes, StepBelowOneMicronOrBadInputGivesNoneInsteadOfLoopingForever)
{
    EXPECT_TRUE(LayerPlanes::Heights(0.0f, 10.0f, 0.0f).isEmpty());
    EXPECT_TRUE(LayerPlanes::Heights(0.0005f, 10.0f, 0.0f).isEmpty());
    EXPECT_TRUE(LayerPlanes::Heights(-0.05f, 10.0f, 0.0f).isEmpty());
    EXPECT_TRUE(LayerPlanes::Heights(NAN, 10.0f, 0.0f).isEmpty());
    EXPECT_TRUE(LayerPlanes::Heights(0.05f, NAN, 0.0f).isEmpty());
    const QVector<float> capped = LayerPlanes::Heights(0.001f, 1e30f, 0.0f);
    EXPECT_LE(capped.size(), LayerPlanes::kMaxPlanes);
}

TEST(LayerPlanes, SlicerReportsCountAndParameters)
{
    auto model = ModelOf(testmesh::Cube(1.0f));
    model->CountShells();
    ShellLayerContours out;
    QVector<float> z;
    EXPECT_EQ(model->SilceMeshXX(out, z, 0.05f, 1.0f, 0.0f), 20);
    EXPECT_EQ(model->m_nLayerCount, 20);
    EXPECT_EQ(z.size(), 20);
    EXPECT_FLOAT_EQ(model->m_fLayerThick, 0.05f);
    EXPECT_FLOAT_EQ(model->m_fSliceTop, 1.0f);
    EXPECT_FLOAT_EQ(model->m_fSliceBase, 0.0f);
    ASSERT_EQ(out.size(), 1);
    EXPECT_EQ(out[0].size(), 20);
}

TEST(LayerPlanes, VertexHeightsAreRoundedToTheMicronGrid)
{
    QVector<VSLTriangle3D> tris = testmesh::Box({0, 0, -1.2f}, {1, 1, 1.2345f});
    auto model = ModelOf(tris);
    model->CountShells();
    ShellLayerContours out;
    QVector<float> z;
    model->SilceMeshXX(out, z, 0.05f, 2.0f, 0.0f);
    bool sawTop = false, sawBottom = false;
    for (const MyVertex& v : model->m_mesh.vert) {
        sawTop = sawTop || v.p.Z() == 1.235f;
        sawBottom = sawBottom || v.p.Z() == -1.199f;
    }
    EXPECT_TRUE(sawTop);
    EXPECT_TRUE(sawBottom);
}

TEST(ZIntersect, CrossingFromFirstPointAndMissedPlane)
{
    VSLModel3D model;
    ClipperLib::IntPoint p;
    EXPECT_FALSE(model.Z_Intersect({0, 0, 0}, {1, 1, 1}, 2.0f, p));
    ASSERT_TRUE(model.Z_Intersect({0, 0, 0}, {2, -4, 1}, 0.25f, p));
    EXPECT_EQ(p.X, 500);
    EXPECT_EQ(p.Y, -1000);
    // Lying in the plane: the first point, not a NaN conversion.
    ASSERT_TRUE(model.Z_Intersect({1, 2, 3}, {4, 5, 3}, 3.0f, p));
    EXPECT_EQ(p.X, 1000);
    EXPECT_EQ(p.Y, 2000);
    // Coordinates beyond 32 bits saturate.
    ASSERT_TRUE(model.Z_Intersect({1e12f, -1e12f, 0}, {1e12f, -1e12f, 2}, 1.0f, p));
    EXPECT_EQ(p.X, INT32_MAX);
    EXPECT_EQ(p.Y, INT32_MIN);
}
