#pragma once

#include "FileChooser.h"
#include "VSL3DScene.h"
#include "VSLGLView.h"
#include "VSLModelPainter.h"
#include "VSliceWidgetX.h"
#include "Vexmor.h"
#include "test_meshes.h"

#include <QPushButton>
#include <QQuickItem>
#include <QQuickWidget>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest/QTest>
#include <gtest/gtest.h>

#define WAIT_TRUE(cond, ms) ASSERT_TRUE(QTest::qWaitFor([&] { return bool(cond); }, ms)) << #cond

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
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
        WAIT_TRUE(w.m_pNavBar->status() == QQuickWidget::Ready, 10000);
        QTest::qWait(300);
    }
    // The bar's Load button; the chooser answers with the cube.
    void load(Vexmor& w)
    {
        ASSERT_NO_FATAL_FAILURE(clickQml(w.m_pNavBar, "loadButton"));
        WAIT_TRUE(onlyInstance(w) != nullptr, 10000);
        EXPECT_EQ(opened, 1);
        WAIT_TRUE(w.m_pNavBar->rootObject()->findChild<QQuickItem*>("saveButton") != nullptr, 5000);
        QTest::qWait(400); // the stage row slides in
    }
    // The slice panel's Slice button (the panel shown); the announced count.
    int slice(Vexmor& w)
    {
        QSignalSpy sliced(w.ui.GLWidget, &VSLGLView::sig_SliceSceneDone);
        w.m_pSliceWidget->findChild<QPushButton*>("pushButton")->click();
        [&] { WAIT_TRUE(sliced.count() == 1, 60000); }();
        [&] { WAIT_TRUE(!w.isWorking(), 5000); }();
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
    // Saved for a person to look at; returns how many view pixels differ
    // from the first shot, so a blank or frozen view fails.
    int shot(QWidget& w, const char* name)
    {
        QTest::qWait(100);
        const QImage img = w.grab().toImage();
        img.save(QString("e2e_%1.png").arg(name));
        if (empty.isNull())
            empty = img;
        int changed = 0;
        for (int y = 100; y < img.height() && y < empty.height(); y += 2)
            for (int x = 400; x < img.width() && x < empty.width(); x += 2)
                changed += img.pixel(x, y) != empty.pixel(x, y);
        return changed;
    }
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
