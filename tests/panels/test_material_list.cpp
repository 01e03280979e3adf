#include "MaterialList.h"
#include "VEditRecipeWidget.h"
#include "VPrintWidget.h"
#include "VSaveWidgetX.h"
#include "modal_answer.h"
#include "notices.h"

#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QInputDialog>
#include <QListWidget>
#include <QLineEdit>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>
#include <QTranslator>
#include <gtest/gtest.h>

#include <climits>
#include <memory>
#include <tuple>

namespace {

RecipePara sample(const QString& name, int exposure)
{
    RecipePara r;
    MaterialList::setPrintDefaultPara(r);
    r.editable = true;
    r.name = name;
    r.info = name + " info";
    r.exposure_tm = exposure;
    r.MaterialStable = 1234;
    r.bottomMaterialStable = 5678;
    r.lift_dist1 = 2.6f;
    r.tilt_near_dist2 = 0.2f;
    r.Dp = 151.5f;
    return r;
}

class Materials : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        qputenv("VEXMOR_CONFIG_DIR", dir.path().toUtf8());
    }
    void TearDown() override { qunsetenv("VEXMOR_CONFIG_DIR"); }
    QString file() const { return dir.path() + "/m.ini"; }

    QTemporaryDir dir;
};

TEST_F(Materials, RoundTripWithTheReadersConversions)
{
    const QList<RecipePara> list = {sample("A", 7000), sample("B", 9000)};
    {
        QSettings s(file(), QSettings::IniFormat);
        ASSERT_TRUE(MaterialList::write(s, list));
    }
    // Typed floats are stored as such, not as text.
    QFile raw(file());
    ASSERT_TRUE(raw.open(QIODevice::ReadOnly));
    EXPECT_TRUE(raw.readAll().contains("lift_dist1=@Variant("));

    struct Case { MaterialList::StableRule rule; int stable; };
    const Case cases[] = {{MaterialList::StableRule::FromBottom, 5678}, {MaterialList::StableRule::OwnKey, 1234}};
    for (const Case& c : cases) {
        QSettings s(file(), QSettings::IniFormat);
        const QList<RecipePara> back = MaterialList::read(s, c.rule);
        ASSERT_EQ(back.size(), 2);
        for (int i = 0; i < 2; ++i) {
            const RecipePara& r = back[i];
            EXPECT_EQ(std::tuple(r.name, r.info, r.editable, r.exposure_tm),
                      std::tuple(list[i].name, list[i].info, true, list[i].exposure_tm));
            EXPECT_EQ(std::tuple(r.bottom_exposure, r.bottomMaterialStable, r.MaterialStable, r.lift_bottom_layer),
                      std::tuple(80000, 5678, c.stable, 10));
            // lift_dist1 gets the integer conversion on reading.
            for (auto [got, want] : {std::pair{r.lift_dist1, 3.0f}, {r.tilt_near_dist2, 0.2f},
                                     {r.bottom_layers, 0.3f}, {r.Dp, 151.5f}, {r.lift_dist2, 5.0f}})
                EXPECT_FLOAT_EQ(got, want);
        }
    }
}

TEST_F(Materials, HostileValuesSaturateOrReadZero)
{
    {
        QFile f(file());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("[Materials]\n"
                "1\\BottomMaterialStable=1e20\n1\\exposure_tm=99999999999\n1\\tilt_dist1=nan\n"
                "1\\name=big\n"
                "2\\BottomMaterialStable=nan\n2\\exposure_tm=abc\n2\\lift_dist1=-1e30\n2\\name=bad\n"
                "size=2000000000\n");
    }
    QSettings s(file(), QSettings::IniFormat);
    const QList<RecipePara> back = MaterialList::read(s, MaterialList::StableRule::FromBottom);
    ASSERT_EQ(back.size(), 2); // the stored count is not trusted
    const RecipePara &a = back[0], &b = back[1];
    EXPECT_EQ(std::tuple(a.bottomMaterialStable, a.MaterialStable, a.exposure_tm, a.tilt_dist1),
              std::tuple(INT_MAX, INT_MAX, INT_MAX, 0.0f));
    // -1e30 is not an integer text.
    EXPECT_EQ(std::tuple(b.bottomMaterialStable, b.exposure_tm, b.lift_dist1), std::tuple(0, 0, 0.0f));
    // Neither may be printed: the file and the first key out of range are named.
    EXPECT_EQ(a.valueProblem, file() + ": Materials/1/exposure_tm = 99999999999 (allowed 0..1000000)");
    EXPECT_EQ(b.valueProblem, file() + ": Materials/2/exposure_tm = abc (allowed 0..1000000)");
    EXPECT_EQ(a.refusedValues.keys(), (QList<QString>{"BottomMaterialStable", "exposure_tm", "tilt_dist1"}));
    // Written back, the stored values stay as they were.
    ASSERT_TRUE(MaterialList::write(s, back));
    QSettings again(file(), QSettings::IniFormat);
    for (auto [key, value] : {std::pair{"Materials/1/BottomMaterialStable", "1e20"}, {"Materials/1/tilt_dist1", "nan"},
                              {"Materials/2/exposure_tm", "abc"}, {"Materials/2/lift_dist1", "-1e30"}})
        EXPECT_EQ(again.value(key).toString(), value) << key;
}

// Entries are read as the file holds them: a gap in the numbering neither
// turns into a zero entry nor drops the entries after it.
TEST_F(Materials, EntriesAroundAGapAreReadAsTheyStand)
{
    const struct { const char* name; QByteArray text; QStringList names; QList<int> exposures; } cases[] = {
        {"1 and 3, size 3", "[Materials]\n1\\name=a\n1\\exposure_tm=100\n3\\name=c\n3\\exposure_tm=300\nsize=3\n",
         {"a", "c"}, {100, 300}},
        {"1 and 3, size 2", "[Materials]\n1\\name=a\n1\\exposure_tm=100\n3\\name=c\n3\\exposure_tm=300\nsize=2\n",
         {"a", "c"}, {100, 300}},
        {"2 only, size 1", "[Materials]\n2\\name=b\n2\\exposure_tm=200\nsize=1\n", {"b"}, {200}},
        {"numbered out of order", "[Materials]\n10\\name=j\n2\\name=b\nx\\name=not an entry\nsize=2\n",
         {"b", "j"}, {0, 0}},
        {"whole", "[Materials]\n1\\name=a\n2\\name=b\nsize=2\n", {"a", "b"}, {0, 0}},
    };
    int n = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        // A file of its own each: QSettings keeps a text of the same size and time.
        const QString path = dir.filePath(QString("gap%1.ini").arg(++n));
        {
            QFile f(path);
            ASSERT_TRUE(f.open(QIODevice::WriteOnly) && f.write(c.text) == c.text.size());
        }
        QSettings s(path, QSettings::IniFormat);
        const QList<RecipePara> back = MaterialList::read(s, MaterialList::StableRule::OwnKey);
        QStringList names;
        QList<int> exposures;
        for (const RecipePara& r : back)
            names << r.name, exposures << r.exposure_tm;
        EXPECT_EQ(names, c.names);
        EXPECT_EQ(exposures, c.exposures);
    }
}

// A material list written into a file with other content keeps that
// content byte for byte.
TEST_F(Materials, WritingTheListKeepsTheRestOfTheFile)
{
    const QByteArray before = "; kept\n[Materials]\n1\\name=old\n5\\name=older\nsize=9\n\n[Resin]\nold\\name=x\n";
    {
        QFile f(file());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly) && f.write(before) == before.size());
    }
    QSettings s(file(), QSettings::IniFormat);
    ASSERT_TRUE(MaterialList::write(s, {sample("A", 1), sample("B", 2)}));
    QFile f(file());
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray after = f.readAll();
    EXPECT_TRUE(after.startsWith("; kept\n[Materials]\n")) << after.constData();
    EXPECT_TRUE(after.endsWith("size=2\n\n[Resin]\nold\\name=x\n")) << after.constData();
    EXPECT_FALSE(after.contains("=old\n"));
    const QList<RecipePara> back = MaterialList::read(s, MaterialList::StableRule::OwnKey);
    ASSERT_EQ(back.size(), 2);
    EXPECT_EQ(back[1].name, "B");
}

TEST_F(Materials, RecipesAndMaterialsSurviveEachOthersWrites)
{
    VEditRecipeWidget editor;
    DLP::SliceBuildConfig config;
    editor.setMachine("Pellar10");
    editor.readIniFileX();
    VSaveWidgetX panel(nullptr, &editor, config);
    panel.setMachine("Pellar10");

    RecipePara mine = editor.m_listRecipe[0];
    mine.name = "mine";
    mine.editable = true;
    editor.m_listRecipe.append(mine);
    ASSERT_TRUE(editor.writeIniFileX());

    panel.m_pListMaterial->append(sample("M", 7000));
    {
        // An older "Resin" group lives in the material file too.
        QSettings s(MaterialList::filePath("Pellar10"), QSettings::IniFormat);
        s.setValue("Resin/old/name", "old resin");
        s.setValue("Resin/old/exposure_tm", 4321);
    }
    ASSERT_TRUE(panel.writeIniFile());
    ASSERT_TRUE(editor.writeIniFileX());

    editor.readIniFileX();
    EXPECT_EQ(editor.m_listRecipe.last().name, "mine");
    panel.readIniFile();
    ASSERT_EQ(panel.m_pListMaterial->size(), 1);
    EXPECT_EQ(panel.m_pListMaterial->at(0).name, "M");
    ASSERT_EQ(panel.m_listResin.size(), 4); // three defaults, then the old group
    EXPECT_EQ(std::tuple(panel.m_listResin[3].name, panel.m_listResin[3].exposure_tm),
              std::tuple(QString("old resin"), 4321));

    // The panel's copy of the store's file code sees the same recipes.
    panel.m_listResin.clear();
    panel.readIniFileX();
    ASSERT_EQ(panel.m_listResin.size(), 4);
    EXPECT_EQ(std::tuple(panel.m_listResin[0].name, panel.m_listResin[0].exposure_tm, panel.m_listResin[3].name),
              std::tuple(QString("Vexmor3D Resin 25um"), 4000, QString("mine")));
}

TEST_F(Materials, EmptyFileGivesTheSavePanelsDefault)
{
    VEditRecipeWidget editor;
    DLP::SliceBuildConfig config;
    VSaveWidgetX panel(nullptr, &editor, config);
    panel.setMachine("Pellar4K");
    panel.readIniFile();
    ASSERT_EQ(panel.m_pListMaterial->size(), 1);
    const RecipePara& r = panel.m_pListMaterial->at(0);
    EXPECT_EQ(std::tuple(r.name, r.exposure_tm, r.lift_speed, r.lift_dist2),
              std::tuple(QString("Vexmor3D Resin 100um"), 6000, 300.0f, 2.0f));
    EXPECT_TRUE(QFile::exists(MaterialList::filePath("Pellar4K")));
    // Read again: the file now has its array, so no second default.
    panel.readIniFile();
    EXPECT_EQ(panel.m_pListMaterial->size(), 1);
}

TEST_F(Materials, UnwritableFileIsReported)
{
    VEditRecipeWidget editor;
    DLP::SliceBuildConfig config;
    VSaveWidgetX panel(nullptr, &editor, config);
    // The material file's place is taken by a folder.
    ASSERT_TRUE(QDir(dir.path()).mkpath("BlockedMaterial.ini/x"));
    panel.setMachine("Blocked");
    panel.m_pListMaterial->append(sample("M", 7000));
    EXPECT_FALSE(panel.writeIniFile());
    ModalAnswers answers({QMessageBox::Yes});
    panel.slot_SavePara();
    EXPECT_EQ(answers.texts, QStringList{"Material Save Failed"});
    EXPECT_EQ(panel.m_pListMaterial->size(), 1);
}

TEST_F(Materials, PrintPanelAppendsTheParameterBlockChecked)
{
    // The panel's material file lies in the working directory: the scratch one.
    const QString cwd = QDir::currentPath();
    QDir::setCurrent(dir.path());
    DLP::SliceBuildConfig config;
    VPrintWidget panel(nullptr, config);
    QDir::setCurrent(cwd);
    const QString path = dir.path() + "/job.bin";
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly) && f.write(QByteArray(10, 'x')) == 10);
    f.close();
    for (auto [field, value] : {std::pair{"edit_exposure_tm", "7000"}, {"edit_bottom_layers", "2.7"},
                                {"edit_Dp", "151.5"}})
        panel.findChild<QLineEdit*>(field)->setText(value);
    ASSERT_TRUE(panel.WriteBinaryParas(path));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray all = f.readAll();
    ASSERT_EQ(all.size(), 126);
    EXPECT_EQ(all.mid(10, 20), QByteArray("Paras:").append(QByteArray(14, '\0')));
    EXPECT_EQ(all.mid(106), QByteArray("parasend").append(QByteArray(12, '\0')));
    QDataStream in(all.mid(30));
    in.setByteOrder(QDataStream::LittleEndian);
    in.setFloatingPointPrecision(QDataStream::SinglePrecision);
    qint32 exposure = 0, bottom = 0, high = 0;
    float low = 0, rest[15] = {};
    in >> exposure >> bottom >> high >> low;
    // Bottom layers in whole millimetres; then the "Bottom Stable Time".
    EXPECT_EQ(std::tuple(exposure, bottom, high, low), std::tuple(7000, 80000, 2, 80000.0f));
    for (float& v : rest)
        in >> v;
    EXPECT_FLOAT_EQ(rest[14], 151.5f); // Dp closes the sixteen floats
    EXPECT_EQ(in.status(), QDataStream::Ok);

    EXPECT_TRUE(!QFile::exists("/dev/full") || !panel.WriteBinaryParas("/dev/full"));
}

} // namespace

// A new entry starts from the save panel's own default set; Save stores the
// fields and shows the entry back as stored, editable for a user entry.
TEST_F(Materials, NewEntryTakesThePanelsDefaultsAndSaveShowsItBackAsStored)
{
    VEditRecipeWidget editor;
    DLP::SliceBuildConfig config;
    VSaveWidgetX panel(nullptr, &editor, config);
    panel.setMachine("Pellar10");
    QStringList answers{"Grey resin", "for the tests"};
    QTimer typist;  // answers the name and the description dialogs
    QObject::connect(&typist, &QTimer::timeout, [&] {
        if (auto* d = qobject_cast<QInputDialog*>(QApplication::activeModalWidget()); d && !answers.isEmpty()) {
            d->setTextValue(answers.takeFirst());
            d->accept();
        }
    });
    typist.start(5);
    ASSERT_TRUE(QMetaObject::invokeMethod(&panel, "on_pushButton"));  // no button reaches it
    typist.stop();
    ASSERT_EQ(panel.m_pListMaterial->size(), 1);
    RecipePara want;
    MaterialList::setDefaultPara(want);
    want.name = "Grey resin";
    want.info = "for the tests";
    want.editable = true;
    const RecipePara& r = panel.m_pListMaterial->at(0);
    EXPECT_EQ(std::tie(r.name, r.info, r.editable, r.exposure_tm, r.bottom_exposure, r.lift_dist1, r.lift_speed,
                       r.lift_first_bottom_speed, r.retract_speed, r.Dp),
              std::tie(want.name, want.info, want.editable, want.exposure_tm, want.bottom_exposure, want.lift_dist1,
                       want.lift_speed, want.lift_first_bottom_speed, want.retract_speed, want.Dp));
    EXPECT_EQ(panel.findChild<QListWidget*>("Laythick")->item(0)->text(), "Grey resin");

    const std::tuple<const char*, const char*, const char*> fields[] = {
        {"edit_exposure_tm", "7000", "7000"}, {"edit_bottom_layers", "0.250", "0.25"},
        {"edit_lift_dist", "3.50", "3.5"}, {"lEMaterialsStableTimeLow", "1500.9", "1500"}};
    for (const auto& [name, typed, shown] : fields)
        panel.findChild<QLineEdit*>(name)->setText(typed);
    panel.slot_SavePara();
    for (const auto& [name, typed, shown] : fields) {
        EXPECT_EQ(panel.findChild<QLineEdit*>(name)->text(), shown) << name;
        EXPECT_TRUE(panel.findChild<QLineEdit*>(name)->isEnabled()) << name;
    }
    QSettings s(MaterialList::filePath("Pellar10"), QSettings::IniFormat);
    const QList<RecipePara> back = MaterialList::read(s, MaterialList::StableRule::FromBottom);
    ASSERT_EQ(back.size(), 1);
    EXPECT_EQ(std::tuple(back[0].exposure_tm, back[0].bottom_layers, back[0].bottomMaterialStable),
              std::tuple(7000, 0.25f, 1500));
}

// The advanced area's list speaks the interface language.
TEST(SavePanelTexts, AdvancedListIsTranslated)
{
    vexmorInitResources();
    QTranslator zh;
    ASSERT_TRUE(zh.load(":/Resources/lang/zh-cn.qm"));
    QCoreApplication::installTranslator(&zh);
    VEditRecipeWidget editor;
    DLP::SliceBuildConfig config;
    auto panel = std::make_unique<VSaveWidgetX>(nullptr, &editor, config);
    QCoreApplication::removeTranslator(&zh);
    QStringList shown;
    for (QListWidgetItem* item : panel->findChild<QListWidget*>("listWidget")->findItems("*", Qt::MatchWildcard))
        shown << item->text();
    EXPECT_EQ(shown, QString::fromUtf8("材料 曝光 Z轴电机 Y轴脱模 Y轴回程 旋转 高级 选择打印机").split(' '));
}
