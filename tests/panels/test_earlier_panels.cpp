#include "event_wait.h"
#include "VSupportWidget.h"
#include "VToggleControl.h"
#include "frmSliceOptions.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolBox>
#include <QToolButton>
#include <QtTest/QTest>
#include <gtest/gtest.h>

namespace {

// Ticks the switch's move to its end, without the event loop.
void settle(VToggleControl* toggle)
{
    auto* timer = toggle->findChild<QTimer*>();
    for (int t = 0; t < 500 && timer->isActive(); ++t)
        QMetaObject::invokeMethod(toggle, "onTimeout", Qt::DirectConnection);
}

} // namespace

TEST(EarlierSupportPanel, PagesButtonsAndSwitches)
{
    VSupportWidget panel;
    auto* tools = panel.findChild<QToolBox*>("supportTools");
    QSignalSpy autoMode(&panel, &VSupportWidget::signal_SendAutoSupportMode);
    QSignalSpy manual(&panel, &VSupportWidget::signal_SendManualSupportMode);
    QSignalSpy del(&panel, &VSupportWidget::signal_SendDeleteSupportMode);
    QSignalSpy density(&panel, &VSupportWidget::signal_SendChangeSupDensity);
    QSignalSpy size(&panel, &VSupportWidget::signal_SendChangeSupAttachSize);

    for (int page : {0, 1, 2, 0}) // the first is the current page: nothing
        tools->setCurrentIndex(page);
    EXPECT_EQ(std::tuple(autoMode.size(), manual.size(), del.size()), std::tuple(1, 1, 1));

    QSignalSpy selected(&panel, &VSupportWidget::signal_SendAutoSupportSelected);
    QSignalSpy all(&panel, &VSupportWidget::signal_SendAutoSupportScene);
    QSignalSpy delSel(&panel, &VSupportWidget::signal_SendDelSelModelSupports);
    QSignalSpy delAll(&panel, &VSupportWidget::signal_SendDelAllSupports);
    for (const char* b : {"select_SupportBtn", "all_SupportBtn", "del_SelModelSupportBtn", "del_AllSupportBtn"})
        panel.findChild<QToolButton*>(b)->click();
    EXPECT_EQ(selected.size() + all.size() + delSel.size() + delAll.size(), 4);
    EXPECT_EQ(selected.size() * all.size() * delSel.size() * delAll.size(), 1);

    EXPECT_TRUE(density.isEmpty()); // the constructor's Middle sends nothing
    auto* densitySwitch = panel.findChild<VToggleControl*>("supportDensity");
    auto* sizeSwitch = panel.findChild<VToggleControl*>("supportAttachSize");
    settle(densitySwitch);
    EXPECT_EQ(densitySwitch->getToggled(), VToggleControl::Toggle_Middle);
    const int w = densitySwitch->width();
    QTest::mouseRelease(densitySwitch, Qt::LeftButton, {}, QPoint(w - 3, 5));  // right
    QTest::mouseRelease(sizeSwitch, Qt::LeftButton, {}, QPoint(3, 5));         // left at left: middle
    ASSERT_EQ(size.size(), 1);
    EXPECT_EQ(size[0][0].toInt(), 1);
    settle(densitySwitch);
    QTest::mouseRelease(densitySwitch, Qt::LeftButton, {}, QPoint(3, 5)); // right end, left half: left end
    ASSERT_EQ(density.size(), 2);
    EXPECT_EQ(std::pair(density[0][0].toInt(), density[1][0].toInt()), std::pair(2, 0));

    panel.resize(370, 260);
    const QImage shot = panel.grab().toImage();
    shot.save("earlier_support_panel.png");
    // The translucent dark backdrop over the window's light grey.
    const int backdrop = qGray(shot.pixel(2, 2));
    EXPECT_GT(backdrop, 60);
    EXPECT_LT(backdrop, 180);
}

TEST(SliceOptions, OkWritesTheDefaultConfigurationWhateverTheFields)
{
    QTemporaryDir dir;
    const QString before = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(dir.path()));
    ASSERT_TRUE(DLP::SliceBuildConfig().Save("expected.txt"));
    QFile expected("expected.txt");
    ASSERT_TRUE(expected.open(QIODevice::ReadOnly));
    const QByteArray want = expected.readAll();

    for (bool filled : {false, true}) {
        frmSliceOptions form;
        form.show();
        if (filled)
            for (QLineEdit* e : form.findChildren<QLineEdit*>())
                e->setText("7");
        form.findChild<QPushButton*>("okBtn")->click();
        EXPECT_FALSE(form.isVisible());
        QFile written(frmSliceOptions::kConfigFile);
        ASSERT_TRUE(written.open(QIODevice::ReadOnly));
        EXPECT_EQ(written.readAll(), want);
        written.remove();
    }

    QDir().mkdir(frmSliceOptions::kConfigFile); // cannot be written: still closes
    frmSliceOptions form;
    form.show();
    ASSERT_TRUE(WaitUntilExposed(&form));
    form.grab().save(QDir(before).filePath("slice_options.png"));
    form.findChild<QPushButton*>("okBtn")->click();
    EXPECT_FALSE(form.isVisible());
    EXPECT_TRUE(QFileInfo(frmSliceOptions::kConfigFile).isDir());
    QDir::setCurrent(before);
}
