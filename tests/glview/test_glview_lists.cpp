// Display lists built and deleted outside the view's paint land in the
// view's context, whatever context is current (or none).
#include "glview_fixture.h"
#include "hang_ceiling.h"

#include <QKeyEvent>

#include <GL/gl.h>

class GLViewLists : public GLView {
protected:
    // Live display lists of the view's share group: every name below the
    // next free one that is a list.
    int LiveLists()
    {
        m_view->makeCurrent();
        const GLuint next = glGenLists(1);
        int n = 0;
        for (GLuint id = 1; id < next; ++id)
            n += glIsList(id) ? 1 : 0;
        glDeleteLists(next, 1);
        m_view->doneCurrent();
        return n;
    }
    bool IsList(GLuint id)
    {
        m_view->makeCurrent();
        const bool live = id != 0 && glIsList(id);
        m_view->doneCurrent();
        return live;
    }
    // Runs the instance's support job and hands its end to the scene with
    // no context current (no paint in between).
    void SupportWithoutContext(VSLModelPainter* p)
    {
        ASSERT_EQ(m_view->GenSupport({1.0, 0.8, 1.2, 3.0}), SceneOp::Done);
        ASSERT_TRUE(p->m_pSupportThread->wait(kHangMs));
        m_view->doneCurrent();
        ASSERT_EQ(QOpenGLContext::currentContext(), nullptr);
        QCoreApplication::sendPostedEvents(m_view->scene(), QEvent::MetaCall);
        ASSERT_EQ(m_view->scene()->runningSupportJobs(), 0);
    }
};

// Load, support, duplicate and Delete, each with no context current: the
// supports are built and shown, and after Delete nothing is left behind.
TEST_F(GLViewLists, LoadSupportDuplicateAndDeleteLeaveNoListBehind)
{
    Frame();
    const int empty = LiveLists();
    ASSERT_GT(empty, 0); // box, gizmo, grid, triad

    m_view->doneCurrent();
    VSLModelPainter* p = Load(BoxFile("slab.stl", {-10, -10, 0}, {10, 10, 4}));
    Frame();
    // Closer and level, so the supports under the slab fill some pixels.
    m_view->camera()->FastViewer(6);
    m_view->camera()->Rotate(0, -10, false);
    m_view->camera()->Rotate(0, 0, true);
    m_view->camera()->SetViewportScale(4);
    m_view->camera()->Translate(-13, -6, false);
    m_view->camera()->Translate(0, 0, true);
    const int withModel = LiveLists();
    EXPECT_EQ(withModel, empty + p->m_pModel->GetDisplayList().size());

    ASSERT_NO_FATAL_FAILURE(SupportWithoutContext(p));
    ASSERT_TRUE(p->m_bHasSupports);
    EXPECT_TRUE(p->m_bSupportsShown);
    EXPECT_TRUE(IsList(p->m_nSupportTipList) && IsList(p->m_supportBody.allList()));
    const int withSupports = LiveLists();
    // Drawn: support pixels under the lifted slab.
    const QImage f = Frame();
    Save(f, "glview_lists_supported");
    const DLP_Support& s = p->m_supportMap.first();
    EXPECT_TRUE(AnyNear(f, Project(QVector3D(s.point[0], s.point[1], 1.5f)), 2,
                        [](Px c) { return c.r > c.b + 25 && c.g > c.b + 10; }));

    m_view->scene()->SetPickModelPainter(p->pickId());
    m_view->doneCurrent();
    ASSERT_EQ(m_view->DuplicateSelectedModel(), SceneOp::Done);
    VSLModelPainter* copy = m_view->scene()->instances().last();
    ASSERT_NE(copy, p);
    EXPECT_TRUE(copy->m_bSupportsShown && IsList(copy->m_nSupportTipList) && IsList(copy->m_supportBody.allList()));
    EXPECT_GT(LiveLists(), withSupports);

    // Delete of the copy by the key, of the original through the facade,
    // each with no context current.
    m_view->scene()->SetPickModelPainter(copy->pickId());
    m_view->doneCurrent();
    QKeyEvent del(QEvent::KeyPress, Qt::Key_Delete, Qt::NoModifier);
    QApplication::sendEvent(m_view.get(), &del);
    ASSERT_EQ(m_view->scene()->instances().size(), 1);
    EXPECT_EQ(LiveLists(), withSupports);
    m_view->scene()->SetPickModelPainter(p->pickId());
    m_view->doneCurrent();
    ASSERT_EQ(m_view->RemoveCurrentModel(), SceneOp::Done);
    EXPECT_TRUE(m_view->scene()->instances().isEmpty());
    EXPECT_EQ(LiveLists(), empty);
}
