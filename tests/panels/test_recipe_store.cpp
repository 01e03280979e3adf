#include "RecipeStore.h"

#include <QComboBox>
#include <QFile>
#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

class RecipeFiles : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        qputenv("VEXMOR_CONFIG_DIR", dir.path().toUtf8());
    }
    void TearDown() override { qunsetenv("VEXMOR_CONFIG_DIR"); }
    QStringList names(const RecipeStore& s) const
    {
        QStringList out;
        for (const RecipePara& r : s.m_listRecipe)
            out << r.name;
        return out;
    }
    void writeRaw(const QString& machine, const QByteArray& text)
    {
        QFile f(RecipeStore::recipeFilePath(machine));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(text);
    }
    static RecipePara user(const QString& name)
    {
        RecipePara r;
        RecipeStore::setDefaultParaX(r, 100);
        r.editable = true;
        r.name = name;
        return r;
    }
    QTemporaryDir dir;
};

TEST_F(RecipeFiles, PresetsPerModel)
{
    struct Row { const char* model; int count; const char* first; int exposure0; int bottom0; };
    const Row rows[] = {
        {"Pellar30", 10, "Vexmor3D Standard Rapid for 0.025mm", 6000, 80000},
        {"Pellar4Kmono", 3, "Vexmor3D Resin 50um", 2000, 20000},
        {"Pellar4kmono", 0, "", 0, 0},
        {"Pellar300", 0, "", 0, 0},
    };
    for (const Row& r : rows) {
        RecipeStore s;
        s.setMachine(r.model);
        s.readIniFileX();
        ASSERT_EQ(s.m_listRecipe.size(), r.count) << r.model;
        if (!r.count)
            continue;
        EXPECT_EQ(s.m_listRecipe[0].name, r.first);
        EXPECT_EQ(s.m_listRecipe[0].exposure_tm, r.exposure0);
        EXPECT_EQ(s.m_listRecipe[0].bottom_exposure, r.bottom0);
        for (const RecipePara& p : s.m_listRecipe)
            EXPECT_FALSE(p.editable);
    }
}

TEST_F(RecipeFiles, UserRecipesRoundTripAfterThePresets)
{
    RecipeStore s;
    s.setMachine("Pellar10");
    s.readIniFileX();
    for (const char* n : {"b", "Z", "a"})
        s.m_listRecipe.append(user(n));
    RecipePara& r = s.m_listRecipe.last();
    r.bottomMaterialStable = 1500;
    r.lift_dist1 = 5;
    r.lift_dist2 = 3;
    ASSERT_TRUE(s.writeIniFileX());

    RecipeStore fresh;
    fresh.setMachine("Pellar10");
    fresh.readIniFileX();
    const QStringList expectedUsers{"Z", "a", "b"};
    EXPECT_EQ(names(fresh).mid(10), expectedUsers);
    const RecipePara& a = fresh.m_listRecipe[11];
    EXPECT_TRUE(a.editable);
    EXPECT_EQ(a.bottomMaterialStable, 1500);
    EXPECT_EQ(a.lift_dist1, 5.0f);
    EXPECT_EQ(a.lift_dist2, 3.0f);
    EXPECT_EQ(a.MaterialStable, 1000);

    QFile f(RecipeStore::recipeFilePath("Pellar10"));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray text = f.readAll();
    EXPECT_TRUE(text.contains("BurninRange=@Variant(")) << text.constData();
    EXPECT_FALSE(text.contains("Standard Rapid")); // presets never reach the file

    // Another model and back: the same list again.
    fresh.setMachine("Pellar4Kmono");
    fresh.readIniFileX();
    EXPECT_EQ(fresh.m_listRecipe.size(), 3);
    fresh.setMachine("Pellar10");
    fresh.readIniFileX();
    EXPECT_EQ(names(fresh), names(s).mid(0, 10) + expectedUsers);
}

TEST_F(RecipeFiles, HandEditedValuesAreBoundedAndConverted)
{
    writeRaw("Pellar10", "[Recipe]\n"
                         "r\\CuringTime=1e20\n"
                         "r\\BurninTime=abc\n"
                         "r\\StableTime=1500.9\n"
                         "r\\LiftDist1=@Variant(\\0\\0\\0\\x87@&ff)\n" // float 2.6
                         "r\\LiftDist2=nan\n"
                         "s\\StableTime=1e20\n"
                         "s\\CuringTime=99999999999\n"
                         "s\\BurninRange=nan\n");
    RecipeStore s;
    s.setMachine("Pellar10");
    s.readIniFileX();
    ASSERT_EQ(s.m_listRecipe.size(), 12);
    const RecipePara& r = s.m_listRecipe[10];
    EXPECT_EQ(r.exposure_tm, 0);
    EXPECT_EQ(r.bottom_exposure, 0);
    EXPECT_EQ(r.bottomMaterialStable, 1500);
    EXPECT_EQ(r.lift_dist1, 3.0f);
    EXPECT_EQ(r.lift_dist2, 0.0f);
    EXPECT_EQ(r.bottom_layers, 0.0f); // missing
    const RecipePara& t = s.m_listRecipe[11];
    EXPECT_EQ(t.bottomMaterialStable, INT_MAX);
    EXPECT_EQ(t.exposure_tm, INT_MAX);
    EXPECT_EQ(t.bottom_layers, 0.0f);
}

TEST_F(RecipeFiles, OddNamesReadBack)
{
    const QStringList good = {"a=b", "[x]", "50%", "two words", QString::fromUtf8("树脂 A"), "General", "a;b", " lead", "trail "};
    RecipeStore s;
    s.setMachine("Pellar300");
    for (const QString& n : good) {
        ASSERT_TRUE(RecipeStore::isValidRecipeName(n)) << n.toStdString();
        s.m_listRecipe.append(user(n));
    }
    ASSERT_TRUE(s.writeIniFileX());
    RecipeStore fresh;
    fresh.setMachine("Pellar300");
    fresh.readIniFileX();
    QStringList expected = good;
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(names(fresh), expected);
}

struct FakePanel : RecipePanel
{
    QComboBox box;
    QComboBox* recipeComboBox() override { return &box; }
    void updateUIX(const QString&) override {}
};

TEST_F(RecipeFiles, DeleteRemovesFromListChoosersAndFile)
{
    RecipeStore s;
    s.setMachine("Pellar4Kmono");
    s.readIniFileX();
    s.m_listRecipe.append(user("mine"));
    ASSERT_TRUE(s.writeIniFileX());
    FakePanel save, import;
    for (FakePanel* p : {&save, &import})
        for (const RecipePara& r : s.m_listRecipe)
            p->box.addItem(r.name);
    s.m_pSaveWidget = &save; // the converter panel is not set yet: skipped

    EXPECT_TRUE(s.deleteRecipe("absent"));
    EXPECT_EQ(s.m_listRecipe.size(), 4);
    EXPECT_TRUE(s.deleteRecipe("mine"));
    EXPECT_EQ(s.m_listRecipe.size(), 3);
    EXPECT_EQ(save.box.count(), 3);
    EXPECT_EQ(import.box.count(), 4);
    RecipeStore fresh;
    fresh.setMachine("Pellar4Kmono");
    fresh.readIniFileX();
    EXPECT_EQ(fresh.m_listRecipe.size(), 3);
}

} // namespace
