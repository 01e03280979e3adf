// The view's load thread: the file is read off the GUI thread and the GUI
// thread adds it to the scene, repaints and reports the result.
#include "glview_fixture.h"
#include "hang_ceiling.h"

#include <QFile>
#include <QThread>

TEST_F(GLView, TheLoadThreadAddsTheFileOnTheGuiThreadAndReportsTheResult)
{
    const QString cube = BoxFile("cube.stl", {-10, -10, 0}, {10, 10, 20});
    const QString text = m_dir.filePath("text.stl");
    {
        QFile f(text);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("this is not a mesh\n");
    }
    struct Row { const char* name; QString path; bool loaded; };
    const Row rows[] = {
        {"an STL file", cube, true},
        {"text named .stl", text, false},
        {"the same file again", cube, true},
    };
    LoadThread* thread = m_view->loadThread();
    ASSERT_NE(thread, nullptr);
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        QSignalSpy done(m_view.get(), &VSLGLView::sig_LoadFileDone);
        const int before = m_view->scene()->instances().size();
        thread->m_strFilePath = r.path;
        thread->start();
        ASSERT_TRUE(done.wait(kHangMs));
        ASSERT_TRUE(thread->wait(kHangMs));
        QCoreApplication::processEvents();
        ASSERT_EQ(done.count(), 1);
        EXPECT_EQ(done.first().at(0).toBool(), r.loaded);
        ASSERT_EQ(m_view->scene()->instances().size(), before + (r.loaded ? 1 : 0));
        if (!r.loaded) {
            EXPECT_FALSE(m_view->scene()->lastLoadError().isEmpty());
            continue;
        }
        VSLModelPainter* p = m_view->scene()->instances().last();
        // Objects of the scene live on the GUI thread, never on the loader.
        EXPECT_EQ(p->thread(), QCoreApplication::instance()->thread());
        EXPECT_EQ(p->m_pModel->thread(), QCoreApplication::instance()->thread());
        EXPECT_EQ(p->m_pModel->m_strFileName, cube);
        EXPECT_NEAR(p->m_maxBound.z() - p->m_minBound.z(), 20, 1e-4);
        ASSERT_TRUE(WaitFor([p] { return p->m_pModel->isReady(); }));
        const QImage f = Frame();
        Save(f, "glview_loadthread");
        const Px top = At(f, Project({p->m_center.x(), p->m_center.y(), 20}));
        EXPECT_FALSE(top.near(kBackground, 10)) << top;
    }
    EXPECT_EQ(m_view->scene()->models().size(), 1);
}
