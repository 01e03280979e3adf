#pragma once

// The main window under Xvfb with its own config and log folders, and the
// helpers the workflow tests share.

#include "FileChooser.h"
#include "VSL3DScene.h"
#include "VSLGLView.h"
#include "VSLModel3D.h"
#include "VSLModelPainter.h"
#include "Vexmor.h"
#include "test_meshes.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QQuickItem>
#include <QQuickWidget>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest/QTest>
#include <gtest/gtest.h>

#include <functional>
#include <memory>

class ShellFixture : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        qputenv("VEXMOR_CONFIG_DIR", m_dir.filePath("config").toUtf8());
        qputenv("VEXMOR_LOG_DIR", m_dir.filePath("log").toUtf8());
        QStandardPaths::setTestModeEnabled(true);
        m_w = std::make_unique<Vexmor>();
        m_w->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(m_w.get()));
        ASSERT_TRUE(WaitFor([this] { return m_w->m_pNavBar->status() == QQuickWidget::Ready; }));
    }
    void TearDown() override
    {
        m_w.reset();
        FileChooser::setOpenChooser({});
        FileChooser::setSaveChooser({});
        qunsetenv("VEXMOR_CONFIG_DIR");
        qunsetenv("VEXMOR_LOG_DIR");
    }

    static bool WaitFor(const std::function<bool()>& done, int timeoutMs = 20000)
    {
        QElapsedTimer t;
        t.start();
        while (!done()) {
            if (t.elapsed() > timeoutMs)
                return false;
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
            QTest::qWait(5);
        }
        return true;
    }

    VSLGLView* view() const { return m_w->ui.GLWidget; }

    // Opens a 10 mm cube through the Load path (file chooser answered) and
    // waits until the scene has checked it.
    void LoadCube(const QString& name = "cube.stl")
    {
        const QString path = m_dir.filePath(name);
        ASSERT_TRUE(testmesh::WriteFile(path, testmesh::BinaryStl(testmesh::Cube(10.f, {0, 0, 0}))));
        FileChooser::setOpenChooser([path](QWidget*, const QString&, const QString&, const QString&) { return path; });
        m_w->navbarOpenFile();
        ASSERT_TRUE(WaitFor([this] {
            const auto& models = view()->scene()->models();
            if (models.isEmpty())
                return false;
            for (VSLModel3D* m : models)
                if (!m->isReady())
                    return false;
            return true;
        }));
    }

    // The five stage panels, in the order slice, support, transform, repair, save.
    QList<QWidget*> Panels() const
    {
        return {(QWidget*)m_w->m_pSliceWidget, (QWidget*)m_w->m_pSupportWidget, (QWidget*)m_w->m_pTransformWidget,
                (QWidget*)m_w->m_pFixWidget, (QWidget*)m_w->m_pSaveWidget};
    }
    QList<QWidget*> VisiblePanels() const
    {
        QList<QWidget*> shown;
        for (QWidget* p : Panels())
            if (p->isVisible())
                shown << p;
        return shown;
    }

    QQuickItem* NavItem(const char* name) const
    {
        QQuickItem* root = m_w->m_pNavBar->rootObject();
        return root ? root->findChild<QQuickItem*>(QString::fromLatin1(name)) : nullptr;
    }
    // Clicks a navigation button where the user would.
    bool ClickNav(const char* name)
    {
        QQuickItem* item = NavItem(name);
        if (!item)
            return false;
        const QPoint at = item->mapToScene(QPointF(item->width() / 2, item->height() / 2)).toPoint();
        QTest::mouseClick(m_w->m_pNavBar, Qt::LeftButton, Qt::NoModifier, at);
        QTest::qWait(20);
        return true;
    }

    QTemporaryDir m_dir;
    std::unique_ptr<Vexmor> m_w;
};
