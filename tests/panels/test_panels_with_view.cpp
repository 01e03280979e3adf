// The side panels against a real 3D view, wired as the main window wires
// them, their layer preview in pixels, and how they look on the plate.
#include "../glview/glview_fixture.h"
#include "event_wait.h"
#include "slice_polygons.h"
#include "slice_layers.h"

#include "VEditModeWidget.h"
#include "VSliceWidgetX.h"
#include "VSupportWidgetX.h"
#include "SlicePreview.h"
#include "VTransformEditWidget.h"
#include "notices.h"

#include <cmath>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QPainterPath>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>

namespace {

QVector3D BottomCentre(const VSLModelPainter* p)
{
    return {(p->m_minBound.x() + p->m_maxBound.x()) / 2, (p->m_minBound.y() + p->m_maxBound.y()) / 2,
            p->m_minBound.z()};
}

} // namespace

class TransformWithView : public GLView {
protected:
    void SetUp() override
    {
        GLView::SetUp();
        VSLGLView* view = m_view.get();
        // As the main window connects them.
        connect(&mode, &VEditModeWidget::signal_SendEditMode, view, &VSLGLView::slot_ReceiveEditList);
        connect(&mode, &VEditModeWidget::signal_SendEditMode, &panel, &VTransformEditWidget::slot_ReceiveEditList);
        connect(&panel, &VTransformEditWidget::signal_SendEditData, view, &VSLGLView::slot_ReceiveEditList);
        connect(view, &VSLGLView::signal_SendEditList, &panel, &VTransformEditWidget::slot_ReceiveEditList);
        connect(view, &VSLGLView::signal_RequestScaleValue, &panel, &VTransformEditWidget::slot_EmitScaleValue);
        connect(&panel, &VTransformEditWidget::signal_SendScaleValue, view, &VSLGLView::slot_ReceiveScaleValue);
        connect(view, &VSLGLView::signal_ShowHideEditControl, &panel, &VTransformEditWidget::slot_ModelSelected);
    }
    template <class... A> static void connect(A&&... a) { QObject::connect(std::forward<A>(a)...); }
    QVector3D fields(const QString& group)
    {
        QVector3D v;
        for (int k = 0; k < 3; ++k)
            v[k] = panel.findChild<QDoubleSpinBox*>(group + "_" + QChar('X' + k))->value();
        return v;
    }
    static void ExpectNear(QVector3D a, QVector3D b, float tol, const char* what)
    {
        for (int k = 0; k < 3; ++k)
            EXPECT_NEAR(a[k], b[k], tol) << what << " axis " << k;
    }

    VEditModeWidget mode;
    VTransformEditWidget panel;
};

// Moving reaches the view through the whole-road test; here scaling, which
// keeps the bottom centre, and Reset, which the fields follow.
TEST_F(TransformWithView, ScaleAndResetReachTheCubeAndTheFields)
{
    VSLModelPainter* p = Load(BoxFile("cube.stl", {-10, -10, 0}, {10, 10, 20}));
    ASSERT_TRUE(p);
    p->Move({10, 0, 0});
    Frame();
    Click(Project({p->m_center.x(), p->m_center.y(), 20}));
    ASSERT_EQ(m_view->selectedNumber(), p->pickId());
    const QVector3D bottom = BottomCentre(p);
    ExpectNear(fields("Position"), bottom, 0.01f, "position");

    mode.layoutBarClicked(2);
    ASSERT_TRUE(panel.findChild<QWidget*>("ScaleGroup")->isEnabled());
    panel.findChild<QDoubleSpinBox*>("Scale_Y")->setValue(2);
    ExpectNear(p->m_maxBound - p->m_minBound, {40, 40, 40}, 0.01f, "scaled bounds");
    ExpectNear(BottomCentre(p), bottom, 0.01f, "scaled about the bottom centre");
    ExpectNear(fields("Size"), {40, 40, 40}, 0.01f, "size after scale");
    // The view's echo of the scaled instance changes nothing more.
    QCoreApplication::processEvents();
    ExpectNear(p->m_maxBound - p->m_minBound, {40, 40, 40}, 0.01f, "bounds after the echo");
    ExpectNear(fields("Size"), {40, 40, 40}, 0.01f, "size after the echo");
    ExpectNear(fields("Scale"), {2, 2, 2}, 0.001f, "scale after the echo");

    panel.findChild<QPushButton*>("ResetButton")->click();
    ExpectNear(p->m_maxBound - p->m_minBound, {20, 20, 20}, 0.01f, "reset bounds");
    ExpectNear(fields("Size"), {20, 20, 20}, 0.01f, "reset size");
    ExpectNear(fields("Scale"), {1, 1, 1}, 0.001f, "reset scale");
    ExpectNear(p->m_scale, {1, 1, 1}, 0.001f, "the view's scale record");

    // Maximize: the fields and the record show the fit's factor, not the
    // scale the fields held before it.
    panel.findChild<QPushButton*>("MaximizeButton")->click();
    const float k = (p->m_maxBound.z() - p->m_minBound.z()) / 20;
    ASSERT_GT(std::abs(k - 1), 0.05f);
    ExpectNear(fields("Scale"), {k, k, k}, 0.006f, "scale after fit");
    ExpectNear(p->m_scale, {k, k, k}, 0.006f, "the view's scale record after fit");
    ExpectNear(fields("Size"), p->m_maxBound - p->m_minBound, 0.01f, "size after fit");
}

namespace {

// A slice panel on a 2560 x 1440 printer at 20 pixels per mm.
struct SlicePanel
{
    explicit SlicePanel(VSLGLView* v = nullptr) : view(v ? v : &own)
    {
        config.XResolution = 2560;
        config.YResolution = 1440;
        config.DotsPermmX = 20;
        config.DotsPermmY = 20;
        panel = new VSliceWidgetX(view, config, &host);
        panel->updateMachineCfg(2560, 1440, 20, 20);
    }
    template <class T> T* get(const char* name) { return panel->findChild<T*>(name); }
    QString text(const char* label) { return get<QLabel>(label)->text(); }
    QPushButton* sliceButton() { return get<QPushButton>("pushButton"); }
    QImage shot() { return panel->grab().toImage(); }

    VSLGLView own;
    VSLGLView* view;
    DLP::SliceBuildConfig config;
    QWidget host;
    VSliceWidgetX* panel;
};

} // namespace

TEST(SlicePanelStates, RequestCompletionAndSceneStates)
{
    SlicePanel s;
    s.get<QSlider>("HSlider_Thick")->setValue(7);
    EXPECT_FLOAT_EQ(s.panel->layerThickness(), 0.035f);
    EXPECT_EQ(s.text("label_LayerThick"), "35um");

    // The request carries the panel's settings and the printer's.
    s.config.XResolution = 1920;
    s.config.YResolution = 1080;
    s.config.DotsPermmX = 18.5f;
    s.config.DotsPermmY = 19.5f;
    s.get<QSpinBox>("spinBoxPlateLayer")->setValue(4);
    QSignalSpy slice(s.panel, &VSliceWidgetX::sig_SliceScene);
    s.sliceButton()->click();
    ASSERT_EQ(slice.size(), 1);
    const QVariantList expected{0.035f, 1920, 1080, 18.5f, 19.5f, 4};
    EXPECT_EQ(slice[0], expected);
    EXPECT_EQ(s.config.PlateLayers, 4);

    // Nothing but the completion gives the Slice button back.
    for (int stat : {0, 1, 2, 3, 5})
        s.panel->slot_EditStatChanged(emVexmorEditStat(stat));
    s.panel->enableBrowserSlice(true);
    s.panel->setNotSlice();
    EXPECT_FALSE(s.sliceButton()->isEnabled());
    EXPECT_EQ(slice.size(), 1) << "state 5 while slicing starts nothing";

    const struct { int layers; const char* count; bool browser; int top; } done[] = {
        {25, "25", true, 24}, {0, "NA", false, 24}, {1, "1", true, 0}};
    for (const auto& r : done) {
        SCOPED_TRACE(r.layers);
        s.panel->slot_SliceSceneDone(r.layers);
        EXPECT_TRUE(s.sliceButton()->isEnabled());
        EXPECT_EQ(s.panel->sliceState(), 1);
        EXPECT_EQ(s.text("label_slicests"), "Sliced");
        EXPECT_EQ(s.text("label_4"), r.count);
        EXPECT_EQ(s.get<QSlider>("horizontalSlider")->isEnabled(), r.browser);
        EXPECT_EQ(s.get<QSlider>("horizontalSlider")->maximum(), r.top);
    }

    // State 0 changes nothing; 1 to 3 make the slice stale and give the
    // thickness back; 5 starts a slice only with the browser off and idle.
    s.panel->slot_EditStatChanged(emVexmorEditStat(0));
    EXPECT_EQ(s.panel->sliceState(), 1);
    s.panel->slot_EditStatChanged(emVexmorEditStat(5));
    EXPECT_EQ(slice.size(), 1) << "browser on";
    for (int stat : {1, 2, 3}) {
        s.panel->slot_SliceSceneDone(10);
        s.get<QSlider>("HSlider_Thick")->setEnabled(false);
        s.panel->slot_EditStatChanged(emVexmorEditStat(stat));
        EXPECT_EQ(s.panel->sliceState(), 0) << stat;
        EXPECT_EQ(s.text("label_4"), "NA");
        EXPECT_FALSE(s.get<QSlider>("horizontalSlider")->isEnabled());
        EXPECT_TRUE(s.get<QSlider>("HSlider_Thick")->isEnabled()) << stat;
    }
    s.panel->slot_EditStatChanged(emVexmorEditStat(5));
    EXPECT_EQ(slice.size(), 2);
    EXPECT_FALSE(s.sliceButton()->isEnabled());
}

TEST(SlicePanelStates, PreviewKeepsThePhysicalAspect)
{
    SlicePanel s;
    const struct { int x, y; float dx, dy; QSize size; } rows[] = {
        {2560, 1440, 20, 20, {380, 213}},
        {2560, 1440, 20, 10, {380, 427}},   // twice as tall in mm
        {1920, 1080, 10, 20, {380, 106}},
        {2560, 1440, 0, 20, {380, 106}},    // unknown model: kept
        {0, 1440, 20, 20, {380, 106}},
        {2560, 1440, NAN, 20, {380, 106}},
    };
    for (const auto& r : rows) {
        s.panel->updateMachineCfg(r.x, r.y, r.dx, r.dy);
        EXPECT_EQ(s.panel->previewSize(), r.size) << r.x << " " << r.dx << " " << r.dy;
    }
}

TEST(SlicePanelPreview, RingSupportPlateAndSlicing)
{
    SlicePanel s; // a 380 x 213 preview
    // Scale 380 / 2560 and 213 / 1440: the ring's band around preview x 145,
    // its hole around x 190, the support around (37, 37).
    const QVector<QPolygonF> ring{Square(880, 300, 1680, 1100), Square(1080, 500, 1480, 900)};
    const QPolygonF plate = Square(-50, -50, 2610, 1490);
    SetLayers(*s.view, ToSliceLayers({{plate}, ring}), ToSliceLayers({{}, {Square(100, 100, 400, 400)}}));
    s.panel->slot_SliceSceneDone(2);

    const QImage first = s.shot();
    for (QPoint p : {QPoint(2, 2), QPoint(190, 100), QPoint(377, 210), QPoint(37, 37)})
        EXPECT_GT(Gray(first, p.x(), p.y()), 230) << "plate layer at " << p.x() << "," << p.y();
    EXPECT_GT(Gray(first, 200, 240), 20) << "below the preview: not the build area";

    s.get<QSlider>("horizontalSlider")->setValue(1);
    const QImage img = s.shot();
    img.save(QDir(QCoreApplication::applicationDirPath()).filePath("slice_panel_ring.png"));
    // The ring, its hole, the support, the build area.
    for (auto [x, y, white] : {std::tuple{145, 100, true}, {190, 100, false}, {37, 37, true}, {320, 190, false}})
        EXPECT_EQ(Gray(img, x, y) > 230, white) << x << "," << y;

    s.sliceButton()->click(); // a new slice rebuilds the layers: nothing read
    const QImage slicing = s.shot();
    for (QPoint p : {QPoint(145, 100), QPoint(37, 37), QPoint(190, 100)})
        EXPECT_LT(Gray(slicing, p.x(), p.y()), 20) << p.x() << "," << p.y();
    s.panel->slot_SliceSceneDone(2);
    s.panel->slot_updSliceBrowser(0);
    EXPECT_GT(Gray(s.shot(), 190, 100), 230);
}

class SliceWithView : public GLView {};

TEST_F(SliceWithView, SliceButtonThroughTheViewDrawsTheCubesFootprint)
{
    VSLModelPainter* p = Load(BoxFile("cube.stl", {-10, -10, 0}, {10, 10, 20}));
    ASSERT_TRUE(p);
    p->Move({-20, 8, 0}); // off centre, so that a shift or a flip shows
    SlicePanel s(m_view.get());
    s.config.XResolution = 1920;
    s.config.YResolution = 1080;
    s.panel->updateMachineCfg(1920, 1080, 20, 20); // a 380 x 213 preview
    // As the main window connects them.
    QObject::connect(s.panel, &VSliceWidgetX::sig_SliceScene, m_view.get(), &VSLGLView::SliceScene);
    QObject::connect(m_view.get(), &VSLGLView::sig_SliceSceneDone, s.panel, &VSliceWidgetX::slot_SliceSceneDone);

    s.get<QSlider>("HSlider_Thick")->setValue(20); // 0.1 mm: 200 layers
    s.sliceButton()->click();
    ASSERT_FALSE(s.sliceButton()->isEnabled());
    ASSERT_TRUE(WaitFor([&] { return s.sliceButton()->isEnabled(); }));
    EXPECT_NEAR(s.text("label_4").toInt(), 200, 1);
    s.get<QSlider>("horizontalSlider")->setValue(100);

    const QImage img = s.shot();
    img.save(QDir(QCoreApplication::applicationDirPath()).filePath("slice_panel_cube.png"));
    QRect white;
    for (int y = 0; y < 213; ++y)
        for (int x = 0; x < 380; ++x)
            if (Gray(img, x, y) > 127)
                white |= QRect(x, y, 1, 1);
    // Projector pixel = mm x 20 + half the resolution; preview = pixel x 380 / 1920, 213 / 1080.
    const double sx = 380.0 / 1920, sy = 213.0 / 1080;
    const QRectF expected(QPointF((p->m_minBound.x() * 20 + 960) * sx, (p->m_minBound.y() * 20 + 540) * sy),
                          QPointF((p->m_maxBound.x() * 20 + 960) * sx, (p->m_maxBound.y() * 20 + 540) * sy));
    const QRectF found(white.topLeft(), white.size());
    for (auto [got, want] : {std::pair{found.left(), expected.left()}, {found.right(), expected.right()},
                             {found.top(), expected.top()}, {found.bottom(), expected.bottom()}})
        EXPECT_NEAR(got, want, 2);
    // Filled: the inside of the footprint is all white.
    for (int y = white.top() + 2; y < white.bottom() - 1; ++y)
        for (int x = white.left() + 2; x < white.right() - 1; ++x)
            ASSERT_GT(Gray(img, x, y), 230) << x << "," << y;
}

TEST(PanelsOnThePlate, EachShowsItsForm)
{
    SlicePanel s;
    VTransformEditWidget transform;
    transform.resize(380, 280);
    VSupportWidgetX support;
    VSupportWidgetEditX bar;
    const int sh = support.height();
    const struct { QWidget* panel; const char* name; QRect form; QPoint plate; } rows[] = {
        {s.panel, "slice_panel_on_plate", {20, 240, 380, 160}, {30, 396}},
        {&transform, "transform_panel_on_plate", {20, 20, 380, 280}, {30, 296}},
        {&support, "support_panel_on_plate", {20, 20, support.width(), sh}, {24, 17 + sh}},
        {&bar, "support_edit_bar_on_plate", {20, 20, 380, 56}, {200, 22}},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        // The panel on a light backdrop, as it floats over the view.
        QWidget host;
        host.setAutoFillBackground(true);
        QPalette pal = host.palette();
        pal.setColor(QPalette::Window, QColor(240, 237, 235));
        host.setPalette(pal);
        host.resize(r.panel->width() + 40, r.panel->height() + 40);
        QWidget* oldParent = r.panel->parentWidget();
        r.panel->setParent(&host);
        r.panel->move(20, 20);
        r.panel->show();
        host.show();
        EXPECT_TRUE(WaitUntilExposed(&host));
        QTest::qWait(20);
        const QImage img = host.grab().toImage();
        img.save(QDir(QCoreApplication::applicationDirPath()).filePath(QString(r.name) + ".png"));
        r.panel->hide();
        r.panel->setParent(oldParent);

        // The translucent plate darkens the backdrop without hiding it; the form puts light text on it.
        const int plate = Gray(img, r.plate.x(), r.plate.y());
        EXPECT_TRUE(plate > 100 && plate < 180) << plate;
        int light = 0;
        for (int y = r.form.top(); y <= r.form.bottom(); ++y)
            for (int x = r.form.left(); x <= r.form.right(); ++x)
                light += Gray(img, x, y) > 230;
        EXPECT_GT(light, 200) << "texts and buttons of the form";
        if (r.panel == s.panel) {
            EXPECT_LT(Gray(img, 200, 120), 20) << "black build area";
        }
    }
}

TEST(SlicePanelNotice, OutlivedByThePanelMovedToAnotherParent)
{
    VSLGLView view;
    DLP::SliceBuildConfig config;
    auto first = std::make_unique<QWidget>();
    QWidget second;
    auto* panel = new VSliceWidgetX(&view, config, first.get());
    panel->setParent(&second);
    first.reset(); // takes the notice with it
    panel->setSliceStarted(1);
    panel->slot_EditStatChanged(emVexmorEditStat(1));
    panel->slot_SliceSceneDone(3);
    EXPECT_EQ(panel->sliceState(), 1);
}   // the panel goes with `second`: no second delete of the notice

TEST(SlicePreviewBatches, DrawAsOneOddEvenFillWould)
{
    // 600 rings listed outer contours first, their holes after them, and
    // pairs of overlapping squares whose overlap odd-even leaves black: the
    // batched fill must give the picture of one path of the whole layer.
    QVector<QPolygonF> layer;
    QVector<QPolygonF> holes;
    for (int j = 0; j < 20; ++j)
        for (int i = 0; i < 30; ++i) {
            const double x = 20 + i * 84, y = 20 + j * 70;
            layer.append(Square(x, y, x + 60, y + 50));
            holes.append(Square(x + 20, y + 15, x + 40, y + 35));
        }
    layer += holes;
    for (int i = 0; i < 10; ++i) {
        layer.append(Square(100 + i * 240, 1420 - 60, 200 + i * 240, 1440));
        layer.append(Square(150 + i * 240, 1420 - 30, 250 + i * 240, 1440));
    }
    SlicePreviewLayer what;
    what.previewSize = QSize(760, 427);
    what.xResolution = 2560;
    what.yResolution = 1440;
    what.drawLayer = true;
    QImage batched(what.previewSize, QImage::Format_RGB32), whole(what.previewSize, QImage::Format_RGB32);
    {
        QPainter batch(&batched);
        paintSlicePreview(batch, what, {ToSlicePolygons(layer)}, {});
        QPainter painter(&whole);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.scale(760.0 / 2560, 427.0 / 1440);
        painter.fillRect(QRectF(0, 0, 2560, 1440), Qt::black);
        QPainterPath path;
        path.setFillRule(Qt::OddEvenFill);
        for (const QPolygonF& poly : layer)
            path.addPolygon(poly), path.closeSubpath();
        painter.fillPath(path, Qt::white);
    }
    int differing = 0;
    for (int y = 0; y < whole.height(); ++y)
        for (int x = 0; x < whole.width(); ++x)
            differing += std::abs(Gray(whole, x, y) - Gray(batched, x, y)) > 8;
    EXPECT_EQ(differing, 0);
    const auto at = [&](double x, double y) { return Gray(batched, int(x * 760 / 2560), int(y * 427 / 1440)); };
    EXPECT_LT(at(50, 45), 20) << "first hole";
    EXPECT_GT(at(28, 45), 230) << "its ring";
    EXPECT_LT(at(175, 1430), 20) << "overlap of two squares";
}

// The preview sits in a panel among its controls: outlines reaching past the
// frame (supports are not clamped to it) are drawn only inside it.
TEST(SlicePreviewBatches, NothingIsDrawnPastTheFrame)
{
    SlicePreviewLayer what;
    what.previewSize = QSize(192, 120);
    what.xResolution = 1920;
    what.yResolution = 1200;
    what.drawLayer = true;
    const QVector<QPolygonF> beyond{Square(-400, -300, 2400, 1500)};
    QImage panel(400, 300, QImage::Format_RGB32);
    panel.fill(QColor(128, 128, 128));
    {
        QPainter painter(&panel);
        painter.translate(100, 100);
        paintSlicePreview(painter, what, {}, {ToSlicePolygons(beyond)});
    }
    int lit = 0, past = 0;
    for (int y = 0; y < panel.height(); ++y)
        for (int x = 0; x < panel.width(); ++x) {
            const bool inside = x >= 100 && x < 292 && y >= 100 && y < 220;
            const int g = Gray(panel, x, y);
            lit += inside && g > 230;
            past += !inside && g != 128;
        }
    EXPECT_EQ(lit, 192 * 120);
    EXPECT_EQ(past, 0);
}
