#include "contour/openshell.h"
#include "join_by_all_pairs.h"
#include "layers/layeroutlines.h"
#include "sliced.h"

#include <gtest/gtest.h>
#include <cmath>
#include <random>

using contour::JoinByAllPairs;
using contour::OpenShellChainer;
using ClipperLib::IntPoint;

// Open tube beside a cube: the open slot (last) holds one outline per plane, a point per crossed face.
TEST(OpenShell, OpenSlotBesideTheClosedShellsSlots)
{
    const Sliced s = Slice(testmesh::OpenTube(10.f, 10.f, 32) + testmesh::Cube(4.f, {30, 0, 0}), 1.f, 10.f);
    ASSERT_EQ(s.layers, 10);
    EXPECT_TRUE(s.model->m_bSlicedOpenMesh);
    ASSERT_EQ(s.model->m_nShellCount, 2);
    ASSERT_EQ(s.out.size(), 3);
    for (int L = 0; L < s.layers; ++L) {
        EXPECT_TRUE(s.out[0][L].empty()) << "open shell's own slot";
        ASSERT_EQ(s.out[1][L].size(), L < 4 ? 1u : 0u) << "cube slot";
        if (L < 4) {
            EXPECT_EQ(s.out[1][L][0].size(), 9u);
        }
        ASSERT_EQ(s.out[2][L].size(), 1u) << "open slot";
        const ClipperLib::Path& c = s.out[2][L][0];
        EXPECT_TRUE(c.size() >= 64u && c.size() <= 66u) << c.size();
        for (const IntPoint& p : c) {
            const double r = std::hypot(p.X * 1e-3, p.Y * 1e-3);
            EXPECT_LE(r, 10.002);
            EXPECT_GE(r, 10.0 * std::cos(M_PI / 32) - 0.002);
        }
    }
}

TEST(OpenShell, LoneTriangleGivesTwoPointOutline)
{
    const Sliced s = Slice({testmesh::Tri({0, 0, 0}, {4, 0, 2}, {0, 4, 2})}, 2.f, 2.f);
    ASSERT_EQ(s.layers, 1); // plane 1.0001
    ASSERT_EQ(s.out.size(), 2);
    ASSERT_EQ(s.out[1][0].size(), 1u);
    EXPECT_EQ(s.out[1][0][0].size(), 2u);
}

// Chains facing across gaps join into one; chains far apart close on themselves.
TEST(OpenShell, LooseChainsJoinOrClose)
{
    ClipperLib::Paths out;
    OpenShellChainer::JoinLooseChains({{IntPoint(0, 0), IntPoint(10000, 0), IntPoint(10000, 10000)},
                                       {IntPoint(10000, 10500), IntPoint(0, 10500), IntPoint(0, 500)}},
                                      out);
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0].size(), 6u);
    EXPECT_EQ(out[0].front(), IntPoint(0, 0));
    out.clear();
    OpenShellChainer::JoinLooseChains({{IntPoint(0, 0), IntPoint(1000, 0), IntPoint(1000, 1000), IntPoint(0, 1001)},
                                       {IntPoint(900000, 0), IntPoint(901000, 0), IntPoint(901000, 1000), IntPoint(900000, 999)}},
                                      out);
    ASSERT_EQ(out.size(), 2u);
    EXPECT_TRUE(out[0].size() == 4u && out[1].size() == 4u);
}

// Same outlines, in the same order, as the slow rule; few positions make many ties.
TEST(OpenShell, JoiningMatchesTheAllPairsRule)
{
    std::mt19937 rng(7);
    for (int round = 0; round < 300; ++round) {
        const int range = round % 3 == 0 ? 3 : round % 3 == 1 ? 100 : 1000000;
        std::vector<OpenShellChainer::Chain> loose(1 + rng() % 80);
        for (auto& chain : loose)
            for (int k = 0, len = 1 + int(rng() % 4); k < len; ++k)
                chain.push_back(IntPoint(int(rng() % range) - range / 2, int(rng() % range)));
        ClipperLib::Paths out;
        OpenShellChainer::JoinLooseChains(loose, out);
        ASSERT_EQ(out, JoinByAllPairs(loose)) << "round " << round;
    }
}

// Ends as an unwelded mesh leaves them: partners a few units apart, spots of
// three to six ends, a crowded patch of distinct points, ends on spots a round
// size apart and a few ends far from all. Then ends strewn over a small box,
// where equal distances reach across the search's cells, some in a dense patch.
TEST(OpenShell, JoiningNearEndsMatchesTheAllPairsRule)
{
    std::mt19937 rng(23);
    for (int round = 0; round < 600; ++round) {
        const int kind = round % 5;
        if (kind == 4) {
            const int n = 40 + int(rng() % 160), side = int((1 + rng() % 6) * 4 * std::sqrt(double(n)));
            // Half the time a dense patch too: ends one unit apart on cell edges.
            const int patch = round % 2 ? 0 : 6 + int(rng() % 8), at = int(rng() % side);
            std::vector<OpenShellChainer::Chain> loose(n / 2);
            for (auto& chain : loose)
                for (int k = 0; k < 2; ++k)
                    chain.push_back(patch && rng() % 2 ? IntPoint(at + int(rng() % patch), at + int(rng() % patch))
                                                       : IntPoint(int(rng() % side), int(rng() % side)));
            ClipperLib::Paths out;
            OpenShellChainer::JoinLooseChains(loose, out);
            ASSERT_EQ(out, JoinByAllPairs(loose)) << "round " << round << ", strewn";
            continue;
        }
        std::vector<IntPoint> spots;
        for (int k = 0, n = 20 + int(rng() % 60); k < n; ++k)
            spots.push_back(IntPoint(int(rng() % 200) * 500, int(rng() % 200) * 500));
        const int jitter = kind == 3 ? 0 : 1 + int(rng() % 4);
        auto near = [&](const IntPoint& c) {
            return jitter ? IntPoint(c.X + int(rng() % (2 * jitter + 1)) - jitter, c.Y + int(rng() % (2 * jitter + 1)) - jitter)
                          : c;
        };
        std::vector<IntPoint> ends;
        for (const IntPoint& c : spots) {
            const int copies = kind == 1 ? 3 + int(rng() % 4) : 2;
            for (int k = 0; k < copies; ++k)
                ends.push_back(near(c));
        }
        if (kind == 2) // a patch denser than the grid handles by itself
            for (int k = 0; k < 120; ++k)
                ends.push_back(IntPoint(50000 + int(rng() % 40), 50000 + int(rng() % 40)));
        for (int k = 0, far = int(rng() % 5); k < far; ++k)
            ends.push_back(IntPoint(int(rng() % 4000000) - 2000000, int(rng() % 4000000)));
        if (ends.size() % 2)
            ends.push_back(near(spots[0]));
        std::shuffle(ends.begin(), ends.end(), rng);
        std::vector<OpenShellChainer::Chain> loose;
        for (size_t k = 0; k < ends.size(); k += 2) {
            OpenShellChainer::Chain chain{ends[k]};
            if (rng() % 3 == 0) // a middle point, so paths show the direction joined
                chain.push_back(IntPoint(ends[k].X + 7, ends[k + 1].Y - 7));
            chain.push_back(ends[k + 1]);
            loose.push_back(chain);
        }
        ClipperLib::Paths out;
        OpenShellChainer::JoinLooseChains(loose, out);
        ASSERT_EQ(out, JoinByAllPairs(loose)) << "round " << round << ", kind " << kind;
    }
}

// One chainer runs plane after plane: planes through two unwelded tubes, then
// only through the taller, must each come out as a fresh joining would.
TEST(OpenShell, UnweldedTubesOfTwoHeightsLayerByLayer)
{
    const Sliced s = Slice(testmesh::UnweldedTube(400, 20.f, 18.f, 2.f, 0.002f, true) +
                               testmesh::Translated(testmesh::UnweldedTube(200, 10.f, 9.f, 4.f, 0.002f, true), {50, 0, 0}),
                           0.5f, 4.f);
    ASSERT_EQ(s.layers, 8);
    const auto& open = s.out[s.out.size() - 1];
    for (int L = 0; L < s.layers; ++L) {
        double area = 0, left = 0;
        for (const ClipperLib::Path& p : open[L]) {
            area += std::abs(ClipperLib::Area(p));
            for (const IntPoint& q : p)
                left += q.X < 35000;
        }
        // Each tube's two walls close on themselves; no path runs between the tubes.
        const double big = 400 / 2.0 * std::sin(2 * M_PI / 400) * 1e6, small = 200 / 2.0 * std::sin(2 * M_PI / 200) * 1e6;
        const double expected = L < 4 ? big * (400 + 324) + small * (100 + 81) : small * (100 + 81);
        EXPECT_NEAR(area / expected, 1.0, 0.01) << "layer " << L;
        EXPECT_EQ(left > 0, L < 4) << "layer " << L;
        for (const ClipperLib::Path& p : open[L]) {
            const bool inLeft = p.front().X < 35000;
            for (const IntPoint& q : p)
                ASSERT_EQ(q.X < 35000, inLeft) << "layer " << L;
        }
    }
}

TEST(OpenShell, ThreeFacesOnOneEdgeTerminate)
{
    const Sliced s = Slice(testmesh::ThreeFacesOnOneEdge(), 0.25f, 1.f);
    ASSERT_GT(s.layers, 0);
    ASSERT_EQ(s.out.size(), s.model->m_nShellCount + 1);
    for (int L = 0; L < s.layers; ++L)
        EXPECT_FALSE(s.out[s.model->m_nShellCount][L].empty());
}

// Every triangle is a loose chain: the layer is right only if the nearest ends of all are joined.
TEST(OpenShell, UnweldedTubeLayersCoverTheAnnulus)
{
    const struct { int segments; bool shuffled; } cases[] = {{300, false}, {300, true}, {1250, false}, {1250, true}};
    const double R = 20, r = 18;
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.segments << " segments" << (c.shuffled ? ", shuffled" : ""));
        const Sliced s = Slice(testmesh::UnweldedTube(c.segments, float(R), float(r), 3.f, 0.002f, c.shuffled), 1.f, 3.f);
        ASSERT_EQ(s.model->m_nShellCount, 8 * c.segments) << "welded";
        const auto& out = s.out;
        const int n = s.layers;
        ASSERT_EQ(n, 3);
        const QVector<ClipperLib::Paths> layers = layers::BuildModelLayerOutlines(out, n, true);
        const double annulus = c.segments / 2.0 * std::sin(2 * M_PI / c.segments) * (R * R - r * r) * 1e6;
        for (int L = 0; L < n; ++L) {
            EXPECT_GE(out[out.size() - 1][L].size(), 2u);
            // Lit as the layer renderer fills it: odd-even.
            ClipperLib::Paths lit;
            ASSERT_TRUE(layers::UnitePaths(layers[L], ClipperLib::pftEvenOdd, {}, ClipperLib::pftEvenOdd, lit));
            double area = 0;
            for (const ClipperLib::Path& p : lit)
                area += ClipperLib::Area(p);
            EXPECT_NEAR(std::abs(area) / annulus, 1.0, 0.01) << "layer " << L;
        }
    }
}
