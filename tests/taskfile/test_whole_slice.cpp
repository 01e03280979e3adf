#include "../scene/scene_fixture.h"
#include "slice_polygons.h"
#include "model_fixture.h"

#include <algorithm>
#include <tuple>

namespace {

using Outline = std::vector<std::pair<long long, long long>>;
std::vector<Outline> Sorted(const ClipperLib::Paths& paths)
{
    std::vector<Outline> out;
    for (const ClipperLib::Path& p : paths) {
        Outline o;
        for (const ClipperLib::IntPoint& q : p)
            o.emplace_back(q.X, q.Y);
        out.push_back(o);
    }
    std::sort(out.begin(), out.end());
    return out;
}

// A model after its topology pass with both flags checked.
std::unique_ptr<VSLModel3D> Checked(const QVector<VSLTriangle3D>& tris, float thick, float top, float base = 0)
{
    auto m = ModelOf(tris);
    m->CheckHoles();
    m->CheckRepairManifold();
    m->m_fLayerThick = thick;
    m->m_fSliceTop = top;
    m->m_fSliceBase = base;
    return m;
}

// Refusals come in order and change nothing (the earlier plane at 7 and its
// two outlines stay); one layer's worth of height gives one plane just above
// half a layer.
TEST(WholeMeshSlicer, RefusalCodesComeInOrderAndChangeNothing)
{
    const struct {
        const char* name; bool extraTriangle; float thick, top; bool noHoles, manifold; int code; float z;
        size_t outlines;
    } cases[] = {
        {"extra triangle first", true, -0.1f, 10, false, false, -1, 7.f, 2},
        {"negative thickness", false, -0.1f, 10, false, false, -2, 7.f, 2},
        {"base + thickness above top", false, 0.1f, 0.05f, true, true, -2, 7.f, 2},
        {"holes flag", false, 0.1f, 10, false, false, -3, 7.f, 2},
        {"manifold flag", false, 0.1f, 10, true, false, -4, 7.f, 2},
        {"one layer", false, 0.1f, 0.1f, true, true, 1, 0.0501f, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto m = Checked(testmesh::Cube(10.f), c.thick, c.top);
        m->m_bNoHoles = c.noHoles;
        m->m_bManifold = c.manifold;
        if (c.extraTriangle)
            m->m_vTriangles.append(m->m_vTriangles.first());
        m->m_vLayerZ = {7.f};
        m->m_nLayerCount = 1;
        m->m_vModelContours = {ClipperLib::Paths(2)};
        EXPECT_EQ(m->SliceModel(), c.code);
        EXPECT_EQ(m->m_vLayerZ, std::vector<float>{c.z});
        EXPECT_EQ(m->m_nLayerCount, 1);
        ASSERT_EQ(m->m_vModelContours.size(), 1);
        EXPECT_EQ(m->m_vModelContours[0].size(), c.outlines);
    }
}

TEST(WholeMeshSlicer, OutlinesEqualTheShellSlicersAtTheSamePlanesWithEmptyPlanesKept)
{
    // Two cubes one above the other leave planes between them empty.
    QVector<VSLTriangle3D> tris = testmesh::Cube(10.f);
    tris += testmesh::Cube(4.f, {2, 2, 14});
    auto whole = Checked(tris, 0.5f, 18.f);
    const int n = whole->SliceModel();
    ASSERT_EQ(n, 36);
    ASSERT_EQ(whole->m_vModelContours.size(), n);

    auto shells = ModelOf(tris);
    shells->CountShells();
    ShellLayerContours per;
    QVector<float> z;
    ASSERT_EQ(shells->SilceMeshX(per, z, 0.5f, 18.f, 0.f), n);
    EXPECT_EQ(std::vector<float>(z.begin(), z.end()), whole->m_vLayerZ);
    int empty = 0;
    for (int L = 0; L < n; ++L) {
        ClipperLib::Paths expected;
        for (int shell = 0; shell < per.size(); ++shell)
            for (const ClipperLib::Path& p : per[shell][L])
                expected.push_back(p);
        const ClipperLib::Paths& got = whole->m_vModelContours[L];
        EXPECT_EQ(Sorted(got), Sorted(expected)) << L;
        empty += got.empty();
    }
    EXPECT_EQ(empty, 8); // planes 10.2501 .. 13.7501 mm
}

class WholePlateSlice : public SceneFixture {
protected:
    void SetUp() override
    {
        SceneFixture::SetUp();
        m_scene.m_sliceMaxPt = QPointF(5, 6);
        m_scene.m_sliceMinPt = QPointF(1, 2);
        m_scene.m_nPrintLayerCount = 9;
    }
    int Slice(float thickness = 0.5f) { return m_scene.SliceScene(thickness, "", "", 1920, 1080, 20, 20); }
    // A failed slice emits its code and leaves the earlier results alone.
    void ExpectFailure(float thickness, int code)
    {
        QSignalSpy ex(&m_scene, &VSL3DScene::signal_Exception);
        m_scene.m_modelSliceLayers = ToSliceLayers({{QPolygonF({QPointF(1, 1), QPointF(2, 2), QPointF(1, 2)})}});
        m_scene.m_supportSliceLayers = {{}, {}};
        const int result = Slice(thickness);
        EXPECT_TRUE(code == -8 ? result == 0 : result < 0) << result; // no layer: the count, 0
        ASSERT_EQ(ex.count(), 1);
        EXPECT_EQ(ex.takeFirst().at(0).toInt(), code);
        EXPECT_EQ(std::make_tuple(m_scene.m_modelSliceLayers.size(), m_scene.m_supportSliceLayers.size(),
                                  m_scene.m_sliceMaxPt, m_scene.m_sliceMinPt, m_scene.m_nPrintLayerCount),
                  std::make_tuple(1, 2, QPointF(5, 6), QPointF(1, 2), 9));
    }
};

TEST_F(WholePlateSlice, PlateWithoutSupportsGivesTheModelLayersAndEmptiesTheSupportLayers)
{
    const QString boxA = CenteredBox("a", 10, 10, 2);
    ASSERT_TRUE(m_scene.AddModel(boxA));
    ASSERT_TRUE(m_scene.AddModel(boxA));
    ASSERT_TRUE(WaitUntilReady());
    m_scene.m_supportSliceLayers = {{}, {}};
    ASSERT_EQ(Slice(), 4);
    EXPECT_TRUE(m_scene.m_nPrintLayerCount == 4 && m_scene.m_supportSliceLayers.isEmpty());
    ASSERT_EQ(m_scene.m_modelSliceLayers.size(), 4);
    EXPECT_EQ(m_scene.m_modelSliceLayers[0].size(), 2); // two instances side by side
    // Extent: both boxes, 20 px/mm about the frame centre.
    const VSLModelPainter *a = m_scene.instances().first(), *b = m_scene.instances().last();
    EXPECT_NEAR(m_scene.m_sliceMinPt.x(), std::min(a->m_minBound.x(), b->m_minBound.x()) * 20 + 960, 0.05);
    EXPECT_NEAR(m_scene.m_sliceMaxPt.x(), std::max(a->m_maxBound.x(), b->m_maxBound.x()) * 20 + 960, 0.05);
}

TEST_F(WholePlateSlice, EachFailureCodeIsEmittedAndLeavesTheResultsAlone)
{
    ExpectFailure(0.5f, -9); // empty plate: too few faces for the manifold check
    // An open tube: its two 16-edge rims are beyond the hole filler.
    const QString tube = m_dir.filePath("tube.stl");
    ASSERT_TRUE(testmesh::WriteFile(tube, testmesh::BinaryStl(testmesh::OpenTube(5, 5, 16))));
    ASSERT_TRUE(m_scene.AddModel(tube));
    ASSERT_TRUE(WaitUntilReady());
    ExpectFailure(0.5f, -10);
    Select(Last());
    ASSERT_EQ(m_scene.RemoveSelectedModel(), SceneOp::Done);
    // A closed box but no plane: thickness 0.
    ASSERT_TRUE(m_scene.AddModel(CenteredBox("c", 4, 4, 2)));
    ASSERT_TRUE(WaitUntilReady());
    ExpectFailure(0.f, -8);
}

TEST_F(WholePlateSlice, PixelsUseIntegerHalvesAndModelPointsAreClampedSupportPointsNot)
{
    VSLModel3D m;
    m.m_nLayerCount = 3;
    m.m_vModelContours = {{{{0, 0}, {-1000000, 0}, {10000, 20000}}}, {}, {{{1, 1}}}};
    m_scene.m_sliceMaxPt = QPointF(-1921, -1080);
    m_scene.m_sliceMinPt = QPointF(1921, 1080);
    m_scene.generatePolygonData(&m, 1921, 1080, 20, 20);
    ASSERT_EQ(m_scene.m_modelSliceLayers.size(), 3);
    EXPECT_TRUE(m_scene.m_modelSliceLayers[1].isEmpty());
    const QPolygonF& p = m_scene.m_modelSliceLayers[0][0];
    EXPECT_EQ(p, QPolygonF({QPointF(960, 540), QPointF(0, 540), QPointF(1160, 940)})); // clamped, not a spike to (0, 0)
    EXPECT_EQ(m_scene.m_sliceMinPt, QPointF(960, 540)); // the clamped point does not widen the extent
    EXPECT_EQ(m_scene.m_sliceMaxPt, QPointF(1160, 940));

    m_scene.generatePolygonDataSup(&m, 1920, 1080, 20, 20);
    EXPECT_EQ(m_scene.m_supportSliceLayers[0][0][1], QPointF(-19040, 540));
    EXPECT_EQ(m_scene.m_sliceMinPt.x(), -19040);
}

} // namespace
