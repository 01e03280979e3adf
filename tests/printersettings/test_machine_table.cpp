#include "settings_fixture.h"

#include <QComboBox>
#include <cmath>

using Para = frmDeviceInterfaceSettings::MachinePara;

namespace {

struct Row
{
    const char* name;
    float xRes, yRes, xSize, ySize, pixelX, pixelY, height;
    const char* fileType;
};

const Row kRows[] = {
    {"Pellar10", 854, 480, 98.637f, 55.44f, 115.5f, 115.5f, 140, "vxs"},
    {"Pellar30", 2560, 1440, 120.96f, 68.04f, 47.25f, 47.25f, 170, "vxs"},
    {"Pellar120", 2560, 1440, 120.96f, 68.04f, 47.25f, 47.25f, 150, "vxt"},
    {"Pellar4K", 3840, 6480, 120.96f, 68.04f, 31.5f, 10.5f, 190, "vxs"},
    {"Pellar4Kmono", 3840, 6480, 120.96f, 68.04f, 31.5f, 10.5f, 190, "vxs"},
};

} // namespace

TEST(MachineTable, RowsInOrderWithTheirValues)
{
    const QVector<Para>& rows = frmDeviceInterfaceSettings::builtInMachineParas();
    ASSERT_EQ(rows.size(), int(std::size(kRows)));
    const QMap<QString, Para> table = frmDeviceInterfaceSettings::machineParaTable();
    ASSERT_EQ(table.size(), rows.size());
    for (int i = 0; i < rows.size(); ++i) {
        const Row& e = kRows[i];
        const Para& p = rows[i];
        SCOPED_TRACE(e.name);
        EXPECT_EQ(p.modelName, e.name);
        EXPECT_FLOAT_EQ(p.xResolution, e.xRes);
        EXPECT_FLOAT_EQ(p.yResolution, e.yRes);
        EXPECT_FLOAT_EQ(p.xSize, e.xSize);
        EXPECT_FLOAT_EQ(p.ySize, e.ySize);
        EXPECT_FLOAT_EQ(p.pixelSizeX, e.pixelX);
        EXPECT_FLOAT_EQ(p.pixelSizeY, e.pixelY);
        EXPECT_FLOAT_EQ(p.zHeight, e.height);
        EXPECT_EQ(p.fileType, e.fileType);
        EXPECT_TRUE(p.rotate);
        EXPECT_EQ(p.pixelBits, 4);
        EXPECT_EQ(p.maker, "Vexmor3d");
        // Resolution times pixel size is the build area.
        EXPECT_NEAR(p.xResolution * p.pixelSizeX / 1000.0, p.xSize, 1e-3);
        EXPECT_NEAR(p.yResolution * p.pixelSizeY / 1000.0, p.ySize, 1e-3);
        ASSERT_TRUE(table.contains(e.name));
        EXPECT_FLOAT_EQ(table[e.name].pixelSizeY, e.pixelY);
    }
}

TEST_F(MachineSettingsTest, DialogHoldsTheTableAndListsItsModelsInOrder)
{
    frmDeviceInterfaceSettings dlg;
    EXPECT_EQ(dlg.m_machineParas.keys(), frmDeviceInterfaceSettings::machineParaTable().keys());
    auto* combo = dlg.findChild<QComboBox*>("comboBox");
    ASSERT_NE(combo, nullptr);
    QStringList names;
    for (int i = 0; i < combo->count(); ++i)
        names << combo->itemText(i);
    EXPECT_EQ(names, QStringList({"Pellar10", "Pellar30", "Pellar120", "Pellar4K", "Pellar4Kmono"}));
}

TEST_F(MachineSettingsTest, FirstStartWritesTheDefaultsInTheLayoutStartUpReads)
{
    ASSERT_FALSE(QFile::exists(m_path));
    frmDeviceInterfaceSettings dlg;
    EXPECT_EQ(dlg.m_machineType, "Pellar10");
    EXPECT_EQ(fileLines(), expectedLines("English", "Pellar10"));
    EXPECT_EQ(startupLanguage(), "English");
}

struct FileCase
{
    const char* what;
    QByteArray before;
    const char* machine;
    const char* language;
    bool rewritten;
};

void PrintTo(const FileCase& c, std::ostream* os) { *os << c.what; }

class SavedFile : public MachineSettingsTest, public ::testing::WithParamInterface<FileCase>
{
};

TEST_P(SavedFile, DefaultsOnlyWhatIsMissingOrUnknown)
{
    const FileCase& c = GetParam();
    writeFile(c.before);
    backdateFile();

    frmDeviceInterfaceSettings dlg;
    EXPECT_EQ(dlg.m_machineType, c.machine);
    EXPECT_EQ(dlg.findChild<QComboBox*>("comboBox")->currentText(), c.machine);
    EXPECT_EQ(dlg.findChild<QComboBox*>("comboBoxLang")->currentText(), c.language);
    if (c.rewritten) {
        EXPECT_NE(fileTime(), oldTime());
        EXPECT_EQ(fileLines(), expectedLines(c.language, c.machine));
    } else {
        EXPECT_EQ(fileTime(), oldTime());
        EXPECT_EQ(fileBytes(), c.before);
    }
    EXPECT_EQ(startupLanguage(), c.language);

    // Readers divide by the current row's pixel sizes; an unknown saved name
    // must not leave them a zero row, nor add one to the table.
    EXPECT_EQ(dlg.m_machineParas.size(), 5);
    const Para p = dlg.m_machineParas.value(dlg.m_machineType);
    EXPECT_TRUE(std::isfinite(1000.0 / p.pixelSizeX) && 1000.0 / p.pixelSizeX > 0);
    EXPECT_TRUE(std::isfinite(1000.0 / p.pixelSizeY) && 1000.0 / p.pixelSizeY > 0);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SavedFile,
    ::testing::Values(
        FileCase{"complete", "[MachineConfig]\nLanguage=Chinese\nMachine=Pellar4K\nsize=0\n",
                 "Pellar4K", "Chinese", false},
        FileCase{"model only", "[MachineConfig]\nMachine=Pellar30\n", "Pellar30", "English", true},
        FileCase{"language only", "[MachineConfig]\nLanguage=Chinese\n", "Pellar10", "Chinese", true},
        FileCase{"empty model", "[MachineConfig]\nLanguage=Chinese\nMachine=\nsize=0\n", "Pellar10",
                 "Chinese", true},
        FileCase{"unknown model", "[MachineConfig]\nLanguage=English\nMachine=PellarX\nsize=0\n",
                 "Pellar10", "English", true},
        FileCase{"other keys go on rewrite",
                 "[Other]\nkey=1\n[MachineConfig]\nMachine=Pellar120\n", "Pellar120", "English", true},
        FileCase{"garbage", QByteArray("\x00\xff[[=\n", 6), "Pellar10", "English", true}),
    [](const ::testing::TestParamInfo<FileCase>& info) {
        QString n = QString::fromLatin1(info.param.what);
        n.replace(' ', '_');
        return n.toStdString();
    });
