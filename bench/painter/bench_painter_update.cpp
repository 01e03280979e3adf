// Full update path of a large instance: bounds, centre and footprint hull
// after a rotation.
#include "VSLModel3D.h"
#include "VSLModelPainter.h"
#include "test_meshes.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>

#include <memory>

// The slicing run is linked from the slicing code when present; the
// benchmark never slices.
__attribute__((weak)) void VSLModelPainter::SliceModelPainterX(float) {}

namespace {

struct LargeInstance {
    std::unique_ptr<VSLModel3D> model;
    std::unique_ptr<VSLModelPainter> painter;
};

LargeInstance& Instance()
{
    static LargeInstance inst = [] {
        LargeInstance i;
        i.model = std::make_unique<VSLModel3D>();
        i.model->m_vTriangles = testmesh::SphereWithTriangles(1000000, 60.f);
        i.model->UpdateBounds();
        i.painter = std::make_unique<VSLModelPainter>(i.model.get(), nullptr);
        QMatrix4x4 r;
        r.rotate(37, 1, 2, 3);
        i.painter->ApplyConvertX(r, 1);
        return i;
    }();
    return inst;
}

void BM_UpdateData(benchmark::State& state)
{
    LargeInstance& i = Instance();
    for (auto _ : state) {
        i.painter->UpdateData();
        benchmark::DoNotOptimize(i.painter->m_hull.data());
    }
    state.counters["triangles"] = i.model->TriangleCount();
    state.counters["hull_points"] = i.painter->m_hull.size();
}
BENCHMARK(BM_UpdateData)->Unit(benchmark::kMillisecond);

void BM_UpdateModelHull(benchmark::State& state)
{
    LargeInstance& i = Instance();
    for (auto _ : state) {
        i.painter->UpdateModelHull();
        benchmark::DoNotOptimize(i.painter->m_hull.data());
    }
}
BENCHMARK(BM_UpdateModelHull)->Unit(benchmark::kMillisecond);

// One rotate edit: the new matrix, then bounds, hull and the drop onto the plate.
void BM_RotateEdit(benchmark::State& state)
{
    LargeInstance& i = Instance();
    QMatrix4x4 r;
    r.rotate(13, 0, 1, 0);
    for (auto _ : state)
        i.painter->ApplyConvertX(r, 1);
}
BENCHMARK(BM_RotateEdit)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    Instance().painter.reset();
    return 0;
}
