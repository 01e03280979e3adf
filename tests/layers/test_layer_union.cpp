// One layer's union done per group of outlines that can touch, held against
// one union of the whole layer; the island count held against a count on a
// fine pixel grid; supports cut plane by plane counted as the whole cut is.
#include "layer_checks.h"
#include "layers/instanceslice.h"
#include "layers/islands.h"
#include "layers/layeroutlines.h"
#include "layers/layerunion.h"
#include "layers/stripunion.h"
#include "layers/supportcut.h"
#include "layers/supportlayers.h"
#include "layers/sweepheights.h"
#include "mesh/workerpriority.h"
#include "clipper_checks.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <functional>
#include <atomic>
#include <string>
#include <map>
#include <random>
#include <set>

using ClipperLib::cInt;
using ClipperLib::IntPoint;
using ClipperLib::Path;
using ClipperLib::Paths;

namespace {

Path Rect(cInt x0, cInt y0, cInt x1, cInt y1) { return {{x0, y0}, {x1, y0}, {x1, y1}, {x0, y1}}; }

Path Circle(double cx, double cy, double r, int points = 16)
{
    Path p;
    for (int k = 0; k < points; ++k)
        p.emplace_back(cInt(cx + r * std::cos(2 * M_PI * k / points)), cInt(cy + r * std::sin(2 * M_PI * k / points)));
    return p;
}

// One union of everything, as every layer was made before.
Paths WholeUnion(Paths model, Paths support)
{
    if (model.empty() && !support.empty()) {
        model.push_back(support.back());
        support.pop_back();
    }
    ClipperLib::Clipper c;
    c.AddPaths(model, ClipperLib::ptSubject, true);
    c.AddPaths(support, ClipperLib::ptClip, true);
    Paths out;
    c.Execute(ClipperLib::ctUnion, out, ClipperLib::pftEvenOdd, ClipperLib::pftNonZero);
    return out;
}

// Nothing overlaps in a layer's outlines: the readers fill them odd-even,
// so their areas add up to the area of their union.
void ExpectNoOverlap(const Paths& outlines)
{
    double sum = 0, region = 0;
    for (const Path& p : outlines)
        sum += ClipperLib::Area(p);
    for (const Path& p : WholeUnion(outlines, {}))
        region += ClipperLib::Area(p);
    EXPECT_NEAR(sum, region, 1e-6 * std::fabs(region) + 1);
}

Paths Grouped(const Paths& model, const Paths& support)
{
    layers::LayerOutlines out;
    layers::UniteLayer(model, layers::PlainSupportOutlines(support), nullptr, out);
    Paths paths;
    for (const layers::LayerOutlines::Item& item : out.items)
        paths.push_back(*item.path);
    return paths;
}

double XorArea(const Paths& a, const Paths& b)
{
    return clippercheck::AreaOf(clippercheck::Combine(ClipperLib::ctXor, a, b));
}

std::multiset<std::pair<cInt, cInt>> Vertices(const Paths& paths)
{
    std::multiset<std::pair<cInt, cInt>> v;
    for (const Path& p : paths)
        for (const IntPoint& q : p)
            v.insert({q.X, q.Y});
    return v;
}

// The outlines lying wholly left of x: those under test, not those far to
// the right that only lend the layer their heights.
Paths LeftOf(const Paths& paths, cInt x)
{
    Paths left;
    for (const Path& p : paths)
        if (layers::BoxOf(p).x1 < x)
            left.push_back(p);
    return left;
}

// A ring of 400 points (a long outline with a hole) and supports inside its
// box: on the ring, in its hole, inside its solid band, far outside, and
// overlapping each other; every table row unites to the whole union's region.
TEST(LayerUnion, GroupsUniteToTheWholeLayersRegion)
{
    const Path outer = Circle(0, 0, 80000, 400);
    Path inner = Circle(0, 0, 20000, 300);
    std::reverse(inner.begin(), inner.end());
    struct Row {
        const char* name;
        Paths model, support;
    };
    const Row rows[] = {
        {"on the ring's edges", {outer, inner}, {Circle(80000, 0, 600), Circle(0, 20000, 600)}},
        {"in the hole", {outer, inner}, {Circle(0, 0, 600), Circle(5000, 5000, 600)}},
        {"inside the solid band", {outer, inner}, {Circle(50000, 0, 600), Circle(0, -50000, 600)}},
        {"outside, in the box corner", {outer, inner}, {Circle(76000, 76000, 600), Circle(-76000, 76000, 600)}},
        {"overlapping supports", {outer, inner}, {Circle(10000, 0, 600), Circle(10800, 0, 600), Circle(11600, 0, 600)}},
        {"no model, one support", {}, {Circle(0, 0, 600)}},
        {"no model, several", {}, {Circle(0, 0, 600), Circle(900, 0, 600), Circle(5000, 0, 600)}},
        {"touching boxes", {Rect(0, 0, 1000, 1000)}, {Rect(1000, 0, 2000, 1000), Rect(2000, 1000, 3000, 2000)}},
        {"many apart", {Rect(-50000, -50000, -49000, -49000)},
         [] {
             Paths p;
             for (int i = 0; i < 30; ++i)
                 for (int j = 0; j < 30; ++j)
                     p.push_back(Circle(i * 1300.0, j * 1300.0 + 60000, 550));
             return p;
         }()},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const Paths grouped = Grouped(row.model, row.support);
        EXPECT_EQ(XorArea(grouped, WholeUnion(row.model, row.support)), 0.0);
        ExpectNoOverlap(grouped);
    }
}

// The model outlines of a union (shells united first) that no support
// meets pass as they are; the group a support meets is united, and the
// layer keeps the whole union's very vertices.
TEST(LayerUnion, ModelOutlinesOfAUnionThatNoSupportMeetsPassAsTheyAre)
{
    Path inner = Circle(0, 0, 20000, 300);
    std::reverse(inner.begin(), inner.end()); // a hole under non-zero
    const Paths shells{Circle(0, 0, 80000, 400), inner, Rect(100000, 0, 110000, 10000), Rect(105000, 5000, 115000, 15000),
                       Circle(-100000, 0, 5000, 64)};
    Paths model;
    ClipperLib::Clipper shellUnion;
    shellUnion.AddPaths(shells, ClipperLib::ptSubject, true);
    shellUnion.Execute(ClipperLib::ctUnion, model, ClipperLib::pftNonZero, ClipperLib::pftNonZero);
    ASSERT_EQ(model.size(), 4u);
    const Paths support{Circle(0, 0, 600), Circle(-95000, 0, 600), Circle(-95800, 0, 600), Circle(200000, 0, 600)};
    for (const bool isUnion : {true, false}) {
        SCOPED_TRACE(isUnion ? "a union's outlines" : "outlines as cut");
        layers::LayerOutlines out;
        layers::UniteLayer(model, layers::PlainSupportOutlines(support), nullptr, out, nullptr, isUnion);
        Paths united;
        std::set<const Path*> passed;
        for (const layers::LayerOutlines::Item& item : out.items) {
            united.push_back(*item.path);
            if (item.path >= model.data() && item.path < model.data() + model.size())
                passed.insert(item.path);
        }
        // The ring with its hole and the two boxes' union pass; the small
        // circle with supports on its edge does not.
        EXPECT_EQ(passed.size(), isUnion ? 3u : 0u);
        for (const Path* p : passed)
            EXPECT_LT(layers::BoxOf(*p).x0, 100001);
        EXPECT_EQ(Vertices(united), Vertices(WholeUnion(model, support)));
        ExpectNoOverlap(united);
    }
}

// Away from a long outline's edges a support lies inside the model, where
// the union takes it in, or in a hole, where it stands apart: passed as it
// is, not united with the model. On an edge it is united. So too round an
// island standing in the hole, united apart from the ring it stands in.
TEST(LayerUnion, ASupportInAHoleOfTheModelStandsApart)
{
    const Path outer = Circle(0, 0, 80000, 400);
    Path inner = Circle(0, 0, 20000, 300);
    std::reverse(inner.begin(), inner.end());
    // An island in the ring's hole, with a hole of its own.
    const Path island = Circle(0, 0, 10000, 300);
    Path islandHole = Circle(0, 0, 4000, 200);
    std::reverse(islandHole.begin(), islandHole.end());
    const Paths ring{outer, inner}, ringAndIsland{outer, inner, island, islandHole};
    const struct {
        const char* name;
        const Paths& model;
        Path support;
        bool apart;
    } rows[] = {
        {"in the hole", ring, Circle(0, 0, 600), true},
        {"in the hole, off centre", ring, Circle(9000, -7000, 600), true},
        {"inside the solid band", ring, Circle(50000, 0, 600), false},
        {"on the hole's edge", ring, Circle(20000, 0, 600), false},
        {"inside the island", ringAndIsland, Circle(7000, 0, 600), false},
        {"in the island's hole", ringAndIsland, Circle(1000, 1000, 600), true},
        {"on the island's edge", ringAndIsland, Circle(10000, 0, 600), false},
        {"between ring and island", ringAndIsland, Circle(15000, 0, 600), true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const Paths support{row.support};
        const std::vector<layers::SupportOutline> outlines = layers::PlainSupportOutlines(support);
        layers::LayerOutlines out;
        layers::UniteLayer(row.model, outlines, nullptr, out);
        Paths grouped;
        bool passedAlone = false;
        for (const layers::LayerOutlines::Item& item : out.items) {
            grouped.push_back(*item.path);
            passedAlone = passedAlone || (item.alone && item.path == &support[0]);
        }
        EXPECT_EQ(passedAlone, row.apart);
        EXPECT_EQ(XorArea(grouped, WholeUnion(row.model, support)), 0.0);
        ExpectNoOverlap(grouped);
    }
}

// Clipper rounds a crossing into the band between the two sweep heights it
// found it in, and a union stops at every vertex height it holds: united
// apart, two crossing outlines round their crossings as the whole layer
// does only if the layer's other heights there are swept too.
TEST(LayerUnion, CrossingsRoundAsInTheWholeLayersUnion)
{
    std::mt19937 random(7);
    std::uniform_int_distribution<int> jitter(-300, 300), nudge(-3, 3);
    int plainDiffers = 0;
    for (int round = 0; round < 60; ++round) {
        SCOPED_TRACE(round);
        // Crossing outlines, and nearly coincident ones (two solids cut
        // within a few micrometres), whose crossings round the most.
        Path second = Circle(0, 0, 550);
        for (IntPoint& p : second)
            p = round % 2 ? IntPoint(p.X + 700 + jitter(random), p.Y + 130 + jitter(random))
                          : IntPoint(p.X + nudge(random), p.Y + nudge(random));
        Paths support{Circle(0, 0, 550), second};
        // Far to the right, outlines with vertex heights all through the crossings' band.
        for (int k = 0; k < 12; ++k)
            support.push_back(Circle(50000 + 2000 * k, jitter(random) * 2, 450 + jitter(random) / 3, 13));
        const Paths whole = WholeUnion({}, support);
        EXPECT_EQ(Vertices(Grouped({}, support)), Vertices(whole));
        plainDiffers += Vertices(WholeUnion({}, {support[0], support[1]})) != Vertices(LeftOf(whole, 10000));
    }
    // The far outlines do change the rounding (else the above proves nothing).
    EXPECT_GT(plainDiffers, 0);
}

// The sweep heights of bands: those inside them and, where a band asks, the
// nearest either side of it, as a sorted list of all the layer's heights gives them, whether
// the set keeps bits (with heights beyond its range listed) or a list.
TEST(LayerUnion, HeightsInBandsAndNextToThem)
{
    std::mt19937 random(5);
    std::uniform_int_distribution<cInt> height(-2000, 102000), start(-3000, 103000), length(0, 300);
    for (const cInt top : {cInt(100000), cInt(1) << 30}) {
        for (int round = 0; round < 50; ++round) {
            SCOPED_TRACE(std::to_string(top) + " " + std::to_string(round));
            std::set<cInt> all;
            Path points;
            for (int k = 0; k < 1 + round * 4; ++k) {
                const cInt h = height(random);
                all.insert(h);
                points.emplace_back(0, h);
            }
            layers::SweepHeights heights;
            heights.Reset(0, top);
            heights.AddKept(points);
            layers::HeightBands bands;
            for (int k = 0; k < 5; ++k) {
                const cInt from = start(random);
                bands.push_back({from, from + length(random), k % 2 == 0});
            }
            std::set<cInt> expected;
            for (const layers::HeightBand& band : bands) {
                for (auto it = all.lower_bound(band.lo); it != all.end() && *it <= band.hi; ++it)
                    expected.insert(*it);
                if (!band.nearest)
                    continue;
                const auto below = all.lower_bound(band.lo);
                if (below != all.begin())
                    expected.insert(*std::prev(below));
                const auto above = all.upper_bound(band.hi);
                if (above != all.end())
                    expected.insert(*above);
            }
            EXPECT_EQ(layers::HeightsIn(heights, bands), std::vector<cInt>(expected.begin(), expected.end()));
        }
    }
}

// A column and a strut's section from a lattice, crossing within a unit of
// a sweep height: the heights either side of that one bound where the union
// looks for the crossing, and so where it rounds it to. Far to the right,
// an outline holds the layer's other heights there.
TEST(LayerUnion, ACrossingKeepsTheSweepHeightsEitherSideOfIt)
{
    const Path column{{-21732, 8161}, {-21774, 8372}, {-21894, 8550}, {-22072, 8669}, {-22282, 8711}, {-22493, 8669},
                      {-22671, 8550}, {-22791, 8372}, {-22832, 8161}, {-22791, 7951}, {-22671, 7772}, {-22493, 7653},
                      {-22282, 7611}, {-22072, 7653}, {-21894, 7772}, {-21774, 7951}};
    const Path strut{{-21876, 8212}, {-21940, 8348}, {-22625, 8348}, {-22689, 8212}, {-22722, 7974},
                     {-22689, 7735}, {-22594, 7534}, {-22451, 7399}, {-22282, 7351}, {-22114, 7399},
                     {-21971, 7534}, {-21876, 7735}, {-21842, 7974}};
    const cInt heights[] = {7595, 7637, 7702, 7756, 7778, 7798, 7815, 7824, 7849, 7888, 7923, 8034};
    Path elsewhere;
    for (size_t k = 0; k < sizeof(heights) / sizeof(heights[0]); ++k)
        elsewhere.emplace_back(200000 + cInt(k % 2) * 5, heights[k]);
    elsewhere.emplace_back(200020, heights[sizeof(heights) / sizeof(heights[0]) - 1]);
    elsewhere.emplace_back(200020, heights[0]);
    const Paths support{column, strut, elsewhere};
    const Paths whole = WholeUnion({}, support);
    EXPECT_EQ(Vertices(Grouped({}, support)), Vertices(whole));
    // The heights do move the crossing: without them it rounds elsewhere.
    EXPECT_NE(Vertices(WholeUnion({}, {column, strut})), Vertices(LeftOf(whole, 100000)));
}

// Columns with the tilted sections of struts across them, as a lattice of
// supports cuts: many shallow crossings between near-parallel edges, with
// the layer's other heights all through them. United apart they keep the
// whole layer's very vertices.
TEST(LayerUnion, LatticeCrossingsRoundAsInTheWholeLayersUnion)
{
    std::mt19937 random(23);
    std::uniform_real_distribution<double> offset(-700, 700), angle(0, M_PI), stretch(1.0, 3.5), unit(0, 1);
    auto ellipse = [](double cx, double cy, double a, double b, double turn, int points) {
        Path p;
        for (int k = 0; k < points; ++k) {
            const double t = 2 * M_PI * k / points, x = a * std::cos(t), y = b * std::sin(t);
            p.emplace_back(cInt(std::lround(cx + x * std::cos(turn) - y * std::sin(turn))),
                           cInt(std::lround(cy + x * std::sin(turn) + y * std::cos(turn))));
        }
        return p;
    };
    int differs = 0;
    for (int round = 0; round < 400; ++round) {
        Paths support{ellipse(0, 0, 550, 550, 0, 16)};
        const int struts = 1 + round % 3;
        for (int k = 0; k < struts; ++k) {
            const double r = 300 + 250 * unit(random);
            support.push_back(ellipse(offset(random), offset(random), r * stretch(random), r, angle(random), 16));
        }
        // Far to the right, outlines whose vertex heights fill the crossings' bands.
        for (int k = 0; k < 40; ++k)
            support.push_back(ellipse(60000 + 1500 * k, offset(random), 450 + 100 * unit(random), 450, angle(random), 16));
        differs += Vertices(Grouped({}, support)) != Vertices(WholeUnion({}, support));
    }
    EXPECT_EQ(differs, 0);
}

// A stop asked before or during a layer's union leaves the layer empty (it
// is thrown away); without one, the same call unites every group.
TEST(LayerUnion, AStopLeavesTheLayerEmptyBetweenGroups)
{
    Paths support;
    for (int i = 0; i < 20; ++i) // overlapping pairs: each pair is a union
        support.push_back(Circle(i * 3000.0, 0, 600)), support.push_back(Circle(i * 3000.0 + 800, 0, 600));
    const std::vector<layers::SupportOutline> outlines = layers::PlainSupportOutlines(support);
    std::atomic<bool> stop{false};
    layers::LayerOutlines out;
    layers::UniteLayer({}, outlines, nullptr, out, nullptr, false, &stop);
    EXPECT_EQ(out.items.size(), 20u);
    stop = true;
    layers::UniteLayer({}, outlines, nullptr, out, nullptr, false, &stop);
    EXPECT_TRUE(out.items.empty());
    EXPECT_TRUE(out.owned.empty());
}

// Supports closer than their own width touch across the layer: one group of
// thousands, united strip by strip. The pieces meet edge to edge and cover
// what the one union covers, holes of the field and of the model included,
// up to a unit of rounding along crossings; a stop ends it between strips.
TEST(LayerUnion, AGroupOfThousandsIsUnitedInStripsToTheSameRegion)
{
    Paths support;
    for (int i = 0; i < 64; ++i) // 800 apart, 1100 wide: a hole between every four
        for (int j = 0; j < 40; ++j)
            support.push_back(Circle(i * 800.0, j * 800.0, 550));
    const Paths model = {Rect(-3000, 20000, 30000, 40000), Rect(10000, 25000, 20000, 35000)}; // a frame
    ASSERT_GE(support.size(), layers::kStripUnionFrom);
    const Paths strips = Grouped(model, support);
    const Paths whole = WholeUnion(model, support);
    ExpectNoOverlap(strips);
    double region = 0;
    for (const Path& p : whole)
        region += ClipperLib::Area(p);
    const double apart = XorArea(strips, whole);
    EXPECT_LT(apart, 1e-5 * region) << apart << " of " << region;
    auto outers = [](const Paths& paths) {
        return std::count_if(paths.begin(), paths.end(), [](const Path& p) { return ClipperLib::Orientation(p); });
    };
    EXPECT_GT(whole.size() - size_t(outers(whole)), 2000u); // the field's holes
    // More than one strip: the field comes in pieces that meet along the strip lines.
    EXPECT_GE(outers(strips), outers(whole) + 4);

    std::vector<const Path*> subject, clip;
    for (const Path& p : model)
        subject.push_back(&p);
    for (const Path& p : support)
        clip.push_back(&p);
    std::atomic<bool> stop{true};
    Paths out = {Rect(0, 0, 1, 1)};
    EXPECT_EQ(layers::UniteInStrips(subject, clip, out, &stop), layers::StripUnion::Stopped);
    EXPECT_TRUE(out.empty());
}

// A support well inside a convex one adds nothing to the union: the group
// is the outer one alone, passed as it is. One with a point near an edge
// of the outer one, touching or crossing it, is united as before; every row
// keeps the whole layer's vertices.
TEST(LayerUnion, SupportsWellInsideAConvexOneAreLeftOutOfTheUnion)
{
    // A hexagon with an upright edge at x = 5000 (counter-clockwise).
    const Path outer{{5000, -3000}, {5000, 3000}, {0, 5500}, {-5000, 3000}, {-5000, -3000}, {0, -5500}};
    Path clockwise = outer;
    std::reverse(clockwise.begin(), clockwise.end());
    // A thin triangle whose tip is at x, level with the upright edge's middle.
    const auto tipAt = [](cInt x) { return Path{{x - 1500, -400}, {x, 0}, {x - 1500, 400}}; };
    const cInt edgeX = 5000;
    struct Row {
        const char* name;
        Paths model, support;
        int passedAsIs; // index of the support that comes out alone, or -1
    };
    const Row rows[] = {
        {"well inside", {}, {outer, Circle(1000, 0, 2000)}, 0},
        {"nested three deep, inner first", {}, {Circle(0, 0, 800), Circle(0, 0, 2000), outer}, 2},
        {"a tip 8 units inside the edge", {}, {tipAt(edgeX - 8), outer}, 1},
        {"a tip 2 units inside the edge", {}, {tipAt(edgeX - 2), outer}, -1},
        {"a tip on the edge", {}, {tipAt(edgeX), outer}, -1},
        {"a tip 1 unit across the edge", {}, {tipAt(edgeX + 1), outer}, -1},
        {"one inside, one crossing", {}, {outer, Circle(500, 500, 1500), Circle(5000, 0, 1500)}, -1},
        {"the outer one clockwise", {}, {clockwise, Circle(1000, 0, 2000)}, -1},
        {"the same outline twice", {}, {outer, outer}, -1},
        {"beside a model outline", {Rect(-20000, -20000, -10000, -10000)}, {outer, Circle(1000, 0, 2000)}, 0},
        {"inside a model outline", {Rect(-20000, -20000, 20000, 20000)}, {outer, Circle(1000, 0, 2000)}, -1},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const std::vector<layers::SupportOutline> supports = layers::PlainSupportOutlines(row.support);
        layers::LayerOutlines out;
        layers::UniteLayer(row.model, supports, nullptr, out);
        Paths grouped;
        for (const layers::LayerOutlines::Item& item : out.items)
            grouped.push_back(*item.path);
        EXPECT_EQ(Vertices(grouped), Vertices(WholeUnion(row.model, row.support)));
        int passedAsIs = -1;
        for (const layers::LayerOutlines::Item& item : out.items)
            for (size_t k = 0; k < row.support.size(); ++k)
                if (item.alone && item.path == &row.support[k])
                    passedAsIs = int(k);
        EXPECT_EQ(passedAsIs, row.passedAsIs);
    }
}

// What Clipper keeps of an outline on the way in.
TEST(LayerUnion, KeptPointsDropRepeatsAndPointsInLine)
{
    const struct {
        Path in, kept;
    } rows[] = {
        {Rect(0, 0, 10, 10), Rect(0, 0, 10, 10)},
        {{{0, 0}, {5, 0}, {10, 0}, {10, 10}, {0, 10}}, Rect(0, 0, 10, 10)},
        {{{0, 0}, {0, 0}, {10, 0}, {10, 10}, {0, 10}, {0, 0}}, Rect(0, 0, 10, 10)},
        {{{0, 0}, {10, 0}, {20, 0}}, {}},
        {{{0, 0}, {10, 0}}, {}},
    };
    for (const auto& row : rows) {
        const Path kept = layers::ClipperKeptPoints(row.in);
        EXPECT_EQ(Vertices({kept}), Vertices({row.kept}));
    }
    // Where nothing is dropped the outline comes back point for point; where
    // the seam holds a repeat or a point in line, that point goes.
    const struct {
        const char* name;
        Path in, kept;
    } exact[] = {
        {"nothing to drop", Circle(0, 0, 550), Circle(0, 0, 550)},
        {"in line across the seam", {{5, 0}, {10, 0}, {10, 10}, {0, 10}, {0, 0}}, {{10, 0}, {10, 10}, {0, 10}, {0, 0}}},
        {"last repeats the first", {{0, 0}, {10, 0}, {10, 10}, {0, 10}, {0, 0}}, Rect(0, 0, 10, 10)},
        {"back along itself", {{0, 0}, {10, 0}, {10, 10}, {10, 5}, {0, 10}}, {{0, 0}, {10, 0}, {10, 5}, {0, 10}}},
    };
    for (const auto& row : exact) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(layers::ClipperKeptPoints(row.in), row.kept);
        Path into{{1, 2}};
        layers::ClipperKeptPoints(row.in, into);
        EXPECT_EQ(into, row.kept);
    }
}

// Crossing bands by brute force.
double Distance(const IntPoint& p, const IntPoint& a, const IntPoint& b)
{
    const double dx = double(b.X - a.X), dy = double(b.Y - a.Y), len2 = dx * dx + dy * dy;
    const double t = len2 > 0 ? std::clamp((double(p.X - a.X) * dx + double(p.Y - a.Y) * dy) / len2, 0.0, 1.0) : 0.0;
    return std::hypot(double(a.X) + t * dx - double(p.X), double(a.Y) + t * dy - double(p.Y));
}

bool EdgesTouch(const IntPoint& a, const IntPoint& b, const IntPoint& c, const IntPoint& d)
{
    auto side = [](const IntPoint& p, const IntPoint& q, const IntPoint& r) {
        const __int128 x = __int128(q.X - p.X) * (r.Y - p.Y) - __int128(q.Y - p.Y) * (r.X - p.X);
        return (x > 0) - (x < 0);
    };
    auto on = [&](const IntPoint& p, const IntPoint& q, const IntPoint& r) {
        return side(p, q, r) == 0 && std::min(p.X, q.X) <= r.X && r.X <= std::max(p.X, q.X) &&
               std::min(p.Y, q.Y) <= r.Y && r.Y <= std::max(p.Y, q.Y);
    };
    if (side(a, b, c) * side(a, b, d) < 0 && side(c, d, a) * side(c, d, b) < 0)
        return true;
    return on(a, b, c) || on(a, b, d) || on(c, d, a) || on(c, d, b);
}

// Every pair of edges of what Clipper keeps, neighbours on one outline aside.
template <typename PairFn>
void ForEveryPairOfEdges(const Paths& outlines, PairFn fn)
{
    Paths kept;
    for (const Path& p : outlines)
        if (!layers::ClipperKeptPoints(p).empty())
            kept.push_back(layers::ClipperKeptPoints(p));
    for (size_t p = 0; p < kept.size(); ++p)
        for (size_t q = p; q < kept.size(); ++q) {
            const size_t n = kept[p].size(), m = kept[q].size();
            for (size_t i = 0; i < n; ++i)
                for (size_t j = p == q ? i + 1 : 0; j < m; ++j) {
                    if (p == q && (j == i + 1 || (i == 0 && j == n - 1)))
                        continue;
                    fn(kept[p][i], kept[p][(i + 1) % n], kept[q][j], kept[q][(j + 1) % m]);
                }
        }
}

bool InBands(const layers::HeightBands& bands, cInt y)
{
    return std::any_of(bands.begin(), bands.end(), [y](const auto& b) { return b.lo <= y && y <= b.hi; });
}

cInt Covered(const layers::HeightBands& bands)
{
    cInt sum = 0;
    for (const auto& b : bands)
        sum += b.hi - b.lo + 1;
    return sum;
}

// Where a pair of edges can make the union cross them: every height of
// both where they lie within a unit across (rounding moves each by half a
// unit); where one is level or both run parallel, all their common heights
// when they meet or pass within 2.5 units.
bool PairNeedsHeight(const IntPoint& a, const IntPoint& b, const IntPoint& c, const IntPoint& d, cInt y)
{
    if (y < std::max(std::min(a.Y, b.Y), std::min(c.Y, d.Y)) || y > std::min(std::max(a.Y, b.Y), std::max(c.Y, d.Y)))
        return false;
    const bool sloped = a.Y != b.Y && c.Y != d.Y;
    if (sloped && (b.X - a.X) * (d.Y - c.Y) != (d.X - c.X) * (b.Y - a.Y)) {
        const long double xe = a.X + (long double)(b.X - a.X) * (y - a.Y) / (b.Y - a.Y);
        const long double xf = c.X + (long double)(d.X - c.X) * (y - c.Y) / (d.Y - c.Y);
        return std::fabs(xe - xf) <= 1.0L;
    }
    return EdgesTouch(a, b, c, d) || Distance(a, c, d) <= 2.5 || Distance(b, c, d) <= 2.5 || Distance(c, a, b) <= 2.5 ||
           Distance(d, a, b) <= 2.5;
}

// What the bands were when every pair that meets or passes near took all
// its common heights (and three units more each way).
layers::HeightBands WholePairBands(const Paths& outlines)
{
    std::vector<std::pair<cInt, cInt>> bands;
    ForEveryPairOfEdges(outlines, [&](const IntPoint& a, const IntPoint& b, const IntPoint& c, const IntPoint& d) {
        const bool near = Distance(a, c, d) <= 2.5 || Distance(b, c, d) <= 2.5 || Distance(c, a, b) <= 2.5 ||
                          Distance(d, a, b) <= 2.5;
        if (EdgesTouch(a, b, c, d) || near)
            bands.emplace_back(std::max(std::min(a.Y, b.Y), std::min(c.Y, d.Y)) - 3,
                               std::min(std::max(a.Y, b.Y), std::max(c.Y, d.Y)) + 3);
    });
    std::sort(bands.begin(), bands.end());
    layers::HeightBands merged;
    for (const auto& b : bands) {
        if (!merged.empty() && b.first <= merged.back().hi)
            merged.back().hi = std::max(merged.back().hi, b.second);
        else
            merged.push_back({b.first, b.second, false});
    }
    return merged;
}

TEST(LayerUnion, CrossingBandsHoldEveryHeightWhereEdgesComeWithinAUnit)
{
    std::mt19937 random(11);
    std::uniform_int_distribution<int> jitter(-400, 400), gap(0, 4), tiny(2, 9);
    struct Row {
        const char* name;
        std::function<Paths()> make;
    };
    const Row rows[] = {
        {"overlapping circles", [&] { return Paths{Circle(0, 0, 550), Circle(700 + jitter(random), jitter(random), 440)}; }},
        {"a gap of a few units", [&] { return Paths{Rect(0, 0, 1000, 1000), Rect(1000 + gap(random), 200, 2000, 800)}; }},
        {"tiny circles, own edges near", [&] { return Paths{Circle(0, 0, tiny(random)), Circle(5000, 0, tiny(random), 7)}; }},
        {"chain of many", [&] {
             Paths p;
             for (int k = 0; k < 30; ++k)
                 p.push_back(Circle(900 * k + jitter(random) / 4, jitter(random) / 4, 500));
             return p;
         }},
        {"long outlines crossing", [&] {
             return Paths{Circle(0, 0, 20000, 200), Circle(15000 + jitter(random), jitter(random), 20000, 150)};
         }},
        {"long outline crossing itself", [&] {
             Path p = Circle(0, 0, 20000, 90);
             std::swap(p[10], p[50]);
             return Paths{p, Circle(20000, 0, 700)};
         }},
        {"points in line and repeated", [&] {
             return Paths{{{0, 0}, {500, 0}, {1000, 0}, {1000, 1000}, {1000, 1000}, {0, 1000}},
                          {{1000 + gap(random), 100}, {3000, 100}, {3000, 900}}};
         }},
        {"several with points in line", [&] {
             Paths p;
             for (int k = 0; k < 9; ++k) {
                 const cInt x = 900 * k + gap(random);
                 p.push_back({{x, 0}, {x + 500, 0}, {x + 1000, 0}, {x + 1000, 1000}, {x, 1000}});
             }
             return p;
         }},
        {"far apart", [&] { return Paths{Circle(0, 0, 500), Circle(90000, 0, 500)}; }},
    };
    int narrower = 0;
    for (const Row& row : rows)
        for (int round = 0; round < 8; ++round) {
            SCOPED_TRACE(std::string(row.name) + " " + std::to_string(round));
            const Paths outlines = row.make();
            const layers::HeightBands bands = layers::CrossingBands(outlines, {});
            for (size_t k = 0; k < bands.size(); ++k)
                EXPECT_TRUE(bands[k].lo <= bands[k].hi && (k == 0 || bands[k - 1].hi < bands[k].lo));
            narrower += Covered(bands) < Covered(WholePairBands(outlines));
            int missing = 0;
            ForEveryPairOfEdges(outlines, [&](const IntPoint& a, const IntPoint& b, const IntPoint& c, const IntPoint& d) {
                if (std::max(a.X, b.X) + 3 < std::min(c.X, d.X) || std::max(c.X, d.X) + 3 < std::min(a.X, b.X))
                    return;
                for (cInt y = std::min(a.Y, b.Y); y <= std::max(a.Y, b.Y); ++y)
                    missing += PairNeedsHeight(a, b, c, d, y) && !InBands(bands, y);
            });
            EXPECT_EQ(missing, 0);
            // Split between subject and clip makes no difference.
            EXPECT_EQ(layers::CrossingBands({outlines.front()}, Paths(outlines.begin() + 1, outlines.end())), bands);
        }
    // Crossing outlines need far fewer heights than all those of their crossing edges.
    EXPECT_GE(narrower, 24);
}

// ---- islands

// Rectangles on a 1 mm lattice, counted on a grid of 1 mm cells (a cell is
// lit when its centre is inside, even-odd for the model, any for supports):
// a region rests when one of its cells is lit below.
struct GridLayer {
    Paths model, support;
};

bool Inside(const Paths& paths, double x, double y, bool evenOdd)
{
    int crossings = 0;
    for (const Path& p : paths)
        crossings += ClipperLib::PointInPolygon(IntPoint(cInt(x), cInt(y)), p) != 0;
    return evenOdd ? crossings % 2 == 1 : crossings > 0;
}

constexpr int kCells = 24;

std::vector<char> Cells(const Paths& paths, bool evenOdd)
{
    std::vector<char> lit(kCells * kCells, 0);
    for (int y = 0; y < kCells; ++y)
        for (int x = 0; x < kCells; ++x)
            lit[size_t(y * kCells + x)] = Inside(paths, x * 1000 + 500, y * 1000 + 500, evenOdd);
    return lit;
}

// Lattice rectangles that either overlap in area (when `overlapping`) or keep
// a gap: no two touch along an edge or at a corner, where regions would join
// or not by a rule of their own.
Paths RandomRects(std::mt19937& random, int count, bool overlapping)
{
    std::uniform_int_distribution<int> at(0, kCells - 4), size(1, 4);
    Paths rects;
    std::vector<std::array<int, 4>> boxes;
    for (int tries = 0; int(rects.size()) < count && tries < 1000; ++tries) {
        const int x0 = at(random), y0 = at(random), x1 = x0 + size(random), y1 = y0 + size(random);
        bool refused = false;
        for (const auto& b : boxes) {
            const bool closuresMeet = x0 <= b[2] && b[0] <= x1 && y0 <= b[3] && b[1] <= y1;
            const bool interiorsMeet = x0 < b[2] && b[0] < x1 && y0 < b[3] && b[1] < y1;
            refused = refused || (closuresMeet && !(overlapping && interiorsMeet));
        }
        if (refused)
            continue;
        boxes.push_back({x0, y0, x1, y1});
        rects.push_back(Rect(x0 * 1000, y0 * 1000, x1 * 1000, y1 * 1000));
    }
    return rects;
}

TEST(Islands, CountMatchesACellByCellCountOnRandomLayers)
{
    std::mt19937 random(11);
    int counted = 0;
    for (int round = 0; round < 60; ++round) {
        SCOPED_TRACE(round);
        const int layerCount = 6;
        QVector<Paths> model(layerCount), support(layerCount);
        std::uniform_int_distribution<int> few(0, 4);
        for (int L = 0; L < layerCount; ++L) {
            model[L] = RandomRects(random, few(random), false);
            support[L] = RandomRects(random, few(random) + 1, true);
        }
        int supportIslands = 0, modelIslands = 0;
        for (int L = 1; L < layerCount; ++L) {
            std::vector<char> below = Cells(model[L - 1], true);
            const std::vector<char> belowSupport = Cells(support[L - 1], false);
            for (size_t i = 0; i < below.size(); ++i)
                below[i] = below[i] || belowSupport[i];
            supportIslands += layercheck::FloatingRegions(Cells(support[L], false), below, kCells, kCells);
            modelIslands += layercheck::FloatingRegions(Cells(model[L], true), below, kCells, kCells);
        }
        const layers::IslandCount n = layers::CountUnsupportedIslands(model, support);
        EXPECT_EQ(n.support, supportIslands);
        EXPECT_EQ(n.model, modelIslands);
        EXPECT_EQ(n.supportAt.size(), supportIslands);
        counted += supportIslands + modelIslands;
    }
    EXPECT_GT(counted, 60) << "islands to count";
}

// Rings (a hole in each, an island in some holes) on random layers, given as
// the outlines of their union: counted without uniting them again, the
// islands are those of a cell-by-cell count and of the count that unites.
// A ring standing 2 units outside the ring below, and the same ring moved
// 3 units (its middle in its hole), are counted by their edges.
TEST(Islands, OutlinesOfAUnionCountAsTheyDoUnitedAgain)
{
    auto ring = [](int x0, int y0, int x1, int y1, bool island) {
        Paths p{Rect(x0, y0, x1, y1), Rect(x0 + 1000, y0 + 1000, x1 - 1000, y1 - 1000)};
        if (island)
            p.push_back(Rect(x0 + 2000, y0 + 2000, x1 - 2000, y1 - 2000));
        return p;
    };
    auto united = [](const Paths& evenOdd) {
        Paths out;
        layers::UnitePaths(evenOdd, ClipperLib::pftEvenOdd, Paths(), ClipperLib::pftEvenOdd, out);
        return out;
    };
    auto count = [](const QVector<Paths>& model, bool asUnion) {
        layers::IslandCounter counter;
        for (int L = 0; L < model.size(); ++L)
            counter.AddLayer(L, model[L], {}, nullptr, asUnion);
        return counter.count();
    };
    std::mt19937 random(5);
    std::uniform_int_distribution<int> at(0, kCells - 7), size(3, 7), coin(0, 1);
    int counted = 0;
    for (int round = 0; round < 40; ++round) {
        SCOPED_TRACE(round);
        QVector<Paths> model(5);
        for (Paths& layer : model) {
            Paths rings;
            std::array<int, 4> first{};
            for (int k = 0; k < 2; ++k) {
                const int x0 = at(random), y0 = at(random), w = size(random), h = size(random);
                if (k == 1 && first[2] >= x0 - 1 && first[0] <= x0 + w + 1 && first[3] >= y0 - 1 && first[1] <= y0 + h + 1)
                    continue; // rings that would touch
                first = {x0, y0, x0 + w, y0 + h};
                for (const Path& p : ring(x0 * 1000, y0 * 1000, (x0 + w) * 1000, (y0 + h) * 1000,
                                          w >= 5 && h >= 5 && coin(random)))
                    rings.push_back(p);
            }
            layer = united(rings);
        }
        int expected = 0;
        for (int L = 1; L < model.size(); ++L)
            expected += layercheck::FloatingRegions(Cells(model[L], true), Cells(model[L - 1], true), kCells, kCells);
        const layers::IslandCount asUnion = count(model, true), unitedAgain = count(model, false);
        EXPECT_EQ(asUnion.model, expected);
        EXPECT_EQ(unitedAgain.model, expected);
        // The same places, within a layer perhaps in another order.
        auto places = [](const layers::IslandCount& n) {
            std::multiset<std::array<cInt, 3>> at;
            for (const auto& a : n.modelAt)
                at.insert({a.first, a.second.X, a.second.Y});
            return at;
        };
        EXPECT_EQ(places(asUnion), places(unitedAgain));
        counted += expected;
    }
    EXPECT_GT(counted, 20) << "islands to count";

    const Paths below = united(ring(0, 0, 10000, 10000, true));
    const struct {
        const char* name;
        Paths above;
        int islands;
    } rows[] = {
        {"around the ring below, 2 units apart", united(ring(-1002, -1002, 11002, 11002, false)), 1},
        {"the ring below moved 3 units", united(ring(3, 3, 10003, 10003, true)), 0},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(count({below, row.above}, true).model, row.islands);
        EXPECT_EQ(count({below, row.above}, false).model, row.islands);
    }
    // Over a solid only in their innermost hole: a ring in the hole of a
    // ring, and a ring whose wall is thinner than the step inside its edges;
    // a sliver that thin along the edge of a solid below.
    const Paths nested = united({Rect(0, 0, 10000, 10000), Rect(1000, 1000, 9000, 9000), Rect(2000, 2000, 8000, 8000),
                                 Rect(3000, 3000, 7000, 7000)});
    const Paths thinWall = united({Rect(0, 0, 10000, 10000), Rect(3, 3, 9997, 9997)});
    const struct {
        const char* name;
        Paths below, above;
        int islands;
    } holeRows[] = {
        {"rings in rings", {Rect(3500, 3500, 6500, 6500)}, nested, 2},
        {"a wall 3 units thin", {Rect(3, 3, 9997, 9997)}, thinWall, 1},
        {"a sliver 3 units wide along the solid below", {Rect(0, 3, 10000, 2000)}, {Rect(0, 0, 10000, 3)}, 1},
    };
    for (const auto& row : holeRows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(count({row.below, row.above}, true).model, row.islands);
        EXPECT_EQ(count({row.below, row.above}, false).model, row.islands);
    }
}

// A speck (a foot's tilted end dipping a few micrometres below the plane at
// a model's edge) lights no pixel and holds nothing up, whatever it stands
// on: it is no island, and what stands on it alone is. Model outlines and
// support outlines alike.
TEST(Islands, ARegionTooSmallToLightAPixelNeitherCountsNorHoldsUpTheLayerAbove)
{
    const Path ground = Rect(0, 0, 10000, 10000);
    const Path speck{{20000, 0}, {20002, 0}, {20000, 2}}; // area 2
    const Path grain = Rect(20000, 0, 20004, 20004);      // area 16
    const Path over = Rect(19000, -1000, 21000, 1000);    // stands on the speck alone
    const double negligible = 10;
    struct Layer {
        Paths outlines;
        bool count = true;
        bool onGround = true; // the ground square is there too (model outlines)
    };
    auto islands = [&](const std::vector<Layer>& layers, bool asSupport, double area) {
        layers::IslandCounter counter(area);
        // The counter reads a layer's support outlines again with the next.
        std::vector<Paths> supports(layers.size());
        for (int L = 0; L < int(layers.size()); ++L) {
            const Layer& l = layers[size_t(L)];
            // The ground square stays model: only the outlines under test change side.
            Paths model;
            if (l.onGround)
                model.push_back(ground);
            for (const Path& p : l.outlines)
                (asSupport ? supports[size_t(L)] : model).push_back(p);
            counter.AddLayer(L, model, layers::PlainSupportOutlines(supports[size_t(L)]), nullptr, false, l.count);
        }
        const layers::IslandCount& n = counter.count();
        std::vector<int> at;
        for (const auto& a : asSupport ? n.supportAt : n.modelAt)
            at.push_back(a.first);
        EXPECT_EQ(asSupport ? n.model : n.support, 0);
        return at;
    };
    const struct {
        const char* name;
        std::vector<Layer> layers;
        std::vector<int> atWithoutThreshold, at;
    } rows[] = {
        {"a speck with nothing above", {{{}}, {{speck}}, {{}}}, {1}, {}},
        {"a region standing on a speck alone", {{{}}, {{speck}}, {{over}}}, {1}, {2}},
        {"a grain over the threshold", {{{}}, {{grain}}, {{}}}, {1}, {1}},
        {"a speck on a layer that is only ground", {{{}}, {{speck}, false}, {{over}}}, {}, {2}},
        {"a grain on a layer that is only ground", {{{}}, {{grain}, false}, {{over}}}, {}, {}},
        {"a region standing on the ground and a speck", {{{}}, {{speck}}, {{Rect(0, -1000, 21000, 1000)}, true, false}},
         {1}, {}},
        // On the plate a speck is as good as nothing: what it holds floats.
        {"a region standing on a speck of the first layer", {{{speck}}, {{over}}}, {}, {1}},
        {"a region standing on a grain of the first layer", {{{grain}}, {{over}}}, {}, {}},
        // Nor does a speck that rests on something: the point of a slender
        // spike is such specks layer after layer above its support.
        {"a region standing on a speck that stands on a grain", {{{grain}}, {{speck}}, {{over}}}, {}, {2}},
    };
    for (const bool asSupport : {false, true}) {
        for (const auto& row : rows) {
            SCOPED_TRACE(std::string(row.name) + (asSupport ? " (supports)" : " (model)"));
            EXPECT_EQ(islands(row.layers, asSupport, 0), row.atWithoutThreshold);
            EXPECT_EQ(islands(row.layers, asSupport, negligible), row.at);
        }
    }
}

// Supports cut plane by plane are counted as the same cross-sections handed
// over whole: outlines that continue their solid's outline below rest at once,
// the others are compared with the layer below.
TEST(Islands, ThePlaneWalkCountsAsTheWholeCut)
{
    std::mt19937 random(5);
    std::uniform_real_distribution<float> xy(-8.f, 8.f), z(0.2f, 4.f), r(0.2f, 0.8f);
    MyMesh column;
    layers::BuildColumnMesh(column);
    QVector<float> planes;
    for (int L = 0; L < 100; ++L)
        planes.append(0.05f * L + 0.0251f);
    for (int round = 0; round < 12; ++round) {
        SCOPED_TRACE(round);
        layers::SupportCrossSections whole(planes, column);
        layers::SupportSolids solids(planes, column);
        for (int k = 0; k < 40; ++k) {
            const vcg::Point3f a(xy(random), xy(random), z(random));
            if (k >= 30) {
                // A thin strut nearly lying down: its section jumps from plane to plane.
                const QVector<vcg::Point3f> strut{a, a + vcg::Point3f(3.f, 0.5f, -0.2f), {0.04f, 0.04f, 0}};
                whole.AddCone(strut);
                solids.AddCone(strut);
                continue;
            }
            const bool sphere = k % 3 == 0;
            const vcg::Point3f b = a + vcg::Point3f(k % 2 ? 0.f : r(random), 0.f, -z(random));
            const QVector<vcg::Point3f> solid =
                sphere ? QVector<vcg::Point3f>{a, {r(random), 0, 0}} : QVector<vcg::Point3f>{a, b, {r(random), r(random), 0}};
            (sphere ? whole.AddSphere(solid) : whole.AddCone(solid));
            (sphere ? solids.AddSphere(solid) : solids.AddCone(solid));
        }
        solids.Finish();
        const ShellLayerContours contours(1, QVector<Paths>(planes.size()));
        const layers::PixelMapping mapping{400, 400, 10.f, 10.f};
        const layers::IslandCount expected = layers::CountUnsupportedIslands(
            QVector<Paths>(planes.size()), whole.paths(), layers::NegligibleIslandArea(mapping));
        for (int workers : {1, 4}) {
            layers::InstanceSliceJob job;
            job.contours = &contours;
            job.layerCount = planes.size();
            job.supports = &solids;
            job.mapping = mapping;
            job.countOutlineIslands = true;
            job.workers = workers;
            const layers::IslandCount n = layers::SliceInstanceLayers(job).outlineIslands;
            EXPECT_EQ(n.support, expected.support) << workers;

            EXPECT_EQ(n.model, 0);
        }
        EXPECT_GT(expected.support, 0) << "floating solids to count";
    }
}

// In a dense field of columns, a new strut or sphere would make the group of
// the whole layer: the counter shows instead, from the outlines alone, that
// every region of such a group rests. The count is the one that unites every
// group: struts and spheres sunk into columns, struts just clear of a
// column's outline within its box, struts floating over columns that end
// lower, thin threads too small to hold anything up, all beside one another.
TEST(Islands, GroupsShownToRestWithoutAUnionCountAsUnited)
{
    std::mt19937 random(23);
    std::uniform_real_distribution<float> jitter(-0.08f, 0.08f), radius(0.26f, 0.34f), top(1.f, 4.9f), unit(0.f, 1.f);
    MyMesh column;
    layers::BuildColumnMesh(column);
    QVector<float> planes;
    for (int L = 0; L < 100; ++L)
        planes.append(0.05f * L + 0.0251f);
    const layers::PixelMapping mapping{400, 400, 10.f, 10.f};
    auto counted = [&](const layers::SupportSolids& solids, bool uniteEveryGroup) {
        layers::SupportLayerWalk walk(solids, 0);
        layers::IslandCounter counter(layers::NegligibleIslandArea(mapping), uniteEveryGroup);
        for (int L = 0; L < planes.size(); ++L)
            counter.AddLayer(L, {}, walk.Next(), &walk);
        return std::make_pair(counter.count(), counter.groupsShownToRest());
    };
    {
        SCOPED_TRACE("a thread standing clear of a column beside a strut");
        // The thread starts inside column A and goes on above it, beside
        // column B, where a strut leaves B. A post stands on the thread alone,
        // after B has ended: the thread is too thin to hold it up.
        layers::SupportSolids solids(planes, column);
        solids.AddCone({{0.f, 0.f, 2.f}, {0.f, 0.f, 0.f}, {0.3f, 0.3f, 0}});           // A
        solids.AddCone({{0.35f, 0.f, 2.9f}, {0.35f, 0.f, 0.f}, {0.3f, 0.3f, 0}});      // B
        solids.AddCone({{0.1f, 0.25f, 3.f}, {0.1f, 0.25f, 1.f}, {0.006f, 0.006f, 0}}); // the thread
        solids.AddCone({{0.45f, 0.f, 2.4f}, {1.45f, 0.3f, 3.4f}, {0.1f, 0.1f, 0}});    // the strut
        solids.AddCone({{0.1f, 0.25f, 3.5f}, {0.1f, 0.25f, 3.f}, {0.08f, 0.08f, 0}});  // the post
        solids.Finish();
        const auto shortcut = counted(solids, false), united = counted(solids, true);
        ASSERT_EQ(united.first.support, 1);
        EXPECT_EQ(united.first.supportAt.front().first, 60);
        EXPECT_EQ(shortcut.first.support, united.first.support);
        EXPECT_EQ(shortcut.first.supportAt, united.first.supportAt);
    }
    int shown = 0, islands = 0;
    for (int round = 0; round < 10; ++round) {
        SCOPED_TRACE(round);
        layers::SupportSolids solids(planes, column);
        auto upright = [&](float x, float y, float z0, float z1, float r) {
            solids.AddCone({{x, y, z1}, {x, y, z0}, {r, r, 0}});
        };
        // Columns 0.5 mm apart, most overlapping their neighbours.
        std::vector<std::array<float, 3>> tops;
        for (int i = 0; i < 12; ++i)
            for (int j = 0; j < 12; ++j) {
                const float x = -3.f + 0.5f * i + jitter(random), y = -3.f + 0.5f * j + jitter(random);
                const float z = top(random);
                upright(x, y, 0.f, z, radius(random));
                tops.push_back({x, y, z});
            }
        for (int k = 0; k < 30; ++k) {
            const std::array<float, 3>& c = tops[size_t(random() % tops.size())];
            const float low = 0.2f + 0.7f * unit(random) * c[2];
            switch (k % 5) {
            case 0: // a strut leaving a column's side
                solids.AddCone({{c[0], c[1], low}, {c[0] + 1.2f, c[1] + 0.4f, low + 0.9f}, {0.1f, 0.1f, 0}});
                break;
            case 1: // a strut lying nearly flat, its section jumping
                solids.AddCone({{c[0] - 0.2f, c[1], low}, {c[0] + 2.5f, c[1] + 0.3f, low - 0.15f}, {0.05f, 0.05f, 0}});
                break;
            case 2: // a sphere sunk into the column, or over its top
                solids.AddSphere({{c[0] + 0.15f, c[1], unit(random) < 0.5f ? low : c[2] + 0.4f}, {0.2f, 0, 0}});
                break;
            case 3: // a short post beside the column: within its box, off its outline
                upright(c[0] + 0.3f, c[1] + 0.3f, low, low + 0.3f, 0.05f);
                break;
            default: // a thread too thin to hold up the post standing on it
                upright(c[0] - 0.27f, c[1] + 0.05f, low, low + 0.4f, 0.006f);
                upright(c[0] - 0.27f, c[1] + 0.05f, low + 0.4f, low + 0.7f, 0.12f);
                break;
            }
        }
        solids.Finish();
        const auto shortcut = counted(solids, false), united = counted(solids, true);
        EXPECT_EQ(shortcut.first.support, united.first.support);
        EXPECT_EQ(shortcut.first.supportAt, united.first.supportAt);
        EXPECT_EQ(united.second, 0);
        shown += shortcut.second;
        islands += united.first.support;
    }
    EXPECT_GT(shown, 50) << "groups shown to rest";
    EXPECT_GT(islands, 30) << "floating solids to count";
}

} // namespace

// The slice's own workers run below their caller; the caller (the view's slice
// thread, or a tool's main thread) keeps its priority after the slice.
TEST(InstanceSliceWorkers, TheCallerKeepsItsPriority)
{
    if (vcg::ThisThreadNice() >= 19)
        GTEST_SKIP() << "the tests run at the lowest priority already";
    const int suiteSteps = vcg::WorkerNiceSteps();
    vcg::SetWorkerNiceSteps(vcg::kWorkerNiceSteps); // the suite's own level is set apart
    const int before = vcg::ThisThreadNice();
    ShellLayerContours contours(1, QVector<Paths>(40));
    for (int L = 0; L < 40; ++L)
        contours[0][L] = Paths{Rect(0, 0, 20000, 20000 + 100 * L), Rect(30000, 0, 40000, 10000)};
    layers::InstanceSliceJob job;
    job.contours = &contours;
    job.layerCount = 40;
    job.slicedOpen = true; // united, not copied: every worker takes part
    job.mapping = layers::PixelMapping{400, 400, 10.f, 10.f};
    job.workers = 3;
    EXPECT_EQ(layers::SliceInstanceLayers(job).layers.size(), 40);
    EXPECT_EQ(vcg::ThisThreadNice(), before);
    vcg::SetWorkerNiceSteps(suiteSteps);
}
