#include "../printfile/printfiledecoder.h"
#include "FileChooser.h"
#include "JobThreads.h"
#include "VFixWidget.h"
#include "VSL3DScene.h"
#include "VSLGLView.h"
#include "VSLModelPainter.h"
#include "VSaveWidgetX.h"
#include "VSliceWidgetX.h"
#include "VSupportWidgetX.h"
#include "VTransformEditWidget.h"
#include "Vexmor.h"
#include "modal_answer.h"
#include "test_meshes.h"

#include <QDoubleSpinBox>
#include <QLabel>
#include <QPushButton>
#include <QQuickItem>
#include <QQuickWidget>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest/QTest>
#include <gtest/gtest.h>

#define WAIT_TRUE(cond, ms) ASSERT_TRUE(QTest::qWaitFor([&] { return bool(cond); }, ms)) << #cond

namespace {

class WholeRoad : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(config.isValid());
        ASSERT_TRUE(work.isValid());
        qputenv("VEXMOR_CONFIG_DIR", config.path().toUtf8());
        QStandardPaths::setTestModeEnabled(true);
        stl = work.filePath("cube.stl");
        ASSERT_TRUE(testmesh::WriteFile(stl, testmesh::BinaryStl(testmesh::Cube(10.f))));
        out = work.filePath("cube.vxs");
        FileChooser::setOpenChooser([this](QWidget*, const QString&, const QString&, const QString&) {
            ++opened;
            return stl;
        });
        FileChooser::setSaveChooser([this](QWidget*, const QString&, const QString&, const QString&) { return out; });
    }
    void TearDown() override
    {
        FileChooser::setOpenChooser({});
        FileChooser::setSaveChooser({});
        qunsetenv("VEXMOR_CONFIG_DIR");
    }

    // A real mouse click at a QML button's centre on its bar.
    static void clickQml(QQuickWidget* bar, const char* name)
    {
        QQuickItem* item = bar->rootObject()->findChild<QQuickItem*>(name);
        ASSERT_NE(item, nullptr) << name;
        ASSERT_TRUE(item->isVisible()) << name;
        const QPointF c = item->mapToScene(QPointF(item->width() / 2, item->height() / 2));
        QTest::mouseClick(bar, Qt::LeftButton, Qt::NoModifier, c.toPoint());
    }
    // Saved for a person to look at; returns how many view pixels differ
    // from the empty plate, so a blank or frozen view fails.
    int shot(Vexmor& w, const char* name)
    {
        QTest::qWait(100);
        const QImage img = w.grab().toImage();
        img.save(QString("e2e_%1.png").arg(name));
        if (empty.isNull())
            empty = img;
        int changed = 0;
        for (int y = 100; y < img.height(); y += 2)
            for (int x = 400; x < img.width(); x += 2)
                changed += img.pixel(x, y) != empty.pixel(x, y);
        return changed;
    }
    static VSLModelPainter* onlyInstance(Vexmor& w)
    {
        const auto& inst = w.ui.GLWidget->scene()->instances();
        return inst.size() == 1 ? inst.first() : nullptr;
    }

    QTemporaryDir config, work;
    QString stl, out;
    int opened = 0;
    QImage empty;
};

// Pixel index -> plate millimetres follow the machine's pixel pitch; the
// cube's 10 mm square shows up as a lit block of about 10 mm * dots/mm.
TEST_F(WholeRoad, LoadEditRepairSupportSliceSaveAndDecode)
{
    Vexmor w; // as main builds it
    w.setWindowTitle(QStringLiteral("Vexmor3D"));
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    WAIT_TRUE(w.m_pNavBar->status() == QQuickWidget::Ready, 10000);
    QTest::qWait(300);
    shot(w, "0_start");

    // Load: the bar's button, the chooser double, the model on the plate.
    ASSERT_NO_FATAL_FAILURE(clickQml(w.m_pNavBar, "loadButton"));
    WAIT_TRUE(onlyInstance(w) != nullptr, 10000);
    EXPECT_EQ(opened, 1);
    WAIT_TRUE(w.m_pNavBar->rootObject()->findChild<QQuickItem*>("saveButton") != nullptr, 5000);
    QTest::qWait(400); // the stage row slides in
    EXPECT_GT(shot(w, "1_loaded"), 100);

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
    EXPECT_EQ(w.m_pFixWidget->findChild<QLabel*>("label_info")->text(), "0");
    EXPECT_EQ(w.m_pFixWidget->findChild<QLabel*>("label_info2")->text(), "0");
    EXPECT_EQ(w.m_pFixWidget->findChild<QLabel*>("label_info3")->text(), "0");
    EXPECT_GT(shot(w, "3_fixed"), 100);

    // Support: the job runs behind the overlay and ends.
    ASSERT_NO_FATAL_FAILURE(clickQml(w.m_pNavBar, "supportButton"));
    WAIT_TRUE(w.m_pSupportWidget->isVisible(), 5000);
    QSignalSpy supportDone(w.ui.GLWidget, &VSLGLView::sig_GenSupportDone);
    w.m_pSupportWidget->findChild<QPushButton*>("GenSptButton")->click();
    WAIT_TRUE(supportDone.count() == 1, 60000);
    WAIT_TRUE(!w.isWorking(), 5000);
    EXPECT_GT(shot(w, "4_supported"), 100);

    // Save before slicing asks to slice and opens the slice stage instead.
    {
        ModalAnswers modal;
        ASSERT_NO_FATAL_FAILURE(clickQml(w.m_pNavBar, "saveButton"));
        WAIT_TRUE(!modal.texts.isEmpty(), 5000);
        EXPECT_EQ(modal.texts, QStringList{"Please slice before saving the job!"});
    }
    EXPECT_FALSE(QFile::exists(out));
    WAIT_TRUE(w.m_pSliceWidget->isVisible(), 5000);

    // Slice: the count reaches the slice and save panels.
    QSignalSpy sliced(w.ui.GLWidget, &VSLGLView::sig_SliceSceneDone);
    QSignalSpy announced(&w, &Vexmor::signal_SliceChanged);
    w.m_pSliceWidget->findChild<QPushButton*>("pushButton")->click();
    WAIT_TRUE(sliced.count() == 1, 60000);
    WAIT_TRUE(!w.isWorking(), 5000);
    const int layers = sliced.at(0).at(0).toInt();
    const float thick = w.m_pSliceWidget->layerThickness();
    EXPECT_GT(layers, 0);
    EXPECT_EQ(w.m_pSaveWidget->m_nLayers, layers);
    EXPECT_TRUE(w.sceneSliced());
    EXPECT_GT(shot(w, "5_sliced"), 100);

    // Save: the panel opens, Save Job writes the file through the chooser.
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
    EXPECT_GT(shot(w, "6_saved"), 100);

    const VxsFile f = ReadVxs(out, false);
    ASSERT_TRUE(f.valid) << f.error;
    EXPECT_EQ(f.words[2], 10); // machine code of the default model
    EXPECT_EQ(f.layerCount, layers);
    ASSERT_EQ(f.layers.size(), layers);
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
    ASSERT_GT(width, 0);
    ASSERT_GT(height, 0);
    const uint64_t pixels = uint64_t(width) * uint64_t(height);
    // A layer in the cube's upper half (above any support): the footprint.
    int checked = 0;
    for (int i = 0; i < layers; ++i) {
        const QVector<DecodedRun> runs = DecodeRuns(f.layers[i], f.bits);
        uint64_t sum = 0;
        for (const DecodedRun& r : runs)
            sum += r.count;
        ASSERT_EQ(sum, pixels) << "layer " << i;
        if (i != layers - 5)
            continue;
        // The layer is stored turned a quarter: rows of `height` pixels.
        const QVector<uint8_t> px = ExpandRuns(runs, pixels);
        int minR = width, maxR = -1, minC = height, maxC = -1, lit = 0;
        for (int r = 0; r < width; ++r)
            for (int c = 0; c < height; ++c)
                if (px[r * height + c] > 0) {
                    ++lit;
                    minR = std::min(minR, r), maxR = std::max(maxR, r);
                    minC = std::min(minC, c), maxC = std::max(maxC, c);
                }
        ASSERT_GT(lit, 0);
        EXPECT_NEAR((maxR - minR + 1) / dpmmX, 10.0, 0.25);
        EXPECT_NEAR((maxC - minC + 1) / dpmmY, 10.0, 0.25);
        // Solid: the bounding rectangle is (almost) fully lit.
        EXPECT_GT(lit, 0.97 * (maxR - minR + 1) * (maxC - minC + 1));
        ++checked;
    }
    EXPECT_EQ(checked, 1);
}

} // namespace
