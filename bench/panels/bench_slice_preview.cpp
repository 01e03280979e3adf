// Repaint of the slice panel on one preview layer, as a slider drag asks for
// it: the whole 380 x 380 panel (form included) into an image. Two plates on
// a 2560 x 1440 printer at 20 pixels per mm: the middle layer of 10,000
// 1 mm cubes (a 125 x 80 grid of square sections) and the middle layer of a
// ~1M-triangle sphere sliced by the view. Goal: under 16 ms each. Run under
// xvfb-run.
#include "VSL3DScene.h"
#include "VSLGLView.h"
#include "VSLModel3D.h"
#include "VSliceWidgetX.h"
#include "slice_polygons.h"
#include "test_meshes.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QPainter>
#include <QSlider>
#include <QTemporaryDir>

#include <cstdio>
#include <memory>

namespace {

constexpr int kXRes = 2560;
constexpr int kYRes = 1440;
constexpr float kDpmm = 20.f;

struct Plate {
    QTemporaryDir dir;
    std::unique_ptr<VSLGLView> view;
    DLP::SliceBuildConfig config;
    std::unique_ptr<QWidget> host;
    VSliceWidgetX* panel = nullptr;
    int layers = 0;
    qint64 polygonsShown = 0;
    qint64 pointsShown = 0;
};

std::unique_ptr<Plate> g_cubes;   // destroyed in main, while the application lives
std::unique_ptr<Plate> g_sphere;

std::unique_ptr<Plate> NewPlate()
{
    auto p = std::make_unique<Plate>();
    p->view = std::make_unique<VSLGLView>();
    p->view->SetMessageSink([](QString const&, QString const&) {});
    p->view->scene()->m_fnOutOfRangeWarning = [] {};
    p->view->SetBound(kXRes, kYRes, 1000.f / kDpmm, 1000.f / kDpmm, 150);
    p->config.XResolution = kXRes;
    p->config.YResolution = kYRes;
    p->config.DotsPermmX = kDpmm;
    p->config.DotsPermmY = kDpmm;
    p->host = std::make_unique<QWidget>();
    p->panel = new VSliceWidgetX(p->view.get(), p->config, p->host.get());
    p->panel->updateMachineCfg(kXRes, kYRes, kDpmm, kDpmm);
    QObject::connect(p->panel, &VSliceWidgetX::sig_SliceScene, p->view.get(), &VSLGLView::SliceScene);
    return p;
}

void ShowMiddleLayer(Plate& p)
{
    p.panel->slot_SliceSceneDone(p.layers);
    const int middle = p.layers / 2;
    p.panel->findChild<QSlider*>("horizontalSlider")->setValue(middle);
    const SliceLayers layers = p.view->GetSliceData();
    if (middle < layers.size())
        for (const SlicePolygon& poly : layers.at(middle)) {
            ++p.polygonsShown;
            p.pointsShown += poly.size();
        }
}

Plate* Cubes()
{
    if (g_cubes)
        return g_cubes.get();
    g_cubes = NewPlate();
    Plate& p = *g_cubes;
    // 1 mm cubes at 1 mm spacing: 20 px squares at a 20.4 x 18 px pitch.
    QVector<QPolygonF> layer;
    layer.reserve(10000);
    for (int j = 0; j < 80; ++j)
        for (int i = 0; i < 125; ++i) {
            const double x = 4 + i * 20.4, y = 4 + j * 18.0;
            layer.append(QPolygonF({{x, y}, {x + 12, y}, {x + 12, y + 12}, {x, y + 12}}));
        }
    p.layers = 10; // the same section on every layer
    {
        QMutexLocker lock(p.view->scene()->sceneMutex());
        p.view->scene()->m_modelSliceLayers = SliceLayers(p.layers, ToSlicePolygons(layer));
    }
    ShowMiddleLayer(p);
    return &p;
}

Plate* Sphere()
{
    if (g_sphere)
        return g_sphere.get();
    g_sphere = NewPlate();
    Plate& p = *g_sphere;
    const QString path = p.dir.filePath("sphere.stl");
    if (!testmesh::WriteFile(path, testmesh::BinaryStl(testmesh::SphereWithTriangles(1000000, 30.f))) ||
        !p.view->OpenSTLFile(path)) {
        std::fprintf(stderr, "bench_slice_preview: sphere not loaded\n");
        return nullptr;
    }
    QElapsedTimer t;
    t.start();
    VSLModel3D* model = p.view->scene()->models().first();
    while (!model->isReady() && t.elapsed() < 120000)
        QApplication::processEvents(QEventLoop::AllEvents, 10);
    bool done = false;
    QObject::connect(p.view.get(), &VSLGLView::sig_SliceSceneDone, [&](int n) { p.layers = n, done = true; });
    p.panel->findChild<QSlider*>("HSlider_Thick")->setValue(20); // 0.1 mm
    p.panel->slot_HandleSliceReq();
    while (!done && t.elapsed() < 300000)
        QApplication::processEvents(QEventLoop::AllEvents, 10);
    if (!done || p.layers <= 0) {
        std::fprintf(stderr, "bench_slice_preview: sphere not sliced\n");
        return nullptr;
    }
    std::fprintf(stderr, "sphere: %d layers sliced in %lld ms\n", p.layers, t.elapsed());
    ShowMiddleLayer(p);
    return &p;
}

void Repaint(benchmark::State& state, Plate* p)
{
    if (!p) {
        state.SkipWithError("plate not ready");
        return;
    }
    QImage img(p->panel->size(), QImage::Format_ARGB32_Premultiplied);
    for (auto _ : state) {
        img.fill(Qt::transparent);
        p->panel->render(&img);
        benchmark::DoNotOptimize(img.constBits());
    }
    state.counters["polygons"] = double(p->polygonsShown);
    state.counters["points"] = double(p->pointsShown);
}

void BM_RepaintCubePlateLayer(benchmark::State& state)
{
    Repaint(state, Cubes());
}
BENCHMARK(BM_RepaintCubePlateLayer)->Unit(benchmark::kMillisecond);

void BM_RepaintSphereLayer(benchmark::State& state)
{
    Plate* p = Sphere();
    if (p) {
        QImage img(p->panel->size(), QImage::Format_ARGB32_Premultiplied);
        p->panel->render(&img);
        if (qGray(img.pixel(190, 106)) < 230) {
            state.SkipWithError("the sphere's section is not drawn");
            return;
        }
    }
    Repaint(state, p);
}
BENCHMARK(BM_RepaintSphereLayer)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    g_cubes.reset();
    g_sphere.reset();
    return 0;
}
