#include "layers/slicepublish.h"

#include "layer_checks.h"

#include <gtest/gtest.h>

#include <QMutex>

using ClipperLib::Path;
using ClipperLib::Paths;
using layers::PixelMapping;
using layers::SliceTarget;

namespace {

using layercheck::Area;
using layercheck::Lit;

Path Rect(qint64 x0, qint64 y0, qint64 x1, qint64 y1) { return {{x0, y0}, {x1, y0}, {x1, y1}, {x0, y1}}; }

struct Scene {
    SliceLayers layers;
    QPointF maxPt;
    QPointF minPt;
    QMutex mutex;
    PixelMapping mapping;
    Scene(int xRes, int yRes, float dpmX, float dpmY)
        : maxPt(-xRes, -yRes), minPt(xRes, yRes), mapping{xRes, yRes, dpmX, dpmY}
    {
    }
    void Publish(const QVector<Paths>& outlines)
    {
        layers::PublishInstanceLayers(outlines, mapping, SliceTarget{layers, maxPt, minPt, mutex});
    }
};

} // namespace

TEST(SlicePublish, SinglePrecisionMapping)
{
    Scene s(2560, 1440, 20.0f / 3.0f, 7.1f);
    s.Publish({Paths{Path{{1234, -777}, {1, 1}, {0, 5}}}});
    const QPointF p = s.layers[0][0][0];
    const float x = 1234.f * (20.0f / 3.0f) / 1000.f + 1280.f;
    const float y = -777.f * 7.1f / 1000.f + 720.f;
    EXPECT_EQ(p.x(), double(x));
    EXPECT_EQ(p.y(), double(y));
}

// Grows to the highest instance, never shrinks; disjoint ones appended in order; empty add nothing.
TEST(SlicePublish, ListGrowsToTheHighestInstance)
{
    Scene s(1000, 1000, 10.f, 10.f);
    s.Publish(QVector<Paths>(4));
    EXPECT_EQ(s.layers, SliceLayers(4));
    EXPECT_EQ(s.maxPt, QPointF(-1000, -1000));
    s.Publish(QVector<Paths>(2, Paths{Rect(20000, 0, 21000, 1000)}));
    s.Publish(QVector<Paths>(5, Paths{Rect(0, 0, 1000, 1000)}));
    s.Publish(QVector<Paths>(3));
    ASSERT_EQ(s.layers.size(), 5);
    const int sizes[] = {2, 2, 1, 1, 1};
    for (int L = 0; L < 5; ++L)
        EXPECT_EQ(s.layers[L].size(), sizes[L]) << L;
    EXPECT_EQ(s.layers[0][0][0], QPointF(700, 500));
    EXPECT_EQ(s.layers[0][1][0], QPointF(500, 500));
}

TEST(SlicePublish, ExtentIgnoresPointsOutsideTheFrame)
{
    Scene s(1000, 800, 10.f, 10.f);
    // x from -60 to 30 mm: -100 .. 800 px; y from -30 to 40 mm: 100 .. 800 px.
    s.Publish({Paths{Rect(-60000, -30000, 30000, 40000)}});
    EXPECT_EQ(s.layers[0][0][0], QPointF(-100, 100)) << "kept in its polygon";
    EXPECT_EQ(s.minPt, QPointF(800, 100)) << "x < 0 does not lower min.x";
    EXPECT_EQ(s.maxPt, QPointF(800, 800));
    s.Publish({Paths{Rect(55000, 0, 56000, 1000)}}); // 1050 px: beyond the frame
    EXPECT_EQ(s.maxPt.x(), 800);
}

TEST(SlicePublish, OverlapLeavesOtherInstancesUntouched)
{
    Scene s(2000, 2000, 10.f, 10.f);
    // A ring, one inside its hole, a far one, then one overlapping only the far one.
    s.Publish({Paths{Rect(-20000, -20000, 20000, 20000), Rect(-10000, 10000, 10000, -10000)}});
    const QVector<SlicePolygon> ring = s.layers[0];
    s.Publish({Paths{Rect(-5000, -5000, 5000, 5000)}});
    s.Publish({Paths{Rect(50000, 50000, 60000, 60000)}});
    s.Publish({Paths{Rect(55000, 55000, 65000, 65000)}});
    const QVector<SlicePolygon>& layer = s.layers[0];
    ASSERT_EQ(layer.size(), 4) << "the one inside the hole appended as it is";
    EXPECT_EQ(layer[0], ring[0]);
    EXPECT_EQ(layer[1], ring[1]);
    EXPECT_TRUE(Lit(layer, QPointF(1000, 1000)));  // inner instance
    EXPECT_FALSE(Lit(layer, QPointF(1000 + 75, 1000))); // hole
    EXPECT_TRUE(Lit(layer, QPointF(1575, 1575)));  // the overlap
    EXPECT_TRUE(Lit(layer, QPointF(1625, 1625)));
}
