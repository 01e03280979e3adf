// Previews captured when slicing starts, and the road to the print file.
#include "../printfile/printfiledecoder.h"
#include "glview_fixture.h"
#include "hang_ceiling.h"
#include "x11input.h"

#include "dlp/machinepara.h"
#include "dlp/slicebuildconfig.h"

#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QWindow>

#include <atomic>
#include <chrono>
#include <thread>

namespace {

int CountNot(const QImage& img, Px colour, int tol)
{
    const QImage rgb = img.convertToFormat(QImage::Format_RGB32);
    int n = 0;
    for (int y = 0; y < rgb.height(); ++y)
        for (int x = 0; x < rgb.width(); ++x) {
            const QRgb c = rgb.pixel(x, y);
            n += !Px{qRed(c), qGreen(c), qBlue(c)}.near(colour, tol);
        }
    return n;
}

} // namespace

class GLViewPreview : public GLView {
protected:
    VSLModelPainter* LoadTower() { return Load(BoxFile("tower.stl", {-8, -5, 0}, {8, 5, 30})); }
    void WaitSliced()
    {
        ASSERT_TRUE(WaitFor([this] { return m_view->scene()->runningSliceJobs() == 0; }));
        QCoreApplication::processEvents();
    }
};

TEST_F(GLViewPreview, SlicingHidesTheOverlaysForExactlyOneFrame)
{
    const struct { const char* type; double aspect /* of the captured preview */; } cases[] = {
        {"vxs", 120.0 / 150.0}, {"vxt", 200.0 / 150.0}};
    VSLModelPainter* p = LoadTower();
    ASSERT_TRUE(p);
    for (const auto& k : cases) {
        m_view->SetFileType(k.type);
        const QImage before = Frame();
        const QPoint gridPoint = Project({-40, -20, 0});
        const Px plate = At(before, gridPoint);
        ASSERT_FALSE(plate.near(kBackground, 20));
        ASSERT_EQ(m_view->SliceScene(0.1f, 1920, 1080, 20, 20, 0), SceneOp::Done);
        EXPECT_TRUE(m_view->scene()->m_bHideOverlays);
        const QImage captured = Frame();
        Save(captured, QString("glview_capture_%1").arg(k.type));
        EXPECT_FALSE(m_view->scene()->m_bHideOverlays);
        EXPECT_TRUE(At(captured, gridPoint).near(kBackground, 3)) << At(captured, gridPoint);
        const QPoint top = Project({p->m_center.x(), p->m_center.y(), p->m_maxBound.z()});
        EXPECT_FALSE(At(captured, top).near(kBackground, 20));
        const QImage small = m_view->scene()->m_previewImage;
        const QImage large = m_view->scene()->m_previewImageLarge;
        Save(small, QString("glview_preview_%1").arg(k.type));
        Save(large, QString("glview_preview_large_%1").arg(k.type));
        ASSERT_FALSE(small.isNull());
        EXPECT_EQ(large.size(), QSize(1200, 1600));
        EXPECT_NEAR(double(small.width()) / small.height(), k.aspect, 0.05) << small.width() << "x" << small.height();
        // The model fills part of both; no plate pixel in either.
        EXPECT_GT(CountNot(small, kBackground, 20), small.width() * small.height() / 20);
        EXPECT_GT(CountNot(large, kBackground, 20), 1200 * 1600 / 20);
        EXPECT_LT(CountNot(small, plate, 6), small.width() * small.height());
        // The next frame shows the grid again.
        EXPECT_TRUE(At(Frame(), gridPoint).near(plate, 3));
        WaitSliced();
    }
}

TEST_F(GLViewPreview, TheWindowDrawsThePlateAgainByItselfAfterTheCapture)
{
    LoadTower();
    m_view->SetFileType("vxs");
    const QPoint gridPoint = Project({-40, -20, 0});
    const Px plate = At(Frame(), gridPoint);
    // The first frame the window paints on its own after the slice starts
    // is the bare capture; count those that follow it.
    int framesAfterCapture = -1;
    QObject::connect(m_view.get(), &QOpenGLWidget::frameSwapped, [&framesAfterCapture] { ++framesAfterCapture; });
    ASSERT_EQ(m_view->SliceScene(0.1f, 1920, 1080, 20, 20, 0), SceneOp::Done);
    WaitSliced();
    EXPECT_FALSE(m_view->scene()->m_bHideOverlays);
    EXPECT_TRUE(WaitFor([&] { return framesAfterCapture > 0; }, kHangMs)) << "the bare capture stays on screen";
    EXPECT_TRUE(At(m_view->grabFramebuffer(), gridPoint).near(plate, 3));
}

TEST_F(GLViewPreview, InputComingJustAfterTheCaptureGoesBeforeThePlateIsDrawnAgain)
{
    // The capture of a big plate can take seconds, and the server may hand
    // over a click made meanwhile only once the capture reached the screen:
    // a close must not also wait for the frame that brings the plate back.
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        GTEST_SKIP() << "needs input from an X server";
    LoadTower();
    Frame();
    QWindow* window = m_view->window()->windowHandle();
    ASSERT_TRUE(window);
    const unsigned long target = window->winId();
    X11KeySender keys;
    ASSERT_TRUE(keys.connected());

    // The view's paints (a window can show a frame again without one) and
    // the key as the window gets it.
    QStringList order;
    struct Watch : QObject {
        QStringList* order;
        QObject *window, *view;
        bool eventFilter(QObject* o, QEvent* e) override
        {
            if (o == window && e->type() == QEvent::KeyPress)
                *order << "input";
            else if (o == view && e->type() == QEvent::Paint)
                *order << "frame";
            return false;
        }
    } watch;
    watch.order = &order;
    watch.window = window;
    watch.view = m_view.get();
    window->installEventFilter(&watch);
    m_view->installEventFilter(&watch);
    // A key comes 20 ms after the capture goes to the screen.
    QElapsedTimer sinceCapture;
    std::thread sender;
    std::atomic<bool> sent{false};
    std::atomic<qint64> sentAtMs{-1};
    const auto compose = QObject::connect(m_view.get(), &QOpenGLWidget::aboutToCompose, [&] {
        if (sender.joinable() || m_view->scene()->m_bHideOverlays)
            return;
        sinceCapture.start();
        sender = std::thread([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            sent = keys.SendShift(target);
            sentAtMs = sinceCapture.elapsed();
        });
    });
    ASSERT_EQ(m_view->SliceScene(0.1f, 1920, 1080, 20, 20, 0), SceneOp::Done);
    EXPECT_TRUE(WaitFor([&] { return order.count("frame") >= 2; }, kHangMs)) << order.join(' ').toStdString();
    QObject::disconnect(compose);
    m_view->removeEventFilter(&watch);
    window->removeEventFilter(&watch);
    if (sender.joinable())
        sender.join();
    EXPECT_TRUE(sent);
    EXPECT_FALSE(m_view->scene()->m_bHideOverlays);
    WaitSliced();
    // A machine too busy to send it soon after the capture cannot judge.
    if (sentAtMs > 100)
        GTEST_SKIP() << "the key went " << sentAtMs << " ms after the capture";
    const int secondFrame = order.indexOf("frame", order.indexOf("frame") + 1);
    const int input = order.indexOf("input");
    EXPECT_TRUE(input >= 0 && input < secondFrame) << order.join(' ').toStdString();
}

TEST_F(GLViewPreview, AModelTallerThanTheViewZoomsItOutAndKeepsThatScale)
{
    Load(BoxFile("tall.stl", {-5, -5, 0}, {5, 5, 500}));
    m_view->SetFileType("vxs");
    Frame();
    const float fitted = m_view->camera()->getViewportScale();
    ASSERT_FLOAT_EQ(fitted, m_view->fitScale());
    // A build height that holds the model: a taller plate is not sliced.
    m_view->SetBound(1920, 1080, 50, 50, 600);
    ASSERT_EQ(m_view->SliceScene(0.1f, 1920, 1080, 20, 20, 0), SceneOp::Done);
    const QImage captured = Frame();
    Save(captured, "glview_capture_tall");
    const float after = m_view->camera()->getViewportScale();
    EXPECT_LT(after, fitted);
    EXPECT_FALSE(m_view->scene()->m_previewImage.isNull());
    EXPECT_EQ(m_view->scene()->m_previewImageLarge.size(), QSize(1200, 1600));
    // Kept until the next fit.
    Frame();
    EXPECT_FLOAT_EQ(m_view->camera()->getViewportScale(), after);
    m_view->SetBound(1920, 1080, 50, 50, 100);
    Frame();
    EXPECT_FLOAT_EQ(m_view->camera()->getViewportScale(), fitted);
    WaitSliced();
}

TEST_F(GLViewPreview, UnusableSliceJobsAreRefusedBeforeAnythingChanges)
{
    LoadTower();
    Frame();
    const struct { float thick; int xres, yres; float dx, dy; int plate; } cases[] = {
        {0.1f, 1920, 0, 20, 20, 0}, {0.1f, 0, 1080, 20, 20, 0}, {0.1f, 1920, -5, 20, 20, 0},
        {0.1f, 1920, 1080, 0, 20, 0}, {0.1f, 1920, 1080, 20, -1, 0}, {0, 1920, 1080, 20, 20, 0},
        {0.1f, 1920, 1080, 20, 20, -2}};
    for (const auto& k : cases) {
        EXPECT_EQ(m_view->SliceScene(k.thick, k.xres, k.yres, k.dx, k.dy, k.plate), SceneOp::Unchanged);
        EXPECT_FALSE(m_view->scene()->m_bHideOverlays);
        EXPECT_EQ(m_view->scene()->runningSliceJobs(), 0);
        EXPECT_EQ(m_view->scene()->m_nYResolution, 0);
    }
    Frame();  // draws without dividing by the refused resolution
    EXPECT_TRUE(m_view->scene()->m_previewImageLarge.isNull());
}

TEST_F(GLViewPreview, LoadSliceAndWriteCode120CarriesPreviewsOfTheModel)
{
    LoadTower();
    m_view->SetBound(2560, 1440, 47.25f, 47.25f, 150);
    m_view->SetMachineType("Pellar120", 120);
    m_view->SetFileType("vxs");
    const QString out = m_dir.filePath("plate.vxs");
    m_view->SetSaveFileName(out);
    Frame();
    int layers = -1;
    QObject::connect(m_view.get(), &VSLGLView::sig_SliceSceneDone, [&](int n) { layers = n; });
    ASSERT_EQ(m_view->SliceScene(0.1f, 2560, 1440, 1000 / 47.25f, 1000 / 47.25f, 0), SceneOp::Done);
    Frame();
    ASSERT_TRUE(WaitFor([&] { return layers >= 0; }));
    EXPECT_EQ(layers, 300);
    EXPECT_EQ(m_view->GetSliceData().size(), 300);
    DLP::SliceBuildConfig config;
    config.UpdateMachineConfig(2560, 1440, 47.25f, 47.25f, 150);
    config.SliceThickness = 0.1f;
    ST_MachinePara para = DLP::machineParaFrom(config);
    ASSERT_TRUE(m_view->generatePrintableData(para, out)) << m_view->lastPrintableDataResult();
    const VxsFile f = ReadVxs(out, true);
    ASSERT_TRUE(f.valid) << f.error;
    EXPECT_EQ(f.previewWidth, 120);
    EXPECT_EQ(f.previewHeight, 150);
    ASSERT_EQ(f.previewPixels.size(), 120 * 150);
    QImage preview(120, 150, QImage::Format_RGB32);
    for (int i = 0; i < f.previewPixels.size(); ++i) {
        const uint16_t v = f.previewPixels[i];
        preview.setPixel(i % 120, i / 120, qRgb((v >> 11) << 3, ((v >> 5) & 63) << 2, (v & 31) << 3));
    }
    Save(preview, "glview_vxs_preview");
    EXPECT_GT(CountNot(preview, kBackground, 24), 120 * 150 / 20);
    ASSERT_TRUE(f.hasPng);
    Save(QImage::fromData(f.png, "PNG"), "glview_vxs_png");
    // Code 120 also gets the vector file beside it, with the same picture.
    QFile vxt(m_dir.filePath("plate.vxt"));
    ASSERT_TRUE(vxt.open(QIODevice::ReadOnly));
    const QByteArray bytes = vxt.readAll();
    const int at = bytes.indexOf(QByteArray("\x89PNG", 4));
    ASSERT_GE(at, 0);
    for (const QImage& png : {QImage::fromData(f.png, "PNG"), QImage::fromData(bytes.mid(at), "PNG")}) {
        EXPECT_EQ(png.size(), QSize(1200, 1600));
        EXPECT_GT(CountNot(png, kBackground, 20), 1200 * 1600 / 20);
    }
}

// The view's forwards to the task file and to whole-plate slicing.
TEST_F(GLView, TaskFileAndWholePlateSliceThroughTheView)
{
    ASSERT_TRUE(Load(BoxFile("box.stl", {0, 0, 0}, {10, 10, 5})));
    const QString task = m_dir.filePath("plate.task");
    ASSERT_TRUE(m_view->WriteBinaryView(task));
    VSLGLView other;
    ASSERT_TRUE(other.LoadBinaryView(task));
    ASSERT_EQ(other.scene()->instances().size(), 1);
    ASSERT_TRUE(WaitFor([&] { return other.scene()->instances().first()->m_pModel->isReady(); }));
    EXPECT_GE(other.SliceGL(0.1f, m_dir.path(), "plate", 1920, 1080, 20.f, 20.f), 0);
    EXPECT_GE(other.GetSliceData().size(), 50); // 5 mm at 0.1 mm
    EXPECT_FALSE(other.LoadBinaryView(m_dir.filePath("missing.task")));
    EXPECT_EQ(other.scene()->instances().size(), 1);
}
