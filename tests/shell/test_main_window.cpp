#include "HelpDialog.h"
#include "VSLGLView.h"
#include "Vexmor.h"

#include "VFixWidget.h"
#include "VSaveWidgetX.h"
#include "VSupportWidgetX.h"

#include <QPainter>
#include <QQuickItem>
#include <QScreen>
#include <QSignalSpy>
#include <QQuickWidget>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest/QTest>
#include <gtest/gtest.h>

namespace {

class MainWindow : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        qputenv("VEXMOR_CONFIG_DIR", dir.path().toUtf8());
        QStandardPaths::setTestModeEnabled(true);
    }
    void TearDown() override { qunsetenv("VEXMOR_CONFIG_DIR"); }
    QTemporaryDir dir;
};

TEST_F(MainWindow, OpensMaximisedWithTitleBarViewAndBars)
{
    Vexmor w;
    w.setWindowTitle("Vexmor3D");
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    const QRect available = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_EQ(w.geometry(), available);
    EXPECT_TRUE(w.ui.MaximizeButton_2->isVisible());
    EXPECT_FALSE(w.ui.MaximizeButton->isVisible());

    // Both bars load (a missing QML module would leave them empty).
    ASSERT_TRUE(QTest::qWaitFor([&] { return (w.m_pNavBar->status()) == (QQuickWidget::Ready); }, 10000));
    ASSERT_TRUE(QTest::qWaitFor([&] { return (w.m_pToolBar->status()) == (QQuickWidget::Ready); }, 10000));
    QTest::qWait(300);

    const QImage shot = w.grab().toImage();
    shot.save("main_window.png");
    EXPECT_EQ(QColor(shot.pixel(w.width() / 2, 30)), QColor(65, 65, 65));  // title bar band
    EXPECT_EQ(QColor(shot.pixel(w.width() / 2, 63)), QColor(65, 65, 65));
    // The view is drawn: its light background, and the dark grid of the plate.
    const QPoint viewOrigin = w.ui.GLWidget->mapTo(&w, QPoint(0, 0));
    EXPECT_GT(qGray(shot.pixel(viewOrigin + QPoint(w.ui.GLWidget->width() / 2, 5))), 200);
    int dark = 0;
    for (int y = 64; y < shot.height(); y += 2)
        for (int x = 0; x < shot.width(); x += 2)
            dark += qGray(shot.pixel(x, y)) < 120;
    EXPECT_GT(dark, 500);
    EXPECT_EQ(w.m_pHelpButton->pos(), QPoint(w.width() - 35 - w.m_pHelpButton->width(), 177));

    // Restore gives the constructor's geometry; a drag then moves the window.
    w.Trigger_Clicked_CancelMaximizeButon();
    EXPECT_EQ(w.geometry(), QRect(50, 50, 1600, 900));
    w.slot_MoveWindow(QPoint(10, 5));
    EXPECT_EQ(w.geometry().topLeft(), QPoint(60, 55));
    w.Trigger_Clicked_MaximizeButton();
    w.slot_MoveWindow(QPoint(10, 5));
    EXPECT_EQ(w.geometry(), available);
}

TEST_F(MainWindow, StagesShowTheirPanelAndRepairMarksOnce)
{
    Vexmor w;
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    QSignalSpy fix(&w, &Vexmor::signal_FixDone);
    w.navbarRepair();
    w.navbarRepair();
    EXPECT_EQ(fix.count(), 1);
    w.setFixShow(true);
    EXPECT_TRUE(w.m_pFixWidget->isVisible());
    w.setSupportShow(true);
    EXPECT_FALSE(w.m_pFixWidget->isVisible());
    EXPECT_TRUE(w.m_pSupportWidget->isVisible());
    w.slot_CtlWidgetDisp(false);
    EXPECT_FALSE(w.m_pSupportWidget->isVisible());
    w.setPrintShow(true);
    w.slot_CtlWidgetDisp(true);
    EXPECT_TRUE(w.m_pSaveWidget->isVisible());
    // Every docked panel sits at the bottom-left corner.
    EXPECT_EQ(w.m_pSaveWidget->geometry().bottomLeft(), QPoint(0, w.height() - 1));

    w.SetGuiBusy("Slice", true);
    EXPECT_TRUE(w.isWorking());
    EXPECT_FALSE(w.m_pSaveWidget->isEnabled());
    EXPECT_TRUE(w.ui.GLWidget->isEnabled());
    w.SetGuiBusy("Slice", false);
    EXPECT_FALSE(w.isWorking());
}

} // namespace
