#include "event_wait.h"
#include "VResizeHint.h"
#include "VTitleWidget.h"

#include <QSignalSpy>
#include <QtTest/QTest>
#include <gtest/gtest.h>

TEST(ResizeHint, EdgesCursorsAndProposals)
{
    VResizeHint hint;
    hint.m_rcNormal = QRect(100, 50, 1000, 800); // right 1099, bottom 849
    struct Row { QPoint p; int edges; };
    const Row rows[] = {
        {{1095, 300}, 2}, {{1094, 300}, 0}, {{500, 845}, 8}, {{500, 844}, 0}, {{1099, 849}, 10}, {{100, 50}, 0},
    };
    for (const Row& r : rows)
        EXPECT_EQ(hint.QueryEdgeState(r.p), r.edges) << r.p.x() << "," << r.p.y();
    hint.m_bEnabled = false;
    EXPECT_EQ(hint.QueryEdgeState({1099, 849}), 0);

    const std::pair<int, Qt::CursorShape> cursors[] = {
        {0, Qt::ArrowCursor}, {1, Qt::SizeHorCursor}, {2, Qt::SizeHorCursor}, {4, Qt::SizeVerCursor},
        {8, Qt::SizeVerCursor}, {5, Qt::SizeFDiagCursor}, {10, Qt::SizeFDiagCursor}, {6, Qt::SizeBDiagCursor},
        {9, Qt::SizeBDiagCursor}, {3, Qt::ArrowCursor}, {15, Qt::ArrowCursor}};
    for (auto [edges, shape] : cursors)
        EXPECT_EQ(VResizeHint::QueryCursorShape(edges), shape) << edges;

    hint.m_bEnabled = true;
    QSignalSpy resize(&hint, &VResizeHint::signal_Resize);
    hint.TryResize(2, QPoint(300, 0));
    hint.TryResize(8 + 2, QPoint(1500, 2000));
    ASSERT_EQ(resize.size(), 2);
    EXPECT_EQ(resize[0][0].toRect().right(), 100 + 851);
    EXPECT_EQ(resize[1][0].toRect(), QRect(QPoint(100, 50), QPoint(1501, 2001)));
    EXPECT_EQ(hint.m_rcNormal, QRect(100, 50, 1000, 800));
}

TEST(TitleBar, DragStepsAddUpAndDoubleClickMaximises)
{
    QWidget window;
    window.setGeometry(0, 0, 800, 200);
    VTitleWidget bar(&window);
    bar.setGeometry(0, 0, 800, 64);
    VResizeHint hint;
    hint.m_rcNormal = QRect(0, 0, 800, 200);
    bar.setResizeHint(&hint);
    window.show();
    ASSERT_TRUE(WaitUntilExposed(&window));

    QSignalSpy move(&bar, &VTitleWidget::signal_MoveWindow);
    QSignalSpy maximise(&bar, &VTitleWidget::signal_MaxiumWindow);
    QTest::mousePress(&bar, Qt::LeftButton, {}, QPoint(100, 20));
    for (const QPoint p : {QPoint(110, 25), QPoint(130, 21), QPoint(90, 40)}) {
        QMouseEvent e(QEvent::MouseMove, p, bar.mapToGlobal(p), Qt::NoButton, Qt::LeftButton, {});
        QApplication::sendEvent(&bar, &e);
    }
    QTest::mouseRelease(&bar, Qt::LeftButton, {}, QPoint(90, 40));
    QPoint sum;
    for (const auto& args : move)
        sum += args[0].toPoint();
    EXPECT_EQ(move.size(), 3);
    EXPECT_EQ(sum, QPoint(-10, 20));

    QTest::mouseDClick(&bar, Qt::RightButton, {}, QPoint(50, 20));
    EXPECT_EQ(maximise.size(), 0);
    QTest::mouseDClick(&bar, Qt::LeftButton, {}, QPoint(50, 20));
    EXPECT_EQ(maximise.size(), 1);
}
