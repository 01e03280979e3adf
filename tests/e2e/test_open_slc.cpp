// An SLC file through the main window's open road: its layers are the slice,
// they save as they are, and the plate takes no STL model beside them.
#include "e2e_fixture.h"
#include "modal_answer.h"
#include "../printfile/printfiledecoder.h"

#include <QDataStream>
#include <QFile>

#include <cmath>

namespace {

// An SLC file of `layers` records, each a w x h mm rectangle, 0.05 mm apart.
QByteArray SlcOfBlock(int layers, float w, float h)
{
    QByteArray bytes("-SLCVER 2.0 -UNIT MM -PACKAGE test\r\n\x1a");
    bytes.append(QByteArray(256, '\0'));
    bytes.append(char(1));
    QDataStream s(&bytes, QIODevice::Append);
    s.setByteOrder(QDataStream::LittleEndian);
    s.setFloatingPointPrecision(QDataStream::SinglePrecision);
    s << 0.f << 0.05f << 0.f << 0.f;
    const float corners[5][2] = {{0, 0}, {w, 0}, {w, h}, {0, h}, {0, 0}};
    for (int i = 1; i <= layers; ++i) {
        s << 0.05f * float(i) << quint32(1) << quint32(5) << quint32(0);
        for (const auto& c : corners)
            s << c[0] << c[1];
    }
    s << 9.f << quint32(0xFFFFFFFF);
    return bytes;
}

class OpenSlc : public MainWindowTest
{
protected:
    // Layers of the view whose outlines do not enclose w x h mm (in pixels
    // of the current printer model), within 2 %.
    static int LayersNotEnclosing(Vexmor& win, double w, double h)
    {
        VSLGLView* view = win.ui.GLWidget;
        const double px2 = w * h * win.m_buildConfig.DotsPermmX * win.m_buildConfig.DotsPermmY;
        int wrong = 0;
        for (const QVector<QPolygonF>& layer : view->GetSliceData()) {
            double area = 0;
            for (const QPolygonF& p : layer)
                for (int i = 0; i < p.size(); ++i) {
                    const QPointF a = p[i], b = p[(i + 1) % p.size()];
                    area += a.x() * b.y() - b.x() * a.y();
                }
            wrong += std::fabs(std::fabs(area / 2) - px2) > 0.02 * px2;
        }
        return wrong;
    }
};

TEST_F(OpenSlc, AnSlcFileLoadsAsTheSliceSavesAndKeepsStlModelsOut)
{
    Vexmor w;
    ASSERT_NO_FATAL_FAILURE(open(w, 10.f));
    shot(w, "slc_0_start");
    const QString slc = work.filePath("block.slc");
    ASSERT_TRUE(testmesh::WriteFile(slc, SlcOfBlock(200, 12, 8)));
    VSLGLView* view = w.ui.GLWidget;
    QSignalSpy thickness(&w, &Vexmor::signal_slc_layerthick);

    // Load: the bar's button, the chooser answering with the SLC file.
    openAnswer = slc;
    {
        ModalAnswers modal;
        ASSERT_NO_FATAL_FAILURE(clickQml(w.m_pNavBar, "loadButton"));
        WAIT_TRUE(onlyInstance(w) != nullptr, 10000);
        WAIT_TRUE(navItem(w, "saveButton") != nullptr, 5000);
        QTest::qWait(400);
        EXPECT_TRUE(modal.texts.isEmpty()) << modal.texts.join('|').toStdString();
    }
    EXPECT_GT(shot(w, "slc_1_loaded"), 100);
    EXPECT_TRUE(w.m_bSlcLoaded && w.m_bSliced && w.m_bRepaired && w.m_bSupported);
    EXPECT_EQ(view->GetSliceData().size(), 200);
    EXPECT_EQ(LayersNotEnclosing(w, 12, 8), 0);
    ASSERT_EQ(thickness.count(), 1);
    EXPECT_FLOAT_EQ(thickness.first().at(0).toFloat(), 0.05f);
    EXPECT_FLOAT_EQ(w.m_pSliceWidget->layerThickness(), 0.05f);
    EXPECT_FLOAT_EQ(w.m_buildConfig.SliceThickness, 0.05f);
    EXPECT_EQ(w.m_pSaveWidget->m_nLayers, 200);
    EXPECT_EQ(w.m_pSaveWidget->findChild<QLabel*>("LayerThickLabel")->text(), "50um");
    // The model shown stands for the block: its footprint.
    VSLModelPainter* shown = onlyInstance(w);
    ASSERT_NE(shown, nullptr);
    EXPECT_NEAR(shown->m_maxBound.x() - shown->m_minBound.x(), 12, 0.01);
    EXPECT_NEAR(shown->m_maxBound.y() - shown->m_minBound.y(), 8, 0.01);

    // Save: the panel writes the file's layers as they are.
    ASSERT_NO_FATAL_FAILURE(clickQml(w.m_pNavBar, "saveButton"));
    WAIT_TRUE(w.m_pSaveWidget->isVisible(), 5000);
    QSignalSpy ready(&w.m_dataThread, &MyThread2::signal_PrintDataReady);
    {
        ModalAnswers modal;
        w.m_pSaveWidget->findChild<QPushButton*>("btn_StartPrint")->click();
        WAIT_TRUE(ready.count() == 1, 60000);
        WAIT_TRUE(!w.isWorking(), 5000);
        QTest::qWait(50);
        EXPECT_TRUE(modal.texts.isEmpty()) << modal.texts.join('|').toStdString();
    }
    EXPECT_GT(shot(w, "slc_2_saved", w.m_pSaveWidget), 100);
    const VxsFile f = ReadVxs(out, false);
    ASSERT_TRUE(f.valid) << f.error;
    EXPECT_EQ(f.layerCount, 200);
    EXPECT_FLOAT_EQ(f.params[4], 0.05f);
    // Every layer lights the 12 x 8 mm block: 96 mm2 of pixels.
    const uint64_t pixels = uint64_t(f.params[2]) * uint64_t(f.params[3]);
    const double mm2 = 96.0 * f.params[0] * f.params[1];
    for (int i = 0; i < f.layerCount && i < f.layers.size(); ++i) {
        uint64_t at = 0, lit = 0;
        for (const DecodedRun& r : DecodeRuns(f.layers[i], f.bits)) {
            if (r.level > 0)
                lit += r.count;
            at += r.count;
        }
        ASSERT_EQ(at, pixels) << i;
        EXPECT_NEAR(double(lit), mm2, 0.05 * mm2) << i;
    }

    // An STL file is refused, whatever its name holds; cancelling is not.
    const QString odd = work.filePath("bracket.slc.stl");
    ASSERT_TRUE(QFile::copy(stl, odd));
    struct Row { QString answer; QStringList boxes; };
    const Row rows[] = {
        {stl, {"Slc File is Loaded,Cannot accept new model"}},
        {odd, {"Slc File is Loaded,Cannot accept new model"}},
        {QString(), {}},
    };
    for (const Row& r : rows) {
        FileChooser::setOpenChooser([&r](QWidget*, const QString&, const QString&, const QString&) { return r.answer; });
        ModalAnswers modal;
        w.navbarOpenFile();
        EXPECT_EQ(modal.texts, r.boxes) << r.answer.toStdString();
        EXPECT_EQ(view->scene()->instances().size(), 1);
    }
    // Slicing again (after an edit made the slice stale) keeps the file's
    // layers, never cuts of the model shown; a copy of that model is refused.
    ASSERT_NO_FATAL_FAILURE(clickQml(w.m_pNavBar, "sliceButton"));
    WAIT_TRUE(w.m_pSliceWidget->isVisible(), 5000);
    w.m_pSliceWidget->slot_EditStatChanged(VexmorEditStatEdited);
    ASSERT_FALSE(w.sceneSliced());
    {
        ModalAnswers modal;
        w.m_pSliceWidget->findChild<QPushButton*>("pushButton")->click();
        WAIT_TRUE(w.sceneSliced(), 5000);
        EXPECT_TRUE(modal.texts.isEmpty()) << modal.texts.join('|').toStdString();
    }
    EXPECT_FALSE(w.isWorking());
    EXPECT_EQ(view->GetSliceData().size(), 200);
    EXPECT_EQ(LayersNotEnclosing(w, 12, 8), 0);
    EXPECT_EQ(w.m_pSaveWidget->m_nLayers, 200);
    EXPECT_GT(shot(w, "slc_3_resliced", w.m_pSliceWidget), 100);
    view->scene()->SetPickModelPainter(shown->pickId());
    w.layoutBarClicked(3);
    EXPECT_EQ(view->scene()->instances().size(), 1);
    // With its model removed the plate takes STL files again.
    ASSERT_EQ(view->RemoveCurrentModel(), SceneOp::Done);
    FileChooser::setOpenChooser([this](QWidget*, const QString&, const QString&, const QString&) { return stl; });
    {
        ModalAnswers modal;
        w.navbarOpenFile();
        EXPECT_TRUE(modal.texts.isEmpty()) << modal.texts.join('|').toStdString();
    }
    EXPECT_EQ(view->scene()->instances().size(), 1);
    EXPECT_FALSE(w.m_bSlcLoaded);
}

// The end of an open as a failure, and the help slot's log line.
TEST_F(OpenSlc, AFailedOpenIsToldAndTheHelpSlotLogs)
{
    Vexmor w;
    QSignalSpy loaded(&w, &Vexmor::navbarFileLoaded);
    for (const QString& path : {QString(), work.filePath("part.slc")}) {
        ModalAnswers modal;
        w.slot_openFileDone(false, path);
        EXPECT_EQ(modal.texts, QStringList{"Open File Failed,check model please"});
    }
    EXPECT_EQ(loaded.count(), 0);
    EXPECT_FALSE(w.m_bSlcLoaded);
    // An STL open that ends well only reports the load.
    w.slot_openFileDone(true, stl);
    EXPECT_EQ(loaded.count(), 1);
    EXPECT_FALSE(w.m_bSlcLoaded || w.m_bSliced);

    static QStringList logged;
    logged.clear();
    const QtMessageHandler before = qInstallMessageHandler(
        [](QtMsgType type, const QMessageLogContext&, const QString& text) {
            if (type == QtDebugMsg)
                logged << text;
        });
    w.slot_ShowHelpDialog();
    qInstallMessageHandler(before);
    EXPECT_EQ(logged, QStringList{"hello"});
}

} // namespace
