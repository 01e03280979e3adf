#include "supportedit_fixture.h"

#include <QSignalSpy>

TEST_F(SupportEdit, ModelClickAddsOneSupportOnTheSurfaceUnderThePixel)
{
    Generate(m_slab);
    OpenEdit();
    const QList<SupportKey> keys = m_slab->m_supportMap.keys();
    QSignalSpy updates(m_view->scene(), &VSL3DScene::sig_Update);
    // The background: nothing changes, nothing is announced.
    Click(QPoint(5, 5));
    Click(QPoint(0, 0));
    EXPECT_EQ(m_slab->m_supportMap.keys(), keys);
    EXPECT_EQ(updates.count(), 0);
    EXPECT_FALSE(m_slab->m_bSupportChanged);
    const float z = (m_slab->m_minBound.z() + m_slab->m_maxBound.z()) / 2;
    const QPoint px = FrontFace(0.5f, z);
    Click(px);
    ASSERT_EQ(m_slab->m_supportMap.size(), 5);
    EXPECT_EQ(updates.count(), 1);
    auto added = FirstAdded(m_slab);
    ASSERT_NE(added, m_slab->m_supportMap.end());
    const QVector3D h = V(added->point);
    EXPECT_NEAR(h.y(), m_slab->m_minBound.y(), 0.15f);
    EXPECT_EQ(Project(h), px);
    EXPECT_EQ(added.key(), SupportKey(SupportHeightKey(h.z()), 4294967295u));
    EXPECT_EQ(added->index, -1);
    EXPECT_FALSE(added->generated);
    ASSERT_EQ(added->cones.size(), 1);
    EXPECT_NEAR((V(added->cones[0][1]) - h).length(), 2.f, 1e-3f);  // the tip cone
    EXPECT_TRUE(m_slab->m_bSupportChanged);
    // A second at the same height takes the next code, not the first's place.
    const QPoint px2 = Project(QVector3D(m_slab->m_maxBound.x() - 3, m_slab->m_minBound.y(), z));
    Click(px2);
    ASSERT_EQ(m_slab->m_supportMap.size(), 6);
    auto second = m_slab->m_supportMap.end();
    for (auto it = m_slab->m_supportMap.begin(); it != m_slab->m_supportMap.end(); ++it)
        if (it.key().second == 4294967294u && it->addedByClick)
            second = it;
    ASSERT_NE(second, m_slab->m_supportMap.end());
    EXPECT_NEAR(second->point[2], h.z(), 0.05f);
    EXPECT_EQ(Project(V(second->point)), px2);
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
    EXPECT_EQ(Deleted(m_slab), 1);
    EXPECT_FALSE(Magenta(At(Shot(), tip)));  // the edit shows tips alone
    Click(FrontFace(0.5f, m_slab->m_minBound.z() + 1));
    ASSERT_EQ(m_slab->m_supportMap.size(), 5);
    Save(Shot(), "supportedit_slab_edited");
    auto added = FirstAdded(m_slab);
    ASSERT_NE(added, m_slab->m_supportMap.end());
    Click(Project(V(added->cones[0][1]) * 0.3f + V(added->point) * 0.7f));
    EXPECT_EQ(m_slab->m_supportMap.size(), 4);
    EXPECT_EQ(FirstAdded(m_slab), m_slab->m_supportMap.end());
}

TEST_F(SupportEdit, WithoutSelectionAClickOnTheSecondInstanceAddsToIt)
{
    Generate(m_slab);
    VSLModelPainter* second = Load(BoxFile("second.stl", {-5, -5, 0}, {5, 5, 8}));
    FixCamera();
    ASSERT_NE(second, m_slab);
    second->Move(QVector3D(m_slab->m_center.x() + 20 - second->m_center.x(), 0, 0));  // clear of the slab
    m_view->scene()->SetPickModelPainter(0);
    ASSERT_EQ(m_view->scene()->selectedInstance(), nullptr);
    OpenEdit();
    const QList<SupportKey> keys = m_slab->m_supportMap.keys();
    Save(Shot(), "supportedit_two");
    Click(Project(QVector3D(second->m_center.x(), second->m_minBound.y(), 1.5f)));  // below the lifted slab
    EXPECT_EQ(second->m_supportMap.size(), 1);
    EXPECT_EQ(m_slab->m_supportMap.keys(), keys);
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
    m_slab->m_bSupportEditMark = true;  // a re-run keeps the records
    ASSERT_EQ(m_view->scene()->StartSupportJob(m_slab), SceneOp::Done);
    Click(FrontFace(0.5f, m_slab->m_minBound.z() + 2));  // the done signal is queued: still pending here
    EXPECT_EQ(updates.count(), 0);
    m_view->slot_EditSupport(true, false, {5, 3.0, 1.6, kLift});  // a new edit leaves it alone too
    ASSERT_TRUE(WaitFor([this] { return m_view->scene()->runningSupportJobs() == 0; }));
    EXPECT_EQ(FirstAdded(m_slab), m_slab->m_supportMap.end());
    EXPECT_EQ(m_slab->m_dTipDiameter, 2 * kTipR);
}
