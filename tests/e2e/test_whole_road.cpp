#include "../printfile/printfiledecoder.h"
#include "event_wait.h"
#include "JobThreads.h"
#include "VFixWidget.h"
#include "VImportWidgetX.h"
#include "VSaveWidgetX.h"
#include "VSupportWidgetX.h"
#include "VSLCoordConvert.h"
#include "VSLModel3D.h"
#include "VTransformEditWidget.h"
#include "e2e_fixture.h"
#include "modal_answer.h"
#include "slice_hold.h"

#include <QDoubleSpinBox>
#include <QGuiApplication>
#include <QLabel>
#include <QScreen>

#include <QElapsedTimer>
#include <QThread>

#include <atomic>
#include <climits>
#include <cmath>
#include <functional>
#include <memory>

namespace {

using WholeRoad = MainWindowTest;

// Lit pixels of every layer of a print file, with their bounding rows and
// columns (the layer is stored turned a quarter: rows of `height` pixels).
struct LayerLight
{
    uint64_t count = 0;
    int minR = INT_MAX, maxR = -1, minC = INT_MAX, maxC = -1;
    double centreR() const { return (minR + maxR + 1) / 2.0; }
    double centreC() const { return (minC + maxC + 1) / 2.0; }
};

std::vector<LayerLight> LightOf(const VxsFile& f, int width, int height)
{
    std::vector<LayerLight> out(size_t(f.layers.size()));
    for (int i = 0; i < f.layers.size(); ++i) {
        uint64_t at = 0;
        LayerLight& l = out[size_t(i)];
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
        EXPECT_EQ(at, uint64_t(width) * uint64_t(height)) << "layer " << i;
    }
    return out;
}

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
    WAIT_TRUE(w.m_pFixWidget->isVisible(), kHangMs);
    for (const char* label : {"label_info", "label_info2", "label_info3"})
        EXPECT_EQ(w.m_pFixWidget->findChild<QLabel*>(label)->text(), "0") << label;
    EXPECT_GT(shot(w, "3_fixed", w.m_pFixWidget), 100);

    // Support: the job runs behind the overlay and ends.
    ASSERT_NO_FATAL_FAILURE(generateSupports(w));
    EXPECT_GT(shot(w, "4_supported", w.m_pSupportWidget), 100);
    EXPECT_TRUE(w.m_bRepaired && w.m_bSupported);

    // Save before slicing asks to slice and opens the slice stage instead.
    {
        ModalAnswers modal;
        ASSERT_NO_FATAL_FAILURE(clickQml(w.m_pNavBar, "saveButton"));
        WAIT_TRUE(!modal.texts.isEmpty(), kHangMs);
        EXPECT_EQ(modal.texts, QStringList{"Please slice before saving the job!"});
    }
    EXPECT_FALSE(QFile::exists(out));
    WAIT_TRUE(w.m_pSliceWidget->isVisible(), kHangMs);
    EXPECT_TRUE(!checked(w, "saveButton") && checked(w, "sliceButton"));

    // Slice: the count reaches the slice and save panels.
    const float bottom = cube->m_minBound.z(); // lifted onto its supports
    const int layers = slice(w);
    const float thick = w.m_pSliceWidget->layerThickness();
    EXPECT_TRUE(layers > 0 && w.m_pSaveWidget->m_nLayers == layers && w.sceneSliced()) << layers;
    EXPECT_GT(shot(w, "5_sliced", w.m_pSliceWidget), 100);

    // Save: the panel opens, Save Job writes the file through the chooser.
    ASSERT_NO_FATAL_FAILURE(clickQml(w.m_pNavBar, "saveButton"));
    WAIT_TRUE(w.m_pSaveWidget->isVisible(), kHangMs);
    EXPECT_TRUE(w.m_bPrintRequested && checked(w, "saveButton"));
    QSignalSpy ready(&w.m_dataThread, &MyThread2::signal_PrintDataReady);
    {
        ModalAnswers modal;
        w.m_pSaveWidget->findChild<QPushButton*>("btn_StartPrint")->click();
        WAIT_TRUE(ready.count() == 1, kHangMs);
        WAIT_TRUE(!w.isWorking(), kHangMs);
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
              kHangMs);
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
    const std::vector<LayerLight> lit = LightOf(f, width, height);
    // A layer in the cube's upper half: its solid 10 mm footprint.
    const LayerLight& top = lit[size_t(layers - 5)];
    EXPECT_NEAR((top.maxR - top.minR + 1) / dpmmX, 10.0, 0.25);
    EXPECT_NEAR((top.maxC - top.minC + 1) / dpmmY, 10.0, 0.25);
    EXPECT_GT(top.count, 0.97 * (top.maxR - top.minR + 1) * (top.maxC - top.minC + 1));
    // Below the lifted cube: support pixels in every layer, all under the
    // cube (base pads may reach a little beyond its edge).
    const int below = int(bottom / thick);
    ASSERT_GT(below, 2);
    const int padX = int(1.5f * dpmmX), padY = int(1.5f * dpmmY);
    for (int i = 0; i < below; ++i) {
        const LayerLight& l = lit[size_t(i)];
        EXPECT_TRUE(l.count > 0 && l.count < top.count && l.minR >= top.minR - padX && l.maxR <= top.maxR + padX &&
                    l.minC >= top.minC - padY && l.maxC <= top.maxC + padY)
            << "layer " << i << ": " << l.count << " pixels, rows " << l.minR << ".." << l.maxR << ", columns "
            << l.minC << ".." << l.maxC;
    }

    // The converter panel imports the saved file: its name and thickness,
    // ready to save.
    w.ui.ImportButton->click();
    auto* converter = w.m_pImportWidget;
    ASSERT_TRUE(WaitUntilExposed(converter));
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
    WAIT_TRUE(navItem(w, "stageRow") == nullptr, kHangMs);
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
    WAIT_TRUE(w->m_pSupportWidget->isVisible(), kHangMs);
    QSignalSpy supportDone(w->ui.GLWidget, &VSLGLView::sig_GenSupportDone);
    w->m_pSupportWidget->findChild<QPushButton*>("GenSptButton")->click();
    WAIT_TRUE(supportDone.count() == 1, kHangMs);
    WAIT_TRUE(!w->isWorking(), kHangMs);
    ASSERT_NO_FATAL_FAILURE(clickQml(w->m_pNavBar, "sliceButton"));
    WAIT_TRUE(w->m_pSliceWidget->isVisible(), kHangMs);

    VSLModelPainter* plate = onlyInstance(*w);
    ASSERT_FALSE(plate->m_supportMap.isEmpty());
    // One worker, so the layers come in order; layer 20 waits until the stop.
    plate->m_nSliceWorkers = 1;
    const std::shared_ptr<SliceHold> hold = HoldSliceAt(plate, 20);
    w->m_pSliceWidget->findChild<QPushButton*>("pushButton")->click();
    WAIT_TRUE(hold->lastLayer >= 20, kHangMs);
    EXPECT_TRUE(w->isWorking());
    EXPECT_GT(shot(*w, "8_slicing"), 100);
    w->close();
    delete w;
    EXPECT_TRUE(hold->stopSeen);
    EXPECT_EQ(hold->lastLayer, 20) << "no layer after the window closed";
}

// Load, drag, Generate, open the support editor and Save with no click,
// Remove, drag again, Slice, Save Job: the file shows the cube where the
// view does. Then Generate again and the same: supports from the plate,
// the cube from its lift.
TEST_F(WholeRoad, TheFileHoldsTheModelAndSupportsWhereTheViewShowsThem)
{
    Vexmor w;
    ASSERT_NO_FATAL_FAILURE(open(w, 10.f));
    ASSERT_NO_FATAL_FAILURE(load(w));
    ASSERT_NO_FATAL_FAILURE(clickQml(w.m_pNavBar, "editButton"));
    VSLGLView* view = w.ui.GLWidget;
    VSLModelPainter* cube = onlyInstance(w);
    ASSERT_NE(cube, nullptr);
    auto mouse = [&](QEvent::Type type, QPoint p, Qt::MouseButton b, Qt::MouseButtons held) {
        QMouseEvent e(type, QPointF(p), QPointF(view->mapToGlobal(p)), b, held, Qt::NoModifier);
        QApplication::sendEvent(view, &e);
    };
    // A left drag from the cube's top centre: how far its centre went (mm).
    auto drag = [&](QPoint by) {
        QTest::qWait(50);
        view->LoadViewMatrices();
        QPoint top;
        UCToDC(top, QVector3D(cube->m_center.x(), cube->m_center.y(), cube->m_maxBound.z()));
        const QVector3D before = cube->m_center;
        mouse(QEvent::MouseButtonPress, top, Qt::LeftButton, Qt::LeftButton);
        mouse(QEvent::MouseMove, top + by / 2, Qt::NoButton, Qt::LeftButton);
        mouse(QEvent::MouseMove, top + by, Qt::NoButton, Qt::LeftButton);
        mouse(QEvent::MouseButtonRelease, top + by, Qt::LeftButton, Qt::NoButton);
        return (cube->m_center - before).toVector2D().length();
    };
    auto supportPanel = [&](const char* button) {
        w.m_pSupportWidget->findChild<QPushButton*>(button)->click();
    };
    auto generate = [&] {
        ASSERT_NO_FATAL_FAILURE(clickQml(w.m_pNavBar, "supportButton"));
        WAIT_TRUE(w.m_pSupportWidget->isVisible(), kHangMs);
        QSignalSpy done(view, &VSLGLView::sig_GenSupportDone);
        supportPanel("GenSptButton");
        WAIT_TRUE(done.count() == 1 && !w.isWorking(), kHangMs);
    };
    // Slice, then Save Job into `file`; the decoded file.
    auto sliceAndSave = [&](const QString& file) {
        ASSERT_NO_FATAL_FAILURE(clickQml(w.m_pNavBar, "sliceButton"));
        WAIT_TRUE(w.m_pSliceWidget->isVisible(), kHangMs);
        ASSERT_GT(slice(w), 0);
        out = file;
        ASSERT_NO_FATAL_FAILURE(clickQml(w.m_pNavBar, "saveButton"));
        WAIT_TRUE(w.m_pSaveWidget->isVisible(), kHangMs);
        QSignalSpy ready(&w.m_dataThread, &MyThread2::signal_PrintDataReady);
        w.m_pSaveWidget->findChild<QPushButton*>("btn_StartPrint")->click();
        WAIT_TRUE(ready.count() == 1 && !w.isWorking(), kHangMs);
    };

    EXPECT_GT(drag(QPoint(20, 0)), 2.f);
    ASSERT_NO_FATAL_FAILURE(generate());
    ASSERT_TRUE(cube->m_bHasSupports);
    const float lift = cube->m_minBound.z();
    EXPECT_GT(lift, 1.f);
    supportPanel("EditSptButton");
    ASSERT_TRUE(w.m_pSupportEditWidget->isVisible());
    w.m_pSupportEditWidget->findChild<QPushButton*>("SaveButton")->click();
    EXPECT_FALSE(w.isWorking());
    EXPECT_TRUE(cube->m_bHasSupports);
    EXPECT_FLOAT_EQ(cube->m_minBound.z(), lift);
    supportPanel("RmvSptButton");
    EXPECT_FALSE(cube->m_bHasSupports);
    EXPECT_NEAR(cube->m_minBound.z(), 0.f, 1e-4f);
    ASSERT_NO_FATAL_FAILURE(clickQml(w.m_pNavBar, "editButton"));
    EXPECT_GT(drag(QPoint(0, 12)), 2.f);
    EXPECT_FALSE(view->scene()->IsOutRange(cube));
    shot(w, "8_dragged_again", w.m_pTransformWidget); // Edit shows its panel again

    const QString bare = work.filePath("bare.vxs");
    ASSERT_NO_FATAL_FAILURE(sliceAndSave(bare));
    shot(w, "9_saved_bare");
    // Where the view shows the cube: its distance from the plate centre,
    // its bottom, its supports' bottom.
    struct Shown { float fromCentre, bottom, supportsBottom; };
    auto shown = [&] {
        float supports = INFINITY;
        for (const VSLTriangle3D& t : cube->GetRealTrianglesSup())
            for (const QVector3D& v : t.vertices)
                supports = std::min(supports, v.z());
        return Shown{cube->m_center.toVector2D().length(), cube->m_minBound.z(), supports};
    };
    // The file: first layer with the cube's whole footprint and its distance
    // from the frame centre; the first lit layer.
    auto check = [&](const QString& file, const Shown& s) {
        SCOPED_TRACE(file.toStdString());
        const VxsFile f = ReadVxs(file, false);
        ASSERT_TRUE(f.valid) << f.error;
        const int width = int(f.params[2]), height = int(f.params[3]);
        const float dpmm = f.params[0], thick = f.params[4];
        ASSERT_TRUE(width > 0 && height > 0 && dpmm > 0 && thick > 0);
        ASSERT_FLOAT_EQ(f.params[1], dpmm);
        const std::vector<LayerLight> light = LightOf(f, width, height);
        const double footprint = 10.0 * dpmm * 10.0 * dpmm;
        int firstLit = -1, firstModel = -1;
        for (int i = 0; i < int(light.size()); ++i) {
            if (firstLit < 0 && light[size_t(i)].count > 0)
                firstLit = i;
            if (firstModel < 0 && light[size_t(i)].count > 0.9 * footprint)
                firstModel = i;
        }
        ASSERT_GE(firstModel, 0);
        // The model's first layer is the one at its bottom in the view.
        EXPECT_NEAR(firstModel, s.bottom / thick, 1.01) << firstModel << " layers of " << thick << " mm";
        // Its footprint 1 mm up, clear of the support tips under its bottom.
        const int above = firstModel + int(std::lround(1.0 / thick));
        ASSERT_LT(above, int(light.size()));
        const LayerLight& m = light[size_t(above)];
        EXPECT_NEAR((m.maxR - m.minR + 1) / dpmm, 10.0, 0.3);
        EXPECT_NEAR((m.maxC - m.minC + 1) / dpmm, 10.0, 0.3);
        const double fromCentre = std::hypot(m.centreR() - width / 2.0, m.centreC() - height / 2.0) / dpmm;
        EXPECT_NEAR(fromCentre, s.fromCentre, 0.3);
        // The lowest lit layer: the supports' bottom, or the model's.
        const float lowest = std::isfinite(s.supportsBottom) ? s.supportsBottom : s.bottom;
        EXPECT_NEAR(firstLit, lowest / thick, 1.01) << firstLit;
        EXPECT_EQ(firstLit == firstModel, !std::isfinite(s.supportsBottom));
    };
    const Shown bareShown = shown();
    ASSERT_FALSE(std::isfinite(bareShown.supportsBottom));
    EXPECT_NEAR(bareShown.bottom, 0.f, 1e-4f);
    ASSERT_NO_FATAL_FAILURE(check(bare, bareShown));

    // Supported: the supports from the plate, the cube from its lift.
    ASSERT_NO_FATAL_FAILURE(generate());
    const Shown supported = shown();
    EXPECT_NEAR(supported.bottom, lift, 1e-4f);
    EXPECT_NEAR(supported.supportsBottom, 0.f, 0.05f);
    const QString withSupports = work.filePath("supported.vxs");
    ASSERT_NO_FATAL_FAILURE(sliceAndSave(withSupports));
    shot(w, "10_saved_supported");
    ASSERT_NO_FATAL_FAILURE(check(withSupports, supported));
}

} // namespace
