#include "layers/layeroutlines.h"

#include <gtest/gtest.h>

#include <cmath>

using ClipperLib::IntPoint;
using ClipperLib::Path;
using ClipperLib::Paths;
using layers::BuildModelLayerOutlines;

namespace {

Path Square(qint64 x0, qint64 y0, qint64 size, bool counterClockwise = true)
{
    Path p{{x0, y0}, {x0 + size, y0}, {x0 + size, y0 + size}, {x0, y0 + size}};
    if (!counterClockwise)
        std::reverse(p.begin(), p.end());
    return p;
}

// Shoelace area of the even-odd union, written here independently of Clipper.
double SignedArea(const Path& p)
{
    double a = 0;
    for (size_t i = 0; i < p.size(); ++i)
        a += double(p[i].X) * p[(i + 1) % p.size()].Y - double(p[(i + 1) % p.size()].X) * p[i].Y;
    return a / 2;
}

double TotalArea(const Paths& paths)
{
    double a = 0;
    for (const Path& p : paths)
        a += SignedArea(p);
    return a;
}

} // namespace

TEST(LayerOutlines, OrientationSumIsMinusTwiceSignedArea)
{
    EXPECT_EQ(layers::OrientationSum(Square(0, 0, 10)), -200);
    EXPECT_EQ(layers::OrientationSum(Square(0, 0, 10, false)), 200);
    EXPECT_EQ(layers::OrientationSum(Path{{0, 0}, {5, 5}, {10, 10}}), 0);
}

TEST(LayerOutlines, SingleClosedShellPassesUnchanged)
{
    ShellLayerContours c(1, QVector<Paths>(3));
    // Clockwise, with the repeated first point: a union would change both.
    Path cw = Square(0, 0, 1000, false);
    cw.push_back(cw.front());
    c[0][0] = {cw};
    c[0][2] = {Square(0, 0, 10), Square(5, 5, 10)}; // overlapping, left as they are
    EXPECT_TRUE(BuildModelLayerOutlines(c, 3, false) == (QVector<Paths>{{cw}, {}, c[0][2]}));
}

// Layers of several slots (or an open shell's) come out as Clipper's union.
TEST(LayerOutlines, SlotsAreUnitedPerLayer)
{
    const struct { const char* name; std::vector<Paths> slots /* one layer */; bool open; double area; } cases[] = {
        // The chained outline of an open shell, clockwise: united all the same.
        {"open shell", {{}, {Square(0, 0, 1000, false)}}, true, 1e6},
        // Opposite windings: the overlap stays filled.
        {"singles of both orientations", {{Square(0, 0, 100)}, {Square(50, 0, 100, false)}}, false, 150.0 * 100.0},
        {"two points, zero area, nothing", {{Path{{0, 0}, {100, 0}}}, {Path{{0, 0}, {50, 50}, {100, 100}}}, {}},
         false, 0},
        // A ring (outer and hole) and a square inside the hole.
        {"ring and single", {{Square(0, 0, 1000), Square(250, 250, 500)}, {Square(400, 400, 100, false)}}, false,
         1e6 - 250000 + 10000},
    };
    for (const auto& c : cases) {
        ShellLayerContours contours(int(c.slots.size()), QVector<Paths>(1));
        for (size_t s = 0; s < c.slots.size(); ++s)
            contours[int(s)][0] = c.slots[s];
        const QVector<Paths> out = BuildModelLayerOutlines(contours, 1, c.open);
        ASSERT_EQ(out.size(), 1) << c.name;
        EXPECT_DOUBLE_EQ(TotalArea(out[0]), c.area) << c.name; // positive: outer outlines counter-clockwise
    }
}

TEST(LayerOutlines, MissingLayerEntriesCountAsEmpty)
{
    ShellLayerContours c(2);
    c[1][0] = Paths{Square(0, 0, 10)};
    const QVector<Paths> out = BuildModelLayerOutlines(c, 4, false);
    ASSERT_EQ(out.size(), 4);
    EXPECT_DOUBLE_EQ(TotalArea(out[0]), 100);
    EXPECT_TRUE(out[3].empty());
}

TEST(SupportMerge, RulesPerLayer)
{
    QVector<Paths> model(4);
    model[0] = {Square(0, 0, 100)};
    model[2] = {Square(0, 0, 100)};
    QVector<Paths> support(4);
    support[0] = {Square(50, 0, 100, false)};             // united with the model
    support[1] = {Square(0, 0, 10, false)};               // alone: taken as it is
    support[2] = {};                                      // model kept
    support[3] = {Square(0, 0, 10), Square(5, 0, 10)};    // several: united
    layers::MergeSupportPaths(model, support);
    EXPECT_DOUBLE_EQ(TotalArea(model[0]), 150.0 * 100.0);
    EXPECT_EQ(model[1], Paths{Square(0, 0, 10, false)});
    EXPECT_EQ(model[2], Paths{Square(0, 0, 100)});
    ASSERT_EQ(model[3].size(), 1u);
    EXPECT_DOUBLE_EQ(TotalArea(model[3]), 150.0);
}
