#include "VPolygonAlgorithm.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

using Poly = QVector<QVector2D>;

namespace {

Poly Hull(const Poly& in)
{
    Poly out{{99, 99}}; // must be replaced, not appended to
    VPolygonAlgorithm::FormConvexPolygon(out, in);
    return out;
}

Poly Moved(Poly p, QVector2D by)
{
    for (QVector2D& q : p)
        q += by;
    return p;
}

double SignedArea(const Poly& p)
{
    double s = 0;
    for (int i = 0; i < p.size(); ++i)
        s += double(p[i].x()) * p[(i + 1) % p.size()].y() - double(p[(i + 1) % p.size()].x()) * p[i].y();
    return s / 2;
}

// Independent check: convex polygons are disjoint (or touch) when some edge normal separates them.
bool Separated(const Poly& a, const Poly& b)
{
    auto range = [](const Poly& p, double nx, double ny) {
        std::pair<double, double> r{1e300, -1e300};
        for (const QVector2D& q : p)
            r = {std::min(r.first, nx * q.x() + ny * q.y()), std::max(r.second, nx * q.x() + ny * q.y())};
        return r;
    };
    for (const Poly* edges : {&a, &b})
        for (int i = 0; i < edges->size(); ++i) {
            const QVector2D d = (*edges)[(i + 1) % edges->size()] - (*edges)[i];
            const double nx = -d.y(), ny = d.x(), tol = 1e-4 * std::hypot(nx, ny);
            const auto ra = range(a, nx, ny), rb = range(b, nx, ny);
            if (tol > 0 && (rb.second <= ra.first + tol || ra.second <= rb.first + tol))
                return true;
        }
    return false;
}

} // namespace

TEST(FormConvexPolygon, KnownHulls)
{
    const float nan = std::nanf("");
    const struct { const char* name; Poly points, hull; } cases[] = {
        {"square and inner point: clockwise from the largest key", {{0, 0}, {0, 2}, {2, 0}, {2, 2}, {1, 1}},
         {{2, 2}, {2, 0}, {0, 0}, {0, 2}}},
        {"collinear middle point dropped", {{0, 0}, {1, 0}, {2, 0}}, {{2, 0}, {0, 0}}},
        {"two points", {{0, 0}, {3, 4}}, {{3, 4}, {0, 0}}},
        {"one point", {{7, 8}}, {{7, 8}}},
        {"none", {}, {}},
        {"one point twice", {{1, 1}, {1, 1}}, {{1, 1}}},
        {"duplicate corner", {{0, 0}, {2, 0}, {2, 0}, {1, 3}}, {{2, 0}, {0, 0}, {1, 3}}},
        // (0, 10000) and (1, 0) share the key 10000.
        {"same key keeps the later point", {{0, 0}, {0, 10000}, {1, 0}, {0, -5}}, {{1, 0}, {0, -5}, {0, 0}}},
        {"non-finite points ignored", {{0, 0}, {nan, 1}, {2, 0}, {1, INFINITY}, {1, 2}}, {{2, 0}, {0, 0}, {1, 2}}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Hull(c.points), c.hull) << c.name;
}

TEST(FormConvexPolygon, RandomCloudGivesClockwiseHullContainingAllPoints)
{
    std::mt19937 rng(7);
    std::uniform_int_distribution<int> coord(-300, 300);
    for (int round = 0; round < 50; ++round) {
        Poly pts;
        for (int i = 0; i < 200; ++i)
            pts << QVector2D(coord(rng), coord(rng));
        const Poly h = Hull(pts);
        ASSERT_GE(h.size(), 3);
        EXPECT_LT(SignedArea(h), 0.0);
        for (const QVector2D& p : pts)
            for (int i = 0; i < h.size(); ++i) {
                const QVector2D a = h[i], b = h[(i + 1) % h.size()];
                const double cross = double(b.x() - a.x()) * (p.y() - a.y()) - double(b.y() - a.y()) * (p.x() - a.x());
                ASSERT_LE(cross, 0.0) << "point outside the clockwise hull";
            }
    }
}

TEST(MinkowskHull, PointPlusSquare)
{
    const Poly square{{1, 1}, {1, -1}, {-1, -1}, {-1, 1}};
    EXPECT_EQ(VPolygonAlgorithm::MinkowskHull({{5, 5}}, square), (Poly{{6, 6}, {6, 4}, {4, 4}, {4, 6}}));
    EXPECT_TRUE(VPolygonAlgorithm::MinkowskHull({}, square).isEmpty());
    EXPECT_TRUE(VPolygonAlgorithm::MinkowskHull(square, {}).isEmpty());
}

TEST(PolygonCollisionPushVector, OverlapPushesByOverlapPlusOneTouchingOrEmptyLeavesPush)
{
    const Poly a{{0, 0}, {2, 0}, {2, 2}, {0, 2}};
    const struct { Poly a, b; bool hit; QVector2D push; } cases[] = {
        {a, Moved(a, {1, 0}), true, {-2, 0}}, {a, Moved(a, {2, 0}), false, {42, 43}}, {a, {}, false, {42, 43}},
        {{}, a, false, {42, 43}}};
    for (const auto& c : cases) {
        QVector2D push(42, 43);
        EXPECT_EQ(VPolygonAlgorithm::PolygonCollisionPushVector(c.a, c.b, push), c.hit);
        EXPECT_EQ(push, c.push);
    }
}

TEST(PolygonCollisionPushVector, RandomOverlapsArePushedApart)
{
    std::mt19937 rng(11);
    std::uniform_real_distribution<float> coord(-20.f, 20.f);
    std::uniform_real_distribution<float> shift(-15.f, 15.f);
    int overlaps = 0;
    for (int round = 0; round < 500; ++round) {
        Poly pa, pb;
        for (int i = 0; i < 12; ++i) {
            pa << QVector2D(coord(rng), coord(rng));
            pb << QVector2D(coord(rng), coord(rng)) + QVector2D(shift(rng), shift(rng));
        }
        const Poly a = Hull(pa), b = Hull(pb);
        QVector2D push;
        if (!VPolygonAlgorithm::PolygonCollisionPushVector(a, b, push)) {
            EXPECT_TRUE(Separated(a, b));
            continue;
        }
        ++overlaps;
        EXPECT_FALSE(Separated(a, b));
        const Poly moved = Moved(a, push);
        EXPECT_TRUE(Separated(moved, b)) << "round " << round;
        QVector2D again;
        EXPECT_FALSE(VPolygonAlgorithm::PolygonCollisionPushVector(moved, b, again)) << "round " << round;
        // Lengthened by one unit beyond the overlap.
        EXPECT_GT(push.length(), 1.0f);
    }
    EXPECT_GT(overlaps, 100);
}

TEST(ProjectPoly, LargestAndSmallestProjection)
{
    double hi = -7, lo = -7;
    VPolygonAlgorithm::ProjectPoly({0, 2}, {{0, 3}, {1, -4}, {5, 1}}, hi, lo);
    EXPECT_DOUBLE_EQ(hi, 3.0);
    EXPECT_DOUBLE_EQ(lo, -4.0);
    VPolygonAlgorithm::ProjectPoly({1, 0}, {}, hi, lo);
    EXPECT_DOUBLE_EQ(hi, 3.0);
    EXPECT_DOUBLE_EQ(lo, -4.0);
}
