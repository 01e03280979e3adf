// Support drawing and one support-edit click with 1,000 supports on the
// plate, in a 1600 x 900 buffer. Run under xvfb-run.
#include "VSL3DScene.h"
#include "VSLCoordConvert.h"
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
constexpr int kCols = 40;
constexpr int kRows = 25;

struct View : OffscreenView {
    std::unique_ptr<VSLModel3D> model;
    std::unique_ptr<VSL3DScene> scene;
    VSLModelPainter* slab = nullptr;
    QPoint tip;        // over the lowest tip of the front row
    SupportKey tipKey;
    bool ok = false;
};

std::unique_ptr<View> g_view;

// A slab lifted 5 mm with a 40 x 25 grid of supports under its bottom.
void AddSupports(VSLModelPainter* p)
{
    const QVector3D lo = p->m_minBound, hi = p->m_maxBound;
    uint code = 1;
    for (int j = 0; j < kRows; ++j)
        for (int i = 0; i < kCols; ++i) {
            const vcg::Point3f c(lo.x() + (i + 0.5f) * (hi.x() - lo.x()) / kCols,
                                 lo.y() + (j + 0.5f) * (hi.y() - lo.y()) / kRows, lo.z());
            DLP_Support s;
            s.point = c;
            s.tipEnd = c - vcg::Point3f(0, 0, 1.5f);
            s.base = vcg::Point3f(c[0], c[1], 0);
            s.cones << SaveCone(s.point, 0.4, s.tipEnd, 0.3) << SaveCone(s.tipEnd, 0.4, s.base, 0.4);
            s.spheres << SaveSphere(s.tipEnd, 0.4);
            s.index = p->m_supportMap.size();
            p->m_supportMap.insert(SupportKey(SupportHeightKey(c[2]), code++), s);
        }
    p->m_bHasSupports = true;
    p->RebuildSupportIndex();
}

View& TheView()
{
    static bool init = [] {
        g_view = std::make_unique<View>();
        View& v = *g_view;
        if (!v.open(kW, kH))
            return false;
        glTranslated(0, 0, -110);
        glRotatef(-95, 1, 0, 0); // just below the plate's level

        v.model = std::make_unique<VSLModel3D>();
        v.model->m_vTriangles = testmesh::Box({-45, -26, 0}, {45, 26, 4});
        v.model->UpdataData();
        v.scene = std::make_unique<VSL3DScene>();
        v.scene->m_fnOutOfRangeWarning = [] {};
        v.scene->InitScene();
        v.slab = new VSLModelPainter(v.model.get(), v.scene.get());
        v.scene->AppendModelPainter(v.slab);
        v.slab->m_dLiftDistance = 5;
        v.slab->m_dTipDiameter = 0.8;
        v.slab->LiftForSupports();
        AddSupports(v.slab);
        v.slab->DrawSupportX();
        v.scene->RenderScene();
        glFinish();
        // The front row's middle tip, seen below the slab.
        auto it = v.slab->m_supportMap.begin();
        std::advance(it, kCols / 2);
        v.tipKey = it.key();
        UCToDC(v.tip, QVector3D(it->point[0], it->point[1], it->point[2] - 0.3f));
        v.scene->ClickEditSupport(v.tip);
        v.ok = v.slab->m_supportMap[v.tipKey].isDeleted && v.slab->m_supportMap.size() == kCols * kRows;
        v.slab->m_supportMap[v.tipKey].isDeleted = false;
        v.slab->RebuildSupportTipList();
        if (!v.ok)
            std::fprintf(stderr, "the click did not reach the tip\n");
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

// Both display lists of 1,000 supports (tip sphere, two cones, one sphere each).
void BM_DrawSupportX(benchmark::State& state)
{
    REQUIRE_VIEW(v, state)
    for (auto _ : state) {
        v.slab->DrawSupportX();
        glFinish();
    }
    state.counters["supports"] = v.slab->m_supportMap.size();
}
BENCHMARK(BM_DrawSupportX)->Unit(benchmark::kMillisecond)->UseRealTime();

// A click on a tip: first pass, second (numbered tips) pass, tip-list
// rebuild. Goal: under 250 ms.
void BM_ClickTip(benchmark::State& state)
{
    REQUIRE_VIEW(v, state)
    for (auto _ : state) {
        v.scene->ClickEditSupport(v.tip);
        glFinish();
        state.PauseTiming();
        DLP_Support& s = v.slab->m_supportMap[v.tipKey];
        const bool marked = s.isDeleted;
        s.isDeleted = false;
        v.slab->RebuildSupportTipList();
        glFinish();
        if (!marked) {
            state.SkipWithError("the tip was not marked");
            break;
        }
        state.ResumeTiming();
    }
}
BENCHMARK(BM_ClickTip)->Unit(benchmark::kMillisecond)->UseRealTime();

// A click on the model: first pass, one record, tip-list rebuild.
void BM_ClickModel(benchmark::State& state)
{
    REQUIRE_VIEW(v, state)
    QPoint p;
    const QVector3D lo = v.slab->m_minBound, hi = v.slab->m_maxBound;
    UCToDC(p, QVector3D((lo.x() + hi.x()) / 2 + 0.7f, lo.y(), (lo.z() + hi.z()) / 2));
    for (auto _ : state) {
        const int before = v.slab->m_supportMap.size();
        v.scene->ClickEditSupport(p);
        glFinish();
        state.PauseTiming();
        const bool added = v.slab->m_supportMap.size() == before + 1;
        for (auto it = v.slab->m_supportMap.begin(); it != v.slab->m_supportMap.end();)
            it = it->addedByClick ? v.slab->m_supportMap.erase(it) : std::next(it);
        v.slab->RebuildSupportTipList();
        glFinish();
        if (!added) {
            state.SkipWithError("no support added");
            break;
        }
        state.ResumeTiming();
    }
}
BENCHMARK(BM_ClickModel)->Unit(benchmark::kMillisecond)->UseRealTime();

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
