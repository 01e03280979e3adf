// The earlier slice panel and the slice preview dialog, drawn under Xvfb.
#include "../glview/glview_fixture.h"
#include "event_wait.h"
#include "slice_polygons.h"
#include "slice_layers.h"

#include "DlpSliceBrowser.h"
#include "VSliceWidget.h"
#include "VSliceWidgetX.h"
#include "notices.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSpinBox>
#include <QSlider>
#include <QToolButton>

namespace {

struct EarlierPanel
{
    EarlierPanel()
    {
        config.XResolution = 1920;
        config.YResolution = 1080;
        config.DotsPermmX = 18.5f;
        config.DotsPermmY = 19.5f;
        panel = new VSliceWidget(&view, config, &host);
    }
    template <class T> T* get(const char* name) { return panel->findChild<T*>(name); }
    QString text(const char* label) { return get<QLabel>(label)->text(); }
    VSlicingMsgBox* notice() { return host.findChild<VSlicingMsgBox*>(); }
    void type(const char* edit, const QString& text)
    {
        auto* e = get<QLineEdit>(edit);
        e->selectAll();
        QTest::keyClick(e, Qt::Key_Backspace);
        QTest::keyClicks(e, text);
    }

    VSLGLView view;
    DLP::SliceBuildConfig config;
    QWidget host;
    VSliceWidget* panel;
};

} // namespace

TEST(EarlierSlicePanel, TypedPlateLayersStartTheSlice)
{
    const struct { const char* typed; int layers; } rows[] = {{"12", 12}, {"abc", 0}, {"-5", 0}, {"", 0}};
    for (const auto& r : rows) {
        EarlierPanel p;
        QSignalSpy slice(p.panel, &VSliceWidget::sig_SliceScene);
        p.type("lEPlatform", r.typed);
        p.get<QPushButton>("pushButton")->click();
        ASSERT_EQ(slice.size(), 1) << r.typed;
        EXPECT_EQ(slice[0][5].toInt(), r.layers);
        EXPECT_EQ(p.config.PlateLayers, r.layers);
        EXPECT_FALSE(p.get<QPushButton>("pushButton")->isEnabled());
        EXPECT_FALSE(p.get<QLineEdit>("edit_index")->isEnabled());
    }
}

TEST(EarlierSlicePanel, BrowsingBeforeAndAfterASlice)
{
    EarlierPanel p;
    auto* slider = p.get<QSlider>("horizontalSlider");
    p.panel->slot_updSliceBrowser(3);
    slider->setValue(9); // not sliced: the notice, the layer kept
    EXPECT_EQ(p.panel->previewLayer(), 3);
    ASSERT_TRUE(p.notice()->isVisible());
    EXPECT_TRUE(p.notice()->findChild<QLabel*>("label_2")->isVisibleTo(p.notice()));

    p.get<QPushButton>("pushButton")->click();
    p.panel->slot_SliceSceneDone(20);
    EXPECT_FALSE(p.notice()->isVisible());
    const struct { const char* typed; int layer; } rows[] = {{"7", 7}, {"x", 0}, {"19", 19}, {"25", 19}};
    for (const auto& r : rows) {
        p.type("edit_index", r.typed);
        EXPECT_EQ(slider->value(), r.layer) << r.typed;
        EXPECT_EQ(p.panel->previewLayer(), r.layer) << r.typed;
    }
    slider->setValue(4);
    EXPECT_EQ(p.get<QLineEdit>("edit_index")->text(), "4");

    // A new thickness makes the slice stale and zeroes the browser: no notice.
    p.get<QScrollBar>("horizontalScrollBar")->setValue(7);
    EXPECT_FLOAT_EQ(p.panel->layerThickness(), 0.035f);
    EXPECT_EQ(p.text("label_LayerThick"), "35um");
    EXPECT_EQ(p.panel->sliceState(), 0);
    EXPECT_FALSE(slider->isEnabled());
    EXPECT_EQ(p.get<QLineEdit>("edit_index")->text(), "0");
    EXPECT_EQ(p.panel->previewLayer(), 0);
    EXPECT_FALSE(p.notice()->isVisible());
}

TEST(EarlierSlicePanel, BadResolutionsAndAFixedThickness)
{
    EarlierPanel p;
    p.panel->updateMachineCfg(1280, 800);
    EXPECT_EQ(p.panel->previewSize(), QSize(360, 225));
    for (auto [x, y] : {std::pair{0.f, 1440.f}, std::pair{2560.f, 0.5f}, std::pair{NAN, 1440.f},
                        std::pair{2560.f, INFINITY}, std::pair{3e9f, 1440.f}}) {
        p.panel->updateMachineCfg(x, y);
        EXPECT_EQ(p.panel->machineResolution(), QSize(1280, 800)) << x << " " << y;
    }
    p.panel->updateMachineCfg(2560.9f, 1440.2f);
    EXPECT_EQ(p.panel->machineResolution(), QSize(2560, 1440));

    // A fixed thickness keeps its control disabled.
    p.panel->slot_slc_layerthick(0.00001f);
    EXPECT_FLOAT_EQ(p.panel->layerThickness(), 0.025f);
    p.panel->slot_SliceSceneDone(5);
    p.panel->slot_EditStatChanged(emVexmorEditStat(1));
    EXPECT_FALSE(p.get<QScrollBar>("horizontalScrollBar")->isEnabled());
}

TEST(SlicePanel, SpinBoxesOfItsOwnForm)
{
    VSLGLView view;
    DLP::SliceBuildConfig config;
    QWidget host;
    auto* panel = new VSliceWidgetX(&view, config, &host);
    auto* slider = panel->findChild<QSlider*>("horizontalSlider");
    panel->slot_SliceSceneDone(12);
    panel->findChild<QSpinBox*>("spinBoxPreviewLayer")->setValue(5);
    EXPECT_EQ(slider->value(), 5);
    panel->findChild<QSpinBox*>("spinBoxPlateLayer")->setValue(3);
    EXPECT_EQ(panel->sliceState(), 0);
    EXPECT_FALSE(slider->isEnabled());

    // No resolution yet: only the backdrop; then the black build area.
    EXPECT_GT(Gray(panel->grab().toImage(), 10, 10), 20);
    panel->updateMachineCfg(2560, 1440, 20, 20);
    EXPECT_LT(Gray(panel->grab().toImage(), 10, 10), 20);
}

TEST(SliceBrowser, DrawsTheChosenLayerAtAFixedScale)
{
    vexmorInitResources();
    VSLGLView view;
    // Layer 1 a ring in a 1280 x 800 frame: (130, 116) on it, (185, 116) in its hole.
    SetLayers(view, ToSliceLayers({{Square(0, 0, 100, 100)}, {Square(400, 200, 880, 600), Square(560, 360, 720, 440)}}));
    DlpSliceBrowser dlg(&view);

    const struct { int index; int ring; int hole; } rows[] = {{1, 255, 0}, {0, 0, 0}, {2, 0, 0}};
    for (const auto& r : rows) {
        dlg.slot_updSliceBrowser(r.index);
        const QImage img = dlg.grab().toImage();
        EXPECT_NEAR(Gray(img, 130, 116), r.ring, 20) << r.index;
        EXPECT_NEAR(Gray(img, 185, 116), r.hole, 20) << r.index;
        EXPECT_LT(Gray(img, 360, 225), 20);
    }

    dlg.slot_updSliceBrowser(1);
    dlg.show();
    ASSERT_TRUE(WaitUntilExposed(&dlg));
    QTest::qWait(20);
    const QImage shown = dlg.grab().toImage();
    shown.save("slice_browser.png");
    int light = 0; // the close button's image on its dark square
    for (int y = 10; y < 50; ++y)
        for (int x = 320; x < 360; ++x)
            light += Gray(shown, x, y) > 120;
    EXPECT_GT(light, 20);

    dlg.findChild<QToolButton*>("toolButton")->click();
    EXPECT_FALSE(dlg.isVisible());
    dlg.show();
    EXPECT_GT(Gray(dlg.grab().toImage(), 130, 116), 230);
}

class SliceBrowserWhileSlicing : public GLView {};

TEST_F(SliceBrowserWhileSlicing, ShowsOnlyTheBlackFrame)
{
    Load(BoxFile("box.stl", {-5, -5, 0}, {5, 5, 2}));
    DlpSliceBrowser dlg(m_view.get());
    ASSERT_TRUE(SliceWrittenButRunning(*m_view, 0));
    EXPECT_LT(Gray(dlg.grab().toImage(), 185, 116), 20);
    ASSERT_TRUE(WaitFor([this] { return m_view->scene()->runningSliceJobs() == 0; }));
    EXPECT_GT(Gray(dlg.grab().toImage(), 185, 116), 230);
}
