#pragma once

#include "FileChooser.h"
#include "event_wait.h"
#include "VFixWidget.h"
#include "VSL3DScene.h"
#include "VSLGLView.h"
#include "VSLModelPainter.h"
#include "VSaveWidgetX.h"
#include "VSliceWidgetX.h"
#include "VSupportWidgetX.h"
#include "VTransformEditWidget.h"
#include "Vexmor.h"
#include "notices.h"
#include "test_meshes.h"

#include <QPushButton>
#include <QQuickItem>
#include <QQuickWidget>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest/QTest>
#include <gtest/gtest.h>

#include <algorithm>

#define WAIT_TRUE(cond, ms) ASSERT_TRUE(WaitUntil([&] { return bool(cond); }, ms)) << #cond

// The real main window as main builds it, in temporary configuration and
// working folders; the file choosers answer with the test's cube and output.
class MainWindowTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(config.isValid());
        ASSERT_TRUE(work.isValid());
        qputenv("VEXMOR_CONFIG_DIR", config.path().toUtf8());
        QStandardPaths::setTestModeEnabled(true);
        stl = work.filePath("cube.stl");
        out = work.filePath("cube.vxs");
        FileChooser::setOpenChooser([this](QWidget*, const QString&, const QString&, const QString&) {
            ++opened;
            return openAnswer.isEmpty() ? stl : openAnswer;
        });
        FileChooser::setSaveChooser([this](QWidget*, const QString&, const QString&, const QString&) { return out; });
    }
    void TearDown() override
    {
        FileChooser::setOpenChooser({});
        FileChooser::setSaveChooser({});
        qunsetenv("VEXMOR_CONFIG_DIR");
    }

    void open(Vexmor& w, float cubeMm)
    {
        ASSERT_TRUE(testmesh::WriteFile(stl, testmesh::BinaryStl(testmesh::Cube(cubeMm))));
        w.setWindowTitle(QStringLiteral("Vexmor3D"));
        w.show();
        ASSERT_TRUE(WaitUntilExposed(&w));
        WAIT_TRUE(w.m_pNavBar->status() == QQuickWidget::Ready, kHangMs);
        QTest::qWait(300);
    }
    // The bar's Load button; the chooser answers with the cube.
    void load(Vexmor& w)
    {
        ASSERT_NO_FATAL_FAILURE(clickQml(w.m_pNavBar, "loadButton"));
        WAIT_TRUE(onlyInstance(w) != nullptr, kHangMs);
        EXPECT_EQ(opened, 1);
        WAIT_TRUE(stageRowInPlace(w), kHangMs);
    }
    // The slice panel's Slice button (the panel shown); the announced count.
    int slice(Vexmor& w)
    {
        QSignalSpy sliced(w.ui.GLWidget, &VSLGLView::sig_SliceSceneDone);
        w.m_pSliceWidget->findChild<QPushButton*>("pushButton")->click();
        [&] { WAIT_TRUE(sliced.count() == 1, kHangMs); }();
        [&] { WAIT_TRUE(!w.isWorking(), kHangMs); }();
        return sliced.isEmpty() ? -1 : sliced.at(0).at(0).toInt();
    }

    // A real mouse click at a QML button's centre on its bar.
    static void clickQml(QQuickWidget* bar, const char* name)
    {
        QQuickItem* item = bar->rootObject()->findChild<QQuickItem*>(name);
        ASSERT_NE(item, nullptr) << name;
        ASSERT_TRUE(item->isVisible()) << name;
        const QPointF c = item->mapToScene(QPointF(item->width() / 2, item->height() / 2));
        QTest::mouseClick(bar, Qt::LeftButton, Qt::NoModifier, c.toPoint());
    }
    // The Support stage through the bar, its Generate button, and the job's end.
    void generateSupports(Vexmor& w)
    {
        ASSERT_NO_FATAL_FAILURE(clickQml(w.m_pNavBar, "supportButton"));
        WAIT_TRUE(w.m_pSupportWidget->isVisible(), kHangMs);
        QSignalSpy supportDone(w.ui.GLWidget, &VSLGLView::sig_GenSupportDone);
        w.m_pSupportWidget->findChild<QPushButton*>("GenSptButton")->click();
        WAIT_TRUE(supportDone.count() == 1, kHangMs);
        WAIT_TRUE(!w.isWorking(), kHangMs);
    }
    // Dark pixels of the Save button's picture in a grab of the window.
    static int darkOnSaveButton(Vexmor& w, const QImage& img)
    {
        QQuickItem* save = navItem(w, "saveButton");
        if (!save)
            return 0;
        const QPoint onSave =
            w.m_pNavBar->mapTo(&w, save->mapToScene(QPointF(save->width() / 2, save->height() / 2)).toPoint());
        int dark = 0;
        for (int dy = -20; dy <= 20; dy += 4)
            for (int dx = -20; dx <= 20; dx += 4)
                dark += qGray(img.pixel(onSave + QPoint(dx, dy))) < 120;
        return dark;
    }
    // Saved for a person to look at; returns how many view pixels differ
    // from the first shot, so a blank or frozen view fails. With a stage
    // panel: that panel alone is shown, inside the window.
    int shot(Vexmor& w, const char* name, QWidget* panel = nullptr)
    {
        // A model still being checked puts its notice over the view: the
        // shots compare the plate once every check has ended.
        EXPECT_TRUE(WaitUntil([&] {
            return w.ui.GLWidget->scene()->ModelsBeingChecked() == 0 &&
                   (w.isWorking() || !w.m_pBusyWidget->isVisible());
        }, kHangMs)) << name << ": the checks ended, but their notice stays up";
        QTest::qWait(100);
        // The bar's pictures load on their own: with a stage panel, the grab
        // is taken once the Save button's picture is drawn (or a hang's
        // ceiling passed, and the check below says so).
        QImage img;
        (void)WaitUntil([&] {
            img = w.grab().toImage();
            return !panel || darkOnSaveButton(w, img) > 40;
        }, kHangMs);
        img.save(QString("e2e_%1.png").arg(name));
        if (empty.isNull())
            empty = img;
        if (panel) {
            EXPECT_EQ(shownPanels(w), QList<QWidget*>{panel}) << name;
            EXPECT_FALSE(panel->isWindow()) << name;
            // The view light at the top, the Save button's dark picture, the
            // translucent panel darker than the view but not black.
            VSLGLView* view = w.ui.GLWidget;
            EXPECT_GT(qGray(img.pixel(view->mapTo(&w, QPoint(view->width() / 2, 5)))), 200) << name;
            EXPECT_GT(darkOnSaveButton(w, img), 40) << name;
            const int inPanel = qGray(img.pixel(panel->mapTo(&w, QPoint(panel->width() - 6, panel->height() - 6))));
            EXPECT_TRUE(inPanel > 40 && inPanel < 190) << name << " " << inPanel;
        }
        int changed = 0;
        for (int y = 100; y < img.height() && y < empty.height(); y += 2)
            for (int x = 400; x < img.width() && x < empty.width(); x += 2)
                changed += img.pixel(x, y) != empty.pixel(x, y);
        return changed;
    }
    // The five stage panels: slice, support, transform, repair, save.
    static QList<QWidget*> panels(Vexmor& w)
    {
        return {w.m_pSliceWidget, w.m_pSupportWidget, w.m_pTransformWidget, w.m_pFixWidget, w.m_pSaveWidget};
    }
    static QList<QWidget*> shownPanels(Vexmor& w)
    {
        QList<QWidget*> shown = panels(w);
        shown.erase(std::remove_if(shown.begin(), shown.end(), [](QWidget* p) { return !p->isVisible(); }),
                    shown.end());
        return shown;
    }
    static QQuickItem* navItem(Vexmor& w, const char* name)
    {
        return w.m_pNavBar->rootObject()->findChild<QQuickItem*>(name);
    }
    // The stage row has slid in (its buttons are where a click at their
    // centre finds them).
    static bool stageRowInPlace(Vexmor& w)
    {
        QQuickItem* row = navItem(w, "stageRow");
        return row && row->x() == 0 && row->opacity() == 1;
    }
    static bool checked(Vexmor& w, const char* name) { return navItem(w, name)->property("checked").toBool(); }
    static VSLModelPainter* onlyInstance(Vexmor& w)
    {
        const auto& inst = w.ui.GLWidget->scene()->instances();
        return inst.size() == 1 ? inst.first() : nullptr;
    }

    QTemporaryDir config, work;
    QString stl, out, openAnswer;
    int opened = 0;
    QImage empty;
};
