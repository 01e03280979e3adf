// The compact polygon of a slice layer: what goes in as float comes back bit
// for bit, copies share their points, and the box is QPolygonF's.
#include "printfile/layerrenderpool.h"
#include "printfile/slicelayers.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

namespace {

QPolygonF Points(std::initializer_list<QPointF> points)
{
    return QPolygonF(QVector<QPointF>(points));
}

bool SameBits(const QPolygonF& a, const QPolygonF& b)
{
    return a.size() == b.size() && std::memcmp(a.constData(), b.constData(), sizeof(QPointF) * size_t(a.size())) == 0;
}

// Coordinates the slicer makes are floats; each must come back as the same double.
TEST(SlicePolygon, FloatPointsRoundTripBitForBit)
{
    const float tiny = std::numeric_limits<float>::denorm_min();
    const float big = std::numeric_limits<float>::max();
    const double inf = std::numeric_limits<double>::infinity();
    const struct {
        const char* name;
        QPolygonF polygon;
    } cases[] = {
        {"empty", QPolygonF()},
        {"one point", Points({{960.5, 600.25}})},
        {"pixel fractions", Points({{double(1920.3f), double(1199.6f)}, {double(-0.1f), double(7.7f)}, {3, 4}})},
        {"signed zeros", Points({{-0.0, 0.0}, {0.0, -0.0}, {1, 1}})},
        {"extremes", Points({{double(tiny), double(-big)}, {double(big), -double(tiny)}, {inf, -inf}})},
    };
    for (const auto& c : cases) {
        const SlicePolygon stored(c.polygon);
        EXPECT_EQ(stored.size(), c.polygon.size()) << c.name;
        EXPECT_EQ(stored.isEmpty(), c.polygon.isEmpty()) << c.name;
        EXPECT_TRUE(SameBits(stored.toPolygonF(), c.polygon)) << c.name;
        const QPolygonF converted = stored;
        EXPECT_TRUE(SameBits(converted, c.polygon)) << c.name;
        for (int i = 0; i < c.polygon.size(); ++i) {
            EXPECT_EQ(std::signbit(stored.point(i).x()), std::signbit(c.polygon[i].x())) << c.name << " " << i;
            const QPointF p = stored[i];
            EXPECT_EQ(std::memcmp(&p, &c.polygon[i], sizeof p), 0) << c.name << " " << i;
        }
    }
}

// Doubles that a float cannot hold are rounded to the nearest float.
TEST(SlicePolygon, DoublesRoundToTheNearestFloat)
{
    const QPolygonF exact = Points({{1000.0 + 1e-9, 0.1}, {1.0 / 3.0, -2.0 / 3.0}});
    const SlicePolygon stored(exact);
    for (int i = 0; i < exact.size(); ++i) {
        EXPECT_EQ(stored.point(i).x(), double(float(exact[i].x()))) << i;
        EXPECT_EQ(stored.point(i).y(), double(float(exact[i].y()))) << i;
    }
}

TEST(SlicePolygon, BoundingRectIsThatOfTheSamePointsAsQPolygonF)
{
    const QPolygonF cases[] = {
        QPolygonF(),
        Points({{5, 7}}),
        Points({{10, 20}, {-3.5, 4}, {7, -8.25}, {2, 30}}),
        Points({{3, 3}, {2, 2}, {1, 1}}), // falling: each point a new minimum
        Points({{1, 1}, {2, 2}, {3, 3}}), // rising: each point a new maximum
        Points({{4, 1}, {0, 9}, {8, 5}, {4, -2}}),
    };
    for (const QPolygonF& p : cases)
        EXPECT_EQ(SlicePolygon(p).boundingRect(), p.boundingRect()) << p.size() << " points";
}

// The layers of an upright column hold one copy of its points.
TEST(SlicePolygon, CopiesShareThePoints)
{
    SlicePolygon a;
    a.reserve(3);
    a.append(1.5f, 2.5f);
    a.append(QPointF(3, 4));
    a.append(5.f, 6.f);
    const SlicePolygon b = a;
    EXPECT_EQ(b.constData(), a.constData());
    SlicePolygon c = a;
    c.append(7.f, 8.f); // a writer of its own copy leaves the others alone
    EXPECT_NE(c.constData(), a.constData());
    EXPECT_EQ(a.size(), 3);
    EXPECT_EQ(c.size(), 4);
    EXPECT_EQ(c.point(3), QPointF(7, 8));
}

// Equal compares values (0 == -0, as QPointF does); the render pool's repeat
// test compares bits, since the rasteriser sees every bit.
TEST(SlicePolygon, EqualityByValueRepeatsByBits)
{
    const SlicePolygon plus(Points({{0.0, 1}, {2, 3}}));
    const SlicePolygon minus(Points({{-0.0, 1}, {2, 3}}));
    const SlicePolygon moved(Points({{double(std::nextafter(0.f, 1.f)), 1}, {2, 3}}));
    const SlicePolygon shorter(Points({{0.0, 1}}));
    EXPECT_TRUE(plus == minus);
    EXPECT_FALSE(plus == moved);
    EXPECT_TRUE(plus != shorter);
    EXPECT_FALSE(LayerRenderPool::sameOutlines({plus}, {minus}));
    EXPECT_TRUE(LayerRenderPool::sameOutlines({plus}, {SlicePolygon(plus.toPolygonF())}));
    EXPECT_FALSE(LayerRenderPool::sameOutlines({plus}, {moved}));
}

TEST(SlicePolygon, ListsConvertBackInOrder)
{
    const QVector<QPolygonF> polygons{Points({{1, 2}, {3, 4}}), QPolygonF(), Points({{5, 6}})};
    QVector<SlicePolygon> stored;
    for (const QPolygonF& p : polygons)
        stored.append(SlicePolygon(p));
    const QVector<QPolygonF> back = ToPolygonsF(stored);
    ASSERT_EQ(back.size(), polygons.size());
    for (int i = 0; i < polygons.size(); ++i)
        EXPECT_TRUE(SameBits(back[i], polygons[i])) << i;
}

} // namespace
