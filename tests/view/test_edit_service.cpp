#include "VSLEditService.h"
#include "edit_test_util.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

TEST(EditService, RotateAngleSnapsTo15DegreesWithTheSignOfTheNormal)
{
    VSLEditService es(TopDown);
    const QVector3D centre(0, 0, 5);
    const QVector3D start(100, 0, 5);
    struct Case { double degrees; QVector3D normal; float want; };
    const Case cases[] = {
        {7, {0, 0, 1}, 0},      {8, {0, 0, 1}, 15},   {-8, {0, 0, 1}, -15}, {8, {0, 0, -1}, -15},
        {52, {0, 0, 1}, 45},    {53, {0, 0, 1}, 60},  {90, {0, 0, 1}, 90},  {179, {0, 0, 1}, 180},
    };
    for (const Case& c : cases) {
        const double r = c.degrees * M_PI / 180;
        float angle = -1;
        ASSERT_TRUE(es.CalRotateAngle(angle, start, PixelOf(100 * std::cos(r), 100 * std::sin(r)), centre, c.normal));
        EXPECT_EQ(angle, c.want) << c.degrees;
    }
}

TEST(EditService, RotateAngleOfOneDirectionIsZeroEvenWhenRoundingPassesOne)
{
    // cos of a unit vector with itself can round above 1 (acos undefined): still 0, not NaN.
    int overOne = 0;
    for (int x = 1; x < 60; ++x) {
        const QVector3D start(float(x), 3.f, 0);
        const QVector3D u = start.normalized();
        if (QVector3D::dotProduct(u, u) > 1.f)
            ++overOne;
        float angle = -1;
        // The cursor lies exactly over the start point.
        VSLEditService exact([start](QPoint const&, QVector3D& a, QVector3D& b) {
            a = start + QVector3D(0, 0, 10);
            b = start + QVector3D(0, 0, 5);
            return true;
        });
        ASSERT_TRUE(exact.CalRotateAngle(angle, start, QPoint(), QVector3D(0, 0, 0), QVector3D(0, 0, 1)));
        EXPECT_EQ(angle, 0.f) << x;
    }
    EXPECT_GT(overOne, 0) << "no start whose cosine rounds past 1: the case is not exercised";
}

TEST(EditService, RayParallelToThePlaneOrAxisLeavesTheOutputAndMatrix)
{
    VSLEditService es([](QPoint const&, QVector3D& a, QVector3D& b) {
        a = QVector3D(0, -50, 3);  // a side view: the ray runs level
        b = QVector3D(0, -20, 3);
        return true;
    });
    ASSERT_TRUE(es.TryTranslate({1, 2, 3}));
    const QMatrix4x4 before = es.matrix();
    QVector3D out(7, 7, 7);
    EXPECT_FALSE(es.ChoosePoint(QPoint(5, 5), out, {0, 0, 0}, {0, 0, 1}));
    EXPECT_FALSE(es.CalScalePoint(QPoint(5, 5), out, {0, 0, 0}, {0, 1, 0}));  // ray along the axis
    float angle = 42;
    EXPECT_FALSE(es.CalRotateAngle(angle, {1, 0, 3}, QPoint(5, 5), {0, 0, 3}, {0, 0, 1}));
    EXPECT_EQ(out, QVector3D(7, 7, 7));
    EXPECT_EQ(angle, 42);
    EXPECT_EQ(es.matrix(), before);
    VSLEditService noRay;
    EXPECT_FALSE(noRay.ChoosePoint(QPoint(), out, {0, 0, 0}, {0, 0, 1}));
}

TEST(EditService, DirectionalScaleKeepsTheFixedPlaneAndItsLastValidMatrix)
{
    VSLEditService es;
    const QVector3D fixed(-5, 0, 0), axis(2, 0, 0);
    ASSERT_TRUE(es.TryScale({5, 0, 0}, {15, 3, 9}, fixed, axis));  // s = 2 along x
    ExpectNear(es.MapPoint(fixed), fixed);
    ExpectNear(es.MapPoint({-5, 4, 6}), {-5, 4, 6});
    ExpectNear(es.MapPoint({5, 4, 6}), {15, 4, 6});
    const QMatrix4x4 valid = es.matrix();
    struct Case { QVector3D press, drag; };
    const Case refused[] = {
        {{5, 0, 0}, {-4.995f, 0, 0}},  // s = 0.0005
        {{5, 0, 0}, {-5, 0, 0}},       // s = 0: collapses
        {{5, 0, 0}, {-15, 0, 0}},      // s < 0: inside out
        {{-5, 1, 1}, {15, 0, 0}},      // press on the fixed plane: s unbounded
        {{-5, 1, 1}, {-5, 2, 2}},      // 0 / 0
    };
    for (const Case& c : refused) {
        EXPECT_FALSE(es.TryScale(c.press, c.drag, fixed, axis));
        EXPECT_EQ(es.matrix(), valid);
    }
    EXPECT_FALSE(es.TryScale({5, 0, 0}, {15, 0, 0}, fixed, {0, 0, 0}));  // no axis
    EXPECT_EQ(es.matrix(), valid);
}

TEST(EditService, UniformScaleAndRotateRefuseWhatWouldBreakTheMesh)
{
    VSLEditService es;
    ASSERT_TRUE(es.TryScale({1, 2, 0}, {2, 2, 2}));
    ExpectNear(es.MapPoint({1, 2, 0}), {1, 2, 0});
    ExpectNear(es.MapPoint({2, 2, 1}), {3, 2, 2});
    ASSERT_TRUE(es.TryScale({0, 0, 0}, {0.0001f, 0.0001f, 0.0001f}));  // small but a real scale
    const QMatrix4x4 last = es.matrix();
    const float nan = std::nanf(""), inf = INFINITY;
    const QVector3D bad[] = {{0, 1, 1}, {1, -1, 1}, {nan, 1, 1}, {1, inf, 1}, {1, 1, -inf}};
    for (const QVector3D& f : bad) {
        EXPECT_FALSE(es.TryScale({0, 0, 0}, f));
        EXPECT_EQ(es.matrix(), last);
    }
    EXPECT_FALSE(es.TryRotate({0, 0, 0}, nan, {0, 0, 1}));
    EXPECT_FALSE(es.TryTranslate({inf, 0, 0}));
    EXPECT_EQ(es.matrix(), last);
    ASSERT_TRUE(es.TryRotate({5, 0, 0}, 0, {0, 0, 0}));
    EXPECT_TRUE(es.matrix().isIdentity());
    ASSERT_TRUE(es.TryRotate({5, 5, 0}, 90, {0, 0, 1}));
    ExpectNear(es.MapPoint({6, 5, 0}), {5, 6, 0});
}

TEST(EditService, FitPutsTheBottomCentreOnTheVolumeAndScalesWithinLimits)
{
    const QVector3D vMax(48, 27, 200), vMin(-48, -27, 0);  // 95 %: 91.2 x 51.3 x 190
    struct Case { QVector3D mMin, mMax; float k; };
    const Case cases[] = {
        {{10, 10, 3}, {10.01f, 10.01f, 3.01f}, 1000},    // tiny: at most x 1000
        {{-1, -1, 0}, {1, 1, 1}, 51.3f / 2},             // depth limits
        {{-150, -20, 0}, {150, 20, 10}, 91.2f / 300},    // large: reduced by width
        {{0, 0, 0}, {10, 10, 500}, 190.f / 500},         // tall
        {{0, 0, 0}, {10, 10, 0}, 5.13f},                 // flat: height puts no limit
    };
    for (const Case& c : cases) {
        VSLEditService es;
        ASSERT_TRUE(es.TryResize(c.mMax, c.mMin, vMax, vMin));
        EXPECT_NEAR(es.matrix()(0, 0), c.k, c.k * 1e-5f);
        const QVector3D bottom((c.mMax.x() + c.mMin.x()) / 2, (c.mMax.y() + c.mMin.y()) / 2, c.mMin.z());
        ExpectNear(es.MapPoint(bottom), {0, 0, 0}, 1e-3f);
        const QVector3D size = es.MapVector(c.mMax - c.mMin);
        EXPECT_TRUE(size.x() <= 91.2f + 1e-3f && size.y() <= 51.3f + 1e-3f && size.z() <= 190.f + 1e-3f) << c.k;
    }
    VSLEditService es;
    ASSERT_TRUE(es.TryTranslate({1, 0, 0}));
    const QMatrix4x4 before = es.matrix();
    EXPECT_FALSE(es.TryResize({1, 1, 1}, {0, 0, 0}, {0, 0, 0}, {0, 0, 0}));  // volume of size 0
    EXPECT_EQ(es.matrix(), before);
    EXPECT_TRUE(AllFinite(es.matrix()));
}

} // namespace
