#include "FileChooser.h"
#include "frmDeviceInterfaceSettings.h"
#include "printfile/ExportThread.h"
#include "event_wait.h"
#include "printfile/printermodels.h"
#include "VEditRecipeWidget.h"
#include "VImportWidgetX.h"
#include "VSLGLView.h"
#include "Vexmor.h"
#include "archive_builder.h"
#include "hostile_sources.h"
#include "memory_in_use.h"
#include "modal_answer.h"
#include "notices.h"
#include "translators.h"
#include "vxs_reader.h"

#include <QComboBox>
#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QSemaphore>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest/QTest>
#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <limits>
#include <sys/stat.h>

namespace {

// The head of an own print file as Import reads it (magic, words, count,
// parameters, layer count); `cut` keeps only that many bytes.
QByteArray vxsHead(float thickness, const char* magic = "Vexmor3D", qint32 count = 34, int cut = -1)
{
    QByteArray b;
    QDataStream out(&b, QIODevice::WriteOnly);
    out.setByteOrder(QDataStream::LittleEndian);
    out.setFloatingPointPrecision(QDataStream::SinglePrecision);
    out.writeRawData(magic, 8);
    for (qint32 v : {1, 1, 10, 0, count})
        out << v;
    for (int i = 0; i < 34; ++i)
        out << (i == 4 ? thickness : 1.0f);
    out << qint32(3);
    return cut < 0 ? b : b.left(cut);
}

// A whole own print file: header with frame `w` x `h`, no preview, and
// `layers` layers of `pixels` pixels each, the first white, the rest black
// (4 bits, digits of 4 bits).
QByteArray vxsFile(float thickness, float w, float h, int layers, quint64 pixels)
{
    QByteArray b;
    QDataStream out(&b, QIODevice::WriteOnly);
    out.setByteOrder(QDataStream::LittleEndian);
    out.setFloatingPointPrecision(QDataStream::SinglePrecision);
    out.writeRawData("Vexmor3D", 8);
    for (qint32 v : {1, 1, 10, 0, 34})
        out << v;
    for (int i = 0; i < 34; ++i)
        out << (i == 2 ? w : i == 3 ? h : i == 4 ? thickness : 1.0f);
    out << qint32(layers) << qint32(4) << qint32(0) << qint32(0);
    QByteArray code;
    for (quint64 n = pixels - 1; n; n >>= 4)
        code.prepend(char(n & 0xF));
    code.prepend(char(0xF1));
    for (int i = 0; i < layers; ++i) {
        out << qint32(code.size());
        out.writeRawData(code.constData(), code.size());
    }
    return b;
}

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

QByteArray readFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// A header on the "Pellar10" check row, as such a printer's slicer writes it.
QByteArray pellar10Header(const QString& layerHeight, int layers)
{
    QString h = ";fileName:part\n;machineX:55.44\n;machineY:98.637\n;machineZ:140\n"
                ";resolutionX:960\n;resolutionY:1708\n";
    if (!layerHeight.isNull())
        h += ";layerHeight:" + layerHeight + "\n";
    return (h + QString(";totalLayer:%1\nG21\nG90\n").arg(layers)).toLatin1();
}

ArchiveMembers pellar10Archive(int layers, int missingLayer = 0)
{
    ArchiveMembers members{{"run.gcode", pellar10Header("0.05", layers)}};
    QImage preview(64, 48, QImage::Format_RGB32);
    preview.fill(QColor(40, 80, 160));
    members.append({"preview.png", PngBytes(preview)});
    for (int i = 1; i <= layers; ++i)
        if (i != missingLayer)
            members.append({QString::number(i) + ".png", PngBytes(PatternLayer(960, 1708, i))});
    return members;
}

struct Dialog { QString caption, start, filter; };

class ConverterPanel : public ::testing::Test
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
        view.SetSaveFilePath(dir.path() + "/out");
        panel = std::make_unique<VImportWidgetX>(&view, &editor, config);
        editor.setPanels(nullptr, panel.get());
        panel->setMachine("Pellar10");
        FileChooser::setOpenChooser([this](QWidget*, const QString& c, const QString& s, const QString& f) {
            opened.append({c, s, f});
            return openAnswer;
        });
        FileChooser::setSaveChooser([this](QWidget*, const QString& c, const QString& s, const QString& f) {
            saved.append({c, s, f});
            return saveAnswer;
        });
        // As the main window does on the panel's request.
        QObject::connect(panel.get(), &VImportWidgetX::signal_ExportData,
                         [this] { panel->m_pExportThread->start(QThread::HighPriority); });
    }
    void TearDown() override
    {
        FileChooser::setOpenChooser({});
        FileChooser::setSaveChooser({});
        panel.reset();
        qunsetenv("VEXMOR_CONFIG_DIR");
    }
    template <class T> T* w(const char* name) { return panel->findChild<T*>(name); }
    QString label(const char* name) { return w<QLabel>(name)->text(); }
    bool saveEnabled() { return w<QPushButton>("btn_Save")->isEnabled(); }
    void source(const char* entry) { w<QComboBox>("comboBox_Source")->setCurrentText(entry); }
    QString machine() { return w<QComboBox>("comboBox_Machine")->currentText(); }
    QString path(const QString& name) { return dir.path() + "/" + name; }

    // Clicks a button with `file` as the dialog's answer; the boxes it showed.
    QStringList click(const char* button, const QString& file = QString())
    {
        openAnswer = saveAnswer = file;
        ModalAnswers modal;
        QTest::mouseClick(w<QPushButton>(button), Qt::LeftButton);
        return modal.texts;
    }
    QStringList import(const QString& file) { return click("btn_Import", file); }
    // Imports `good` then `name`: a box refuses the file and disables Save.
    void expectImport(const QString& good, const char* name, const QString& box, const char* shown)
    {
        SCOPED_TRACE(name);
        ASSERT_TRUE(import(good).isEmpty());
        ASSERT_TRUE(saveEnabled());
        const QStringList texts = import(path(name));
        if (box.isEmpty()) {
            EXPECT_TRUE(texts.isEmpty()) << texts.join('|').toStdString();
        } else {
            ASSERT_EQ(texts.size(), 1);
            EXPECT_EQ(texts[0].section('\n', 0, 0), box);
            lastWhy = texts[0].section('\n', 1);
            // A file of no known format says why.
            if (box == "File error: unknown format!") {
                EXPECT_FALSE(lastWhy.isEmpty());
            }
        }
        EXPECT_EQ(saveEnabled(), box.isEmpty());
        EXPECT_EQ(label("Label_LayerThick"), shown);
        EXPECT_EQ(label("Label_FileName"), box.isEmpty() ? QString(name) : QString());
    }

    QTemporaryDir dir;
    VEditRecipeWidget editor;
    DLP::SliceBuildConfig config;
    VSLGLView view;
    std::unique_ptr<VImportWidgetX> panel;
    QString openAnswer, saveAnswer;
    QList<Dialog> opened, saved;
    QString lastWhy; // the reason under the last refused import's text
};

TEST_F(ConverterPanel, RecipesAndMachine)
{
    EXPECT_FALSE(saveEnabled());
    auto* recipes = w<QComboBox>("comboBox_Recipe");
    auto* del = w<QPushButton>("DeleteButton");
    EXPECT_FALSE(del->isEnabled());
    recipes->setCurrentText("mine");
    EXPECT_TRUE(del->isEnabled());
    {
        ModalAnswers modal({QMessageBox::No});
        QTest::mouseClick(del, Qt::LeftButton);
        EXPECT_EQ(modal.texts, QStringList{"Delete Recipe mine?"});
        EXPECT_EQ(modal.defaults.value(0), QMessageBox::No);
    }
    EXPECT_EQ(editor.m_listRecipe.size(), 11);
    EXPECT_NE(recipes->findText("mine"), -1);

    panel->setMachine("Pellar4Kmono");
    EXPECT_EQ(machine(), "Pellar4Kmono");
    EXPECT_FALSE(w<QComboBox>("comboBox_Machine")->isEnabled());
    panel->setMachine("R20"); // not in the list: the item stays
    EXPECT_EQ(machine(), "Pellar4Kmono");
    EXPECT_EQ(panel->m_strMachine, "R20");

    // A model without recipes shows none, not a stale one.
    editor.m_listRecipe.clear();
    panel->loadRecipe();
    EXPECT_EQ(recipes->count(), 0);
    for (const char* field : {"edit_exposure_tm", "edit_bottom_exposure", "edit_bottom_layers", "edit_lift_dist",
                              "le_zfirstbottomspeed", "le_zdist2", "edit_lift_speed", "lEMaterialsStableTimeLow"})
        EXPECT_TRUE(w<QLineEdit>(field)->text().isEmpty()) << field;
}

TEST_F(ConverterPanel, ImportOwnFileChecksAndFailuresDisableSave)
{
    const QString good = path("good.vxs");
    ASSERT_TRUE(writeFile(good, vxsHead(0.05f)));
    ASSERT_EQ(::mkfifo(path("fifo.vxs").toLocal8Bit().constData(), 0600), 0);
    ASSERT_TRUE(QDir(dir.path()).mkdir("folder.vxs"));
    const QString unknown = "File error: unknown format!", thick = "Wrong layer thickness!";
    // Bytes null: not written; box empty: accepted.
    const struct { const char* name; QByteArray bytes; QString box; const char* shown; } cases[] = {
        {"t10.vxs", vxsHead(0.01f), {}, "10 um"},
        {"t100.vxs", vxsHead(0.1f), {}, "100 um"},
        {"t5.vxs", vxsHead(0.005f), thick, ""},
        {"t101.vxs", vxsHead(0.101f), thick, ""},
        // Judged as it stands, not cut to whole micrometres first.
        {"t1009.vxs", vxsHead(0.1009f), thick, ""},
        {"t00999.vxs", vxsHead(0.00999f), thick, ""},
        {"t0505.vxs", vxsHead(0.0505f), {}, "50.5 um"},
        {"nan.vxs", vxsHead(std::numeric_limits<float>::quiet_NaN()), thick, ""},
        {"magic.vxs", vxsHead(0.05f, "Vexmor2D"), unknown, ""},
        {"count33.vxs", vxsHead(0.05f, "Vexmor3D", 33), unknown, ""},
        {"short.vxs", vxsHead(0.05f, "Vexmor3D", 34, 20), unknown, ""},
        {"missing.vxs", QByteArray(), unknown, ""},
        {"fifo.vxs", QByteArray(), unknown, ""},
        {"folder.vxs", QByteArray(), unknown, ""},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(c.bytes.isNull() || writeFile(path(c.name), c.bytes));
        expectImport(good, c.name, c.box, c.shown);
    }
    ASSERT_EQ(opened.size(), 2 * int(std::size(cases)));
    EXPECT_EQ(opened.first().caption, "Import File");
    EXPECT_EQ(opened.first().filter,
              "Vexmor3D vxs files (*.vxs *.vxs30 *.vxs120 *.vxs4k *.vxs200 *.vxs200p *.vxs300)");
    EXPECT_EQ(opened.last().start, dir.path()); // the folder of the last good file

    // A cancelled dialog changes nothing.
    ASSERT_TRUE(import(good).isEmpty());
    EXPECT_TRUE(import(QString()).isEmpty());
    EXPECT_EQ(label("Label_FileName"), "good.vxs");
    EXPECT_TRUE(saveEnabled());
}

TEST_F(ConverterPanel, FileExtensionSelectsTheModel)
{
    const struct { const char* start; const char* file; const char* selected; } cases[] = {
        {"Pellar10", "part.VXS30", "Pellar30"},  {"Pellar10", "part.vxs120", "Pellar120"},
        {"Pellar30", "part.Vxs", "Pellar10"},    {"Pellar4Kmono", "part.vxs4k", "Pellar4K"},
        {"Pellar30", "part.vxs300", "Pellar30"}, {"Pellar30", "part.vxs200p", "Pellar30"},
    };
    for (const auto& c : cases) {
        panel->setMachine(c.start);
        ASSERT_TRUE(writeFile(path(c.file), vxsHead(0.05f)));
        EXPECT_TRUE(import(path(c.file)).isEmpty()) << c.file;
        EXPECT_EQ(machine(), c.selected) << c.file;
    }
}

TEST_F(ConverterPanel, ImportArchiveChecks)
{
    source("ChiTuBox zip files");
    const QString unknown = "File error: unknown format!", thick = "Wrong layer thickness!";
    const QByteArray png = PngBytes(PatternLayer(8, 8, 1));
    // G-code null: no "run.gcode".
    const struct { const char* name; QByteArray gcode; QString box; const char* shown; } cases[] = {
        {"h05.zip", pellar10Header("0.05", 1), {}, "50 um"},
        {"h0.zip", pellar10Header("0", 1), thick, ""},
        {"nokey.zip", pellar10Header(QString(), 1), thick, ""},
        {"abc.zip", pellar10Header("abc", 1), thick, ""},
        // A printer takes 10 to 100 um layers, whatever an archive states.
        {"h01.zip", pellar10Header("0.01", 1), {}, "10 um"},
        {"h1.zip", pellar10Header("0.1", 1), {}, "100 um"},
        {"h0009.zip", pellar10Header("0.009", 1), thick, ""},
        {"h0101.zip", pellar10Header("0.101", 1), thick, ""},
        {"h01009.zip", pellar10Header("0.1009", 1), thick, ""},
        {"h500.zip", pellar10Header("500", 1), thick, ""},
        {"nogcode.zip", QByteArray(), unknown, ""},
        {"notzip.zip", QByteArray(), unknown, ""},
    };
    ASSERT_TRUE(WriteZipArchive(path("good.zip"), {{"run.gcode", pellar10Header("0.05", 1)}, {"1.png", png}}));
    for (const auto& c : cases) {
        if (QString(c.name) == "notzip.zip")
            ASSERT_TRUE(writeFile(path(c.name), "PK but no archive"));
        else if (c.gcode.isNull())
            ASSERT_TRUE(WriteZipArchive(path(c.name), {{"1.png", png}}));
        else
            ASSERT_TRUE(WriteZipArchive(path(c.name), {{"run.gcode", c.gcode}, {"1.png", png}}));
        expectImport(path("good.zip"), c.name, c.box, c.shown);
        if (QString(c.name) == "nogcode.zip") {
            EXPECT_EQ(lastWhy, "the archive holds no \"run.gcode\"");
        }
        if (QString(c.name) == "notzip.zip") {
            EXPECT_TRUE(lastWhy.startsWith("cannot open the archive")) << lastWhy.toStdString();
        }
    }
    EXPECT_EQ(opened.first().filter, "ChiTuBox zip files (*.zip)");

    // A new format or Close asks for a new file.
    ASSERT_TRUE(import(path("good.zip")).isEmpty());
    source("Vexmor3D vxs files");
    EXPECT_FALSE(saveEnabled());
    EXPECT_TRUE(label("Label_FileName").isEmpty() && label("Label_LayerThick").isEmpty());
    ASSERT_TRUE(writeFile(path("p.vxs"), vxsHead(0.05f)));
    ASSERT_TRUE(import(path("p.vxs")).isEmpty());
    panel->show();
    QTest::mouseClick(w<QPushButton>("btn_Close"), Qt::LeftButton);
    EXPECT_FALSE(panel->isVisible());
    EXPECT_FALSE(saveEnabled());
    EXPECT_TRUE(label("Label_FileName").isEmpty() && label("Label_LayerThick").isEmpty());
}

TEST_F(ConverterPanel, ArchiveMustFitTheModelsCheckRow)
{
    const QMap<QString, QString> header{{"machineX", "68.04"},  {"machineY", "120.96"},   {"machineZ", "170"},
                                        {"resolutionX", "1440"}, {"resolutionY", "2560"}};
    const std::pair<const char*, bool> models[] = {{"Pellar30", true},   {"R20", true},       {"Pellar120", false},
                                                   {"Pellar4K", false},  {"Pellar10", false}, {"Pellar200", false},
                                                   {"Unlisted", true}};
    for (auto [model, fits] : models)
        EXPECT_EQ(VImportWidgetX::archiveMatchesModel(header, model), fits) << model;
    auto off = header;
    off["resolutionY"] = "2559";
    EXPECT_FALSE(VImportWidgetX::archiveMatchesModel(off, "Pellar30"));

    // Through Save: the check comes before the dialog.
    source("ChiTuBox zip files");
    const QByteArray gcode = ";machineX:68.04\n;machineY:120.96\n;machineZ:170\n;resolutionX:1440\n"
                             ";resolutionY:2560\n;layerHeight:0.05\n;totalLayer:1\nG21\n";
    ASSERT_TRUE(WriteZipArchive(path("p30.zip"), {{"run.gcode", gcode}}));
    ASSERT_TRUE(import(path("p30.zip")).isEmpty());
    QSignalSpy job(panel.get(), &VImportWidgetX::signal_ExportData);
    panel->setMachine("Pellar120");
    EXPECT_EQ(click("btn_Save", QString()), QStringList{"Image setting does not match!"});
    EXPECT_TRUE(saved.isEmpty());
    panel->setMachine("Pellar30");
    EXPECT_TRUE(click("btn_Save", QString()).isEmpty()); // cancelled dialog
    ASSERT_EQ(saved.size(), 1);
    EXPECT_EQ(saved[0].caption, "Import File");
    EXPECT_EQ(saved[0].start, dir.path() + "/out/p30"); // an archive gets no "_new"
    EXPECT_EQ(saved[0].filter, "(*.vxs30)");
    EXPECT_TRUE(job.isEmpty());
    EXPECT_TRUE(panel->m_pExportThread->m_exportType.isEmpty());
    EXPECT_TRUE(panel->m_pExportThread->m_exportPath.isEmpty());

    // A recipe whose file held a value no printer takes: named, no dialog.
    const QString recipe = w<QComboBox>("comboBox_Recipe")->currentText();
    const QString problem = "Pellar30Recipe.ini: Recipe/x/CuringTime = -5 (allowed 0..99999)";
    for (RecipePara& r : editor.m_listRecipe)
        if (r.name == recipe)
            r.valueProblem = problem;
    EXPECT_EQ(click("btn_Save", QString()), QStringList{"Value Out of Range\n" + problem});
    EXPECT_EQ(saved.size(), 1);
    EXPECT_TRUE(job.isEmpty());
}

TEST_F(ConverterPanel, ParameterBlockTakesRowRecipeAndFileAndNeedsTheRow)
{
    frmDeviceInterfaceSettings settings;
    panel->m_pDeviceSettings = &settings;
    w<QComboBox>("comboBox_Recipe")->setCurrentText("Vexmor3D Standard Rapid for 0.1mm");
    panel->m_fLayerThick = 0.025f;
    const std::pair<int, float> recipe[] = {{4, 0.025f}, {5, 12000}, {6, 80000}, {8, 1000}, {9, 1000}, {10, 0.3f},
                                            {12, 4},     {13, 2},    {14, 150},  {15, 150}, {16, 90},  {17, 90}};
    // Pellar4K: 3840 x 6480 pixels of 31.5 x 10.5 micrometres, 190 mm.
    const struct { bool rotate; float e0, e1, e2, e3; } rows[] = {{true, 1000 / 10.5f, 1000 / 31.5f, 6480, 3840},
                                                                  {false, 1000 / 31.5f, 1000 / 10.5f, 3840, 6480}};
    // Elements neither the row nor the recipe sets keep the default block's values,
    // with the converter's own three.
    const ST_MachinePara block = panel->m_pExportThread->m_para;
    EXPECT_EQ(std::tuple(block.ZLiftBottomLayer, block.HighofMiddleLayer, block.Dp), std::tuple(10.f, 0.6f, 150.f));
    for (const auto& r : rows) {
        SCOPED_TRACE(r.rotate);
        settings.m_machineParas["Pellar4K"].rotate = r.rotate;
        panel->m_strMachine = "Pellar4K";
        panel->setMachinePara();
        const float* e = &panel->m_pExportThread->m_para.DotsPermmX;
        for (auto [i, v] : {std::pair{0, r.e0}, {1, r.e1}, {2, r.e2}, {3, r.e3}, {30, 190.0f}})
            EXPECT_FLOAT_EQ(e[i], v) << i;
        for (auto [i, v] : recipe)
            EXPECT_FLOAT_EQ(e[i], v) << i;
        for (int i : {7, 11, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29, 31, 32, 33})
            EXPECT_EQ(e[i], DLP::machineParaValues(block)[i]) << i;
    }

    // A model without a printer row is refused before the dialog.
    settings.m_machineParas.remove("Pellar30");
    ASSERT_TRUE(writeFile(path("part.vxs30"), vxsHead(0.05f)));
    ASSERT_TRUE(import(path("part.vxs30")).isEmpty());
    QSignalSpy job(panel.get(), &VImportWidgetX::signal_ExportData);
    EXPECT_EQ(click("btn_Save", path("x.vxs30")), QStringList{"Image setting does not match!"});
    EXPECT_TRUE(saved.isEmpty());
    EXPECT_TRUE(job.isEmpty());
}

// Re-saving an own file: refused, with the command-line tool's message,
// when the model's frame is not the file's; the model's extension is added
// to a name chosen without one, and a file of that name is not replaced
// without a question.
TEST_F(ConverterPanel, ResaveChecksTheFrameAndNamesTheFileForThePrinter)
{
    frmDeviceInterfaceSettings settings;
    panel->m_pDeviceSettings = &settings;
    // A Pellar30 file saved as ".vxs" (its type in the printer table) reads as Pellar10.
    ASSERT_TRUE(writeFile(path("p30.vxs"), vxsFile(0.05f, 1440, 2560, 2, 1440 * 2560)));
    ASSERT_TRUE(import(path("p30.vxs")).isEmpty());
    QSignalSpy job(panel.get(), &VImportWidgetX::signal_ExportData);
    ST_MachinePara source{}, target = PrinterModels::ConverterDefaultPara();
    source.XResolution = 1440;
    source.YResolution = 2560;
    const auto row = settings.m_machineParas.value("Pellar10");
    PrinterModels::ApplyFrame(target, {row.xResolution, row.yResolution, row.pixelSizeX, row.pixelSizeY,
                                       row.zHeight, row.rotate});
    const QString toolSays = PrinterModels::SourceFrameProblem(source, target, "Pellar10");
    ASSERT_TRUE(toolSays.startsWith("Image setting does not match!"));
    EXPECT_EQ(click("btn_Save", path("never.vxs")), QStringList{toolSays});
    EXPECT_TRUE(job.isEmpty());
    EXPECT_TRUE(saved.isEmpty());

    // A Pellar10 file: the name chosen without an extension gets ".vxs".
    ASSERT_TRUE(writeFile(path("p10.vxs"), vxsFile(0.05f, 480, 854, 2, 480 * 854)));
    ASSERT_TRUE(writeFile(path("taken.vxs"), "the user's other file"));
    ASSERT_TRUE(import(path("p10.vxs")).isEmpty());
    const struct { const char* chosen; std::deque<QMessageBox::StandardButton> answers; const char* written; bool asked; } cases[] = {
        {"part_new", {}, "part_new.vxs", false},
        {"dot.", {}, "dot.vxs", false},
        {"mine.job", {}, "mine.job.vxs", false},
        {"taken", {QMessageBox::No}, nullptr, true},
        {"taken", {QMessageBox::Yes}, "taken.vxs", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.chosen);
        job.clear();
        saveAnswer = path(c.chosen);
        ModalAnswers modal(c.answers);
        QTest::mouseClick(w<QPushButton>("btn_Save"), Qt::LeftButton);
        panel->m_pExportThread->wait();
        QTest::qWait(20);
        EXPECT_EQ(modal.texts.size(), c.asked ? 1 : 0) << modal.texts.join('|').toStdString();
        if (c.asked) {
            EXPECT_EQ(modal.defaults.value(0), QMessageBox::No);
        }
        if (!c.written) {
            EXPECT_TRUE(job.isEmpty());
            EXPECT_EQ(readFile(path("taken.vxs")), "the user's other file");
            continue;
        }
        ASSERT_EQ(job.size(), 1);
        EXPECT_EQ(panel->m_pExportThread->m_dstPath, path(c.written));
        EXPECT_EQ(panel->m_pExportThread->lastResult(), ExportOk) << qPrintable(panel->m_pExportThread->lastMessage());
        EXPECT_EQ(readFile(path(c.written)).left(8), "Vexmor3D");
    }
    EXPECT_FALSE(QFile::exists(path("part_new")));

    // A file the application saved for Pellar10 states the model's row as it
    // stands (854 x 480) over the same turned layers: re-saved, and kept so.
    ASSERT_TRUE(writeFile(path("own.vxs"), vxsFile(0.05f, 854, 480, 2, 480 * 854)));
    ASSERT_TRUE(import(path("own.vxs")).isEmpty());
    job.clear();
    saveAnswer = path("own_new");
    {
        ModalAnswers modal;
        QTest::mouseClick(w<QPushButton>("btn_Save"), Qt::LeftButton);
        panel->m_pExportThread->wait();
        QTest::qWait(20);
        EXPECT_TRUE(modal.texts.isEmpty()) << modal.texts.join('|').toStdString();
    }
    ASSERT_EQ(job.size(), 1);
    EXPECT_EQ(panel->m_pExportThread->lastResult(), ExportOk) << qPrintable(panel->m_pExportThread->lastMessage());
    const QByteArray resaved = readFile(path("own_new.vxs"));
    ASSERT_GE(resaved.size(), 28 + 4 * 4);
    float frame[2];
    std::memcpy(frame, resaved.constData() + 28 + 2 * 4, sizeof(frame)); // block elements 2 and 3
    EXPECT_EQ(frame[0], 854.f);
    EXPECT_EQ(frame[1], 480.f);
}

// Of the two 4K models sharing ".vxs4k", a file selects the one whose
// machine code it carries, and is re-saved for it (the re-save keeps the
// code, and the other printer would refuse the file).
TEST_F(ConverterPanel, A4KFileSelectsThe4KModelOfItsCode)
{
    const struct { int code; const char* selected; } cases[] = {{4500, "Pellar4Kmono"}, {4000, "Pellar4K"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.selected);
        panel->setMachine("Pellar10");
        const QString file = path(QString("part%1.vxs4k").arg(c.code));
        ASSERT_TRUE(writeFile(file, VxsSource(c.code, 3840, 6480, 0.05f, 2)));
        ASSERT_TRUE(import(file).isEmpty());
        EXPECT_EQ(machine(), c.selected);
        const QString out = path(QString("new%1.vxs4k").arg(c.code));
        EXPECT_TRUE(click("btn_Save", out).isEmpty());
        panel->m_pExportThread->wait();
        EXPECT_EQ(panel->m_pExportThread->lastResult(), ExportOk) << qPrintable(panel->m_pExportThread->lastMessage());
        EXPECT_EQ(LittleEndianInt(readFile(out), 16), c.code);
    }
}

// Hostile archives and print files for another printer through the panel:
// each is refused in one box with its reason, or written with a note, and
// none takes the window past a few hundred megabytes.
TEST_F(ConverterPanel, HostileSourcesAreRefusedOrNotedWithinTheirMemory)
{
    for (const HostileSource& s : HostileSources()) {
        if (s.toolOnly)
            continue;
        SCOPED_TRACE(s.name);
        const bool own = !s.file.endsWith(".zip");
        source(own ? "Vexmor3D vxs files" : "ChiTuBox zip files");
        // An own file's extension chooses its printer; an archive is converted for the current one.
        panel->setMachine(own ? "Pellar10" : s.model);
        ASSERT_TRUE(s.write(path(s.file)));
        ASSERT_TRUE(import(path(s.file)).isEmpty());
        const QString out = path("out." + PrinterModels::Extension(s.model));
        QFile::remove(out);
        QSignalSpy started(panel.get(), &VImportWidgetX::signal_ExportData);
        const bool peakKnown = resetPeakMemory();
        const qint64 before = peakMemoryKb();
        QStringList boxes = click("btn_Save", out);
        panel->m_pExportThread->wait();
        const qint64 grown = peakMemoryKb() - before;
        if (!started.isEmpty()) {
            ASSERT_TRUE(boxes.isEmpty()) << boxes.join('|').toStdString();
            ModalAnswers modal;
            panel->slot_ExportDataDone(panel->m_pExportThread->lastResult(), panel->m_pExportThread->lastMessage());
            boxes = modal.texts;
        }
        EXPECT_EQ(QFile::exists(out), s.written);
        if (s.written && s.says.isEmpty()) {
            EXPECT_TRUE(boxes.isEmpty()) << boxes.join('|').toStdString();
        } else {
            ASSERT_EQ(boxes.size(), 1);
            if (s.written) {
                EXPECT_TRUE(boxes[0].startsWith("The print file was written, but:\n")) << boxes[0].toStdString();
            }
            for (const QString& part : s.says)
                EXPECT_TRUE(boxes[0].contains(part)) << boxes[0].toStdString() << "\nlacks: " << part.toStdString();
        }
#ifndef VSL_SANITIZED_HEAP
        if (peakKnown) {
            EXPECT_LT(grown, kHostileSourcePeakKb) << "grew " << grown << " kB";
        }
#endif
        if (peakKnown)
            std::printf("[ grew     ] %s: %lld kB\n", s.name, static_cast<long long>(grown));
        QFile::remove(path(s.file));
    }
}

TEST_F(ConverterPanel, DoneReportIsOneCriticalBoxPerFailure)
{
    QStringList sentences;
    for (int code = -1; code >= -7; --code) {
        ModalAnswers modal;
        panel->slot_ExportDataDone(code, "why");
        ASSERT_EQ(modal.texts.size(), 1) << code;
        EXPECT_TRUE(modal.texts[0].endsWith("\nwhy")) << code;
        sentences << modal.texts[0];
    }
    EXPECT_EQ(sentences.removeDuplicates(), 0);
    EXPECT_EQ(sentences[3], "A layer of the archive is missing or damaged.\nwhy");
    {
        // Said as the slice says it.
        ModalAnswers modal;
        panel->slot_ExportDataDone(ExportNothingLit, "Nothing to print. No layer of /x.zip lights a pixel.");
        ASSERT_EQ(modal.texts.size(), 1);
        EXPECT_EQ(modal.texts[0], "Nothing to print.\nNo layer of the file lights a pixel.");
    }
    ModalAnswers modal;
    panel->slot_ExportDataDone(0, QString());
    QTest::qWait(30);
    EXPECT_TRUE(modal.texts.isEmpty());
}

TEST_F(ConverterPanel, RunningConversionKeepsItsJob)
{
    ASSERT_TRUE(WriteZipArchive(path("part.zip"), pellar10Archive(3)));
    source("ChiTuBox zip files");
    ASSERT_TRUE(import(path("part.zip")).isEmpty());
    // Hold the conversion inside its first layer until the checks are done.
    QSemaphore inside, go;
    std::atomic<bool> first{true};
    panel->m_pExportThread->m_inFlightObserver = [&](qint64) {
        if (first.exchange(false)) {
            inside.release();
            go.acquire();
        }
    };
    QSignalSpy done(panel->m_pExportThread, &ExportThread::signal_ExportDataDone);
    EXPECT_TRUE(click("btn_Save", path("held.vxs")).isEmpty());
    ASSERT_TRUE(inside.tryAcquire(1, kHangMs));
    const QString running = "A conversion is still running.";
    for (const QStringList& boxes : {click("btn_Save", path("other.vxs")), import(path("other.zip"))})
        EXPECT_EQ(boxes, QStringList{running});
    EXPECT_EQ(panel->m_pExportThread->m_exportPath, path("held.vxs"));
    EXPECT_EQ(panel->m_pExportThread->m_zipPath, path("part.zip"));
    EXPECT_EQ(saved.size(), 1);
    go.release();
    ASSERT_TRUE(done.wait(kHangMs) || !done.isEmpty());
    panel->m_pExportThread->wait();
    EXPECT_EQ(done.first().at(0).toInt(), 0);
    EXPECT_TRUE(saveEnabled());
}

// A Pellar30 archive as such a printer's slicer writes it: its check row,
// "preview.png" and the second thumbnail beside it, `layers` layers.
ArchiveMembers pellar30Archive(int layers)
{
    const QByteArray header = QStringLiteral(";machineX:68.04\n;machineY:120.96\n;machineZ:170\n;resolutionX:1440\n"
                                             ";resolutionY:2560\n;layerHeight:0.05\n;totalLayer:%1\nG21\n")
                                  .arg(layers)
                                  .toLatin1();
    QImage preview(64, 48, QImage::Format_RGB32);
    preview.fill(QColor(40, 80, 160));
    ArchiveMembers members{{"run.gcode", header}, {"preview.png", PngBytes(preview)},
                           {"preview_cropping.png", PngBytes(preview.copy(8, 8, 32, 32))}};
    QImage layer(1440, 2560, QImage::Format_Grayscale8);
    layer.fill(0);
    for (int y = 1000; y < 1100; ++y)
        std::fill_n(layer.scanLine(y) + 600, 100, uchar(255));
    for (int i = 1; i <= layers; ++i)
        members.append({QString::number(i) + ".png", PngBytes(layer)});
    return members;
}

// Every new source is for the printer chosen in the title bar: an own file
// of another model selects its model for its re-save only, and an archive
// for the title bar's printer is converted after it, however the panel
// was left. An archive of another frame is refused naming both frames.
TEST_F(ConverterPanel, EachNewSourceIsForTheTitleBarsPrinter)
{
    frmDeviceInterfaceSettings settings;
    panel->m_pDeviceSettings = &settings;
    panel->setMachine("Pellar30");
    ASSERT_TRUE(writeFile(path("p10.vxs"), VxsSource(10, 480, 854, 0.05f, 2)));
    ASSERT_TRUE(writeFile(path("other.vxs300"), VxsSource(30, 1440, 2560, 0.05f, 2)));
    ASSERT_TRUE(WriteZipArchive(path("p30.zip"), pellar30Archive(2)));
    ASSERT_TRUE(WriteZipArchive(path("p10.zip"), pellar10Archive(1)));
    auto save = [&](const QString& out, QStringList* informative = nullptr) {
        QFile::remove(out);
        saveAnswer = out;
        QSignalSpy done(panel->m_pExportThread, &ExportThread::signal_ExportDataDone);
        QSignalSpy started(panel.get(), &VImportWidgetX::signal_ExportData);
        ModalAnswers modal;
        QTest::mouseClick(w<QPushButton>("btn_Save"), Qt::LeftButton);
        if (!started.isEmpty()) {
            EXPECT_TRUE(done.count() > 0 || done.wait(60000));
            panel->m_pExportThread->wait();
            panel->slot_ExportDataDone(panel->m_pExportThread->lastResult(), panel->m_pExportThread->lastMessage());
        }
        if (informative)
            *informative = modal.informative;
        return modal.texts;
    };
    // Each way the panel can be left after re-saving a Pellar10 file.
    const struct { const char* how; std::function<void()> leave; } roads[] = {
        {"another format chosen", [&] { source("ChiTuBox zip files"); }},
        {"closed and opened again",
         [&] {
             panel->show();
             QTest::mouseClick(w<QPushButton>("btn_Close"), Qt::LeftButton);
             panel->show();
             source("ChiTuBox zip files");
         }},
        {"another own file imported",
         [&] {
             EXPECT_TRUE(import(path("other.vxs300")).isEmpty());
             EXPECT_EQ(machine(), "Pellar30");
             source("ChiTuBox zip files");
         }},
    };
    for (const auto& road : roads) {
        SCOPED_TRACE(road.how);
        source("Vexmor3D vxs files");
        ASSERT_TRUE(import(path("p10.vxs")).isEmpty());
        EXPECT_EQ(machine(), "Pellar10"); // greyed, as for that file
        EXPECT_EQ(save(path("p10_new.vxs")), QStringList());
        EXPECT_EQ(panel->m_pExportThread->lastResult(), ExportOk) << qPrintable(panel->m_pExportThread->lastMessage());
        EXPECT_EQ(LittleEndianInt(readFile(path("p10_new.vxs")), 16), 10);
        road.leave();

        ASSERT_TRUE(import(path("p30.zip")).isEmpty());
        EXPECT_EQ(machine(), "Pellar30");
        const QString out = path("p30.vxs30");
        EXPECT_EQ(save(out), QStringList()); // no refusal, and no note for the thumbnail
        EXPECT_EQ(panel->m_pExportThread->lastResult(), ExportOk) << qPrintable(panel->m_pExportThread->lastMessage());
        VxsFileContents vxs;
        QString error;
        ASSERT_TRUE(ReadVxs(readFile(out), false, vxs, error)) << error.toStdString();
        EXPECT_EQ(vxs.machineCode, 30);
        EXPECT_EQ(vxs.layerCodes.size(), 2);
        EXPECT_EQ(vxs.para.value(30), 170.f);

        // An archive of Pellar10's frame: refused, both frames named.
        ASSERT_TRUE(import(path("p10.zip")).isEmpty());
        const int dialogs = saved.size();
        QStringList detail;
        EXPECT_EQ(save(path("never.vxs30"), &detail), QStringList{"Image setting does not match!"});
        EXPECT_EQ(detail, QStringList{"The archive is made for 55.44 x 98.637 x 140 mm at 960 x 1708 pixels; Pellar30 "
                                      "builds 68.04 x 120.96 x 170 mm at 1440 x 2560 pixels."});
        EXPECT_EQ(saved.size(), dialogs);
        EXPECT_FALSE(QFile::exists(path("never.vxs30")));
    }
}

// In the Chinese interface every refusal of the panel, and the note of what
// a conversion left out, is Chinese: no English word of the program's own
// is left in a box (file and model names, units and "run.gcode" are names).
TEST_F(ConverterPanel, RefusalsAndNotesSpeakChinese)
{
    vexmorInitResources();
    Translators chinese;
    ASSERT_TRUE(chinese.install(":/Resources/lang/zh-cn.qm"));
    frmDeviceInterfaceSettings settings;
    panel->m_pDeviceSettings = &settings;
    const auto englishWords = [](QString text) {
        static const QRegularExpression names(
            "\\S*\\.(png|vxs\\w*|zip)\\b|run\\.gcode|Pellar\\w*|\\bR[12]0\\b|\\bmm\\b|\\bx\\b");
        text.remove(names);
        QStringList words;
        QRegularExpressionMatchIterator it = QRegularExpression("[A-Za-z]{2,}").globalMatch(text);
        while (it.hasNext())
            words << it.next().captured();
        return words;
    };
    ASSERT_TRUE(writeFile(path("p120.vxs30"), VxsSource(120, 1440, 2560, 0.05f, 2)));
    ASSERT_TRUE(writeFile(path("tall.vxs30"), VxsSource(30, 1440, 2560, 0.05f, 3401)));
    ASSERT_TRUE(writeFile(path("p30.vxs"), VxsSource(10, 1440, 2560, 0.05f, 2)));
    ASSERT_TRUE(WriteZipArchive(path("p10.zip"), pellar10Archive(1)));
    ArchiveMembers three = pellar10Archive(3);
    three[0].second.replace(";totalLayer:3\n", ";totalLayer:2\n");
    ASSERT_TRUE(WriteZipArchive(path("three.zip"), three));
    const struct { const char* what; const char* printer; const char* format; QString file; QString text, detail; } rows[] = {
        {"wrong printer", "Pellar30", "Vexmor3D vxs files", path("p120.vxs30"),
         QString::fromUtf8("打印机不符！源文件是机器代码 120（Pellar120）的打印文件；Pellar30 只打印其自身机器代码 30 的文件"),
         ""},
        {"too tall", "Pellar30", "Vexmor3D vxs files", path("tall.vxs30"),
         QString::fromUtf8("过高，无法打印！其 3401 层 0.05 mm 的切片共 170.05 mm，超过 Pellar30 的成型高度 170 mm"), ""},
        {"an own file of another frame", "Pellar30", "Vexmor3D vxs files", path("p30.vxs"),
         QString::fromUtf8("图像设置不匹配！源文件为 1440 x 2560 像素，Pellar10 需要 480 x 854"), ""},
        {"an archive of another frame", "Pellar30", "ChiTuBox zip files", path("p10.zip"),
         QString::fromUtf8("图像设置不匹配！"),
         QString::fromUtf8("压缩包适用于 55.44 x 98.637 x 140 mm、960 x 1708 像素的打印机；Pellar30 的成型尺寸为 68.04 x "
                           "120.96 x 170 mm、1440 x 2560 像素。")},
        {"a picture left out", "Pellar10", "ChiTuBox zip files", path("three.zip"),
         QString::fromUtf8("打印文件已写入，但是：\n有 1 张层图片未转换（“3.png”）：“run.gcode”的文件头只计 2 层"), ""},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.what);
        panel->setMachine(r.printer);
        source(r.format);
        ASSERT_TRUE(import(r.file).isEmpty());
        QSignalSpy started(panel.get(), &VImportWidgetX::signal_ExportData);
        saveAnswer = path("out.vxs");
        ModalAnswers modal;
        QTest::mouseClick(w<QPushButton>("btn_Save"), Qt::LeftButton);
        if (!started.isEmpty()) {
            panel->m_pExportThread->wait();
            panel->slot_ExportDataDone(panel->m_pExportThread->lastResult(), panel->m_pExportThread->lastMessage());
        }
        ASSERT_EQ(modal.texts.size(), 1);
        EXPECT_EQ(modal.texts[0], r.text);
        EXPECT_EQ(modal.informative[0], r.detail);
        EXPECT_EQ(englishWords(modal.texts[0] + " " + modal.informative[0]), QStringList());
    }
}

// The title-bar Import of the main window: the panel's jobs run under the
// busy overlay and their end comes back through the window.
TEST(ConverterInMainWindow, ConvertsResavesAndReportsAMissingLayer)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    qputenv("VEXMOR_CONFIG_DIR", dir.path().toUtf8());
    QStandardPaths::setTestModeEnabled(true);
    ASSERT_TRUE(WriteZipArchive(dir.filePath("part.zip"), pellar10Archive(3)));
    ASSERT_TRUE(WriteZipArchive(dir.filePath("gap.zip"), pellar10Archive(3, 2)));
    QString answer, proposed;
    FileChooser::setOpenChooser([&](QWidget*, const QString&, const QString&, const QString&) { return answer; });
    FileChooser::setSaveChooser([&](QWidget*, const QString&, const QString& start, const QString&) {
        proposed = start;
        return answer;
    });
    {
        Vexmor w;
        w.show();
        ASSERT_TRUE(WaitUntilExposed(&w));
        QTest::mouseClick(w.ui.ImportButton, Qt::LeftButton);
        VImportWidgetX* panel = w.m_pImportWidget;
        ASSERT_TRUE(panel->isVisible());
        auto button = [panel](const char* name) { return panel->findChild<QPushButton*>(name); };
        auto run = [&](const QString& in, const QString& out, bool own) {
            panel->findChild<QComboBox*>("comboBox_Source")
                ->setCurrentText(own ? "Vexmor3D vxs files" : "ChiTuBox zip files");
            ModalAnswers modal;
            answer = in;
            QTest::mouseClick(button("btn_Import"), Qt::LeftButton);
            answer = out;
            QTest::mouseClick(button("btn_Save"), Qt::LeftButton);
            EXPECT_TRUE(w.isWorking());
            EXPECT_FALSE(panel->isEnabled());
            EXPECT_TRUE(WaitUntil([&] { return !w.isWorking(); }, kHangMs));
            EXPECT_TRUE(panel->isEnabled());
            return modal.texts;
        };
        const QString converted = dir.filePath("part.vxs");
        EXPECT_TRUE(run(dir.filePath("part.zip"), converted, false).isEmpty());
        EXPECT_EQ(panel->m_pExportThread->m_nMachineY, 98637); // 98.637 mm, rounded not cut
        panel->grab().save("converter_panel.png");
        VxsFileContents vxs;
        QString error;
        ASSERT_TRUE(ReadVxs(readFile(converted), false, vxs, error)) << error.toStdString();
        EXPECT_EQ(vxs.machineCode, 10);
        EXPECT_EQ(vxs.layerCodes.size(), 3);
        EXPECT_FLOAT_EQ(vxs.para.value(5), 6000);

        // Re-saved with the block of another recipe (the converter's own tests
        // check that nothing else changes).
        panel->findChild<QComboBox*>("comboBox_Recipe")->setCurrentText("Vexmor3D Standard Rapid for 0.1mm");
        const QString resaved = dir.filePath("part_new.vxs");
        EXPECT_TRUE(run(converted, resaved, true).isEmpty());
        EXPECT_TRUE(proposed.endsWith("/part_new")) << proposed.toStdString();
        EXPECT_EQ(panel->findChild<QLabel*>("Label_LayerThick")->text(), "50 um");
        const QByteArray after = readFile(resaved);
        EXPECT_EQ(LittleEndianFloat(after, 28 + 5 * 4), 12000.0f);
        EXPECT_EQ(LittleEndianFloat(after, 28 + 4 * 4), 0.05f);

        const QStringList boxes = run(dir.filePath("gap.zip"), dir.filePath("gap.vxs"), false);
        ASSERT_EQ(boxes.size(), 1);
        EXPECT_TRUE(boxes[0].startsWith("A layer of the archive is missing or damaged.\nlayer 2"));
        EXPECT_FALSE(QFile::exists(dir.filePath("gap.vxs")));
    }
    FileChooser::setOpenChooser({});
    FileChooser::setSaveChooser({});
    qunsetenv("VEXMOR_CONFIG_DIR");
}

} // namespace
