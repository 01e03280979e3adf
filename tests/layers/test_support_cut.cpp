#include "contour/slicegeometry.h"
#include "layers/columnmesh.h"
#include "layers/supportcut.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>

using ClipperLib::IntPoint;
using ClipperLib::Path;
using ClipperLib::Paths;
using layers::SupportCrossSections;
using vcg::Point3f;

namespace {

// Planes as the contour slicer lays them, from the base 0.
QVector<float> Planes(float thicknessMm, float topMm) { return contour::LayerPlanes::Heights(thicknessMm, topMm, 0.f); }

QVector<Point3f> Sphere(Point3f c, float r) { return {c, Point3f(r, 0, 0)}; }
QVector<Point3f> Cone(Point3f p1, float r1, Point3f p2, float r2) { return {p1, p2, Point3f(r1, r2, 0)}; }

double Dist(const IntPoint& p, double cx, double cy) { return std::hypot(double(p.X) - cx, double(p.Y) - cy); }

qint64 S(const Path& p)
{
    qint64 s = 0;
    for (size_t i = 0; i < p.size(); ++i) {
        const IntPoint& a = p[i];
        const IntPoint& b = p[(i + 1) % p.size()];
        s += (b.X - a.X) * (b.Y + a.Y);
    }
    return s;
}

struct Cutter {
    MyMesh column;
    QVector<float> planes;
    explicit Cutter(QVector<float> z) : planes(std::move(z)) { layers::BuildColumnMesh(column); }
};

// The cut checks the column it is handed and bounds its co-planar lookup.
TEST(ColumnMesh, UsabilityAndBoundedCoplanarLookup)
{
    MyMesh m;
    EXPECT_FALSE(layers::IsColumnMeshUsable(m));
    layers::BuildColumnMesh(m);
    EXPECT_TRUE(layers::IsColumnMeshUsable(m));
    m.face[5].ff[1] = 7; // a link that does not point back
    EXPECT_FALSE(layers::IsColumnMeshUsable(m));
    EXPECT_TRUE(layers::ColumnFacesCoplanar(3, 15));
    EXPECT_FALSE(layers::ColumnFacesCoplanar(-1, 3));
    EXPECT_FALSE(layers::ColumnFacesCoplanar(3, 64));
}

TEST(SupportCut, ZIntersectRules)
{
    IntPoint out;
    EXPECT_FALSE(layers::ZIntersect(Point3f(0, 0, 1), Point3f(1, 1, 2), 0.5f, out));
    ASSERT_TRUE(layers::ZIntersect(Point3f(0, 0, 0), Point3f(2, 4, 2), 1.f, out));
    EXPECT_EQ(out, IntPoint(1000, 2000));
    // In the plane: the first end, no division by zero.
    ASSERT_TRUE(layers::ZIntersect(Point3f(1.5f, -2.5f, 1), Point3f(3, 3, 1), 1.f, out));
    EXPECT_EQ(out, IntPoint(1500, -2500));
    EXPECT_EQ(layers::TruncToInt32(-1.9f), -1);
    EXPECT_EQ(layers::TruncToInt32(NAN), 0);
    EXPECT_EQ(layers::TruncToInt32(1e20f), 2147483647);
}

// Upright primitives: on the layers they reach a 16-gon of the section radius, from angle 0, CCW.
TEST(SupportCut, UprightPrimitivesCutOnTheLayersTheyReach)
{
    struct Circle {
        double cx, cy; // um
        std::function<double(double z)> radiusUm;
    };
    const auto sphere = [](double cz, double r) {
        return [cz, r](double z) { return 1000.0 * std::sqrt(std::max(0.0, r * r - (z - cz) * (z - cz))); };
    };
    const QVector<float> thin = Planes(0.0333f, 5.f);
    const struct {
        const char* name;
        QVector<float> planes;
        std::function<void(SupportCrossSections&)> add;
        std::function<int(double z)> count;
        std::vector<Circle> circles; // empty: outlines not checked
    } cases[] = {
        {"cylinder", Planes(0.05f, 10.f),
         [](SupportCrossSections& c) { c.AddCone(Cone(Point3f(1, 2, 3), 0.5f, Point3f(1, 2, 1), 0.5f)); },
         [](double z) { return int(z > 1 && z < 3); }, {{1000, 2000, [](double) { return 500.0; }}}},
        {"cone, r 1 at the top and 0.2 at the foot", Planes(0.05f, 10.f),
         [](SupportCrossSections& c) { c.AddCone(Cone(Point3f(0, 0, 3), 1.f, Point3f(0, 0, 1), 0.2f)); },
         [](double z) { return int(z > 1 && z < 3); },
         {{0, 0, [](double z) { return (0.2 + 0.8 * (z - 1.0) / 2.0) * 1000.0; }}}},
        {"foot below the first plane", Planes(0.05f, 5.f),
         [](SupportCrossSections& c) {
             c.AddSphere(Sphere(Point3f(0, 0, 0), 0.5f));
             c.AddCone(Cone(Point3f(2, 0, 1), 0.3f, Point3f(2, 0, -1), 0.3f));
         },
         [](double z) { return int(z < 0.5) + int(z < 1); },
         {{0, 0, sphere(0, 0.5)}, {2000, 0, [](double) { return 300.0; }}}},
        {"sphere above the top", Planes(0.05f, 1.f),
         [](SupportCrossSections& c) { c.AddSphere(Sphere(Point3f(0, 0, 1.f), 0.3f)); },
         [](double z) { return int(z > 0.7); }, {{0, 0, sphere(1, 0.3)}}},
        // Planes lie 33 um apart: by the nominal 0.0333 the hundredth would be looked for one index low.
        {"thin sphere on the truncated spacing", thin,
         [&thin](SupportCrossSections& c) { c.AddSphere(Sphere(Point3f(0, 0, thin[100]), 0.004f)); },
         [&thin](double z) { return int(z == double(thin[100])); }, {}},
        {"deleted records and degenerate shapes", Planes(0.05f, 5.f),
         [](SupportCrossSections& c) {
             c.AddRecord(true, {Sphere(Point3f(0, 0, 1), 0.5f)}, {Cone(Point3f(0, 0, 3), 1, Point3f(0, 0, 0), 1)});
             c.AddCone(Cone(Point3f(1, 1, 1), 1, Point3f(1, 1, 1), 1));
             c.AddCone({Point3f(0, 0, NAN), Point3f(0, 0, 0), Point3f(1, 1, 0)});
             c.AddSphere({Point3f(0, 0, 1)});
         },
         [](double) { return 0; }, {}},
    };
    MyMesh column;
    layers::BuildColumnMesh(column);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SupportCrossSections cut(c.planes, column);
        c.add(cut);
        ASSERT_EQ(cut.paths().size(), c.planes.size());
        for (int L = 0; L < c.planes.size(); ++L) {
            const double z = c.planes[L];
            const Paths& layer = cut.paths()[L];
            ASSERT_EQ(int(layer.size()), c.count(z)) << "layer " << L << " at " << z;
            for (const Path& outline : layer) {
                if (c.circles.empty())
                    break;
                ASSERT_EQ(outline.size(), 16u);
                EXPECT_LT(S(outline), 0);
                const Circle* circle = &c.circles[0];
                for (const Circle& other : c.circles)
                    if (Dist(outline[0], other.cx, other.cy) < Dist(outline[0], circle->cx, circle->cy))
                        circle = &other;
                const double r = circle->radiusUm(z);
                EXPECT_NEAR(outline[0].X, circle->cx + r, 1.5) << "layer " << L;
                EXPECT_NEAR(outline[0].Y, circle->cy, 1.5) << "layer " << L;
                for (const IntPoint& q : outline)
                    EXPECT_NEAR(Dist(q, circle->cx, circle->cy), r, 1.5) << "layer " << L;
            }
        }
    }
}

// An unusable column mesh is replaced; a record puts its spheres before its cones.
TEST(SupportCut, SphereCircleAndRecordOrder)
{
    MyMesh unusable;
    const QVector<float> planes{1.f, 2.f, 3.f}; // held by reference
    SupportCrossSections cut(planes, unusable);
    cut.AddSphere(Sphere(Point3f(0.5f, 0, 2), 1.f));
    ASSERT_EQ((std::vector<size_t>{cut.paths()[0].size(), cut.paths()[1].size(), cut.paths()[2].size()}),
              (std::vector<size_t>{0, 1, 0}));
    const Path& circle = cut.paths()[1][0];
    ASSERT_EQ(circle.size(), 16u);
    EXPECT_EQ(circle[0], IntPoint(1500, 0));
    EXPECT_EQ(circle[4], IntPoint(500, 1000)); // cos 90 deg in float is not exactly 0
    EXPECT_LT(S(circle), 0);
    Cutter c(Planes(0.05f, 5.f));
    SupportCrossSections record(c.planes, c.column);
    record.AddRecord(false, {Sphere(Point3f(5, 0, 1), 0.5f)}, {Cone(Point3f(0, 0, 3), 1, Point3f(0, 0, 0), 1)});
    const Paths& layer = record.paths()[20]; // 1.0251
    ASSERT_EQ(layer.size(), 2u);
    EXPECT_NEAR(Dist(layer[0][0], 5000, 0), 500, 2);
    EXPECT_NEAR(Dist(layer[1][0], 0, 0), 1000, 2);
}

// Distance of an outline point (at plane height z) from the axis line p1-p2.
double AxisDistanceMm(const IntPoint& q, float z, Point3f p1, Point3f p2)
{
    const double px = q.X / 1000.0 - p1.X(), py = q.Y / 1000.0 - p1.Y(), pz = double(z) - p1.Z();
    Point3f d = p2 - p1;
    d.Normalize();
    const double along = px * d.X() + py * d.Y() + pz * d.Z();
    return std::sqrt(std::max(0.0, px * px + py * py + pz * pz - along * along));
}

// 45 degrees: a convex 16-gon through the middle, the chord through the end disc, nothing above.
TEST(SupportCut, TiltedCylinderOutlines)
{
    Cutter c(Planes(0.05f, 10.f));
    const Point3f p1(0, 0, 5), p2(3, 0, 2);
    SupportCrossSections cut(c.planes, c.column);
    cut.AddCone(Cone(p1, 0.5f, p2, 0.5f));
    for (int L : {70, 97}) { // 3.5251 and 4.8751
        ASSERT_EQ(cut.paths()[L].size(), 1u) << L;
        const Path& e = cut.paths()[L][0];
        EXPECT_LT(S(e), 0);
        for (const IntPoint& q : e)
            EXPECT_GT(AxisDistanceMm(q, c.planes[L], p1, p2), 0.5 * 0.98 - 0.002) << L;
    }
    const Path& e = cut.paths()[70][0];
    ASSERT_EQ(e.size(), 16u);
    for (size_t i = 0; i < e.size(); ++i) {
        const IntPoint &a = e[i], &b = e[(i + 1) % e.size()], &d = e[(i + 2) % e.size()];
        EXPECT_GT((b.X - a.X) * (d.Y - b.Y) - (b.Y - a.Y) * (d.X - b.X), 0) << "convex, counter-clockwise at " << i;
        EXPECT_NEAR(AxisDistanceMm(a, c.planes[70], p1, p2), 0.5, 0.01);
    }
    // Ellipse of semi-axes 0.5 and 0.5 / cos 45: the 16-gon is within 3 % of it.
    EXPECT_NEAR(-double(S(e)) / 2.0 / 1e6, M_PI * 0.5 * 0.5 * std::sqrt(2.0), 0.03 * M_PI * 0.35);
    EXPECT_TRUE(cut.paths()[108].empty()); // 5.4251 > 5 + 0.354
}

TEST(SupportCut, UpwardAxisAndTakePaths)
{
    Cutter c(Planes(0.05f, 10.f));
    SupportCrossSections cut(c.planes, c.column);
    // Pointing up the rotation degenerates to a point reflection: still a closed outline.
    cut.AddCone(Cone(Point3f(0, 0, 1), 0.5f, Point3f(0.2f, 0, 3), 0.5f));
    const QVector<Paths> taken = cut.takePaths();
    ASSERT_EQ(taken.size(), c.planes.size());
    ASSERT_EQ(taken[40].size(), 1u); // 2.0251
    EXPECT_EQ(taken[40][0].size(), 16u);
    EXPECT_LT(S(taken[40][0]), 0);
    EXPECT_TRUE(cut.paths()[40].empty());
}

} // namespace
