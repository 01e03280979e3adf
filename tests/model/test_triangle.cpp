#include "vslfunction/VSLTriangle3D.h"
#include "vslfunction/geometry.h"

#include <gtest/gtest.h>

// Bounds fold every corner, a degenerate normal stays zero; Convert moves corners, maps the normal, keeps bounds.
TEST(Triangle, BoundsNormalAndConvert)
{
    VSLTriangle3D t;
    t[0] = {1, 5, -2};
    t[1] = t[2] = {3, 0, 4};
    t.UpdateBound();
    t.UpdateNormal();
    EXPECT_EQ(t.maxBound, QVector3D(3, 5, 4));
    EXPECT_EQ(t.minBound, QVector3D(1, 0, -2));
    EXPECT_EQ(t.normal, QVector3D());
    t[0] = {0, 0, 0};
    t[1] = {1, 0, 0};
    t[2] = {0, 1, 0};
    t.UpdateNormal();
    t.UpdateBound();
    QMatrix4x4 move;
    move.translate(5, 6, 7);
    VSLTriangle3D a = t;
    a.Convert(move);
    EXPECT_EQ(a[1], QVector3D(6, 6, 7));
    EXPECT_EQ(a.normal, QVector3D(0, 0, 1));
    EXPECT_EQ(a.maxBound, t.maxBound);
    QMatrix4x4 scale;
    scale.scale(2);
    VSLTriangle3D b = t;
    b.Convert(scale);
    EXPECT_EQ(b.normal, QVector3D(0, 0, 2));
}

TEST(Geometry, HelpersFollowTheirDefinitions)
{
    EXPECT_EQ(PointLineCompare({0, 0}, {1, 0}, {0.5f, -0.5f}), 0); // ceil(-0.5) = 0
    EXPECT_EQ(PointLineCompare({0, 0}, {1, 0}, {0.5f, -2.f}), 2);
    EXPECT_EQ(PointLineCompare({0, 0}, {1, 0}, {0.5f, 2.f}), -2);
    const QPointF square[] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
    EXPECT_DOUBLE_EQ(PolygonArea(square, 4), 1.0);
    EXPECT_EQ(ClockWise(square, 4), 1);
    const QPointF reversed[] = {{0, 1}, {1, 1}, {1, 0}, {0, 0}};
    EXPECT_DOUBLE_EQ(PolygonArea(reversed, 4), -1.0);
    EXPECT_EQ(ClockWise(reversed, 4), -1);
    EXPECT_EQ(ClockWise(square, 2), 0);
    const QVector3D u = QVector3D(1, 2, 3).normalized();
    EXPECT_EQ(MinAngleBetweenVectors(u, u), 0.0);
    EXPECT_DOUBLE_EQ(Distance3D({0, 0, 0}, {2, 3, 6}), 7.0);
    EXPECT_TRUE(PointsShare({1, 1}, {1.05f, 0.95f}, 0.1));
    EXPECT_FALSE(PointsShare({1, 1}, {1.2f, 1}, 0.1));
    EXPECT_TRUE(VectorComponentsEqual(QVector3D(2, 2, 2)));
    EXPECT_DOUBLE_EQ(VectorMaxComponentLength({1, -4, 3}), 4.0);
}
