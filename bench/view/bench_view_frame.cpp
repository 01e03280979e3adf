// The 3D view's frame on a 1M-triangle sphere in a 1600 x 900 widget: a whole
// paintGL frame against the bare draw of the model's display lists in the
// same context, a rotate-ring drag move (one frame, nothing else per
// triangle) and its release (one bounds and hull update). Run under xvfb-run.
#include "VSL3DScene.h"
#include "VSLCamera.h"
#include "VSLCoordConvert.h"
#include "VSLEditHandlers.h"
#include "VSLGLView.h"
#include "VSLModel3D.h"
#include "VSLModelPainter.h"
#include "test_meshes.h"
#include "view_bench_main.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QMouseEvent>
#include <QTemporaryDir>

#include <GL/gl.h>

#include <cmath>
#include <cstdio>
#include <memory>

namespace {

constexpr int kW = 1600;
constexpr int kH = 900;

class BenchView : public VSLGLView {
public:
    using VSLGLView::paintGL;
    // One frame into the widget's buffer, finished.
    void Frame()
    {
        makeCurrent();
        paintGL();
        ::glFinish();
    }
    void Mouse(QEvent::Type type, QPoint p, Qt::MouseButton b, Qt::MouseButtons bs)
    {
        QMouseEvent e(type, QPointF(p), QPointF(mapToGlobal(p)), b, bs, Qt::NoModifier);
        QApplication::sendEvent(this, &e);
    }
};

struct Fixture {
    QTemporaryDir dir;
    std::unique_ptr<BenchView> view;
    VSLModelPainter* sphere = nullptr;
    QPoint handle;      // on ring 0 of the rotate gizmo
    bool ok = false;
};

std::unique_ptr<Fixture> g_fixture;  // destroyed in main, while the application lives

QPoint RingPoint(BenchView& v, VSLModelPainter* p, double deg)
{
    const double a = deg * M_PI / 180, r = p->GetMaxLength() / 2;
    v.LoadViewMatrices();
    QPoint q;
    UCToDC(q, p->m_center + QVector3D(float(r * std::cos(a)), float(r * std::sin(a)), 0));
    return q;
}

// A pixel of ring 0 nearest its -90 degree point; null when none is found.
QPoint RingHandle(BenchView& v, VSLModelPainter* p)
{
    const QPoint start = RingPoint(v, p, -90);
    for (int d = 0; d <= 6; ++d)
        for (int dy = -d; dy <= d; ++dy)
            for (int dx = -d; dx <= d; ++dx)
                if (v.GetLocateCoord(start + QPoint(dx, dy)) == 1)
                    return start + QPoint(dx, dy);
    return QPoint();
}

Fixture& TheFixture()
{
    static bool init = [] {
        g_fixture = std::make_unique<Fixture>();
        Fixture& f = *g_fixture;
        const QString path = f.dir.filePath("sphere.stl");
        if (!testmesh::WriteFile(path, testmesh::BinaryStl(testmesh::SphereWithTriangles(1000000, 25.f))))
            return false;
        f.view = std::make_unique<BenchView>();
        f.view->SetMessageSink([](QString const&, QString const&) {});
        f.view->scene()->m_fnOutOfRangeWarning = [] {};
        f.view->resize(kW, kH);
        f.view->show();
        QElapsedTimer t;
        t.start();
        while (!f.view->isValid() && t.elapsed() < 10000)
            QApplication::processEvents(QEventLoop::AllEvents, 10);
        f.view->SetBound(2560, 1440, 47.25f, 47.25f, 150);
        f.view->SetNavBtn("Edit");
        if (!f.view->OpenSTLFile(path))
            return false;
        VSLModel3D* model = f.view->scene()->models().first();
        while (!model->isReady() && t.elapsed() < 120000)
            QApplication::processEvents(QEventLoop::AllEvents, 10);
        f.sphere = f.view->scene()->instances().first();
        f.view->Frame();  // fits, builds the lists
        f.view->scene()->SetPickModelPainter(f.sphere->pickId());
        f.view->slot_ReceiveEditList({6, 3, 1});
        f.view->Frame();
        f.handle = RingHandle(*f.view, f.sphere);
        f.ok = model->isReady() && !f.handle.isNull();
        return f.ok;
    }();
    if (!init)
        std::fprintf(stderr, "bench_view_frame: no GL context, model or ring handle\n");
    return *g_fixture;
}

void BM_BareModelDraw(benchmark::State& state)
{
    Fixture& f = TheFixture();
    if (!f.ok) {
        state.SkipWithError("no fixture");
        return;
    }
    for (auto _ : state) {
        f.view->LoadViewMatrices();
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glEnable(GL_DEPTH_TEST);
        glEnable(GL_LIGHTING);
        f.sphere->Render();
        glFinish();
    }
}
BENCHMARK(BM_BareModelDraw)->Unit(benchmark::kMillisecond)->Iterations(6);

void BM_PaintFrame(benchmark::State& state)
{
    Fixture& f = TheFixture();
    if (!f.ok) {
        state.SkipWithError("no fixture");
        return;
    }
    for (auto _ : state)
        f.view->Frame();
}
BENCHMARK(BM_PaintFrame)->Unit(benchmark::kMillisecond)->Iterations(6);

// Press on the ring (untimed), then each move of the drag and its frame.
void BM_RotateDragMoveAndFrame(benchmark::State& state)
{
    Fixture& f = TheFixture();
    if (!f.ok) {
        state.SkipWithError("no fixture");
        return;
    }
    f.view->Mouse(QEvent::MouseButtonPress, f.handle, Qt::LeftButton, Qt::LeftButton);
    const QVector3D g = f.view->editHandlers()->pressPoint3D() - f.sphere->m_center;
    const double a0 = std::atan2(g.y(), g.x()) * 180 / M_PI;
    int k = 0;
    for (auto _ : state) {
        const QPoint to = RingPoint(*f.view, f.sphere, a0 + 20 + 25 * (k++ % 2));
        f.view->Mouse(QEvent::MouseMove, to, Qt::NoButton, Qt::LeftButton);
        f.view->Frame();
    }
    // Leave the sphere as it was: the release commits nothing in state 2.
    f.view->slot_EditStatChanged(2);
    f.view->Mouse(QEvent::MouseButtonRelease, f.handle, Qt::LeftButton, Qt::NoButton);
    f.view->slot_EditStatChanged(1);
    f.view->scene()->m_pendingTransform.setToIdentity();
}
BENCHMARK(BM_RotateDragMoveAndFrame)->Unit(benchmark::kMillisecond)->Iterations(6);

// A 45-degree ring drag (untimed press and move); the release is timed.
void BM_RotateRelease(benchmark::State& state)
{
    Fixture& f = TheFixture();
    if (!f.ok) {
        state.SkipWithError("no fixture");
        return;
    }
    for (auto _ : state) {
        state.PauseTiming();
        f.view->Frame();
        const QPoint handle = RingHandle(*f.view, f.sphere);
        f.view->Mouse(QEvent::MouseButtonPress, handle, Qt::LeftButton, Qt::LeftButton);
        const QVector3D g = f.view->editHandlers()->pressPoint3D() - f.sphere->m_center;
        const double a0 = std::atan2(g.y(), g.x()) * 180 / M_PI;
        const QPoint to = RingPoint(*f.view, f.sphere, a0 + 44);
        f.view->Mouse(QEvent::MouseMove, to, Qt::NoButton, Qt::LeftButton);
        state.ResumeTiming();
        f.view->Mouse(QEvent::MouseButtonRelease, to, Qt::LeftButton, Qt::NoButton);
    }
}
BENCHMARK(BM_RotateRelease)->Unit(benchmark::kMillisecond)->Iterations(4);

} // namespace

int main(int argc, char** argv)
{
    return RunViewBenchmarks(argc, argv, [] { g_fixture.reset(); });
}
