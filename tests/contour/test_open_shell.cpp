#include "contour/openshell.h"
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

TEST(OpenShell, ManyLooseChainsStayBoundedAndAllPointsSurvive)
{
    // A triangle soup: every segment is its own loose chain.
    std::vector<OpenShellChainer::Chain> loose;
    size_t points = 0;
    for (int i = 0; i < 3000; ++i) {
        loose.push_back({IntPoint(i * 37 % 5000, i * 91 % 7000), IntPoint(i * 53 % 6000, i * 17 % 4000 + 1)});
        points += 2;
    }
    ClipperLib::Paths out;
    OpenShellChainer::JoinLooseChains(loose, out);
    size_t total = 0;
    for (const auto& p : out)
        total += p.size();
    EXPECT_EQ(total, points);
    EXPECT_GE(out.size(), (3000 + OpenShellChainer::kMaxJoinGroup - 1) / OpenShellChainer::kMaxJoinGroup);
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
