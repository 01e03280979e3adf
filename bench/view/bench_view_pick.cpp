// Pick passes of the 3D view on a 1M-triangle instance in a 1600 x 900
// buffer: the instance pick under the cursor and the support-mode hover
// (surface point, triangle index, point on the triangle). Run under xvfb-run.
#include "VSL3DScene.h"
#include "VSLModel3D.h"
#include "VSLModelPainter.h"
#include "offscreenview.h"
#include "test_meshes.h"

#include <benchmark/benchmark.h>

#include <QGuiApplication>

#include <cstdio>
#include <memory>

__attribute__((weak)) void VSLModelPainter::SliceModelPainterX(float) {}

namespace {

constexpr int kW = 1600;
constexpr int kH = 900;
const QPoint kCursor(kW / 2 + 37, kH / 2 - 21); // on the sphere

struct View : OffscreenView {
    std::unique_ptr<VSLModel3D> model;
    std::unique_ptr<VSL3DScene> scene;
    VSLModelPainter* sphere = nullptr;
    bool ok = false;
};

std::unique_ptr<View> g_view; // destroyed in main, while the application lives

View& TheView()
{
    static bool init = [] {
        g_view = std::make_unique<View>();
        View& v = *g_view;
        if (!v.open(kW, kH))
            return false;
        glTranslated(0, -10, -100);
        glRotatef(-60, 1, 0, 0);
        glRotatef(30, 0, 0, 1);

        v.model = std::make_unique<VSLModel3D>();
        v.model->m_vTriangles = testmesh::SphereWithTriangles(1000000, 25.f);
        v.model->UpdataData();
        v.scene = std::make_unique<VSL3DScene>();
        v.scene->m_fnOutOfRangeWarning = [] {};
        v.scene->InitScene();
        v.sphere = new VSLModelPainter(v.model.get(), v.scene.get());
        v.scene->AppendModelPainter(v.sphere);
        v.scene->SetPickModelPainter(v.sphere->m_nNumber * 10);
        v.scene->m_bSelected = true;
        v.scene->m_bSupportMode = true;
        v.scene->m_nSupportTool = 0;
        v.scene->RenderScene(); // display lists of the model
        glFinish();
        v.ok = v.scene->PickModelsAt(kCursor) == v.sphere->m_nNumber * 10;
        if (!v.ok)
            std::fprintf(stderr, "the cursor is not over the sphere\n");
        return v.ok;
    }();
    (void)init;
    return *g_view;
}

#define REQUIRE_VIEW(v, state)                                                                                         \
    View& v = TheView();                                                                                               \
    if (!v.ok) {                                                                                                       \
        state.SkipWithError("no GL view");                                                                             \
        return;                                                                                                        \
    }

// The view's instance pick: one pass under the cursor, id read back.
void BM_InstancePickPass(benchmark::State& state)
{
    REQUIRE_VIEW(v, state)
    int id = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(id = v.scene->PickModelsAt(kCursor));
    state.counters["triangles"] = v.model->TriangleCount();
}
BENCHMARK(BM_InstancePickPass)->Unit(benchmark::kMillisecond)->UseRealTime();

// A press beside the instance: its box is clear of the pixel, nothing is drawn.
void BM_InstancePickBeside(benchmark::State& state)
{
    REQUIRE_VIEW(v, state)
    int id = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(id = v.scene->PickModelsAt(QPoint(40, 40)));
    if (id != 0)
        state.SkipWithError("the corner is not background");
}
BENCHMARK(BM_InstancePickBeside)->Unit(benchmark::kMillisecond)->UseRealTime();

// The same pass over the whole window, for comparison.
void BM_InstancePickFullWindow(benchmark::State& state)
{
    REQUIRE_VIEW(v, state)
    unsigned char px[4];
    for (auto _ : state) {
        glClearColor(0, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        v.scene->RenderPickModels();
        glReadPixels(kCursor.x(), kH - 1 - kCursor.y(), 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, px);
        benchmark::DoNotOptimize(px[2]);
    }
}
BENCHMARK(BM_InstancePickFullWindow)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_LocateInCurrentModel(benchmark::State& state)
{
    REQUIRE_VIEW(v, state)
    QVector3D p;
    for (auto _ : state)
        benchmark::DoNotOptimize(v.scene->LocateInCurrentModel(p, kCursor));
}
BENCHMARK(BM_LocateInCurrentModel)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_GetPickTriangleIndx(benchmark::State& state)
{
    REQUIRE_VIEW(v, state)
    v.sphere->EnsureTriPickLists();
    bool hit = false;
    for (auto _ : state)
        benchmark::DoNotOptimize(v.scene->GetPickTriangleIndx(v.sphere, kCursor, hit));
    if (!hit)
        state.SkipWithError("no triangle under the cursor");
}
BENCHMARK(BM_GetPickTriangleIndx)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_GetPickOnTriangle(benchmark::State& state)
{
    REQUIRE_VIEW(v, state)
    v.sphere->EnsureTriPickLists();
    bool hit = false;
    const unsigned index = v.scene->GetPickTriangleIndx(v.sphere, kCursor, hit);
    for (auto _ : state)
        benchmark::DoNotOptimize(v.scene->GetPickOnTriangle(kCursor, v.sphere, index));
}
BENCHMARK(BM_GetPickOnTriangle)->Unit(benchmark::kMillisecond)->UseRealTime();

// One support-mode mouse move: the view's surface point, then the scene's
// hover (triangle index and point on it, pick lists already compiled).
void BM_SupportHover(benchmark::State& state)
{
    REQUIRE_VIEW(v, state)
    v.sphere->EnsureTriPickLists();
    QVector3D p;
    for (auto _ : state) {
        benchmark::DoNotOptimize(v.scene->LocateInCurrentModel(p, kCursor));
        v.scene->OnToolHoverMove(kCursor);
    }
}
BENCHMARK(BM_SupportHover)->Unit(benchmark::kMillisecond)->UseRealTime();

// Compiling the triangle pick lists: once per change of the model's triangles.
void BM_TriPickListCompile(benchmark::State& state)
{
    REQUIRE_VIEW(v, state)
    for (auto _ : state) {
        v.sphere->FormTriPickDispLists();
        glFinish();
    }
}
BENCHMARK(BM_TriPickListCompile)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

// A full frame of the plate, for scale.
void BM_Frame(benchmark::State& state)
{
    REQUIRE_VIEW(v, state)
    for (auto _ : state) {
        glClearColor(0.94f, 0.93f, 0.92f, 1);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        v.scene->RenderScene();
        glFinish();
    }
}
BENCHMARK(BM_Frame)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    if (g_view) {
        g_view->scene.reset(); // painters free their lists in the live context
        g_view->model.reset();
        g_view->fbo.reset();
        g_view->context.doneCurrent();
        g_view.reset();
    }
    return 0;
}
