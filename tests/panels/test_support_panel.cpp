#include "VSupportWidgetX.h"
#include "dlp/valueranges.h"

#include <QDoubleSpinBox>
#include <QGroupBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QSlider>
#include <gtest/gtest.h>

namespace {

class Support : public ::testing::Test
{
protected:
    QSlider* slider(const char* n) { return panel.findChild<QSlider*>(n); }
    QDoubleSpinBox* spin(const char* n) { return panel.findChild<QDoubleSpinBox*>(n); }
    std::vector<double> shown()
    {
        return {spin("doubleSpinBox")->value(), spin("doubleSpinBox_2")->value(), spin("doubleSpinBox_3")->value(),
                spin("doubleSpinBoxZlift")->value()};
    }
    VSupportWidgetX panel;
};

TEST_F(Support, ShaftNeverBelowTheAttachingPoint)
{
    slider("horizontalSlider_2")->setValue(150);
    EXPECT_EQ(slider("horizontalSlider_3")->value(), 150);
    EXPECT_DOUBLE_EQ(spin("doubleSpinBox_3")->value(), 1.5);
    slider("horizontalSlider_2")->setValue(60);
    EXPECT_DOUBLE_EQ(spin("doubleSpinBox_3")->value(), 1.5); // stays

    spin("doubleSpinBox_3")->setValue(0.4);
    EXPECT_DOUBLE_EQ(spin("doubleSpinBox_2")->value(), 0.4);
    EXPECT_EQ(slider("horizontalSlider_2")->value(), 40);

    spin("doubleSpinBox")->setValue(1.15);
    EXPECT_EQ(slider("horizontalSlider")->value(), 115);
}

TEST_F(Support, ButtonsSendTheFourValues)
{
    QSignalSpy gen(&panel, &VSupportWidgetX::sig_GenSupport);
    QSignalSpy edit(&panel, &VSupportWidgetX::sig_EditSupport);
    QSignalSpy remove(&panel, &VSupportWidgetX::sig_RemoveSupport);
    slider("horizontalSlider")->setValue(70);
    spin("doubleSpinBoxZlift")->setValue(5.5);
    panel.findChild<QPushButton*>("DefaultButton")->click();
    EXPECT_EQ(shown(), (std::vector<double>{1.0, 0.6, 1.1, 3.0}));
    EXPECT_TRUE(gen.isEmpty() && edit.isEmpty());

    panel.findChild<QPushButton*>("GenSptButton")->click();
    ASSERT_EQ(gen.size(), 1);
    EXPECT_EQ(gen[0][0].value<QVector<double>>(), (QVector<double>{1.0, 0.6, 1.1, 3.0}));
    panel.findChild<QPushButton*>("EditSptButton")->click();
    ASSERT_EQ(edit.size(), 1);
    EXPECT_TRUE(edit[0][0].toBool() && !edit[0][1].toBool());
    EXPECT_EQ(edit[0][2].value<QVector<double>>().size(), 4);
    panel.findChild<QPushButton*>("RmvSptButton")->click();
    EXPECT_EQ(remove.size(), 1);

    panel.slot_ModelSelected(true); // hidden, still follows the selection
    EXPECT_EQ(panel.findChild<QGroupBox*>("groupBox")->title(), "Model Selected");
    panel.slot_ModelSelected(false);
    EXPECT_EQ(panel.findChild<QGroupBox*>("groupBox")->title(), "All Models");
}

// The tools take the four values within the ranges the panel offers: one
// table serves both, and the panel's fields keep to it.
TEST_F(Support, FieldsOfferTheSharedRanges)
{
    const std::pair<const char*, DLP::ValueRange> fields[] = {
        {"doubleSpinBox", DLP::Ranges::supportDensity},
        {"doubleSpinBox_2", DLP::Ranges::supportTipMm},
        {"doubleSpinBox_3", DLP::Ranges::supportShaftMm},
        {"doubleSpinBoxZlift", DLP::Ranges::supportLiftMm},
    };
    for (const auto& [name, range] : fields) {
        EXPECT_DOUBLE_EQ(spin(name)->minimum(), range.min) << name;
        EXPECT_DOUBLE_EQ(spin(name)->maximum(), range.max) << name;
    }
    spin("doubleSpinBox")->setValue(20);
    spin("doubleSpinBox_2")->setValue(0.01);
    EXPECT_EQ(shown()[0], DLP::Ranges::supportDensity.max);
    EXPECT_EQ(shown()[1], DLP::Ranges::supportTipMm.min);
}

TEST(SupportEditBar, SaveAndCancel)
{
    VSupportWidgetEditX bar;
    QSignalSpy edit(&bar, &VSupportWidgetEditX::sig_EditSupport);
    bar.findChild<QPushButton*>("SaveButton")->click();
    bar.findChild<QPushButton*>("CancelButton")->click();
    ASSERT_EQ(edit.size(), 2);
    for (int i : {0, 1}) {
        EXPECT_EQ(edit[i][1].toBool(), i == 0);
        EXPECT_FALSE(edit[i][0].toBool());
        EXPECT_TRUE(edit[i][2].value<QVector<double>>().isEmpty());
    }
}

} // namespace
