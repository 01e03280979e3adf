#include "VFixWidget.h"

#include <QLabel>
#include <QPushButton>
#include <QtTest/QTest>
#include <gtest/gtest.h>

#include <optional>
#include <tuple>

namespace {

struct Report { int result, holes, manifold, normal; };
struct Row {
    std::optional<Report> report;
    const char* holes;
    const char* manifold;
    const char* normal;
    const char* afterFix;
};

} // namespace

TEST(FixWidget, ReportsAndTheFixButton)
{
    const Row rows[] = {
        {std::nullopt, "0", "0", "0", ""},
        {Report{0, 0, 0, 0}, "0", "0", "0", "Fix completed"},
        {Report{0, 5, 0, 0}, "5", "0", "0", "Fix completed"},
        {Report{0, 0, -3, 0}, "0", "Serious Manifold error", "0", ""},
        {Report{0, 0, -4, -4}, "0", "Serious Manifold error", "Serious Normal error", ""},
        {Report{0, 0, 7, -3}, "0", "0", "0", ""},
    };
    for (const Row& r : rows) {
        VFixWidget panel;
        auto label = [&](const char* name) { return panel.findChild<QLabel*>(name)->text(); };
        if (r.report)
            panel.slot_FixDone(r.report->result, r.report->holes, r.report->manifold, r.report->normal);
        EXPECT_EQ(label("label_info"), r.holes);
        EXPECT_EQ(label("label_info2"), r.manifold);
        EXPECT_EQ(label("label_info3"), r.normal);
        QTest::mouseClick(panel.findChild<QPushButton*>("btn_AutoFix"), Qt::LeftButton);
        EXPECT_EQ(label("label_result"), r.afterFix);
    }
}

TEST(FixWidget, EveryReportClearsTheCompletedNote)
{
    VFixWidget panel;
    panel.slot_FixDone(0, 0, 0, 0);
    QTest::mouseClick(panel.findChild<QPushButton*>("btn_AutoFix"), Qt::LeftButton);
    ASSERT_EQ(panel.findChild<QLabel*>("label_result")->text(), "Fix completed");
    panel.slot_FixDone(0, 0, 0, 0);
    EXPECT_EQ(panel.findChild<QLabel*>("label_result")->text(), "");
}
