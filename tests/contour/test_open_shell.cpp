#include "contour/openshell.h"
#include "layers/layeroutlines.h"
#include "model_fixture.h"

#include <gtest/gtest.h>
#include <cmath>

using contour::OpenShellChainer;
using ClipperLib::IntPoint;

TEST(OpenShell, TubeGivesTwoSlotsAndOneExactOutlinePerPlane)
{
    auto model = ModelOf(testmesh::OpenTube(10.f, 5.f, 32));
    model->CountShells();
    ShellLayerContours out;
    QVector<float> z;
    const int n = model->SilceMeshXX(out, z, 0.5f, 5.f, 0.f);
    ASSERT_EQ(n, 10);
    EXPECT_TRUE(model->m_bSlicedOpenMesh);
    EXPECT_EQ(model->m_nShellCount, 1);
    ASSERT_EQ(out.size(), 2);
    for (int L = 0; L < n; ++L) {
        EXPECT_TRUE(out[0][L].empty());
        ASSERT_EQ(out[1][L].size(), 1u);
        const ClipperLib::Path& c = out[1][L][0];
        // One point per crossed face (two per segment of the tube); a chain
        // that closes drops its repeated point.
        EXPECT_GE(c.size(), 64u);
        EXPECT_LE(c.size(), 66u);
        for (const IntPoint& p : c) {
            const double r = std::hypot(p.X * 1e-3, p.Y * 1e-3);
            EXPECT_LE(r, 10.002);
            EXPECT_GE(r, 10.0 * std::cos(M_PI / 32) - 0.002);
        }
    }
}

TEST(OpenShell, ClosedShellsKeepTheirSlotsBesideTheOpenSlot)
{
    auto model = ModelOf(testmesh::OpenTube(5.f, 10.f, 16) + testmesh::Cube(4.f, {30, 0, 0}));
    model->CountShells();
    ShellLayerContours out;
    QVector<float> z;
    const int n = model->SilceMeshXX(out, z, 1.f, 10.f, 0.f);
    ASSERT_EQ(n, 10);
    ASSERT_EQ(model->m_nShellCount, 2);
    ASSERT_EQ(out.size(), 3);
    for (int L = 0; L < n; ++L) {
        EXPECT_TRUE(out[0][L].empty()) << "open shell's own slot";
        EXPECT_EQ(out[1][L].size(), L < 4 ? 1u : 0u) << "cube slot";
        if (L < 4) {
            EXPECT_EQ(out[1][L][0].size(), 9u);
        }
        EXPECT_EQ(out[2][L].size(), 1u) << "open slot";
    }
}

TEST(OpenShell, LoneTriangleGivesTwoPointOutline)
{
    auto model = ModelOf({testmesh::Tri({0, 0, 0}, {4, 0, 2}, {0, 4, 2})});
    model->CountShells();
    ShellLayerContours out;
    QVector<float> z;
    ASSERT_EQ(model->SilceMeshXX(out, z, 2.f, 2.f, 0.f), 1); // plane 1.0001
    ASSERT_EQ(out.size(), 2);
    ASSERT_EQ(out[1][0].size(), 1u);
    EXPECT_EQ(out[1][0][0].size(), 2u);
}

TEST(OpenShell, TwoChainsFacingAcrossGapsAreJoinedIntoOne)
{
    std::vector<OpenShellChainer::Chain> loose;
    loose.push_back({IntPoint(0, 0), IntPoint(10000, 0), IntPoint(10000, 10000)});
    loose.push_back({IntPoint(10000, 10500), IntPoint(0, 10500), IntPoint(0, 500)});
    ClipperLib::Paths out;
    OpenShellChainer::JoinLooseChains(loose, out);
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0].size(), 6u);
    EXPECT_EQ(out[0].front(), IntPoint(0, 0));
}

TEST(OpenShell, ChainsFarApartCloseOnThemselves)
{
    std::vector<OpenShellChainer::Chain> loose;
    loose.push_back({IntPoint(0, 0), IntPoint(1000, 0), IntPoint(1000, 1000), IntPoint(0, 1001)});
    loose.push_back({IntPoint(900000, 0), IntPoint(901000, 0), IntPoint(901000, 1000), IntPoint(900000, 999)});
    ClipperLib::Paths out;
    OpenShellChainer::JoinLooseChains(loose, out);
    ASSERT_EQ(out.size(), 2u);
    EXPECT_EQ(out[0].size(), 4u);
    EXPECT_EQ(out[1].size(), 4u);
}

TEST(OpenShell, ThreeFacesOnOneEdgeTerminate)
{
    auto model = ModelOf(testmesh::ThreeFacesOnOneEdge());
    model->CountShells();
    ShellLayerContours out;
    QVector<float> z;
    const int n = model->SilceMeshXX(out, z, 0.25f, 1.f, 0.f);
    ASSERT_GT(n, 0);
    ASSERT_EQ(out.size(), model->m_nShellCount + 1);
    for (int L = 0; L < n; ++L)
        EXPECT_FALSE(out[model->m_nShellCount][L].empty());
}

// Every triangle of these tubes is a loose chain of its own, so the layer is
// only right when the joining pairs the nearest ends of all chains.
TEST(OpenShell, UnweldedTubeLayersCoverTheAnnulus)
{
    const struct {
        int segments;
        bool shuffled;
    } cases[] = {{300, false}, {300, true}, {1250, false}, {1250, true}};
    const double R = 20, r = 18;
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.segments << " segments" << (c.shuffled ? ", shuffled" : ""));
        auto model = ModelOf(testmesh::UnweldedTube(c.segments, float(R), float(r), 3.f, 0.002f, c.shuffled));
        model->CountShells();
        ASSERT_EQ(model->m_nShellCount, 8 * c.segments) << "welded";
        ShellLayerContours out;
        QVector<float> z;
        const int n = model->SilceMeshXX(out, z, 1.f, 3.f, 0.f);
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
