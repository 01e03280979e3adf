#include "layers/platelayers.h"

#include <gtest/gtest.h>

#include <climits>

namespace {

SliceLayers Sliced(int count)
{
    SliceLayers layers;
    for (int i = 0; i < count; ++i)
        layers.append({QPolygonF(QVector<QPointF>{QPointF(i, 0), QPointF(i + 1, 0), QPointF(i, 1)})});
    return layers;
}

} // namespace

TEST(PlateLayers, ExtentRectangleInFront)
{
    SliceLayers layers = Sliced(120);
    int plate = 0;
    layers::AddPlateLayers(layers, plate, QPointF(900, 400), QPointF(100, 50), 3);
    EXPECT_EQ(plate, 3);
    ASSERT_EQ(layers.size(), 123);
    const QPolygonF rect(QVector<QPointF>{QPointF(100, 50), QPointF(900, 50), QPointF(900, 400), QPointF(100, 400)});
    for (int i = 0; i < 3; ++i) {
        ASSERT_EQ(layers[i].size(), 1);
        EXPECT_EQ(layers[i][0], rect);
    }
    EXPECT_EQ(layers[3][0][0], QPointF(0, 0));
    EXPECT_EQ(layers[122][0][0], QPointF(119, 0));
}

TEST(PlateLayers, NothingSlicedGivesTheResetRectangle)
{
    SliceLayers layers;
    int plate = 0;
    layers::AddPlateLayers(layers, plate, QPointF(-1920, -1080), QPointF(1920, 1080), 1);
    const QPolygonF rect(QVector<QPointF>{QPointF(1920, 1080), QPointF(-1920, 1080), QPointF(-1920, -1080), QPointF(1920, -1080)});
    ASSERT_EQ(layers.size(), 1);
    EXPECT_EQ(layers[0][0], rect);
}

TEST(PlateLayers, EarlierCopiesKeepTheirData)
{
    SliceLayers layers = Sliced(2);
    const SliceLayers copy = layers;
    int plate = 0;
    layers::AddPlateLayers(layers, plate, QPointF(1, 1), QPointF(0, 0), 2);
    EXPECT_EQ(copy.size(), 2);
    EXPECT_EQ(layers.size(), 4);
}

TEST(PlateLayers, NegativeCountRemovesAndIsClamped)
{
    SliceLayers layers = Sliced(5);
    int plate = 7;
    layers::AddPlateLayers(layers, plate, QPointF(1, 1), QPointF(0, 0), -2);
    EXPECT_EQ(plate, -2);
    ASSERT_EQ(layers.size(), 3);
    EXPECT_EQ(layers[0][0][0], QPointF(2, 0));
    layers::AddPlateLayers(layers, plate, QPointF(1, 1), QPointF(0, 0), -10);
    EXPECT_TRUE(layers.isEmpty());
    layers::AddPlateLayers(layers, plate, QPointF(1, 1), QPointF(0, 0), INT_MIN);
    EXPECT_TRUE(layers.isEmpty());
}

TEST(PlateLayers, ZeroChangesNothingButTheCount)
{
    SliceLayers layers = Sliced(4);
    int plate = 3;
    layers::AddPlateLayers(layers, plate, QPointF(1, 1), QPointF(0, 0), 0);
    EXPECT_EQ(plate, 0);
    EXPECT_EQ(layers, Sliced(4));
}

TEST(PlateLayers, HugeCountIsBounded)
{
    SliceLayers layers = Sliced(1);
    int plate = 0;
    layers::AddPlateLayers(layers, plate, QPointF(1, 1), QPointF(0, 0), INT_MAX);
    EXPECT_EQ(layers.size(), layers::kMaxPlateLayers + 1);
}
