// A supported model whose supports reach past the plate's edge, its model
// still on the plate, takes part in placement like any other: it is pushed
// by what is moved onto it, pushes what it is moved onto, and a new copy is
// placed clear of it. Its supports past the edge keep it out of range, so
// Slice still warns before they are cut.
#include "event_wait.h"
#include "VPolygonAlgorithm.h"
#include "scene_fixture.h"

#include <QMatrix4x4>

#include <cmath>
#include <iterator>
#include <string>

namespace {

// Pellar30: 2560 x 1440 pixels of 47.25 um.
constexpr float kPixelUm = 47.25f;
const QVector3D kBoundMax(2560 * kPixelUm / 2000.f, 1440 * kPixelUm / 2000.f, 150.f);

// Right, left, back, front: the plan direction towards that edge.
const QVector2D kEdges[] = {{1, 0}, {-1, 0}, {0, 1}, {0, -1}};
const char* const kEdgeNames[] = {"Right", "Left", "Back", "Front"};

class SupportsPastTheEdge : public SceneFixture, public ::testing::WithParamInterface<int> {
protected:
    void SetUp() override
    {
        SceneFixture::SetUp();
        m_scene.SetBound(kBoundMax, QVector3D(-kBoundMax.x(), -kBoundMax.y(), 0), kPixelUm, kPixelUm);
    }

    QVector2D Edge() const { return kEdges[GetParam()]; }
    // Along the edge.
    QVector2D Along() const { return QVector2D(-Edge().y(), Edge().x()); }

    // The supported ledge for this edge, placed by the plate.
    VSLModelPainter* SupportedLedge()
    {
        const QString stl = m_dir.filePath("ledge.stl");
        EXPECT_TRUE(testmesh::WriteFile(stl, testmesh::BinaryStl(testmesh::Ledge(Edge()))));
        EXPECT_TRUE(m_scene.AddModel(stl));
        VSLModelPainter* p = Last();
        EXPECT_TRUE(WaitUntilReady());
        p->m_dSupportDensity = 1.0;
        p->m_dTipDiameter = 0.6;
        p->m_dShaftDiameter = 1.1;
        p->m_dLiftDistance = 1.0;
        EXPECT_EQ(m_scene.StartSupportJob(p), SceneOp::Done);
        EXPECT_TRUE(WaitUntil([this] { return m_scene.runningSupportJobs() == 0; }, kHangMs));
        return p;
    }

    // How far the supports of `p` reach past its model's box towards the edge.
    float Overhang(VSLModelPainter* p) const
    {
        QVector2D lo, hi;
        if (!p->SupportExtentXY(lo, hi))
            return 0;
        const QVector2D e = Edge();
        const QVector2D boxLo = p->m_minBound.toVector2D(), boxHi = p->m_maxBound.toVector2D();
        return e.x() > 0 ? hi.x() - boxHi.x() : e.x() < 0 ? boxLo.x() - lo.x()
             : e.y() > 0 ? hi.y() - boxHi.y() : boxLo.y() - lo.y();
    }

    // Where the centre of `p` goes for its supports to reach `pastMm` past
    // the edge, centred along it.
    QVector2D AtEdge(VSLModelPainter* p, float pastMm) const
    {
        const QVector2D half = ((p->m_maxBound - p->m_minBound) * 0.5f).toVector2D();
        const float gap = Overhang(p) - pastMm;
        const QVector2D e = Edge();
        const QVector2D boxCentre = ((p->m_maxBound + p->m_minBound) * 0.5f).toVector2D();
        const QVector2D to = e.x() != 0 ? QVector2D(e.x() * (kBoundMax.x() - gap - half.x()), 0)
                                        : QVector2D(0, e.y() * (kBoundMax.y() - gap - half.y()));
        // From the box's centre to the centre the placement moves by.
        return to + (CenterXY(p) - boxCentre);
    }

    // The model itself inside the plate, its supports past the edge.
    void ExpectOutOfRangeBySupportsOnly(VSLModelPainter* p) const
    {
        EXPECT_TRUE(p->m_maxBound.x() < kBoundMax.x() && p->m_minBound.x() > -kBoundMax.x() &&
                    p->m_maxBound.y() < kBoundMax.y() && p->m_minBound.y() > -kBoundMax.y())
            << "the model itself stands on the plate";
        EXPECT_TRUE(m_scene.SupportsLeaveBoundXY(p));
        EXPECT_TRUE(m_scene.LeavesBoundXY(p));
        EXPECT_TRUE(m_scene.IsOutRange(p));
        EXPECT_FALSE(m_scene.CheckPlatform(p)) << "drawn out of range";
    }

    // Pairs of instances whose footprints overlap (touching is allowed).
    int Overlaps() const
    {
        const auto list = m_scene.instances().values();
        int n = 0;
        for (int i = 0; i < list.size(); ++i)
            for (int j = i + 1; j < list.size(); ++j) {
                QVector2D push;
                n += VPolygonAlgorithm::PolygonCollisionPushVector(list[i]->m_hull, list[j]->m_hull, push) ? 1 : 0;
            }
        return n;
    }

    // Commits a move of `p` so that its centre lands on `to`, as the view does.
    void MoveTo(VSLModelPainter* p, QVector2D to)
    {
        Select(p);
        m_scene.EditMode = 0;
        const QVector2D by = to - CenterXY(p);
        m_scene.m_pendingTransform.setToIdentity();
        m_scene.m_pendingTransform.translate(by.x(), by.y(), 0);
        ASSERT_EQ(m_scene.Apply(), SceneOp::Done);
    }
};

// A second model put onto the ledge is pushed clear, and so is a third
// copy of it loaded then; the ledge stays out of range by its supports.
TEST_P(SupportsPastTheEdge, AModelPutOntoItIsKeptApart)
{
    VSLModelPainter* ledge = SupportedLedge();
    ASSERT_FALSE(HasFailure());
    ASSERT_GT(Overhang(ledge), 0.5f) << "the supports must lean out past the model for this to test anything";
    ledge->Translate(AtEdge(ledge, 0.3f) - CenterXY(ledge));
    ExpectOutOfRangeBySupportsOnly(ledge);
    const QVector2D ledgeAt = CenterXY(ledge);

    const QString box = CenteredBox("box", 10, 10);
    ASSERT_TRUE(m_scene.AddModel(box));
    VSLModelPainter* second = Last();
    ASSERT_TRUE(WaitUntilReady());
    ASSERT_EQ(Overlaps(), 0);
    // Onto the ledge, 4 mm along the edge from its middle.
    MoveTo(second, ledgeAt + Along() * 4.f);
    EXPECT_EQ(CenterXY(second), ledgeAt + Along() * 4.f) << "the moved model stays where it was put";
    EXPECT_EQ(Overlaps(), 0);
    // Pushed along the edge: its supports reach past it as before.
    ExpectOutOfRangeBySupportsOnly(ledge);
    EXPECT_NE(CenterXY(ledge), ledgeAt);

    ASSERT_TRUE(m_scene.AddModel(box));
    ASSERT_EQ(m_scene.instances().size(), 3);
    EXPECT_EQ(Overlaps(), 0);
    ExpectOutOfRangeBySupportsOnly(ledge);
}

// The ledge moved onto a model, there its supports reaching past the edge,
// pushes that model clear; a third copy loaded then is placed clear of both.
TEST_P(SupportsPastTheEdge, MovedOntoAModelItPushesItAway)
{
    VSLModelPainter* ledge = SupportedLedge();
    ASSERT_FALSE(HasFailure());
    ASSERT_GT(Overhang(ledge), 0.5f);
    const QVector2D target = AtEdge(ledge, 0.3f);

    const QString box = CenteredBox("box", 10, 10);
    ASSERT_TRUE(m_scene.AddModel(box));
    VSLModelPainter* other = Last();
    ASSERT_TRUE(WaitUntilReady());
    // Where the ledge will land, 4 mm along the edge.
    other->Translate(target + Along() * 4.f - CenterXY(other));
    ASSERT_EQ(Overlaps(), 0) << "the ledge is not there yet";

    MoveTo(ledge, target);
    EXPECT_EQ(CenterXY(ledge), target) << "the moved model stays where it was put";
    ExpectOutOfRangeBySupportsOnly(ledge);
    EXPECT_EQ(Overlaps(), 0);

    ASSERT_TRUE(m_scene.AddModel(box));
    ASSERT_EQ(m_scene.instances().size(), 3);
    EXPECT_EQ(Overlaps(), 0);
    ExpectOutOfRangeBySupportsOnly(ledge);
}

// With the supports inside the plate the same moves keep models apart too.
TEST_P(SupportsPastTheEdge, InsideThePlateTheSameMoveKeepsThemApart)
{
    VSLModelPainter* ledge = SupportedLedge();
    ASSERT_FALSE(HasFailure());
    ledge->Translate(AtEdge(ledge, -1.f) - CenterXY(ledge));
    EXPECT_FALSE(m_scene.LeavesBoundXY(ledge));
    const QVector2D ledgeAt = CenterXY(ledge);
    ASSERT_TRUE(m_scene.AddModel(CenteredBox("box", 10, 10)));
    ASSERT_TRUE(WaitUntilReady());
    MoveTo(Last(), ledgeAt + Along() * 4.f);
    EXPECT_EQ(Overlaps(), 0);
}

// A copy of the ledge goes to a spot where its supports stand on the plate
// too before a nearer one where only its model does, and nothing is centred
// for it.
TEST_P(SupportsPastTheEdge, ACopyGoesWhereItsSupportsStandOnThePlate)
{
    const QVector2D e = Edge();
    const QVector2D across = e.x() != 0 ? QVector2D(0, 1) : QVector2D(1, 0);
    // 32.6 mm along the edge's axis, 44 mm across it.
    const float along = 16.3f, wide = 22.f;
    const QVector3D max(e.x() != 0 ? along : wide, e.x() != 0 ? wide : along, 150.f);
    m_scene.SetBound(max, QVector3D(-max.x(), -max.y(), 0), kPixelUm, kPixelUm);
    VSLModelPainter* ledge = SupportedLedge();
    ASSERT_FALSE(HasFailure());
    ASSERT_GT(Overhang(ledge), 0.5f);
    // 3 mm away from the edge: the spot 14 mm towards it, the nearest, ends
    // 0.3 mm inside the edge with its supports past it; the spots beside
    // the ledge, 14 mm across, hold the copy and its supports.
    ledge->Translate(-e * 3.f - CenterXY(ledge));
    const QVector2D ledgeAt = CenterXY(ledge);
    ASSERT_FALSE(m_scene.LeavesBoundXY(ledge));
    Select(ledge);
    ASSERT_EQ(m_scene.DuplicateSelectedModel(), SceneOp::Done);
    VSLModelPainter* copy = Last();
    ASSERT_NE(copy, ledge);
    EXPECT_EQ(CenterXY(copy), ledgeAt + across * 14.f);
    EXPECT_FALSE(m_scene.LeavesBoundXY(copy));
    EXPECT_EQ(CenterXY(ledge), ledgeAt) << "nothing was centred";
    EXPECT_EQ(Overlaps(), 0);
}

// Where no spot holds a copy's supports, the copy goes where its model
// stands on the plate, drawn out of range, and nothing else moves: centring
// the arrangement would not bring the supports back on.
TEST_P(SupportsPastTheEdge, ACopyWhoseSupportsFitNowhereMovesNothing)
{
    const QVector2D e = Edge();
    // 38.6 mm along the edge's axis, 20 mm across it: a copy fits beside
    // the ledge on either side along that axis, its supports on neither.
    const float along = 19.3f, across = 10.f;
    const QVector3D max(e.x() != 0 ? along : across, e.x() != 0 ? across : along, 150.f);
    m_scene.SetBound(max, QVector3D(-max.x(), -max.y(), 0), kPixelUm, kPixelUm);
    VSLModelPainter* ledge = SupportedLedge();
    ASSERT_FALSE(HasFailure());
    const QVector2D ledgeAt = CenterXY(ledge);
    ASSERT_EQ(ledgeAt, QVector2D(0, 0));
    ASSERT_FALSE(m_scene.LeavesBoundXY(ledge));
    Select(ledge);
    ASSERT_EQ(m_scene.DuplicateSelectedModel(), SceneOp::Done);
    VSLModelPainter* copy = Last();
    ASSERT_NE(copy, ledge);
    EXPECT_EQ(std::abs(QVector2D::dotProduct(CenterXY(copy), e)), 14.f);
    EXPECT_FALSE(m_scene.ModelLeavesBoundXY(copy));
    EXPECT_TRUE(m_scene.LeavesBoundXY(copy)) << "its supports past the edge";
    EXPECT_EQ(CenterXY(ledge), ledgeAt) << "nothing was centred";
    EXPECT_EQ(Overlaps(), 0);
}

INSTANTIATE_TEST_SUITE_P(Edges, SupportsPastTheEdge, ::testing::Range(0, int(std::size(kEdges))),
                         [](const ::testing::TestParamInfo<int>& info) { return std::string(kEdgeNames[info.param]); });

} // namespace
