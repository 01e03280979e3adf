#include "VEditRecipeWidget.h"
#include "VSaveWidgetX.h"
#include "modal_answer.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest/QTest>
#include <gtest/gtest.h>

namespace {

class SavePanel : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        qputenv("VEXMOR_CONFIG_DIR", dir.path().toUtf8());
        editor.setMachine("Pellar10");
        editor.readIniFileX();
        RecipePara mine = editor.m_listRecipe[0];
        mine.name = "mine";
        mine.editable = true;
        editor.m_listRecipe.append(mine);
        panel = std::make_unique<VSaveWidgetX>(nullptr, &editor, config);
        editor.setPanels(panel.get(), nullptr);
    }
    void TearDown() override
    {
        panel.reset();
        qunsetenv("VEXMOR_CONFIG_DIR");
    }
    template <class T> T* w(const char* name) { return panel->findChild<T*>(name); }
    QString text(const char* name) { return w<QLineEdit>(name)->text(); }

    QTemporaryDir dir;
    VEditRecipeWidget editor;
    DLP::SliceBuildConfig config;
    std::unique_ptr<VSaveWidgetX> panel;
};

TEST_F(SavePanel, ShowsTheFirstPresetsValues)
{
    EXPECT_EQ(w<QComboBox>("comboBox_Recipe")->count(), 11);
    EXPECT_EQ(w<QComboBox>("comboBox_Recipe")->currentText(), "Vexmor3D Standard Rapid for 0.025mm");
    const std::pair<const char*, const char*> fields[] = {
        {"edit_exposure_tm", "6000"}, {"edit_bottom_exposure", "80000"}, {"edit_bottom_layers", "0.3"},
        {"edit_lift_dist", "4"}, {"le_zdist2", "2"}, {"edit_lift_speed", "150"},
        {"lEMaterialsStableTimeLow", "1000"}, {"le_zfirstbottomspeed", "90"}};
    for (auto [name, value] : fields) {
        EXPECT_EQ(text(name), value) << name;
        EXPECT_FALSE(w<QLineEdit>(name)->isEnabled()) << name;
    }
    const QImage shot = panel->grab().toImage();
    shot.save("save_panel.png");
    int distinct = 0;
    for (int x = 0; x < shot.width(); x += 7)
        distinct += shot.pixel(x, 120) != shot.pixel(0, 120);
    EXPECT_GT(distinct, 5); // the recipe rows, not a blank plate
}

TEST_F(SavePanel, DeleteRuleAndConfirmation)
{
    auto* combo = w<QComboBox>("comboBox_Recipe");
    auto* del = w<QPushButton>("DeleteButton");
    combo->setCurrentText("Vexmor3D Standard Rapid for 0.1mm");
    EXPECT_FALSE(del->isEnabled());
    combo->setCurrentText("mine");
    EXPECT_TRUE(del->isEnabled());
    combo->addItem("unknown");
    combo->setCurrentText("unknown");
    EXPECT_TRUE(del->isEnabled());
    combo->removeItem(combo->count() - 1);

    combo->setCurrentText("mine");
    {
        ModalAnswers modal({QMessageBox::No});
        QTest::mouseClick(del, Qt::LeftButton);
        EXPECT_EQ(modal.texts, QStringList{"Delete Recipe mine?"});
        EXPECT_EQ(modal.defaults.value(0), QMessageBox::No);
    }
    EXPECT_EQ(editor.m_listRecipe.size(), 11);
    {
        ModalAnswers modal({QMessageBox::Yes});
        QTest::mouseClick(del, Qt::LeftButton);
    }
    EXPECT_EQ(editor.m_listRecipe.size(), 10);
    EXPECT_EQ(combo->findText("mine"), -1);
}

TEST_F(SavePanel, AnUnknownNameChangesNothingAndLayerCountsKeepTheLastOne)
{
    auto* name = editor.findChild<QLineEdit*>("RecipeNameLE");
    name->setText("typed");
    panel->updateUIX("no such recipe");
    EXPECT_EQ(text("edit_exposure_tm"), "6000");
    EXPECT_EQ(name->text(), "typed");

    panel->slot_ReceiveNLayers(120);
    panel->slot_ReceiveNLayers(0);
    EXPECT_EQ(panel->m_nLayers, 120);
    EXPECT_FALSE(panel->m_bSliceData);
}

} // namespace
