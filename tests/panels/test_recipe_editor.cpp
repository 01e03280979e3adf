#include "VEditRecipeWidget.h"
#include "modal_answer.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QtTest/QTest>
#include <gtest/gtest.h>

namespace {

struct FakePanel : RecipePanel
{
    QComboBox box;
    QStringList shown;
    int showCount = 0;
    QComboBox* recipeComboBox() override { return &box; }
    void updateUIX(const QString& name) override { shown << name; }
    void showPanel() override { ++showCount; }
};

class Editor : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        qputenv("VEXMOR_CONFIG_DIR", dir.path().toUtf8());
        editor.setMachine("Pellar10");
        editor.readIniFileX();
        for (FakePanel* p : {&save, &import})
            for (const RecipePara& r : editor.m_listRecipe)
                p->box.addItem(r.name);
        editor.setPanels(&save, &import);
    }
    void TearDown() override { qunsetenv("VEXMOR_CONFIG_DIR"); }
    template <class T> T* field(const char* name) { return editor.findChild<T*>(name); }
    void save_(std::deque<QMessageBox::StandardButton> answers, QStringList* texts = nullptr)
    {
        ModalAnswers modal(std::move(answers));
        QTest::mouseClick(field<QPushButton>("SaveButton"), Qt::LeftButton);
        if (texts)
            *texts = modal.texts;
    }
    int fileRecipes()
    {
        RecipeStore s;
        s.setMachine("Pellar10");
        s.readIniFileX();
        return s.m_listRecipe.size() - 10;
    }
    QTemporaryDir dir;
    VEditRecipeWidget editor;
    FakePanel save, import;
};

TEST_F(Editor, APresetIsOfferedAsANewRecipeAndSavedAsOne)
{
    RecipePara preset = editor.m_listRecipe[1];
    preset.lift_dist1 = 4.7f;
    editor.SetUI_Para(preset);
    EXPECT_EQ(field<QLineEdit>("RecipeNameLE")->text(), "New Recipe");
    EXPECT_EQ(field<QSpinBox>("CuringSB")->value(), 8000);
    EXPECT_EQ(field<QSpinBox>("LiftDist1SB")->value(), 4);
    field<QSpinBox>("StableTimeSB")->setValue(2500);
    editor.show();

    QStringList texts;
    save_({}, &texts);
    EXPECT_TRUE(texts.isEmpty());
    ASSERT_EQ(editor.m_listRecipe.size(), 11);
    const RecipePara& added = editor.m_listRecipe.last();
    EXPECT_TRUE(added.editable);
    EXPECT_EQ(added.name, "New Recipe");
    EXPECT_EQ(added.MaterialStable, 2500);
    EXPECT_EQ(added.bottomMaterialStable, 2500);
    EXPECT_EQ(save.box.currentText(), "New Recipe");
    EXPECT_EQ(import.box.currentText(), "New Recipe");
    EXPECT_FALSE(editor.isVisible());
    EXPECT_EQ(import.showCount, 1);
    EXPECT_EQ(fileRecipes(), 1);
}

TEST_F(Editor, OverwriteAsksWithNoPreselected)
{
    save_({});
    field<QSpinBox>("CuringSB")->setValue(1234);
    QStringList texts;
    save_({QMessageBox::No}, &texts);
    ASSERT_EQ(texts, QStringList{"Overwrite Recipe New Recipe?"});
    EXPECT_NE(editor.m_listRecipe.last().exposure_tm, 1234);

    save_({QMessageBox::Yes});
    EXPECT_EQ(editor.m_listRecipe.last().exposure_tm, 1234);
    EXPECT_EQ(save.shown.last(), "New Recipe");
    EXPECT_EQ(import.shown.last(), "New Recipe");
    EXPECT_EQ(editor.m_listRecipe.size(), 11);
}

TEST_F(Editor, RefusesPresetNamesInvalidNamesAndReportsAnUnwritableFile)
{
    struct Row { QString name; QString message; int listSize; };
    const Row rows[] = {
        {"Vexmor3D Standard Rapid for 0.05mm",
         "Recipe Vexmor3D Standard Rapid for 0.05mm can not be modified, please rename it!", 10},
        {"", "Invalid recipe name", 10},
        {"  ", "Invalid recipe name", 10},
        {"a/b", "Invalid recipe name", 10},
        {"a\\b", "Invalid recipe name", 10},
        {"vexmor3d standard rapid for 0.05mm", "", 11},
    };
    for (const Row& r : rows) {
        field<QLineEdit>("RecipeNameLE")->setText(r.name);
        QStringList texts;
        save_({}, &texts);
        EXPECT_EQ(texts.value(0), r.message) << r.name.toStdString();
        EXPECT_EQ(editor.m_listRecipe.size(), r.listSize) << r.name.toStdString();
    }

    QFile::remove(dir.filePath("Pellar10Recipe.ini"));
    QDir(dir.path()).mkpath("Pellar10Recipe.ini"); // the file is now a folder
    field<QLineEdit>("RecipeNameLE")->setText("another");
    QStringList texts;
    save_({}, &texts);
    ASSERT_EQ(texts.size(), 1);
    EXPECT_TRUE(texts[0].startsWith("The recipe file could not be written"));
    EXPECT_EQ(editor.m_listRecipe.size(), 12);
}

TEST_F(Editor, AModelWithoutRecipesStartsANewOneFromTheDefaults)
{
    editor.setMachine("Pellar300");
    editor.readIniFileX();
    field<QLineEdit>("RecipeNameLE")->setText("first");
    save_({});
    ASSERT_EQ(editor.m_listRecipe.size(), 1);
    EXPECT_EQ(editor.m_listRecipe[0].lift_bottom_layer, 10);
    EXPECT_FLOAT_EQ(editor.m_listRecipe[0].middle_layers, 0.6f);
}

} // namespace
