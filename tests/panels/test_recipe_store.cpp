// Recipes: the per-model file, the editor and the save panel's recipe rows.
#include "RecipeStore.h"
#include "VEditRecipeWidget.h"
#include "VSaveWidgetX.h"
#include "modal_answer.h"
#include "ownedfile.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
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

class RecipeFiles : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        qputenv("VEXMOR_CONFIG_DIR", dir.path().toUtf8());
    }
    void TearDown() override { qunsetenv("VEXMOR_CONFIG_DIR"); }
    static std::unique_ptr<RecipeStore> read(const QString& model)
    {
        auto s = std::make_unique<RecipeStore>();
        s->setMachine(model);
        s->readIniFileX();
        return s;
    }
    static QStringList names(const RecipeStore& s)
    {
        QStringList out;
        for (const RecipePara& r : s.m_listRecipe)
            out << r.name;
        return out;
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
    const struct { const char* model; int count; const char* first; } rows[] = {
        {"Pellar30", 10, "Vexmor3D Standard Rapid for 0.025mm"}, {"Pellar4Kmono", 3, "Vexmor3D Resin 50um"},
        {"Pellar4kmono", 0, ""}, {"Pellar300", 0, ""}};
    for (const auto& r : rows) {
        const auto s = read(r.model);
        ASSERT_EQ(s->m_listRecipe.size(), r.count) << r.model;
        if (!r.count)
            continue;
        EXPECT_EQ(s->m_listRecipe[0].name, r.first);
        for (const RecipePara& p : s->m_listRecipe)
            EXPECT_FALSE(p.editable);
    }
}

TEST_F(RecipeFiles, UserRecipesRoundTripAfterThePresets)
{
    const auto s = read("Pellar10");
    for (const char* n : {"b", "Z", "a"})
        s->m_listRecipe.append(user(n));
    RecipePara& r = s->m_listRecipe.last();
    r.bottomMaterialStable = 1500;
    r.lift_dist1 = 5;
    r.lift_dist2 = 3;
    ASSERT_TRUE(s->writeIniFileX());

    auto fresh = read("Pellar10");
    const RecipePara& a = fresh->m_listRecipe.value(11);
    EXPECT_TRUE(a.editable);
    EXPECT_EQ(std::tuple(a.bottomMaterialStable, a.lift_dist1, a.lift_dist2, a.MaterialStable),
              std::tuple(1500, 5.0f, 3.0f, 1000));

    QFile f(RecipeStore::recipeFilePath("Pellar10"));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray text = f.readAll();
    EXPECT_TRUE(text.contains("BurninRange=@Variant(")) << text.constData();
    EXPECT_FALSE(text.contains("Standard Rapid")); // presets never reach the file

    // Another model and back: the same list again, users sorted after the presets.
    fresh->setMachine("Pellar4Kmono");
    fresh->readIniFileX();
    EXPECT_EQ(fresh->m_listRecipe.size(), 3);
    fresh->setMachine("Pellar10");
    fresh->readIniFileX();
    EXPECT_EQ(names(*fresh), names(*s).mid(0, 10) + QStringList({"Z", "a", "b"}));
}

TEST_F(RecipeFiles, HandEditedValuesAreBoundedAndConverted)
{
    QFile f(RecipeStore::recipeFilePath("Pellar10"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("[Recipe]\nr\\CuringTime=1e20\nr\\BurninTime=abc\nr\\StableTime=1500.9\nr\\LiftDist2=nan\n"
            "r\\LiftDist1=@Variant(\\0\\0\\0\\x87@&ff)\n" // float 2.6
            "s\\StableTime=1e20\ns\\CuringTime=99999999999\ns\\BurninRange=nan\n");
    f.close();
    const auto s = read("Pellar10");
    ASSERT_EQ(s->m_listRecipe.size(), 12);
    // Bottom layers are missing in both.
    const RecipePara &r = s->m_listRecipe[10], &t = s->m_listRecipe[11];
    EXPECT_EQ(std::tuple(r.exposure_tm, r.bottom_exposure, r.bottomMaterialStable), std::tuple(0, 0, 1500));
    EXPECT_EQ(std::tuple(r.lift_dist1, r.lift_dist2, r.bottom_layers), std::tuple(3.0f, 0.0f, 0.0f));
    EXPECT_EQ(std::tuple(t.bottomMaterialStable, t.exposure_tm, t.bottom_layers), std::tuple(INT_MAX, INT_MAX, 0.0f));
    // Each is refused for printing, naming the file and the first key out of range.
    const QString file = RecipeStore::recipeFilePath("Pellar10");
    EXPECT_EQ(r.valueProblem, file + ": Recipe/r/CuringTime = 1e20 (allowed 0..99999)");
    EXPECT_EQ(t.valueProblem, file + ": Recipe/s/CuringTime = 99999999999 (allowed 0..99999)");

    // Writing the list back changes no stored value the user did not change;
    // a recipe the editor saves again is the form's and clean.
    s->m_listRecipe[11].exposure_tm = 5000;
    s->m_listRecipe[11].refusedValues.remove("CuringTime");
    ASSERT_TRUE(s->writeIniFileX());
    QSettings back(file, QSettings::IniFormat);
    for (auto [key, value] : {std::pair{"Recipe/r/CuringTime", "1e20"}, {"Recipe/r/BurninTime", "abc"},
                              {"Recipe/r/LiftDist2", "nan"}, {"Recipe/s/StableTime", "1e20"},
                              {"Recipe/s/CuringTime", "5000"}})
        EXPECT_EQ(back.value(key).toString(), value) << key;
}

TEST_F(RecipeFiles, OddNamesReadBack)
{
    const QStringList good = {"a=b",     "[x]", "50%",   "two words", QString::fromUtf8("树脂 A"),
                              "General", "a;b", " lead", "trail "};
    RecipeStore s;
    s.setMachine("Pellar300");
    for (const QString& n : good) {
        ASSERT_TRUE(RecipeStore::isValidRecipeName(n)) << n.toStdString();
        s.m_listRecipe.append(user(n));
    }
    ASSERT_TRUE(s.writeIniFileX());
    QStringList expected = good;
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(names(*read("Pellar300")), expected);
}

TEST_F(RecipeFiles, DeleteRemovesFromListChoosersAndFile)
{
    const auto s = read("Pellar4Kmono");
    s->m_listRecipe.append(user("mine"));
    ASSERT_TRUE(s->writeIniFileX());
    FakePanel save, import;
    for (FakePanel* p : {&save, &import})
        for (const RecipePara& r : s->m_listRecipe)
            p->box.addItem(r.name);
    s->m_pSaveWidget = &save; // the converter panel is not set yet: skipped

    EXPECT_TRUE(s->deleteRecipe("absent"));
    EXPECT_TRUE(s->deleteRecipe("mine"));
    EXPECT_EQ(s->m_listRecipe.size(), 3);
    EXPECT_EQ(save.box.count(), 3);
    EXPECT_EQ(import.box.count(), 4);
    EXPECT_EQ(read("Pellar4Kmono")->m_listRecipe.size(), 3);
}

class Editor : public RecipeFiles
{
protected:
    void SetUp() override
    {
        RecipeFiles::SetUp();
        editor.setMachine("Pellar10");
        editor.readIniFileX();
        for (FakePanel* p : {&save, &import})
            for (const RecipePara& r : editor.m_listRecipe)
                p->box.addItem(r.name);
        editor.setPanels(&save, &import);
    }
    template <class T> T* field(const char* name) { return editor.findChild<T*>(name); }
    QStringList clickSave(std::deque<QMessageBox::StandardButton> answers = {})
    {
        ModalAnswers modal(std::move(answers));
        QTest::mouseClick(field<QPushButton>("SaveButton"), Qt::LeftButton);
        return modal.texts;
    }
    VEditRecipeWidget editor;
    FakePanel save, import;
};

TEST_F(Editor, APresetIsOfferedAsANewRecipeSavedThenOverwritten)
{
    RecipePara preset = editor.m_listRecipe[1];
    preset.lift_dist1 = 4.7f;
    editor.SetUI_Para(preset);
    EXPECT_EQ(field<QLineEdit>("RecipeNameLE")->text(), "New Recipe");
    EXPECT_EQ(field<QSpinBox>("CuringSB")->value(), 8000);
    EXPECT_EQ(field<QSpinBox>("LiftDist1SB")->value(), 4);
    field<QSpinBox>("StableTimeSB")->setValue(2500);
    editor.openFrom(&import);

    EXPECT_TRUE(clickSave().isEmpty());
    ASSERT_EQ(editor.m_listRecipe.size(), 11);
    const RecipePara& added = editor.m_listRecipe.last();
    EXPECT_TRUE(added.editable);
    EXPECT_EQ(std::tuple(added.name, added.MaterialStable, added.bottomMaterialStable),
              std::tuple(QString("New Recipe"), 2500, 2500));
    for (FakePanel* p : {&save, &import})
        EXPECT_EQ(p->box.currentText(), "New Recipe");
    EXPECT_FALSE(editor.isVisible());
    EXPECT_EQ(import.showCount, 1);
    EXPECT_EQ(read("Pellar10")->m_listRecipe.size(), 11);

    // Saved again under its name: the overwrite is asked first.
    field<QSpinBox>("CuringSB")->setValue(1234);
    ASSERT_EQ(clickSave({QMessageBox::No}), QStringList{"Overwrite Recipe New Recipe?"});
    EXPECT_NE(editor.m_listRecipe.last().exposure_tm, 1234);

    clickSave({QMessageBox::Yes});
    EXPECT_EQ(editor.m_listRecipe.last().exposure_tm, 1234);
    EXPECT_EQ(editor.m_listRecipe.size(), 11);
    for (FakePanel* p : {&save, &import})
        EXPECT_EQ(p->shown.last(), "New Recipe");
}

// The converter panel hides itself to open the editor and comes back; the
// save panel never left, and the converter must not open over it.
TEST_F(Editor, CloseAndSaveGoBackToThePanelThatOpenedTheEditor)
{
    editor.openFrom(&save);
    QTest::mouseClick(field<QPushButton>("CloseButton"), Qt::LeftButton);
    EXPECT_FALSE(editor.isVisible());

    editor.openFrom(&save);
    field<QLineEdit>("RecipeNameLE")->setText("from save");
    EXPECT_TRUE(clickSave().isEmpty());
    EXPECT_FALSE(editor.isVisible());
    EXPECT_EQ(std::pair(save.showCount, import.showCount), std::pair(2, 0));

    editor.openFrom(&import);
    QTest::mouseClick(field<QPushButton>("CloseButton"), Qt::LeftButton);
    EXPECT_EQ(std::pair(save.showCount, import.showCount), std::pair(2, 1));
}

TEST_F(Editor, RefusesPresetNamesInvalidNamesAndReportsAnUnwritableFile)
{
    const QString invalid = "Invalid recipe name";
    const struct { QString name; QString message; int listSize; } rows[] = {
        {"Vexmor3D Standard Rapid for 0.05mm",
         "Recipe Vexmor3D Standard Rapid for 0.05mm can not be modified, please rename it!", 10},
        {"", invalid, 10}, {"  ", invalid, 10}, {"a/b", invalid, 10}, {"a\\b", invalid, 10},
        {"vexmor3d standard rapid for 0.05mm", "", 11}};
    for (const auto& r : rows) {
        field<QLineEdit>("RecipeNameLE")->setText(r.name);
        EXPECT_EQ(clickSave().value(0), r.message) << r.name.toStdString();
        EXPECT_EQ(editor.m_listRecipe.size(), r.listSize) << r.name.toStdString();
    }

    QFile::remove(dir.filePath("Pellar10Recipe.ini"));
    QDir(dir.path()).mkpath("Pellar10Recipe.ini"); // the file is now a folder
    field<QLineEdit>("RecipeNameLE")->setText("another");
    const QStringList texts = clickSave();
    EXPECT_EQ(texts.size(), 1);
    EXPECT_TRUE(texts.value(0).startsWith("The recipe file could not be written"));
    EXPECT_EQ(editor.m_listRecipe.size(), 12);
}

TEST_F(Editor, AModelWithoutRecipesStartsANewOneFromTheDefaults)
{
    editor.setMachine("Pellar300");
    editor.readIniFileX();
    field<QLineEdit>("RecipeNameLE")->setText("first");
    clickSave();
    ASSERT_EQ(editor.m_listRecipe.size(), 1);
    EXPECT_EQ(editor.m_listRecipe[0].lift_bottom_layer, 10);
    EXPECT_FLOAT_EQ(editor.m_listRecipe[0].middle_layers, 0.6f);
}

// The file's lines that are not one of the eight keys of a recipe in
// [Recipe]: what the program does not own.
QList<QByteArray> notOwnedLines(const QByteArray& text)
{
    static const QList<QByteArray> owned = {"CuringTime", "BurninTime", "StableTime", "BurninRange",
                                            "LiftDist1",  "LiftSpeed1", "LiftDist2",  "LiftSpeed2"};
    QList<QByteArray> out;
    QByteArray section;
    for (const QByteArray& line : text.split('\n')) {
        if (line.startsWith('['))
            section = line;
        const int slash = line.indexOf('\\'), eq = line.indexOf('=');
        if (section == "[Recipe]" && slash > 0 && eq > slash && owned.contains(line.mid(slash + 1, eq - slash - 1)))
            continue;
        out << line;
    }
    return out;
}

QByteArray fileBytes(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool writeBytes(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

// Save and Delete change the recipes the user changed and nothing else: a
// hand-made section, a hand-made key and the keys a hand-made recipe lacks
// stay as they were.
TEST_F(RecipeFiles, SaveAndDeleteKeepWhatTheProgramDidNotWrite)
{
    const QString path = RecipeStore::recipeFilePath("Pellar10");
    const QByteArray before = "; bottles on the shelf\n[Mine]\ncolour = blue\n\n[Recipe]\nHand\\CuringTime=5000\n"
                              "Hand\\Comment=from the bottle\nOther\\CuringTime=7000\nOther\\LiftDist1=3\n";
    ASSERT_TRUE(writeBytes(path, before));
    VEditRecipeWidget editor;
    editor.setMachine("Pellar10");
    editor.readIniFileX();
    FakePanel save, import;
    for (FakePanel* p : {&save, &import})
        for (const RecipePara& r : editor.m_listRecipe)
            p->box.addItem(r.name);
    editor.setPanels(&save, &import);
    auto saveAs = [&](const char* name, int curingMs, const QStringList& asked) {
        editor.findChild<QLineEdit*>("RecipeNameLE")->setText(name);
        editor.findChild<QSpinBox*>("CuringSB")->setValue(curingMs);
        ModalAnswers modal({QMessageBox::Yes});
        QTest::mouseClick(editor.findChild<QPushButton*>("SaveButton"), Qt::LeftButton);
        EXPECT_EQ(modal.texts, asked);
    };

    // A new recipe: only its own keys are added, none of the others' written as 0.
    saveAs("Fresh", 4321, {});
    QByteArray after = fileBytes(path);
    EXPECT_TRUE(after.startsWith(before)) << after.constData();
    EXPECT_EQ(QSettings(path, QSettings::IniFormat).value("Recipe/Fresh/CuringTime").toInt(), 4321);

    // Overwriting the hand-made recipe writes its eight keys, keeps its comment.
    saveAs("Hand", 5500, {"Overwrite Recipe Hand?"});
    after = fileBytes(path);
    EXPECT_EQ(notOwnedLines(after), notOwnedLines(before));
    {
        QSettings s(path, QSettings::IniFormat);
        EXPECT_EQ(s.value("Recipe/Hand/CuringTime").toInt(), 5500);
        EXPECT_FALSE(s.contains("Recipe/Other/BurninTime"));
        EXPECT_EQ(s.value("Recipe/Other/CuringTime").toInt(), 7000);
    }

    // Deleting one recipe takes its own keys only.
    editor.deleteRecipe("Other");
    after = fileBytes(path);
    EXPECT_EQ(notOwnedLines(after), notOwnedLines(before));
    EXPECT_FALSE(after.contains("Other\\"));
    EXPECT_EQ(names(*read("Pellar10")).mid(10), QStringList({"Fresh", "Hand"}));
}

// A recipe file that is a link out of the folder is neither read nor
// written; one that cannot be parsed is set aside and the user told.
TEST_F(RecipeFiles, LinkedOrUnparsableFilesAreNotClobbered)
{
    QTemporaryDir elsewhere;
    const QString target = elsewhere.filePath("system.conf");
    const QByteArray system = "[Recipe]\nroot\\CuringTime=1\n";
    ASSERT_TRUE(writeBytes(target, system));
    const QString path = RecipeStore::recipeFilePath("Pellar10");
    ASSERT_TRUE(QFile::link(target, path));
    QStringList told;
    OwnedFile::setUserNotifier([&](const QString& m) { told << m; });
    auto s = read("Pellar10");
    EXPECT_EQ(s->m_listRecipe.size(), 10); // presets only
    s->m_listRecipe.append(user("mine"));
    EXPECT_FALSE(s->writeIniFileX());
    EXPECT_EQ(fileBytes(target), system);
    EXPECT_TRUE(QFileInfo(path).isSymLink());
    ASSERT_FALSE(told.isEmpty());
    EXPECT_TRUE(told[0].contains("outside the folder")) << told[0].toStdString();

    ASSERT_TRUE(QFile::remove(path));
    const QByteArray broken = "[Recipe\nmine\\CuringTime=5\n";
    ASSERT_TRUE(writeBytes(path, broken));
    s = read("Pellar10");
    EXPECT_EQ(s->m_listRecipe.size(), 10);
    const QStringList aside = QDir(dir.path()).entryList({"Pellar10Recipe.ini.unreadable-*"});
    ASSERT_EQ(aside.size(), 1);
    EXPECT_EQ(fileBytes(dir.filePath(aside[0])), broken);
    EXPECT_TRUE(told.last().contains(aside[0])) << told.last().toStdString();
    OwnedFile::setUserNotifier({});
}

class SavePanel : public RecipeFiles
{
protected:
    void SetUp() override
    {
        RecipeFiles::SetUp();
        editor.setMachine("Pellar10");
        editor.readIniFileX();
        editor.m_listRecipe.append(user("mine"));
        panel = std::make_unique<VSaveWidgetX>(nullptr, &editor, config);
        editor.setPanels(panel.get(), nullptr);
    }
    void TearDown() override
    {
        panel.reset();
        RecipeFiles::TearDown();
    }
    template <class T> T* w(const char* name) { return panel->findChild<T*>(name); }
    QString text(const char* name) { return w<QLineEdit>(name)->text(); }

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
    int distinct = 0; // along a recipe row
    for (int x = 0; x < shot.width(); x += 7)
        distinct += shot.pixel(x, 120) != shot.pixel(0, 120);
    EXPECT_GT(distinct, 5);
}

TEST_F(SavePanel, DeleteRuleAndConfirmation)
{
    auto* combo = w<QComboBox>("comboBox_Recipe");
    auto* del = w<QPushButton>("DeleteButton");
    combo->setCurrentText("Vexmor3D Standard Rapid for 0.1mm");
    EXPECT_FALSE(del->isEnabled());
    combo->addItem("unknown");
    combo->setCurrentText("unknown");
    EXPECT_TRUE(del->isEnabled());
    combo->removeItem(combo->count() - 1);

    combo->setCurrentText("mine");
    EXPECT_TRUE(del->isEnabled());
    {
        ModalAnswers modal({QMessageBox::No});
        QTest::mouseClick(del, Qt::LeftButton);
        EXPECT_EQ(modal.texts, QStringList{"Delete Recipe mine?"});
        EXPECT_EQ(modal.defaults.value(0), QMessageBox::No);
    }
    EXPECT_EQ(editor.m_listRecipe.size(), 11);
    ModalAnswers yes({QMessageBox::Yes});
    QTest::mouseClick(del, Qt::LeftButton);
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
