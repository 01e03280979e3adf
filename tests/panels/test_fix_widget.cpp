#include "VFixWidget.h"

#include <QLabel>
#include <QPushButton>
#include <QtTest/QTest>
#include <gtest/gtest.h>

TEST(FixWidget, ReportsAndTheFixButton)
{
    // holes, manifold, normal < -9: no report yet.
    const struct { int holes, manifold, normal; const char* shown[3]; const char* afterFix; } rows[] = {
        {-10, 0, 0, {"0", "0", "0"}, ""},
        {0, 0, 0, {"0", "0", "0"}, "Fix completed"},
        {5, 0, 0, {"5", "0", "0"}, "Fix completed"},
        {0, -3, 0, {"0", "Serious Manifold error", "0"}, ""},
        {0, -4, -4, {"0", "Serious Manifold error", "Serious Normal error"}, ""},
        // A count shows as it is and keeps Fix from confirming.
        {0, 7, -3, {"0", "7", "0"}, ""},
        {0, 0, 2, {"0", "0", "2"}, ""},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.holes * 100 + r.manifold * 10 + r.normal);
        VFixWidget panel;
        auto label = [&](const char* name) { return panel.findChild<QLabel*>(name)->text(); };
        if (r.holes > -10)
            panel.slot_FixDone(0, r.holes, r.manifold, r.normal);
        EXPECT_EQ((QStringList{label("label_info"), label("label_info2"), label("label_info3")}),
                  (QStringList{r.shown[0], r.shown[1], r.shown[2]}));
        QTest::mouseClick(panel.findChild<QPushButton*>("btn_AutoFix"), Qt::LeftButton);
        EXPECT_EQ(label("label_result"), r.afterFix);
        // Every later report clears the note.
        panel.slot_FixDone(0, 0, 0, 0);
        EXPECT_EQ(label("label_result"), "");
    }
}

// While a model is still being checked the panel shows no count, says why,
// and Fix confirms nothing; the next report shows the counts.
TEST(FixWidget, StillCheckingShowsNoCount)
{
    VFixWidget panel;
    auto label = [&](const char* name) { return panel.findChild<QLabel*>(name)->text(); };
    const QString ellipsis = QStringLiteral("\u2026");
    const QString checking = "Checking the model: its defects are shown here as soon as the check ends.";
    panel.slot_FixDone(VFixWidget::kStillChecking, 0, 0, 0);
    EXPECT_EQ((QStringList{label("label_info"), label("label_info2"), label("label_info3")}),
              (QStringList{ellipsis, ellipsis, ellipsis}));
    EXPECT_EQ(label("label_result"), checking);
    QTest::mouseClick(panel.findChild<QPushButton*>("btn_AutoFix"), Qt::LeftButton);
    EXPECT_EQ(label("label_result"), checking);
    panel.slot_FixDone(1, 3, 0, 0);
    EXPECT_EQ((QStringList{label("label_info"), label("label_info2"), label("label_info3")}),
              (QStringList{"3", "0", "0"}));
    EXPECT_EQ(label("label_result"), "");
}
