#include "VToggleControl.h"

#include <QSignalSpy>
#include <QTimer>
#include <QtTest/QTest>
#include <gtest/gtest.h>

namespace {

struct Switch
{
    Switch() { resize(38); }
    void resize(int width)
    {
        const QSize old = toggle.size();
        toggle.resize(width, 22);
        QResizeEvent e(QSize(width, 22), old);
        QApplication::sendEvent(&toggle, &e);
    }
    void tick(int n = 1)
    {
        for (int i = 0; i < n; ++i)
            QMetaObject::invokeMethod(&toggle, "onTimeout", Qt::DirectConnection);
    }
    void click(int x)
    {
        QTest::mousePress(&toggle, Qt::LeftButton, {}, QPoint(x, 11));
        QTest::mouseRelease(&toggle, Qt::LeftButton, {}, QPoint(x, 11));
    }
    int interval() { return toggle.findChild<QTimer*>()->interval(); }
    bool running() { return toggle.findChild<QTimer*>()->isActive(); }
    VToggleControl toggle;
};

TEST(Toggle, ClicksMoveTheKnobTickByTick)
{
    struct Row { int clickX; int emitted; int ticksBefore; int reached; };
    const Row rows[] = {
        {30, 2, 9, 2}, // right half at the left end: right end after the 10th tick
        {5, 1, 5, 1},  // left half at the left end: middle after the 6th tick
    };
    for (const Row& r : rows) {
        Switch s;
        QSignalSpy toggled(&s.toggle, &VToggleControl::toggled);
        s.click(r.clickX);
        ASSERT_EQ(toggled.size(), 1);
        EXPECT_EQ(toggled[0][0].toInt(), r.emitted);
        EXPECT_EQ(s.interval(), 2);
        s.tick(r.ticksBefore);
        EXPECT_EQ(s.toggle.getToggled(), VToggleControl::Toggle_Left);
        s.tick();
        EXPECT_EQ(int(s.toggle.getToggled()), r.reached);
        EXPECT_FALSE(s.running());
    }
}

TEST(Toggle, DisabledSetToggleAndClicksDuringAMove)
{
    Switch s;
    QSignalSpy toggled(&s.toggle, &VToggleControl::toggled);
    s.toggle.setEnabled(false);
    s.click(30);
    EXPECT_TRUE(toggled.isEmpty());
    s.toggle.setEnabled(true);

    s.toggle.setToggle(VToggleControl::Toggle_Right);
    EXPECT_TRUE(toggled.isEmpty());
    EXPECT_EQ(s.interval(), 10);

    s.tick(3); // on its way right, still at the left end
    s.click(5); // left half from the position reached (left): middle
    ASSERT_EQ(toggled.size(), 1);
    EXPECT_EQ(toggled[0][0].toInt(), 1);
    s.tick(10);
    EXPECT_EQ(s.toggle.getToggled(), VToggleControl::Toggle_Middle);
}

TEST(Toggle, AResizePutsTheKnobAtTheCurrentPosition)
{
    VToggleControl fresh;
    EXPECT_EQ(fresh.knobX(), 8); // before any resize: the left end

    struct Row { int clickX; int ticks; double knobAt80; };
    const Row rows[] = {
        {-1, 0, 8},   // left end
        {5, 6, 40},   // middle: W/2
        {30, 10, 69}, // right end: W - 8 - 3
    };
    for (const Row& r : rows) {
        Switch s;
        if (r.clickX >= 0)
            s.click(r.clickX);
        s.tick(r.ticks);
        s.resize(80);
        EXPECT_EQ(s.toggle.knobX(), r.knobAt80) << r.clickX;
        if (r.clickX != 30)
            continue;
        const QImage shot = s.toggle.grab().toImage();
        shot.save("toggle_right.png");
        EXPECT_GT(qGray(shot.pixel(70, 11)), qGray(shot.pixel(12, 11))); // the light knob, right
    }

    // A move running at the resize goes on from there: middle to right end.
    Switch s;
    s.click(5);
    s.tick(6);
    s.toggle.setToggle(VToggleControl::Toggle_Right);
    s.resize(80);
    s.tick(14);
    EXPECT_EQ(s.toggle.getToggled(), VToggleControl::Toggle_Middle);
    s.tick();
    EXPECT_EQ(s.toggle.getToggled(), VToggleControl::Toggle_Right);
}

} // namespace
