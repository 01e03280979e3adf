// The frame the view shows after a slice draws the supports where a redraw
// draws them: under their model, however it was moved since they were made.
#include "glview_fixture.h"

#include <QElapsedTimer>

namespace {

// Tips and highlighted bodies are drawn magenta; nothing else in the view is.
bool SupportPixel(QRgb c) { return qRed(c) > 150 && qBlue(c) > 150 && qGreen(c) < 110; }

// Pixels that are support pixels in one frame and not in the other.
int SupportPixelsApart(const QImage& a, const QImage& b)
{
    if (a.size() != b.size())
        return a.width() * a.height();
    int apart = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            apart += SupportPixel(a.pixel(x, y)) != SupportPixel(b.pixel(x, y));
    return apart;
}

// Where the frames' support pixels differ (for the record of a failure).
QImage ApartPicture(const QImage& a, const QImage& b)
{
    QImage out = b.copy();
    if (a.size() != b.size())
        return out;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const bool sa = SupportPixel(a.pixel(x, y)), sb = SupportPixel(b.pixel(x, y));
            if (sa != sb)
                out.setPixel(x, y, sa ? qRgb(0, 160, 0) : qRgb(0, 0, 0));
        }
    return out;
}

int SupportPixels(const QImage& a)
{
    int n = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            n += SupportPixel(a.pixel(x, y));
    return n;
}

} // namespace

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
        return WaitFor([&] { return done.count() > 0 && m_view->scene()->runningSupportJobs() == 0; }, 120000);
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
            while (!hold->release && t.elapsed() < 20000)
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
        EXPECT_TRUE(WaitFor([&] { return frames > framesBefore; }, 5000));
        const QImage during = ShownFrame();
        QTest::qWait(400); // the capture's plate has come back by then
        const int framesDuring = frames;
        hold->release = true;
        ASSERT_TRUE(WaitFor([this] { return m_view->scene()->runningSliceJobs() == 0; }, 120000));
        QCoreApplication::processEvents();
        QTest::qWait(kFrameSettleMs);
        // The lists made again from the sliced records are drawn at once.
        EXPECT_GT(frames, framesDuring);
        QObject::disconnect(counting);
        p->m_fnSliceLayer = nullptr;

        const QImage shown = ShownFrame();
        const QImage redrawn = Frame();
        Save(during, manyShapes ? "support_frame_during_chunks" : "support_frame_during");
        Save(shown, manyShapes ? "support_frame_shown_chunks" : "support_frame_shown");
        Save(redrawn, manyShapes ? "support_frame_redrawn_chunks" : "support_frame_redrawn");
        Save(ApartPicture(shown, redrawn), manyShapes ? "support_frame_apart_chunks" : "support_frame_apart");
        ASSERT_GT(SupportPixels(redrawn), 2000);
        EXPECT_LT(SupportPixelsApart(during, redrawn), SupportPixels(redrawn) / 50);
        EXPECT_LT(SupportPixelsApart(shown, redrawn), SupportPixels(redrawn) / 50);
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
