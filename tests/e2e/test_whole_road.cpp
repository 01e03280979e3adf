#include "../printfile/printfiledecoder.h"
#include "JobThreads.h"
#include "VFixWidget.h"
#include "VImportWidgetX.h"
#include "VSaveWidgetX.h"
#include "VSupportWidgetX.h"
#include "VSLModel3D.h"
#include "VTransformEditWidget.h"
#include "e2e_fixture.h"
#include "modal_answer.h"

#include <QDoubleSpinBox>
#include <QGuiApplication>
#include <QLabel>
#include <QScreen>

#include <QElapsedTimer>
#include <QThread>

#include <atomic>
#include <climits>
#include <memory>

namespace {

using WholeRoad = MainWindowTest;

// Pixel index -> plate millimetres follow the machine's pixel pitch; the
// cube's 10 mm square shows up as a lit block of about 10 mm * dots/mm.
TEST_F(WholeRoad, LoadEditRepairSupportSliceSaveAndDecode)
{
    Vexmor w;
    ASSERT_NO_FATAL_FAILURE(open(w, 10.f));
    shot(w, "0_start");

    // Load: the bar's button, the chooser double, the model on the plate.
    ASSERT_NO_FATAL_FAILURE(load(w));
    ASSERT_NO_FATAL_FAILURE(clickQml(w.m_pNavBar, "editButton"));
    EXPECT_GT(shot(w, "1_loaded", w.m_pTransformWidget), 100);

    // Move: the transform panel's X position moves the instance by the same.
    VSLModelPainter* cube = onlyInstance(w);
    w.ui.GLWidget->scene()->SetPickModelPainter(cube->pickId());
    QTest::qWait(50);
    auto* posX = w.m_pTransformWidget->findChild<QDoubleSpinBox*>("Position_X");
    ASSERT_NE(posX, nullptr);
    const float x0 = cube->m_minBound.x();
    posX->setValue(posX->value() + 5.0);
    QTest::qWait(50);
    EXPECT_NEAR(cube->m_minBound.x(), x0 + 5.0f, 0.01f);
    EXPECT_GT(shot(w, "2_moved"), 100);

    // Repair: a closed cube has no defect.
    ASSERT_NO_FATAL_FAILURE(clickQml(w.m_pNavBar, "fixButton"));
    WAIT_TRUE(w.m_pFixWidget->isVisible(), 5000);
    for (const char* label : {"label_info", "label_info2", "label_info3"})
        EXPECT_EQ(w.m_pFixWidget->findChild<QLabel*>(label)->text(), "0") << label;
    EXPECT_GT(shot(w, "3_fixed", w.m_pFixWidget), 100);

    // Support: the job runs behind the overlay and ends.
    ASSERT_NO_FATAL_FAILURE(clickQml(w.m_pNavBar, "supportButton"));
    WAIT_TRUE(w.m_pSupportWidget->isVisible(), 5000);
    QSignalSpy supportDone(w.ui.GLWidget, &VSLGLView::sig_GenSupportDone);
    w.m_pSupportWidget->findChild<QPushButton*>("GenSptButton")->click();
    WAIT_TRUE(supportDone.count() == 1, 60000);
    WAIT_TRUE(!w.isWorking(), 5000);
    EXPECT_GT(shot(w, "4_supported", w.m_pSupportWidget), 100);
    EXPECT_TRUE(w.m_bRepaired && w.m_bSupported);

    // Save before slicing asks to slice and opens the slice stage instead.
    {
        ModalAnswers modal;
        ASSERT_NO_FATAL_FAILURE(clickQml(w.m_pNavBar, "saveButton"));
        WAIT_TRUE(!modal.texts.isEmpty(), 5000);
        EXPECT_EQ(modal.texts, QStringList{"Please slice before saving the job!"});
    }
    EXPECT_FALSE(QFile::exists(out));
    WAIT_TRUE(w.m_pSliceWidget->isVisible(), 5000);
    EXPECT_TRUE(!checked(w, "saveButton") && checked(w, "sliceButton"));

    // Slice: the count reaches the slice and save panels.
    const float bottom = cube->m_minBound.z(); // lifted onto its supports
    const int layers = slice(w);
    const float thick = w.m_pSliceWidget->layerThickness();
    EXPECT_TRUE(layers > 0 && w.m_pSaveWidget->m_nLayers == layers && w.sceneSliced()) << layers;
    EXPECT_GT(shot(w, "5_sliced", w.m_pSliceWidget), 100);

    // Save: the panel opens, Save Job writes the file through the chooser.
    ASSERT_NO_FATAL_FAILURE(clickQml(w.m_pNavBar, "saveButton"));
    WAIT_TRUE(w.m_pSaveWidget->isVisible(), 5000);
    EXPECT_TRUE(w.m_bPrintRequested && checked(w, "saveButton"));
    QSignalSpy ready(&w.m_dataThread, &MyThread2::signal_PrintDataReady);
    {
        ModalAnswers modal;
        w.m_pSaveWidget->findChild<QPushButton*>("btn_StartPrint")->click();
        WAIT_TRUE(ready.count() == 1, 60000);
        WAIT_TRUE(!w.isWorking(), 5000);
        QTest::qWait(50);
        EXPECT_TRUE(modal.texts.isEmpty()) << modal.texts.join('|').toStdString();
    }
    EXPECT_GT(shot(w, "6_saved", w.m_pSaveWidget), 100);

    // A second file keeps the very stage row and its flags.
    QQuickItem* row = navItem(w, "stageRow");
    w.navbarOpenFile();
    const auto& models = w.ui.GLWidget->scene()->models();
    WAIT_TRUE(w.ui.GLWidget->scene()->instances().size() == 2 &&
                  std::all_of(models.begin(), models.end(), [](auto* m) { return m->isReady(); }),
              20000);
    QTest::qWait(50);
    EXPECT_TRUE(navItem(w, "stageRow") == row && checked(w, "saveButton"));

    const VxsFile f = ReadVxs(out, false);
    ASSERT_TRUE(f.valid) << f.error;
    EXPECT_EQ(f.words[2], 10); // machine code of the default model
    ASSERT_TRUE(f.layerCount == layers && f.layers.size() == layers) << f.layerCount;
    // The default recipe's values, and zeros for the rows the form hides.
    const std::pair<int, float> recipe[] = {{5, 6000}, {6, 80000}, {8, 1000}, {9, 1000}, {10, 0.3f},
                                            {12, 4},   {13, 2},    {14, 150}, {15, 150}, {16, 90}, {17, 90}};
    EXPECT_FLOAT_EQ(f.params[4], thick);
    for (auto [index, value] : recipe)
        EXPECT_FLOAT_EQ(f.params[index], value) << index;
    for (int index = 18; index <= 27; ++index)
        EXPECT_EQ(f.params[index], 0.f) << index;

    const int width = int(f.params[2]), height = int(f.params[3]);
    const float dpmmX = f.params[0], dpmmY = f.params[1];
    ASSERT_TRUE(width > 0 && height > 0);
    const uint64_t pixels = uint64_t(width) * uint64_t(height);
    // Lit pixels of each layer and their bounding rows and columns, straight
    // from the runs (the layer is stored turned a quarter: rows of `height`).
    struct Lit { uint64_t count = 0; int minR = INT_MAX, maxR = -1, minC = INT_MAX, maxC = -1; };
    std::vector<Lit> lit(static_cast<size_t>(layers));
    for (int i = 0; i < layers; ++i) {
        uint64_t at = 0;
        Lit& l = lit[size_t(i)];
        for (const DecodedRun& r : DecodeRuns(f.layers[i], f.bits)) {
            if (r.level > 0 && r.count > 0) {
                const uint64_t last = at + r.count - 1;
                const int r0 = int(at / height), r1 = int(last / height);
                l.count += r.count;
                l.minR = std::min(l.minR, r0), l.maxR = std::max(l.maxR, r1);
                l.minC = std::min(l.minC, r0 == r1 ? int(at % height) : 0);
                l.maxC = std::max(l.maxC, r0 == r1 ? int(last % height) : height - 1);
            }
            at += r.count;
        }
        ASSERT_EQ(at, pixels) << "layer " << i;
    }
    // A layer in the cube's upper half: its solid 10 mm footprint.
    const Lit& top = lit[size_t(layers - 5)];
    EXPECT_NEAR((top.maxR - top.minR + 1) / dpmmX, 10.0, 0.25);
    EXPECT_NEAR((top.maxC - top.minC + 1) / dpmmY, 10.0, 0.25);
    EXPECT_GT(top.count, 0.97 * (top.maxR - top.minR + 1) * (top.maxC - top.minC + 1));
    // Below the lifted cube: support pixels in every layer, all under the
    // cube (base pads may reach a little beyond its edge).
    const int below = int(bottom / thick);
    ASSERT_GT(below, 2);
    const int padX = int(1.5f * dpmmX), padY = int(1.5f * dpmmY);
    for (int i = 0; i < below; ++i) {
        const Lit& l = lit[size_t(i)];
        EXPECT_TRUE(l.count > 0 && l.count < top.count && l.minR >= top.minR - padX && l.maxR <= top.maxR + padX &&
                    l.minC >= top.minC - padY && l.maxC <= top.maxC + padY)
            << "layer " << i << ": " << l.count << " pixels, rows " << l.minR << ".." << l.maxR << ", columns "
            << l.minC << ".." << l.maxC;
    }

    // The converter panel imports the saved file: its name and thickness,
    // ready to save.
    w.ui.ImportButton->click();
    auto* converter = w.m_pImportWidget;
    ASSERT_TRUE(QTest::qWaitForWindowExposed(converter));
    openAnswer = out;
    converter->findChild<QPushButton*>("btn_Import")->click();
    EXPECT_EQ(converter->findChild<QLabel*>("Label_FileName")->text() + " " +
                  converter->findChild<QLabel*>("Label_LayerThick")->text(),
              QString("cube.vxs %1 um").arg(qRound(thick * 1000)));
    EXPECT_TRUE(converter->findChild<QPushButton*>("btn_Save")->isEnabled());
    // As a person sees it: the panel over the window.
    QTest::qWait(200);
    QGuiApplication::primaryScreen()->grabWindow(0).save("e2e_7_converter.png");

    // No model left removes the stage row.
    emit w.ui.GLWidget->signal_AllModelDel();
    EXPECT_FALSE(checked(w, "loadButton"));
    WAIT_TRUE(navItem(w, "stageRow") == nullptr, 10000);
}

// Closing the window while a long slice runs: the slice stops at the layer it
// is at instead of running to its last, and the window goes.
TEST_F(WholeRoad, ClosingTheWindowStopsALongSlice)
{
    auto* w = new Vexmor;
    ASSERT_NO_FATAL_FAILURE(open(*w, 10.f));
    shot(*w, "8_start");
    ASSERT_TRUE(testmesh::WriteFile(stl, testmesh::BinaryStl(testmesh::BumpPlateOnLegs(50.f, 30.f, 1.2f, 0.5f, 2.f,
                                                                                      20.f))));
    ASSERT_NO_FATAL_FAILURE(load(*w));
    ASSERT_NO_FATAL_FAILURE(clickQml(w->m_pNavBar, "supportButton"));
    WAIT_TRUE(w->m_pSupportWidget->isVisible(), 5000);
    QSignalSpy supportDone(w->ui.GLWidget, &VSLGLView::sig_GenSupportDone);
    w->m_pSupportWidget->findChild<QPushButton*>("GenSptButton")->click();
    WAIT_TRUE(supportDone.count() == 1, 60000);
    WAIT_TRUE(!w->isWorking(), 5000);
    ASSERT_NO_FATAL_FAILURE(clickQml(w->m_pNavBar, "sliceButton"));
    WAIT_TRUE(w->m_pSliceWidget->isVisible(), 5000);

    VSLModelPainter* plate = onlyInstance(*w);
    ASSERT_FALSE(plate->m_supportMap.isEmpty());
    // One worker, so the layers come in order; layer 20 waits until the stop
    // comes (a bound keeps a broken stop from hanging the suite).
    plate->m_nSliceWorkers = 1;
    auto last = std::make_shared<std::atomic<int>>(-1);
    auto stopSeen = std::make_shared<std::atomic<bool>>(false);
    plate->m_fnSliceLayer = [last, stopSeen, plate](int layer) {
        *last = layer;
        if (layer != 20)
            return;
        QElapsedTimer t;
        t.start();
        while (!plate->m_bStopSlice && t.elapsed() < 20000)
            QThread::msleep(1);
        *stopSeen = plate->m_bStopSlice.load();
    };
    w->m_pSliceWidget->findChild<QPushButton*>("pushButton")->click();
    WAIT_TRUE(*last >= 20, 30000);
    EXPECT_TRUE(w->isWorking());
    EXPECT_GT(shot(*w, "8_slicing"), 100);
    w->close();
    delete w;
    EXPECT_TRUE(*stopSeen);
    EXPECT_EQ(*last, 20) << "no layer after the window closed";
}

} // namespace
