#include "manual_fixture.h"

#include "VSLModel3D.h"
#include "VSLModelPainter.h"
#include "support/DLPSupportTruss.h"

#include <memory>

using namespace manual;

namespace {

bool AllFinite(const QVector<VSLTriangle3D>& tris)
{
    for (const VSLTriangle3D& t : tris)
        for (const QVector3D& v : t.vertices)
            if (!std::isfinite(v.x()) || !std::isfinite(v.y()) || !std::isfinite(v.z()))
                return false;
    return true;
}

class Columns : public ManualSupportTest {
protected:
    void SetUp() override
    {
        ManualSupportTest::SetUp();
        m_templates.ImportStandard();
        m_painter = std::make_unique<VSLModelPainter>(nullptr, nullptr);
    }
    // A column of height h standing at (x, y) with its foot at z0.
    DLPSupportStructure* Column(float x, float y, float h, float z0 = 0)
    {
        DLPSupportStructure* c = m_painter->AddSupport({x, y, z0 + h}, {x, y, z0});
        c->GenerateTrussPoints();
        return c;
    }
    std::unique_ptr<VSLModelPainter> m_painter;
};

TEST_F(Columns, SizesFollowTheInstanceScaleWhateverWasSet)
{
    DLPSupportStructure* c = m_painter->AddSupport({0, 0, 10}, {0, 0, 0});
    c->SetTopRadius(3);
    c->SetBottomLength(9);
    c->SetTopPenetration(4);
    // Top and mid radius, bottom length, top penetration, mid length, tilt and top turn.
    EXPECT_EQ(QVector<double>({c->GetTopRadius(), c->GetMidRadius(), c->GetBottomLength(), c->GetTopPenetration(),
                               c->GetMidLength(), c->GetMidTilt(), c->GetTopTurn()}),
              QVector<double>({0.5, 0.5, 2.0, 0.1, 6.0, 0.0, 90.0}));
    EXPECT_EQ(c->GetTopPivot(), QVector3D(0, 0, 8));
    EXPECT_EQ(c->GetStoredBottomPivot(), QVector3D(0, 0, 2));
    m_painter->m_scale = QVector3D(2, 1, 1);
    c->SetTopPoint({0, 0, 10});
    EXPECT_DOUBLE_EQ(c->GetTopRadius(), 0.25);
    EXPECT_DOUBLE_EQ(c->GetBottomRadius(), 0.25);
    EXPECT_DOUBLE_EQ(c->GetTopLength(), 2.0);
}

TEST_F(Columns, GroundedFootDropsToThePlateUnderTheTopPoint)
{
    m_painter->m_scale = QVector3D(2, 1, 4);
    m_painter->m_matrix.translate(1, 2, 3);
    m_painter->m_matrix.scale(2, 1, 4);
    DLPSupportStructure* c = m_painter->AddSupport({1, 1, 2}, {1, 1, 1});
    c->SetIsGrounded(true);
    const QVector3D b = c->GetBottomPoint();
    EXPECT_NEAR(b.distanceToPoint({1, 1, -0.75f}), 0, 1e-5);
    EXPECT_NEAR(m_painter->m_matrix.map(b).z(), 0, 1e-5);
    EXPECT_EQ(c->GetBottomAttachShape(), "Cylinder");
}

TEST_F(Columns, TopNormalKeepsARiseAndPickColoursCarryAt254)
{
    DLPSupportStructure* c = m_painter->AddSupport({0, 0, 10}, {0, 0, 0});
    c->SetTopNormal({1, 0, 0});
    EXPECT_NEAR(c->GetTopNormal().distanceToPoint({0.99875f, 0, 0.04994f}), 0, 1e-5);
    std::fill(DLPSupportStructure::sColorID, DLPSupportStructure::sColorID + 3, 0);
    std::fill(DLPSupportTruss::sColorID, DLPSupportTruss::sColorID + 3, 0);
    DLPSupportStructure probe(m_painter.get());
    for (int i = 0; i < 255; ++i)
        probe.AssignPickId();
    EXPECT_EQ(probe.GetPickColor()[0], 254);
    const unsigned char* id = DLPSupportStructure::sColorID;
    EXPECT_EQ(QVector3D(id[0], id[1], id[2]), QVector3D(0, 1, 0));
    // Trusses count on their own.
    DLPSupportTruss* t = c->AddTruss({0, 0, 1}, {0, 0, 0});
    EXPECT_EQ(t->GetPickColor()[0], 0);
    EXPECT_EQ(DLPSupportTruss::sColorID[0], 1);
    DLPSupportStructure::sColorID[0] = DLPSupportStructure::sColorID[1] = 254;
    probe.AssignPickId();
    EXPECT_EQ(QVector3D(id[0], id[1], id[2]), QVector3D(0, 0, 1));
}

TEST_F(Columns, PrintabilityTests)
{
    DLPSupportStructure* straight = m_painter->AddSupport({0, 0, 10}, {0, 0, 0});
    DLPSupportStructure* slanted = m_painter->AddSupport({6, 0, 10}, {0, 0, 0});
    DLPSupportStructure* upside = m_painter->AddSupport({0, 0, 1}, {0, 0, 8});
    DLPSupportStructure* stubby = m_painter->AddSupport({0, 0, 3}, {0, 0, 0});
    EXPECT_TRUE(straight->IsVertical());
    EXPECT_FALSE(slanted->IsVertical());
    EXPECT_TRUE(upside->IsUpsideDown());
    EXPECT_FALSE(straight->IsUpsideDown());
    EXPECT_TRUE(straight->IsPrintable());
    EXPECT_FALSE(upside->IsPrintable());
    double amount = -1;
    EXPECT_FALSE(straight->IsConstricted(amount));
    EXPECT_EQ(amount, 0.0);
    EXPECT_TRUE(stubby->IsConstricted(amount));
    EXPECT_NEAR(amount, 1.0, 1e-6);
    double depth = -1;
    EXPECT_FALSE(straight->IsUnderground(depth));
    EXPECT_EQ(depth, -1);
    m_painter->m_matrix.translate(0, 0, -12);
    EXPECT_TRUE(straight->IsUnderground(depth));
    EXPECT_NEAR(depth, 2.0, 1e-6);
    EXPECT_TRUE(straight->IsConstricted(amount));
    EXPECT_NEAR(amount, 2.0, 1e-6);
}

TEST_F(Columns, CopyAndRotateAboutZ)
{
    DLPSupportStructure* a = m_painter->AddSupport({4, 0, 10}, {0, 0, 0});
    a->SetTopNormal({1, 0, 1});
    a->SetIsGrounded(true);
    DLPSupportStructure copy(nullptr);
    copy.CopyFrom(a);
    EXPECT_EQ(copy.GetInstanceParent(), m_painter.get());
    EXPECT_TRUE(copy.GetIsGrounded());
    EXPECT_EQ(copy.GetTopPoint(), a->GetTopPoint());
    EXPECT_EQ(copy.GetBottomPoint(), QVector3D(4, 0, 0));
    EXPECT_EQ(copy.GetTopNormal(), a->GetTopNormal());
    EXPECT_EQ(copy.GetBottomAttachShape(), "Cylinder");
    copy.Rotate({30, 30, 90}); // only z turns
    EXPECT_NEAR(copy.GetTopPoint().x(), 0, 1e-5);
    EXPECT_NEAR(copy.GetTopPoint().y(), 4, 1e-5);
    EXPECT_NEAR(copy.GetTopNormal().y(), a->GetTopNormal().x(), 1e-5);
    EXPECT_NEAR(copy.GetTopNormal().z(), a->GetTopNormal().z(), 1e-6);
}

TEST_F(Columns, TrussPointsAndTrianglesOfSoundAndDegenerateColumns)
{
    DLPSupportStructure* c = Column(0, 0, 30);
    EXPECT_EQ(c->GetNumTrussPoints(), 4);
    EXPECT_DOUBLE_EQ(c->GetTrussSection(), 15.0);
    EXPECT_EQ(c->GetTrussPoints(), (QVector<QVector3D>{{0, 0, 7}, {0, 0, 12}, {0, 0, 17}, {0, 0, 22}}));
    c->GenerateTrussPoints(); // appends, as the list is never cleared
    EXPECT_EQ(c->GetTrussPoints().size(), 8);
    const int perShape = kSegments * 4;
    EXPECT_EQ(c->GetRealTriangles().size(), 3 * perShape);
    c->AddTruss({5, 0, 10}, {0, 0, 10});
    c->AddTruss({0, 0, 10}, {0, 0, 10}); // no length: no direction
    EXPECT_EQ(c->GetRealTriangles().size(), 4 * perShape);
    struct Case {
        const char* what;
        std::function<void(DLPSupportStructure*)> make;
        int triangles;
    } cases[] = {
        {"coincident pivots", [](DLPSupportStructure* s) { s->SetTopPoint({0, 0, 2}); }, 2 * perShape},
        {"zero bottom normal", [](DLPSupportStructure* s) { s->SetBottomNormal({0, 0, 0}); }, perShape},
        {"zero x scale", [this](DLPSupportStructure* s) {
             m_painter->m_scale = QVector3D(0, 1, 1);
             s->ForceUpdate();
         }, 0},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.what);
        m_painter->m_scale = QVector3D(1, 1, 1);
        DLPSupportStructure* d = m_painter->AddSupport({0, 0, 10}, {0, 0, -2});
        k.make(d);
        const QVector<VSLTriangle3D> tris = d->GetRealTriangles();
        EXPECT_EQ(tris.size(), k.triangles);
        EXPECT_TRUE(AllFinite(tris));
        d->GenerateTrussPoints();
        EXPECT_EQ(d->GetNumTrussPoints(), 0);
        EXPECT_TRUE(d->GetTrussPoints().isEmpty());
    }
}

TEST_F(Columns, RemovalKeepsTheOrderOfTheRest)
{
    DLPSupportStructure* a = m_painter->AddSupport({0, 0, 10}, {0, 0, 0});
    DLPSupportStructure* b = m_painter->AddSupport({1, 0, 10}, {1, 0, 0});
    DLPSupportStructure* c = m_painter->AddSupport({2, 0, 10}, {2, 0, 0});
    EXPECT_EQ(c->m_nNumber, a->m_nNumber + 2);
    m_painter->RemoveSupport(b);
    EXPECT_EQ(m_painter->GetSupports(), (QVector<DLPSupportStructure*>{a, c}));
}

class Trusses : public Columns {};

TEST_F(Trusses, NeighboursWithinTenMillimetres)
{
    for (float gap : {10.0f, 10.01f}) {
        SCOPED_TRACE(gap);
        m_painter->RemoveAllSupportSelModel();
        DLPSupportStructure* a = Column(0, 0, 30);
        DLPSupportStructure* b = Column(gap, 0, 30);
        m_painter->GenerateAutoTruss();
        const bool near = gap <= 10.0f;
        EXPECT_EQ(a->GetNeighborSupports().size(), near ? 1 : 0);
        EXPECT_EQ(b->GetNeighborSupports().size(), near ? 1 : 0);
        if (!near)
            continue;
        // ceil(10 / 5) = 2 intervals up: points 0 -> 2 and 1 -> 3.
        const QVector<DLPSupportTruss*> ts = a->GetTrusses();
        ASSERT_EQ(ts.size(), 2);
        EXPECT_EQ(ts[0]->GetTrussPointFrom(), QVector3D(0, 0, 7));
        EXPECT_EQ(ts[0]->GetTrussPointTo(), QVector3D(10, 0, 17));
        EXPECT_EQ(ts[1]->GetTrussPointFrom(), QVector3D(0, 0, 12));
        EXPECT_EQ(ts[1]->m_nNumber, 2);
        EXPECT_EQ(b->GetTrusses().size(), 2);
        // A second run lists and joins everything again.
        m_painter->GenerateAutoTruss();
        EXPECT_EQ(a->GetNeighborSupports().size(), 2);
        EXPECT_EQ(a->GetTrusses().size(), 6);
        // The lists still name the removed column: it is passed over.
        m_painter->RemoveSupport(b);
        m_painter->GenerateAutoTruss();
        EXPECT_EQ(a->GetTrusses().size(), 6);
    }
}

TEST_F(Trusses, OnlyTheTwoNearestAreJoined)
{
    DLPSupportStructure* centre = Column(0, 0, 30);
    Column(0, 9, 30);
    Column(3, 0, 30);
    Column(0, -6, 30);
    m_painter->GenerateAutoTruss();
    ASSERT_EQ(centre->GetNeighborSupports().size(), 3);
    EXPECT_DOUBLE_EQ(centre->GetNeighborSupports()[0].second, 3.0);
    // 3 mm: one interval, three trusses; 6 mm: two intervals, two trusses.
    int toNear = 0, toNext = 0;
    for (DLPSupportTruss* t : centre->GetTrusses()) {
        const QVector3D to = t->GetTrussPointTo();
        toNear += to.toVector2D() == QVector2D(3, 0);
        toNext += to.toVector2D() == QVector2D(0, -6);
    }
    EXPECT_EQ(toNear, 3);
    EXPECT_EQ(toNext, 2);
    EXPECT_EQ(centre->GetTrusses().size(), 5);
}

TEST_F(Trusses, ARaisedNeighbourShiftsThePairingByOnePoint)
{
    DLPSupportStructure* low = Column(0, 0, 30);
    DLPSupportStructure* high = Column(10, 0, 30, 5);
    m_painter->GenerateAutoTruss();
    const QVector<DLPSupportTruss*> up = low->GetTrusses();
    ASSERT_EQ(up.size(), 2);
    EXPECT_EQ(up[0]->GetTrussPointFrom(), low->GetTrussPoints()[1]);
    EXPECT_EQ(up[0]->GetTrussPointTo(), high->GetTrussPoints()[2]);
    EXPECT_EQ(up[1]->GetTrussPointFrom(), low->GetTrussPoints()[2]);
    const QVector<DLPSupportTruss*> down = high->GetTrusses();
    ASSERT_EQ(down.size(), 1);
    EXPECT_EQ(down[0]->GetTrussPointFrom(), high->GetTrussPoints()[0]);
    EXPECT_EQ(down[0]->GetTrussPointTo(), low->GetTrussPoints()[3]);
}

} // namespace
