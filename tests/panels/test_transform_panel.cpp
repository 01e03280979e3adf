#include "VTransformEditWidget.h"

#include <QSignalSpy>
#include <QtTest/QTest>
#include <gtest/gtest.h>

namespace {

using L = QVariantList;

class Transform : public ::testing::Test
{
protected:
    Transform() : sent(&panel, &VTransformEditWidget::signal_SendEditData),
                  scales(&panel, &VTransformEditWidget::signal_SendScaleValue) {}
    QDoubleSpinBox* spin(const char* name) { return panel.findChild<QDoubleSpinBox*>(name); }
    QWidget* group(const char* name) { return panel.findChild<QWidget*>(name); }
    // A selection as the view announces it: [4, id], then [5, ...], and
    // the edit controls shown.
    void select(int id, L values)
    {
        panel.slot_ModelSelected(true);
        panel.slot_ReceiveEditList({4, id});
        panel.slot_ReceiveEditList(L{5} + values);
        sent.clear();
        scales.clear();
    }
    static std::string str(const L& l)
    {
        QStringList s;
        for (const QVariant& v : l)
            s << v.toString();
        return s.join(", ").toStdString();
    }
    std::string last() { return sent.isEmpty() ? "" : str(sent.last().at(0).toList()); }
    std::vector<double> values(const char* prefix)
    {
        std::vector<double> v;
        for (const char* a : {"_X", "_Y", "_Z"})
            v.push_back(spin((std::string(prefix) + a).c_str())->value());
        return v;
    }

    VTransformEditWidget panel;
    QSignalSpy sent, scales;
};

TEST_F(Transform, ASelectionFillsWithoutSending)
{
    EXPECT_FALSE(group("PositionGroup")->isEnabled());
    panel.slot_ReceiveEditList({4, 10});
    EXPECT_EQ(str(scales.at(0).at(0).toList()), "-1, 1, 1, 1"); // first write-back goes under -1
    panel.slot_ModelSelected(true);
    panel.slot_ReceiveEditList({5, 1.5, 2.5, 0, 1, 1, 1, 20, 10, 5});
    EXPECT_TRUE(group("PositionGroup")->isEnabled());
    EXPECT_FALSE(spin("Position_Z")->isEnabled());
    EXPECT_EQ(values("Position"), (std::vector<double>{1.5, 2.5, 0}));
    EXPECT_EQ(values("Size"), (std::vector<double>{20, 10, 5}));
    EXPECT_TRUE(sent.isEmpty());
    panel.slot_ReceiveEditList({4, -1});
    EXPECT_EQ(values("Position"), (std::vector<double>{1.5, 2.5, 0}));
    EXPECT_EQ(scales.size(), 1);
}

TEST_F(Transform, UserEditsBecomeMessages)
{
    select(10, {0, 0, 0, 1, 1, 1, 20, 10, 5});
    struct Row { const char* field; double value; const char* message; std::vector<double> scale, size; };
    const Row rows[] = {
        {"Scale_Y", 2.0, "2, 2, 2, 2", {2, 2, 2}, {40, 20, 10}},
        {"Size_X", 60.0, "2, 1.5, 1.5, 1.5", {3, 3, 3}, {60, 30, 15}},
        {"Size_Z", 7.5, "2, 0.5, 0.5, 0.5", {1.5, 1.5, 1.5}, {30, 15, 7.5}},
    };
    for (const Row& r : rows) {
        spin(r.field)->setValue(r.value);
        EXPECT_EQ(last(), r.message) << r.field;
        EXPECT_EQ(values("Scale"), r.scale) << r.field;
        EXPECT_EQ(values("Size"), r.size) << r.field;
    }

    sent.clear();
    spin("Rotate_X")->stepUp();
    spin("Rotate_X")->stepUp();
    ASSERT_EQ(sent.size(), 2);
    EXPECT_EQ(str(sent[0][0].toList()), "1, 15, 0, 0");
    EXPECT_EQ(last(), "1, 15, 0, 0"); // each step is a relative 15 degrees
    spin("Rotate_Y")->setValue(180);
    sent.clear();
    spin("Rotate_Y")->stepUp(); // stops at 180
    EXPECT_TRUE(sent.isEmpty());

    panel.slot_ModelSelected(true);
    sent.clear();
    spin("Position_X")->selectAll();
    // "-25" passes through "-2": were that applied, it would push away
    // whatever stands there, for good.
    QTest::keyClicks(spin("Position_X"), "-25");
    EXPECT_TRUE(sent.isEmpty());
    QTest::keyClick(spin("Position_X"), Qt::Key_Return);
    ASSERT_EQ(sent.size(), 1);
    EXPECT_EQ(last(), "0, -25, 0, 0");
}

TEST_F(Transform, ZeroOrHugeReferencesSendNothing)
{
    select(10, {0, 0, 0, 1, 1, 1, 20, 0, 5}); // a flat model: size y 0
    spin("Size_Y")->setValue(4);
    EXPECT_TRUE(sent.isEmpty());
    EXPECT_EQ(spin("Size_Y")->value(), 0.1); // shown back at its last value (clamped)

    panel.slot_ReceiveEditList({5, 0, 0, 0, 0, 1, 1, 20, 10, 5}); // a zero scale record
    spin("Scale_X")->setValue(2);
    EXPECT_TRUE(sent.isEmpty());

    panel.slot_ReceiveEditList({5, 0, 0, 0, 1, 1, 1, 1500, 10, 5});
    EXPECT_EQ(spin("Size_X")->value(), 1000.0); // clamped on screen
    spin("Size_X")->setValue(750);
    EXPECT_EQ(last(), "2, 0.5, 0.5, 0.5"); // factor from the received 1500
}

TEST_F(Transform, ButtonsModesAndSelectionChanges)
{
    select(10, {0, 0, 0, 2, 2, 2, 20, 10, 5});
    spin("Rotate_Z")->setValue(30);
    panel.slot_ReceiveEditList({4, 10});
    EXPECT_EQ(str(scales.last().at(0).toList()), "10, 2, 2, 2");
    EXPECT_EQ(spin("Rotate_Z")->value(), 30); // same instance: rotation kept
    panel.slot_ReceiveEditList({4, 20});
    EXPECT_EQ(str(scales.last().at(0).toList()), "10, 2, 2, 2"); // under the old id
    EXPECT_EQ(spin("Rotate_Z")->value(), 0);

    sent.clear();
    panel.findChild<QPushButton*>("ResetButton")->click();
    ASSERT_EQ(sent.size(), 1);
    EXPECT_EQ(last(), "6, 0");
    EXPECT_EQ(values("Scale"), (std::vector<double>{1, 1, 1}));
    panel.findChild<QPushButton*>("MaximizeButton")->click();
    EXPECT_EQ(last(), "6, 1");
    auto* clone = panel.findChild<QPushButton*>("CloneButton");
    QSignalSpy duplicate(&panel, &VTransformEditWidget::signal_duplicateSelectedModel);
    clone->click();
    EXPECT_EQ(duplicate.size(), 1);
    EXPECT_FALSE(clone->isEnabled());
    panel.slot_DuplicateSelectedModelDone();
    EXPECT_TRUE(clone->isEnabled());

    panel.slot_ReceiveEditList({6, 3, 1});
    EXPECT_TRUE(group("RotateGroup")->isEnabled() && !group("PositionGroup")->isEnabled());
    panel.slot_ReceiveEditList({6, 3, 2});
    EXPECT_TRUE(group("ScaleGroup")->isEnabled() && group("SizeGroup")->isEnabled());
    EXPECT_FALSE(group("RotateGroup")->isEnabled());
    panel.slot_ModelSelected(false);
    EXPECT_FALSE(group("ScaleGroup")->isEnabled());
    // With nothing selected Reset would drop every instance's supports and
    // write its 1, 1, 1 into the next selection's scale record.
    for (const char* b : {"ResetButton", "MaximizeButton", "CloneButton"})
        EXPECT_FALSE(panel.findChild<QPushButton*>(b)->isEnabled()) << b;
    spin("Scale_X")->setValue(3);
    sent.clear();
    panel.slot_EmitReset();
    panel.slot_EmitMaxResize();
    panel.findChild<QPushButton*>("CloneButton")->click();
    EXPECT_TRUE(sent.isEmpty());
    EXPECT_EQ(duplicate.size(), 1);
    EXPECT_EQ(spin("Scale_X")->value(), 3);
    panel.slot_ModelSelected(true);
    EXPECT_TRUE(panel.findChild<QPushButton*>("ResetButton")->isEnabled());
    panel.slot_ReceiveEditList({3, 1, 2, 3}); // unknown command
    EXPECT_TRUE(sent.isEmpty());
}

// A drag can scale past what the fields show; the record written back on
// the next selection change must be the instance's, not the fields'.
TEST_F(Transform, TheScaleWrittenBackIsTheOneReceivedNotTheFieldsRoundedOrClamped)
{
    select(10, {0, 0, 0, 0.001, 0.4812, 250, 0.01, 4.812, 2500});
    EXPECT_EQ(values("Scale"), (std::vector<double>{0.01, 0.48, 100}));
    panel.slot_ReceiveEditList({4, 20});
    ASSERT_EQ(scales.size(), 1);
    const QVariantList back = scales.last().at(0).toList();
    EXPECT_EQ(back.at(0).toInt(), 10);
    EXPECT_FLOAT_EQ(back.at(1).toFloat(), 0.001f);
    EXPECT_FLOAT_EQ(back.at(2).toFloat(), 0.4812f);
    EXPECT_FLOAT_EQ(back.at(3).toFloat(), 250.f);
}

TEST_F(Transform, WithoutTheLockOnlyTheEditedAxisScales)
{
    select(10, {0, 0, 0, 1, 1, 1, 20, 10, 5});
    panel.slot_EmitKeepScale(false);
    spin("Scale_Y")->setValue(3);
    EXPECT_EQ(last(), "2, 1, 3, 1");
    EXPECT_EQ(values("Size"), (std::vector<double>{20, 30, 5}));
    spin("Size_X")->setValue(10);
    EXPECT_EQ(last(), "2, 0.5, 1, 1");
    EXPECT_EQ(values("Scale"), (std::vector<double>{0.5, 3, 1}));
}

} // namespace
