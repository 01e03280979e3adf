#include "supportedit_fixture.h"

#include <QSignalSpy>

TEST_F(SupportEdit, CancelAfterThreeAddsAndTwoDeletesBringsBackTheGeneratedSet)
{
    Generate(m_slab);
    const QList<SupportKey> generated = m_slab->m_supportMap.keys();
    OpenEdit();
    for (float fx : {0.3f, 0.5f, 0.7f})
        Click(FrontFace(fx, m_slab->m_minBound.z() + 2));
    const DLP_Support a = m_slab->m_supportMap[generated[0]], b = m_slab->m_supportMap[generated[1]];
    const QPoint tipA = TipPixel(m_slab, a), tipB = TipPixel(m_slab, b);
    Click(tipA);
    Click(tipB);
    ASSERT_EQ(m_slab->m_supportMap.size(), 7);
    EXPECT_FALSE(Magenta(At(Shot(), tipA)));
    m_view->makeCurrent();
    m_view->slot_EditSupport(false, false, {});
    EXPECT_EQ(m_slab->m_supportMap.keys(), generated);
    EXPECT_EQ(Deleted(m_slab), 0);
    EXPECT_EQ(FirstAdded(m_slab), m_slab->m_supportMap.end());
    const QImage img = Shot();
    EXPECT_PRED1(Magenta, At(img, tipA));  // tip list rebuilt with them
    EXPECT_PRED1(Magenta, At(img, tipB));
    EXPECT_PRED1(Amber, At(img, ColumnPixel(m_slab, a)));  // and the body list
}

TEST_F(SupportEdit, EditOpenedAndCancelledWithoutSupportsPutsTheInstanceBack)
{
    m_slab->m_dLiftDistance = kLift;
    OpenEdit();
    EXPECT_FLOAT_EQ(m_slab->m_minBound.z(), float(kLift));
    m_view->makeCurrent();
    m_view->slot_EditSupport(false, false, {});
    EXPECT_FLOAT_EQ(m_slab->m_minBound.z(), 0.f);
    EXPECT_FALSE(m_slab->m_bSupportLifted);
}

TEST_F(SupportEdit, SaveRunsOnlyTheModifiedInstancesAndEndsOnce)
{
    Generate(m_slab);
    VSLModelPainter* other = Load(BoxFile("other.stl", {-5, -5, 0}, {5, 5, 8}));
    FixCamera();
    Generate(other);
    m_view->scene()->SetPickModelPainter(0);
    OpenEdit();
    Click(TipPixel(m_slab, m_slab->m_supportMap.first()));
    ASSERT_TRUE(m_slab->m_supportMap.first().isDeleted);
    ASSERT_FALSE(other->m_bSupportChanged);
    QSignalSpy done(m_view.get(), &VSLGLView::sig_GenSupportDone);
    m_view->slot_EditSupport(false, true, {});
    ASSERT_TRUE(WaitFor([&] { return m_view->scene()->runningSupportJobs() == 0 && done.count() > 0; }));
    QTest::qWait(50);
    EXPECT_EQ(done.count(), 1);
    EXPECT_TRUE(m_slab->m_bSupportEditMark);
    EXPECT_FALSE(other->m_bSupportEditMark);
    ASSERT_EQ(m_slab->m_supportMap.size(), 3);
    int index = 0;
    for (const DLP_Support& s : m_slab->m_supportMap) {
        EXPECT_FALSE(s.isDeleted);
        EXPECT_EQ(s.index, index++);
    }
    EXPECT_EQ(other->m_supportMap.size(), 4);
    // Nothing modified: the end is announced at once.
    done.clear();
    OpenEdit();
    m_view->slot_EditSupport(false, true, {});
    EXPECT_EQ(done.count(), 1);
}

// The editor holds the panel and the stage bar until its Save or Cancel: a
// click that changes the supports is no end of a support run.
TEST_F(SupportEdit, ClicksInTheEditorAnnounceNoEndOfARun)
{
    Generate(m_slab);
    OpenEdit();
    QSignalSpy done(m_view.get(), &VSLGLView::sig_GenSupportDone);
    Click(TipPixel(m_slab, m_slab->m_supportMap.first()));
    ASSERT_TRUE(m_slab->m_supportMap.first().isDeleted);
    Click(Project(QVector3D(m_slab->m_center.x(), m_slab->m_minBound.y() + 1, m_slab->m_minBound.z())));
    ASSERT_NE(FirstAdded(m_slab), m_slab->m_supportMap.end());
    QTest::qWait(50);
    EXPECT_EQ(done.count(), 0);
    m_view->slot_EditSupport(false, true, {});
    ASSERT_TRUE(WaitFor([&] { return m_view->scene()->runningSupportJobs() == 0 && done.count() > 0; }));
    QTest::qWait(50);
    EXPECT_EQ(done.count(), 1);
}

TEST_F(SupportEdit, SaveGivesAClickAddedSupportItsTipAndColumn)
{
    Generate(m_slab);
    OpenEdit();
    const float y0 = m_slab->m_minBound.y();
    // Low on the front face of the lifted slab: a side contact over the plate.
    Click(Project(QVector3D(m_slab->m_center.x(), y0 + 1, m_slab->m_minBound.z())));
    auto added = FirstAdded(m_slab);
    ASSERT_NE(added, m_slab->m_supportMap.end());
    const QVector3D h = V(added->point);
    ASSERT_NEAR(h.y(), y0, 0.15f);
    ASSERT_EQ(added->cones.size(), 1);  // only the provisional cone until the run
    QSignalSpy done(m_view.get(), &VSLGLView::sig_GenSupportDone);
    m_view->slot_EditSupport(false, true, {});
    ASSERT_TRUE(WaitFor([&] { return m_view->scene()->runningSupportJobs() == 0 && done.count() > 0; }));
    ASSERT_EQ(m_slab->m_supportMap.size(), 5);
    auto run = std::find_if(m_slab->m_supportMap.begin(), m_slab->m_supportMap.end(),
                            [&](const DLP_Support& s) { return (V(s.point) - h).length() < 1e-3f; });
    ASSERT_NE(run, m_slab->m_supportMap.end());
    EXPECT_FALSE(run->isDeleted || run->addedByClick);
    EXPECT_GE(run->index, 0);  // renumbered
    ASSERT_GE(run->cones.size(), 2) << "tip and column";
    EXPECT_LT((V(run->cones[0][0]) - h).length(), 1e-3f);  // the tip starts on the surface
    EXPECT_LT(run->cones[0][1][1], y0 - 0.5f);             // and leaves it outwards
    float lowest = h.z();
    for (const auto& c : run->cones)
        lowest = std::min({lowest, c[0][2], c[1][2]});
    EXPECT_TRUE(lowest < 0.05f || run->onModel) << "lowest " << lowest;
}
