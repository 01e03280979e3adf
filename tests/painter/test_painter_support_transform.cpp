// Rotating or scaling an instance that has supports.
#include "VSLModelPainter.h"
#include "painter_test_util.h"
#include "test_meshes.h"

#include <gtest/gtest.h>

namespace {

QMatrix4x4 AboutCentre(const VSLModelPainter& p, float rotateDeg, float scale)
{
    QMatrix4x4 m;
    m.translate(p.m_center);
    m.rotate(rotateDeg, 1, 0, 0);
    m.scale(scale);
    m.translate(-p.m_center);
    return m;
}

TEST(PainterSupportTransform, RefusedRotationOrScaleKeepsTheSupports)
{
    // 100 mm scaled by 1e37 overflows the bounds although the matrix is finite.
    auto model = MakeModel(testmesh::Box({-50, -10, 0}, {50, 10, 20}));
    VSLModelPainter p(model.get(), nullptr);
    GiveSupports(p, 1);
    const QMatrix4x4 before = p.m_matrix;
    for (int mode : {1, 2}) {
        EXPECT_FALSE(p.ApplyConvertX(AboutCentre(p, 0, 1e37f), mode));
        EXPECT_TRUE(p.m_bHasSupports);
        EXPECT_EQ(p.m_supportMap.size(), 1);
        EXPECT_EQ(p.m_matrix, before);
    }
    ASSERT_TRUE(p.ApplyConvertX(AboutCentre(p, 0, 2), 2));
    EXPECT_FALSE(p.m_bHasSupports);
}

TEST(PainterSupportTransform, LiftedInstanceTurnsAboutItsOwnCentreThenComesDown)
{
    // The gizmo turns the raised instance about its raised centre: it must
    // stay where it is in XY, not swing by the lift, and end on the plate.
    auto model = MakeModel(testmesh::Box({0, 0, 0}, {10, 10, 4}));
    VSLModelPainter p(model.get(), nullptr);
    GiveSupports(p, 1);
    p.m_dLiftDistance = 5;
    p.m_bSupportLifted = true;
    p.Move({0, 0, 5});
    const QVector3D centre = p.m_center;
    ASSERT_TRUE(p.ApplyConvertX(AboutCentre(p, 90, 1), 1));
    EXPECT_FALSE(p.m_bSupportLifted);
    EXPECT_NEAR(p.m_center.x(), centre.x(), 1e-4);
    EXPECT_NEAR(p.m_center.y(), centre.y(), 1e-4);
    EXPECT_NEAR(p.m_minBound.z(), 0.f, 1e-4);
    // Box 10 x 10 x 4 turned about X: 4 deep in Y, 10 high.
    EXPECT_NEAR(p.m_maxBound.y() - p.m_minBound.y(), 4.f, 1e-4);
    EXPECT_NEAR(p.m_maxBound.z(), 10.f, 1e-4);
}

} // namespace
