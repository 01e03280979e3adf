#include "notices.h"

#include <QLabel>
#include <QMovie>
#include <QToolButton>
#include <QtTest/QTest>
#include <gtest/gtest.h>

TEST(Notices, SlicingNoticeShowsExactlyOneTextAndItsButtonCloses)
{
    vexmorInitResources();
    VSlicingMsgBox box;
    box.show();
    auto* slicing = box.findChild<QLabel*>("label");
    auto* noData = box.findChild<QLabel*>("label_2");
    ASSERT_TRUE(slicing && noData);
    box.ntfMsgShow(1);
    EXPECT_TRUE(slicing->isVisible());
    EXPECT_FALSE(noData->isVisible());
    box.ntfMsgShow(0);
    EXPECT_FALSE(slicing->isVisible());
    EXPECT_TRUE(noData->isVisible());

    QTest::mouseClick(box.findChild<QToolButton*>("toolButton"), Qt::LeftButton);
    EXPECT_FALSE(box.isVisible());
    box.ntfMsgShow(1);
    EXPECT_FALSE(box.isVisible());
}

TEST(Notices, BusyOverlayAnimatesTheBuiltInPicture)
{
    vexmorInitResources();
    BusyWidget busy;
    busy.setText("Slicing the scene");
    auto* movie = busy.findChild<QLabel*>("label_Movie")->movie();
    ASSERT_NE(movie, nullptr);
    EXPECT_TRUE(movie->isValid());
    EXPECT_GT(movie->frameCount(), 1);
    EXPECT_EQ(busy.findChild<QLabel*>("label_Info")->text(), "Slicing the scene");
    busy.setText(QString());
    EXPECT_EQ(movie->state(), QMovie::Running);
    // A text wider than the overlay widens it: none of it is cut.
    auto* info = busy.findChild<QLabel*>("label_Info");
    const QString longText = "Generating supports for every instance on the plate";
    busy.setText(longText);
    EXPECT_GE(info->width(), info->fontMetrics().horizontalAdvance(longText));
    EXPECT_EQ(busy.width(), info->width());
    const QRect anim = busy.findChild<QLabel*>("label_Movie")->geometry();
    EXPECT_LE(std::abs(anim.center().x() - busy.width() / 2), 1);
}
