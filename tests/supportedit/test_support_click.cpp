#include "supportedit_fixture.h"

#include <QSignalSpy>

namespace {
// Keys of the map, to compare whole sets.
QList<SupportKey> Keys(VSLModelPainter* p) { return p->m_supportMap.keys(); }
} // namespace

TEST_F(SupportEdit, ModelClickAddsOneSupportOnTheSurfaceUnderThePixel)
{
    Generate(m_slab);
    OpenEdit();
    QSignalSpy updates(m_view->scene(), &VSL3DScene::sig_Update);
    // Middle of the slab's front face (y = min).
    const QVector3D lo = m_slab->m_minBound, hi = m_slab->m_maxBound;
    const QPoint px = Project(QVector3D((lo.x() + hi.x()) / 2, lo.y(), (lo.z() + hi.z()) / 2));
    Click(px);
    ASSERT_EQ(m_slab->m_supportMap.size(), 5);
    EXPECT_EQ(updates.count(), 1);
    auto added = std::find_if(m_slab->m_supportMap.begin(), m_slab->m_supportMap.end(),
                              [](const DLP_Support& s) { return s.addedByClick; });
    ASSERT_NE(added, m_slab->m_supportMap.end());
    const QVector3D h = V(added->point);
    EXPECT_NEAR(h.y(), lo.y(), 0.15f);
    EXPECT_EQ(Project(h), px);
    EXPECT_EQ(added.key(), SupportKey(SupportHeightKey(h.z()), 4294967295u));
    EXPECT_EQ(added->index, -1);
    EXPECT_FALSE(added->generated);
    ASSERT_EQ(added->cones.size(), 1);
    // Tip cone towards the viewer: its far end is nearer the eye.
    EXPECT_NEAR((V(added->cones[0][1]) - h).length(), 2.f, 1e-3f);
    EXPECT_TRUE(m_slab->m_bSupportChanged);

    // The same height further right (the same pixel now shows the new tip).
    const QPoint px2 = Project(QVector3D(hi.x() - 3, lo.y(), (lo.z() + hi.z()) / 2));
    Click(px2);
    ASSERT_EQ(m_slab->m_supportMap.size(), 6);
    auto second = std::find_if(m_slab->m_supportMap.begin(), m_slab->m_supportMap.end(),
                               [](const DLP_Support& s) { return s.addedByClick && s.index == -1; });
    for (auto it = m_slab->m_supportMap.begin(); it != m_slab->m_supportMap.end(); ++it)
        if (it.value().addedByClick && it.key().second == 4294967294u)
            second = it;
    ASSERT_EQ(second.key().second, 4294967294u);
    EXPECT_NEAR(second->point[2], h.z(), 0.05f);
    EXPECT_EQ(Project(V(second->point)), px2);
}

TEST_F(SupportEdit, BackgroundClickChangesAndEmitsNothing)
{
    Generate(m_slab);
    OpenEdit();
    const QList<SupportKey> keys = Keys(m_slab);
    QSignalSpy updates(m_view->scene(), &VSL3DScene::sig_Update);
    Click(QPoint(5, 5));
    Click(QPoint(0, 0));
    EXPECT_EQ(Keys(m_slab), keys);
    EXPECT_EQ(updates.count(), 0);
    EXPECT_FALSE(m_slab->m_bSupportChanged);
}

TEST_F(SupportEdit, TipClickMarksAGeneratedSupportAndErasesAClickAdded)
{
    Generate(m_slab);
    OpenEdit();
    auto first = m_slab->m_supportMap.begin();
    const QPoint tip = TipPixel(m_slab, first.value());
    Click(tip);
    ASSERT_EQ(m_slab->m_supportMap.size(), 4);
    EXPECT_TRUE(first.value().isDeleted);
    EXPECT_EQ(std::count_if(m_slab->m_supportMap.begin(), m_slab->m_supportMap.end(),
                            [](const DLP_Support& s) { return s.isDeleted; }),
              1);
    // Its tip is gone from the drawing (the edit shows tips alone).
    QImage img = Shot();
    EXPECT_FALSE(Magenta(At(img, tip))) << At(img, tip);

    // A click-added support on the front face, then a click on its tip.
    const QVector3D lo = m_slab->m_minBound, hi = m_slab->m_maxBound;
    Click(Project(QVector3D((lo.x() + hi.x()) / 2, lo.y(), lo.z() + 1)));
    ASSERT_EQ(m_slab->m_supportMap.size(), 5);
    Save(Shot(), "supportedit_slab_edited");
    auto added = std::find_if(m_slab->m_supportMap.begin(), m_slab->m_supportMap.end(),
                              [](const DLP_Support& s) { return s.addedByClick; });
    ASSERT_NE(added, m_slab->m_supportMap.end());
    Click(Project(V(added->cones[0][1]) * 0.3f + V(added->point) * 0.7f));
    EXPECT_EQ(m_slab->m_supportMap.size(), 4);
    EXPECT_TRUE(std::none_of(m_slab->m_supportMap.begin(), m_slab->m_supportMap.end(),
                             [](const DLP_Support& s) { return s.addedByClick; }));
}

TEST_F(SupportEdit, WithoutSelectionAClickOnTheSecondInstanceAddsToIt)
{
    Generate(m_slab);
    VSLModelPainter* second = Load(BoxFile("second.stl", {-5, -5, 0}, {5, 5, 8}));
    FixCamera();
    ASSERT_NE(second, m_slab);
    second->Move(QVector3D(m_slab->m_center.x() + 20 - second->m_center.x(), 0, 0)); // clear of the slab
    m_view->scene()->SetPickModelPainter(0);
    ASSERT_EQ(m_view->scene()->selectedInstance(), nullptr);
    OpenEdit();
    const QList<SupportKey> keys = Keys(m_slab);
    const QVector3D c = second->m_center;
    Save(Shot(), "supportedit_two");
    Click(Project(QVector3D(c.x(), second->m_minBound.y(), 1.5f))); // below the lifted slab
    EXPECT_EQ(second->m_supportMap.size(), 1);
    EXPECT_EQ(Keys(m_slab), keys);
}

TEST_F(SupportEdit, AfterAMoveAVisibleTipIsDeletedNotAdded)
{
    Generate(m_slab);
    QMatrix4x4 move;
    move.translate(10, 0, 0);
    ASSERT_TRUE(m_slab->ApplyConvertX(move, 0));
    OpenEdit();
    auto first = m_slab->m_supportMap.begin();
    const QPoint tip = TipPixel(m_slab, first.value());
    ASSERT_PRED1(Magenta, At(Shot(), tip));
    Click(tip);
    EXPECT_EQ(m_slab->m_supportMap.size(), 4);
    EXPECT_TRUE(first.value().isDeleted);
}

TEST_F(SupportEdit, ClickOnAnInstanceWithAPendingJobDoesNothing)
{
    Generate(m_slab);
    OpenEdit();
    QSignalSpy updates(m_view->scene(), &VSL3DScene::sig_Update);
    const QVector3D lo = m_slab->m_minBound, hi = m_slab->m_maxBound;
    const QPoint px = Project(QVector3D((lo.x() + hi.x()) / 2, lo.y(), (lo.z() + hi.z()) / 2));
    m_slab->m_bSupportEditMark = true; // a re-run keeps the records
    ASSERT_EQ(m_view->scene()->StartSupportJob(m_slab), SceneOp::Done);
    Click(px); // the done signal is queued: the job is still pending here
    EXPECT_EQ(updates.count(), 0);
    m_view->slot_EditSupport(true, false, {5, 3.0, 1.6, kLift}); // a new edit leaves it alone too
    ASSERT_TRUE(WaitFor([this] { return m_view->scene()->runningSupportJobs() == 0; }));
    EXPECT_TRUE(std::none_of(m_slab->m_supportMap.begin(), m_slab->m_supportMap.end(),
                             [](const DLP_Support& s) { return s.addedByClick; }));
    EXPECT_EQ(m_slab->m_dTipDiameter, 2 * kTipR);
}
