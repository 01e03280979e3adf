// Plates exactly as tall as each printer builds, sliced at every layer
// thickness the slice panel offers and written by the program, are taken
// again for that printer: re-saved by the converter's worker and through the
// converter panel, and an archive of as many layers passes the panel.
#include "FileChooser.h"
#include "VEditRecipeWidget.h"
#include "VImportWidgetX.h"
#include "VSL3DScene.h"
#include "VSLGLView.h"
#include "VSLModel3D.h"
#include "VSliceWidgetX.h"
#include "frmDeviceInterfaceSettings.h"
#include "hostile_sources.h"
#include "modal_answer.h"
#include "printfile/ExportThread.h"
#include "printfile/printermodels.h"
#include "printfile/vxsresave.h"
#include "test_meshes.h"

#include <QComboBox>
#include <QFile>
#include <QPushButton>
#include <QSignalSpy>
#include <QSlider>
#include <QTemporaryDir>
#include <QtTest/QTest>
#include <gtest/gtest.h>

#include <map>

namespace {

// A slice frame of 64 x 64 pixels at 4 pixels a millimetre: the height rule
// does not depend on it, and small frames keep thousands of layers quick.
constexpr int kFrame = 64;
constexpr float kPixelsPerMm = 4;

// The thicknesses the slice panel sends with its slice request, one per
// position of its thickness slider.
QVector<float> sliceThicknesses()
{
    VSLGLView view;
    DLP::SliceBuildConfig config;
    VSliceWidgetX panel(&view, config);
    panel.updateMachineCfg(kFrame, kFrame, kPixelsPerMm, kPixelsPerMm);
    QSignalSpy asked(&panel, &VSliceWidgetX::sig_SliceScene);
    auto* slider = panel.findChild<QSlider*>("HSlider_Thick");
    QVector<float> thicknesses;
    for (int v = slider->minimum(); v <= slider->maximum(); ++v) {
        slider->setValue(v);
        panel.slot_HandleSliceReq();
        if (!asked.isEmpty())
            thicknesses << asked.takeLast().at(0).toFloat();
    }
    return thicknesses;
}

// A 5 x 5 mm post `height` tall on a plate `height` tall, sliced (Slice must
// take it) and written as a print file of `code` at `path`; its layer count,
// or -1.
int sliceAndWrite(const QString& folder, float height, float thickness, int code, const QString& path)
{
    VSL3DScene scene;
    scene.m_fnOutOfRangeWarning = [] {};
    scene.SetBound(QVector3D(8, 8, height), QVector3D(-8, -8, 0), 1000 / kPixelsPerMm, 1000 / kPixelsPerMm);
    const QString stl = folder + "/post.stl";
    if (!testmesh::WriteFile(stl, testmesh::BinaryStl(testmesh::Box({-2.5f, -2.5f, 0}, {2.5f, 2.5f, height}))) ||
        !scene.AddModel(stl))
        return -1;
    const bool ready = QTest::qWaitFor(
        [&] {
            for (VSLModel3D* m : scene.models())
                if (!m->isReady())
                    return false;
            return true;
        },
        120000);
    QCoreApplication::processEvents();
    if (!ready)
        return -1;
    QSignalSpy done(&scene, &VSL3DScene::sig_SliceSceneDone);
    const SceneOp op = scene.StartSliceScene(kFrame, kFrame, kPixelsPerMm, kPixelsPerMm, thickness, 0);
    EXPECT_EQ(op, SceneOp::Done) << scene.lastSliceError().toStdString();
    if (op != SceneOp::Done || !(done.count() > 0 || done.wait(600000)))
        return -1;
    scene.m_nMachineCode = code;
    scene.m_strSaveFileName = path;
    ST_MachinePara para = DLP::machineParaFrom(DLP::SliceBuildConfig());
    para.XResolution = kFrame;
    para.YResolution = kFrame;
    para.SliceThickness = thickness;
    para.MachineHeight = height;
    if (scene.generatePrintableData_VXS(para, path) != 0)
        return -1;
    return done.at(0).at(0).toInt();
}

class FullHeightPlates : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        qputenv("VEXMOR_CONFIG_DIR", dir.path().toUtf8());
        FileChooser::setOpenChooser([this](QWidget*, const QString&, const QString&, const QString&) { return openAnswer; });
        FileChooser::setSaveChooser([this](QWidget*, const QString&, const QString&, const QString&) {
            ++saveDialogs;
            return saveAnswer;
        });
    }
    void TearDown() override
    {
        FileChooser::setOpenChooser({});
        FileChooser::setSaveChooser({});
        qunsetenv("VEXMOR_CONFIG_DIR");
    }
    QString path(const QString& name) const { return dir.filePath(name); }

    QTemporaryDir dir;
    QString openAnswer, saveAnswer;
    int saveDialogs = 0;
};

// One printer model a test, so that ctest runs the models side by side.
class FullHeightPlatesOfAModel : public FullHeightPlates, public ::testing::WithParamInterface<int>
{
};

TEST_P(FullHeightPlatesOfAModel, AreResavedForTheirPrinterAtEveryThicknessOfTheSlicePanel)
{
    const QVector<float> thicknesses = sliceThicknesses();
    ASSERT_EQ(thicknesses.size(), 19); // 10 to 100 micrometres in steps of 5
    EXPECT_FLOAT_EQ(thicknesses.first(), 0.01f);
    EXPECT_FLOAT_EQ(thicknesses.last(), 0.1f);

    VSLGLView view;
    DLP::SliceBuildConfig config;
    // Layers Slice made of a post as tall as the printer, by height and thickness.
    std::map<std::pair<float, float>, int> sliced;
    {
        const auto& rows = frmDeviceInterfaceSettings::builtInMachineParas();
        ASSERT_LT(GetParam(), rows.size());
        const frmDeviceInterfaceSettings::MachinePara& row = rows[GetParam()];
        const QString model = row.modelName;
        const int code = PrinterModels::MachineCode(model);
        VEditRecipeWidget editor;
        editor.setMachine(model);
        editor.readIniFileX();
        VImportWidgetX panel(&view, &editor, config);
        panel.setMachine(model);
        QObject::connect(&panel, &VImportWidgetX::signal_ExportData,
                         [&panel] { panel.m_pExportThread->start(QThread::HighPriority); });
        auto* source = panel.findChild<QComboBox*>("comboBox_Source");
        auto click = [&](const char* button, const QString& answer) {
            openAnswer = saveAnswer = answer;
            ModalAnswers modal;
            QTest::mouseClick(panel.findChild<QPushButton*>(button), Qt::LeftButton);
            return modal.texts;
        };
        for (const float thickness : thicknesses) {
            const QString what = QString("%1 at %2 mm").arg(model).arg(double(thickness));
            SCOPED_TRACE(what.toStdString());
            const float height = row.zHeight;
            // The program's own file: sliced, written, re-saved by the worker.
            auto key = std::make_pair(height, thickness);
            if (!sliced.count(key)) {
                const QString written = path("plate.vxs"), resaved = path("plate_new.vxs");
                const int layers = sliceAndWrite(dir.path(), height, thickness, code, written);
                ASSERT_GT(layers, 0);
                sliced[key] = layers;
                ST_MachinePara para = DLP::machineParaFrom(DLP::SliceBuildConfig());
                para.XResolution = kFrame;
                para.YResolution = kFrame;
                para.SliceThickness = thickness;
                para.MachineHeight = height;
                int count = 0, bad = 0;
                QString error;
                const ResavePrinter printer{model, code};
                EXPECT_EQ(ResaveVxs(written, resaved, para, &count, error, &bad, &printer), ResaveResult::Ok)
                    << error.toStdString();
                EXPECT_EQ(count, layers);
            }
            const int layers = sliced[key];

            // As many layers in the printer's own frame, through the panel.
            source->setCurrentText("Vexmor3D vxs files");
            const QString own = path("plate." + PrinterModels::Extension(model));
            const int w = int(row.rotate ? row.yResolution : row.xResolution);
            const int h = int(row.rotate ? row.xResolution : row.yResolution);
            {
                QFile f(own);
                const QByteArray bytes = VxsSource(code, w, h, thickness, layers);
                ASSERT_TRUE(f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size());
            }
            ASSERT_EQ(click("btn_Import", own), QStringList());
            QSignalSpy done(panel.m_pExportThread, &ExportThread::signal_ExportDataDone);
            const QString out = path("plate_new." + PrinterModels::Extension(model));
            QFile::remove(out);
            EXPECT_EQ(click("btn_Save", out), QStringList());
            ASSERT_TRUE(done.count() > 0 || done.wait(600000));
            panel.m_pExportThread->wait();
            EXPECT_EQ(panel.m_pExportThread->lastResult(), ExportOk)
                << panel.m_pExportThread->lastMessage().toStdString();
            EXPECT_TRUE(QFile::exists(out));

            // An archive of as many layers passes the panel's checks: the
            // save dialog comes (and is cancelled).
            PrinterModels::ArchiveCheck check;
            ASSERT_TRUE(PrinterModels::ArchiveCheckFor(model, check));
            const QString header = QString(";machineX:%1\n;machineY:%2\n;machineZ:%3\n;resolutionX:%4\n;resolutionY:%5\n"
                                           ";layerHeight:%6\n;totalLayer:%7\nG21\n")
                                       .arg(check.machineX / 1000.0)
                                       .arg(check.machineY / 1000.0)
                                       .arg(check.machineZ / 1000.0)
                                       .arg(check.resolutionX)
                                       .arg(check.resolutionY)
                                       .arg(double(thickness), 0, 'g', 9)
                                       .arg(layers);
            ASSERT_TRUE(WriteZipArchive(path("plate.zip"), {{"run.gcode", header.toLatin1()}}));
            source->setCurrentText("ChiTuBox zip files");
            ASSERT_EQ(click("btn_Import", path("plate.zip")), QStringList());
            const int dialogs = saveDialogs;
            EXPECT_EQ(click("btn_Save", QString()), QStringList());
            EXPECT_EQ(saveDialogs, dialogs + 1);
        }
    }
    // The plates were as tall as the printers: their last layer reaches past
    // the top at some thicknesses (Pellar30's 5667 layers of 0.03 mm make 170.01 mm).
    if (sliced.count({170.f, thicknesses[4]})) {
        EXPECT_EQ(sliced.at({170.f, thicknesses[4]}), 5667);
    }
}

// Every built-in model (the table's size is checked by the last row's test).
INSTANTIATE_TEST_SUITE_P(BuiltInModels, FullHeightPlatesOfAModel, ::testing::Range(0, 5));

TEST(FullHeightPlatesModels, AreTheFiveRowsOfTheTable)
{
    EXPECT_EQ(frmDeviceInterfaceSettings::builtInMachineParas().size(), 5);
}

} // namespace
