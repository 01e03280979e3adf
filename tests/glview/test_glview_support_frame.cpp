// The frame the view shows after a slice draws the supports where a redraw
// draws them: under their model, however it was moved since they were made.
#include "glview_fixture.h"
#include "event_wait.h"
#include "support_roads.h"

#include <QElapsedTimer>

#include <algorithm>

using namespace viewframes;

class GLViewSupportFrame : public GLView {
protected:
    // The housing of the road, loaded full size and selected.
    VSLModelPainter* LoadHousing()
    {
        const QString path = m_dir.filePath("housing.stl");
        EXPECT_TRUE(testmesh::WriteFile(path, testmesh::BinaryStl(testmesh::Housing(216.f, 362.f, 83.f, 8))));
        VSLModelPainter* p = Load(path);
        if (p)
            m_view->scene()->SetPickModelPainter(p->pickId());
        return p;
    }
    bool Generate(QVector<double> para)
    {
        QSignalSpy done(m_view.get(), &VSLGLView::sig_GenSupportDone);
        m_view->GenSupport(para);
        return WaitFor([&] { return done.count() > 0 && m_view->scene()->runningSupportJobs() == 0; }, kHangMs);
    }

    // Scale, turn, generate, move partly off the plate, slice: a frame drawn
    // while the slice runs, and the frame on screen once it is done, show
    // the supports under the part, as a forced redraw does.
    void SliceMovedAndCompareFrames(bool manyShapes)
    {
        VSLModelPainter* p = LoadHousing();
        ASSERT_TRUE(p);
        if (manyShapes)
            p->m_supportShapes.inlineBodyTriangles = 0; // the path of a big run, with a run this test can afford
        m_view->slot_ReceiveEditList({2, 0.2, 0.2, 0.2});
        m_view->slot_ReceiveEditList({1, 0, 0, 90});
        ASSERT_LT(p->m_maxBound.y() - p->m_minBound.y(), 45.f);
        ASSERT_TRUE(Generate({1.0, 0.6, 1.1, 3.0}));
        ASSERT_GT(p->m_supportMap.size(), 20);
        ASSERT_EQ(p->m_supportBody.chunkCount() > 1, manyShapes);
        QVector3D bottom;
        ASSERT_TRUE(m_view->scene()->GetBottomCenter(bottom));
        m_view->slot_ReceiveEditList({0, bottom.x(), -40.0, bottom.z()});
        ASSERT_NEAR(p->m_center.y(), -40.f, 0.5f);
        ASSERT_GT(m_view->scene()->CountLeavingPlate(), 0);
        const QImage before = Frame();
        ASSERT_GT(SupportPixels(before), 50);

        // Held in its first layer: the supports are then in place for the
        // cut, and the window draws a frame meanwhile (a big part takes
        // seconds here; the capture's plate comes back after a quarter second).
        struct Hold {
            std::atomic<bool> reached{false}, release{false};
        };
        auto hold = std::make_shared<Hold>();
        p->m_fnSliceLayer = [hold](int layer) {
            if (layer != 0)
                return;
            hold->reached = true;
            QElapsedTimer t;
            t.start();
            while (!hold->release && t.elapsed() < kHangMs)
                QThread::msleep(1);
        };
        int frames = 0;
        auto counting = QObject::connect(m_view.get(), &QOpenGLWidget::frameSwapped, [&frames] { ++frames; });
        ASSERT_EQ(m_view->SliceScene(0.05f, 1920, 1080, 20, 20, 0), SceneOp::Done);
        ASSERT_TRUE(WaitFor([&] { return hold->reached.load(); }));
        // Close up, where a support is many pixels wide.
        LookAt(QVector3D(p->m_center.x(), p->m_center.y(), p->m_minBound.z()), 14);
        const int framesBefore = frames;
        m_view->update();
        EXPECT_TRUE(WaitFor([&] { return frames > framesBefore; }, kHangMs));
        const QImage during = ShownFrame();
        QTest::qWait(400); // the capture's plate has come back by then
        const int framesDuring = frames;
        hold->release = true;
        ASSERT_TRUE(WaitFor([this] { return m_view->scene()->runningSliceJobs() == 0; }, kHangMs));
        // The lists made again from the sliced records are drawn at once.
        EXPECT_TRUE(WaitFor([&] { return frames > framesDuring; }));
        QObject::disconnect(counting);
        p->m_fnSliceLayer = nullptr;

        const QImage shown = ShownFrame();
        const QImage redrawn = Frame();
        Save(during, manyShapes ? "support_frame_during_chunks" : "support_frame_during");
        Save(shown, manyShapes ? "support_frame_shown_chunks" : "support_frame_shown");
        Save(redrawn, manyShapes ? "support_frame_redrawn_chunks" : "support_frame_redrawn");
        Save(ApartPicture(shown, redrawn), manyShapes ? "support_frame_apart_chunks" : "support_frame_apart");
        ASSERT_GT(SupportPixels(redrawn), 2000);
        EXPECT_TRUE(SupportsAlike(during, redrawn)) << SupportPixelsApart(during, redrawn);
        EXPECT_TRUE(SupportsAlike(shown, redrawn)) << SupportPixelsApart(shown, redrawn);
    }
};

TEST_F(GLViewSupportFrame, TheFrameAfterASliceDrawsTheSupportsUnderTheirMovedModel)
{
    SliceMovedAndCompareFrames(false);
}

TEST_F(GLViewSupportFrame, TheFrameAfterASliceDrawsABigRunsChunksUnderTheirMovedModel)
{
    SliceMovedAndCompareFrames(true);
}

// Moved, sliced, moved again, then edited: the edit's regeneration builds
// the columns where the supports stand, under the model, also for a support
// the click added.
TEST_F(GLViewSupportFrame, AnEditSavedAfterASliceOfAMovedModelKeepsItsSupportsUnderIt)
{
    const QString bridge = m_dir.filePath("bridge.stl");
    ASSERT_TRUE(testmesh::WriteFile(bridge, testmesh::BinaryStl(testmesh::Box({-10, -3, 0}, {-7, 3, 7}) +
                                                                testmesh::Box({7, -3, 0}, {10, 3, 7}) +
                                                                testmesh::Box({-10, -3, 6}, {10, 3, 8}))));
    VSLModelPainter* p = Load(bridge);
    ASSERT_TRUE(p);
    m_view->scene()->SetPickModelPainter(p->pickId());
    ASSERT_TRUE(Generate({2.0, 0.4, 1.0, 5.0}));
    ASSERT_GT(p->m_supportMap.size(), 4);
    auto moveBy = [&](float dx, float dy) {
        QVector3D bottom;
        ASSERT_TRUE(m_view->scene()->GetBottomCenter(bottom));
        m_view->slot_ReceiveEditList({0, bottom.x() + dx, bottom.y() + dy, bottom.z()});
    };
    moveBy(-18, -20);
    QSignalSpy sliced(m_view.get(), &VSLGLView::sig_SliceSceneDone);
    ASSERT_EQ(m_view->SliceScene(0.2f, 1920, 1080, 20, 20, 0), SceneOp::Done);
    ASSERT_TRUE(sliced.wait(kHangMs));
    moveBy(13, 1);
    // The editor: one support added by a click on the bridge's deck.
    m_view->slot_EditSupport(true, false, {2.0, 0.4, 1.0});
    Frame();
    const int before = p->m_supportMap.size();
    Click(Project({p->m_center.x() + 3, p->m_center.y(), p->m_maxBound.z()}));
    EXPECT_EQ(p->m_supportMap.size(), before + 1);
    p->m_bSupportChanged = true; // saved also when the click found no place
    QSignalSpy done(m_view.get(), &VSLGLView::sig_GenSupportDone);
    m_view->slot_EditSupport(false, true, {});
    ASSERT_TRUE(WaitFor([&] { return done.count() > 0 && m_view->scene()->runningSupportJobs() == 0; }));
    ASSERT_TRUE(p->m_bHasSupports);
    QPolygonF hull;
    for (const QVector2D& v : p->m_hull)
        hull << QPointF(v.x(), v.y());
    const QRectF box = hull.boundingRect().adjusted(-1, -1, 1, 1);
    int outside = 0;
    for (const DLP_Support& s : p->m_supportMap)
        for (const QVector<vcg::Point3f>& c : s.cones)
            for (int i = 0; i < 2 && i < c.size(); ++i) {
                const QVector3D w = p->m_supportMatrix.map(QVector3D(c[i][0], c[i][1], c[i][2]));
                outside += !box.contains(QPointF(w.x(), w.y()));
            }
    EXPECT_EQ(outside, 0);
}

// Random roads on one view: after every step the supports stand under
// their own models, after every slice the written layers and the frame shown
// agree with them. A failure names its seed (VSL_ROAD_SEED=n runs that road
// alone, VSL_FIRST_ROAD and VSL_ROADS a part of them); the bench program of
// the same roads runs many more.
TEST(GLViewSupportRoads, NoRoadSeparatesSupportsFromTheirModel)
{
    QStandardPaths::setTestModeEnabled(true);
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    constexpr unsigned kDefaultRoads = 50; // each several times slower
#else
    constexpr unsigned kDefaultRoads = 200;
#endif
    const unsigned kRoads =
        qEnvironmentVariableIsSet("VSL_ROADS") ? unsigned(qEnvironmentVariableIntValue("VSL_ROADS")) : kDefaultRoads;
    const unsigned only = qEnvironmentVariableIntValue("VSL_ROAD_SEED");
    // The suite runs the roads in parts, each a test of its own.
    const unsigned first = std::max(1, qEnvironmentVariableIntValue("VSL_FIRST_ROAD"));
    VSLGLView view;
    view.resize(320, 240);
    supportroads::CentreCamera(view);
    view.show();
    ASSERT_TRUE(WaitUntilExposed(&view));
    int roads = 0, slices = 0, moved = 0, supports = 0;
    for (unsigned seed = first; seed < first + kRoads; ++seed) {
        if (only != 0 && seed != only)
            continue;
        QTemporaryDir dir;
        ASSERT_TRUE(dir.isValid());
        supportroads::Options options;
        options.failureFrames = QCoreApplication::applicationDirPath();
        const supportroads::Outcome outcome = supportroads::Run(view, dir.path(), seed, options);
        EXPECT_TRUE(outcome.sound) << outcome.failure.toStdString();
        ++roads;
        slices += outcome.slices;
        moved += outcome.slicesOfMovedSupports;
        supports += outcome.supportsChecked;
    }
    // The roads reach what they are to check.
    EXPECT_GE(slices, roads / 2);
    EXPECT_GE(moved, roads / 10);
    qInfo("%d roads, %d slices, %d of them of moved supports, %d supports checked", roads, slices, moved, supports);
    EXPECT_GT(supports, roads * 10);
}
