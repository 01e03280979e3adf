// Contour slicing of large meshes. Run one benchmark per process
// (--benchmark_filter=...) so that the peak_rss_mb counter, the process's
// peak resident size, belongs to that case alone.
#include "VSLModel3D.h"
#include "contour/openshell.h"
#include "test_meshes.h"

#include <QCoreApplication>
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <random>

namespace {

double PeakRssMb()
{
    rusage ru{};
    getrusage(RUSAGE_SELF, &ru);
    return ru.ru_maxrss / 1024.0;
}

std::unique_ptr<VSLModel3D> ModelOf(QVector<VSLTriangle3D> tris)
{
    auto model = std::make_unique<VSLModel3D>();
    model->m_vTriangles.swap(tris);
    model->FixModel();
    model->fixerThread()->wait();
    model->CountShells();
    return model;
}

// Grid of small closed cubes, stacked so the planes run through all of them.
QVector<VSLTriangle3D> ManyCubes(int count, float sizeMm)
{
    QVector<VSLTriangle3D> tris;
    tris.reserve(count * 12);
    for (int i = 0; i < count; ++i) {
        const int x = i % 25, y = (i / 25) % 20, z = i / 500;
        tris += testmesh::Cube(sizeMm, QVector3D(x * 2.f, y * 2.f, z * 5.f));
    }
    return tris;
}

// Digest of the outlines, every point in order: a faster joining must not change it.
double Digest(const ShellLayerContours& out)
{
    uint64_t h = 1469598103934665603ull;
    auto mix = [&h](uint64_t v) { h = (h ^ v) * 1099511628211ull; };
    for (const auto& slot : out)
        for (const auto& layer : slot) {
            mix(layer.size());
            for (const auto& path : layer) {
                mix(path.size());
                for (const ClipperLib::IntPoint& p : path) {
                    mix(uint64_t(p.X));
                    mix(uint64_t(p.Y));
                }
            }
        }
    return double(h >> 16); // exact in a double
}

void RunSlicing(benchmark::State& state, VSLModel3D& model, float thicknessMm, float topMm)
{
    size_t outlines = 0, points = 0;
    double digest = 0;
    int layers = 0;
    for (auto _ : state) {
        // Fresh heights each run, as the slice worker rewrites positions.
        for (int i = 0; i < model.m_vVertexCopy.size(); ++i)
            model.m_mesh.vert[size_t(i)].p = model.m_vVertexCopy[i];
        ShellLayerContours out;
        QVector<float> z;
        layers = model.SilceMeshXX(out, z, thicknessMm, topMm, 0.0f);
        outlines = points = 0;
        for (const auto& slot : out)
            for (const auto& layer : slot)
                for (const auto& path : layer) {
                    ++outlines;
                    points += path.size();
                }
        digest = Digest(out);
        benchmark::DoNotOptimize(out);
    }
    state.counters["digest"] = digest;
    state.counters["faces"] = double(model.m_mesh.FaceCount());
    state.counters["layers"] = layers;
    state.counters["outlines"] = double(outlines);
    state.counters["points"] = double(points);
    state.counters["open_path"] = model.m_bSlicedOpenMesh;
    state.counters["peak_rss_mb"] = PeakRssMb();
}

void BM_ClosedSphere1M(benchmark::State& state)
{
    static auto model = ModelOf(testmesh::Translated(testmesh::SphereWithTriangles(1000000, 50.f), {0, 0, 50.f}));
    RunSlicing(state, *model, 0.05f, 100.f);
}
BENCHMARK(BM_ClosedSphere1M)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_SphereWithHole1M(benchmark::State& state)
{
    static auto model = [] {
        QVector<VSLTriangle3D> tris = testmesh::Translated(testmesh::SphereWithTriangles(1000000, 50.f), {0, 0, 50.f});
        tris.remove(tris.size() / 3);
        return ModelOf(tris);
    }();
    RunSlicing(state, *model, 0.05f, 100.f);
}
BENCHMARK(BM_SphereWithHole1M)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_TenThousandCubes(benchmark::State& state)
{
    static auto model = ModelOf(ManyCubes(10000, 1.f));
    RunSlicing(state, *model, 0.05f, 100.f);
}
BENCHMARK(BM_TenThousandCubes)->Unit(benchmark::kMillisecond)->Iterations(3);

// Unwelded tube: every crossed triangle is a loose chain (4 a segment), all
// closed by the nearest-ends joining; 100 layers. The radius grows with the
// segment count so the chain ends keep their spacing; time per chain should
// stay flat from 5,000 to 50,000 chains.
void BM_UnweldedTube(benchmark::State& state)
{
    const int segments = int(state.range(0));
    const bool shuffled = state.range(1) != 0;
    const float outer = 20.f * segments / 1250.f;
    auto model = ModelOf(testmesh::UnweldedTube(segments, outer, outer - 2.f, 10.f, 0.002f, shuffled));
    RunSlicing(state, *model, 0.1f, 10.f);
    state.counters["chains"] = 4.0 * segments;
    state.counters["per_chain_layer"] =
        benchmark::Counter(4.0 * segments * 100, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_UnweldedTube)->Args({1250, 0})->Args({1250, 1})->Args({12500, 0})->Args({12500, 1})
    ->Unit(benchmark::kMillisecond);

// Joining alone, with the free ends of 50,000 chains heaped on six points:
// equal ends must not make the nearest-end searches quadratic.
void BM_JoinEndsOnFewPoints(benchmark::State& state)
{
    std::vector<contour::OpenShellChainer::Chain> loose;
    for (int i = 0; i < 50000; ++i)
        loose.push_back({ClipperLib::IntPoint(i % 2, 0), ClipperLib::IntPoint(5000, i % 3)});
    for (auto _ : state) {
        ClipperLib::Paths out;
        contour::OpenShellChainer::JoinLooseChains(loose, out);
        benchmark::DoNotOptimize(out);
    }
}
BENCHMARK(BM_JoinEndsOnFewPoints)->Unit(benchmark::kMillisecond);

// Joining alone, as in one plane through an unwelded tube (outer radius 30 mm,
// inner 25 mm): every wall quad gives two one-segment chains whose ends lie a
// few micrometres from the neighbouring triangle's copy of the same edge
// point. Planes at several heights move the diagonal's crossing along the
// quad, down to within the noise of a quad corner. Chains come shuffled.
void BM_JoinUnweldedRing(benchmark::State& state)
{
    const int segments = int(state.range(0));
    std::mt19937 rng(11);
    std::uniform_int_distribution<int> noise(-2, 2);
    std::vector<std::vector<contour::OpenShellChainer::Chain>> planes;
    for (double t : {0.0002, 0.13, 0.5, 0.87, 0.9997}) {
        std::vector<contour::OpenShellChainer::Chain> loose;
        for (double radius : {30000.0, 25000.0})
            for (int k = 0; k < segments; ++k) {
                const double a0 = 2 * M_PI * k / segments, a1 = 2 * M_PI * (k + 1) / segments;
                const double ax = radius * std::cos(a0), ay = radius * std::sin(a0);
                const double bx = radius * std::cos(a1), by = radius * std::sin(a1);
                auto at = [&](double x, double y) {
                    return ClipperLib::IntPoint(ClipperLib::cInt(std::lround(x)) + noise(rng),
                                                ClipperLib::cInt(std::lround(y)) + noise(rng));
                };
                const double dx = ax + t * (bx - ax), dy = ay + t * (by - ay);
                loose.push_back({at(dx, dy), at(bx, by)});
                loose.push_back({at(ax, ay), at(dx, dy)});
            }
        std::shuffle(loose.begin(), loose.end(), rng);
        for (auto& chain : loose)
            if (rng() % 2)
                std::reverse(chain.begin(), chain.end());
        planes.push_back(std::move(loose));
    }
    size_t outlines = 0;
    for (auto _ : state) {
        outlines = 0;
        for (const auto& loose : planes) {
            ClipperLib::Paths out;
            contour::OpenShellChainer::JoinLooseChains(loose, out);
            outlines += out.size();
            benchmark::DoNotOptimize(out);
        }
    }
    state.counters["outlines"] = double(outlines);
    state.counters["per_end"] = benchmark::Counter(4.0 * segments * 2 * planes.size(),
                                                   benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_JoinUnweldedRing)->Arg(1000)->Arg(4000)->Unit(benchmark::kMillisecond);
// The whole-mesh slicer of whole-plate slicing on the same sphere.
void BM_WholeMeshSphere1M(benchmark::State& state)
{
    static auto model = [] {
        auto m = ModelOf(testmesh::Translated(testmesh::SphereWithTriangles(1000000, 50.f), {0, 0, 50.f}));
        m->CheckHoles();
        m->CheckRepairManifold();
        m->m_fLayerThick = 0.05f;
        m->m_fSliceTop = 100.f;
        m->m_fSliceBase = 0.f;
        return m;
    }();
    int layers = 0;
    size_t outlines = 0;
    for (auto _ : state) {
        for (int i = 0; i < model->m_vVertexCopy.size(); ++i)
            model->m_mesh.vert[size_t(i)].p = model->m_vVertexCopy[i];
        layers = model->SliceModel();
        outlines = 0;
        for (const auto& layer : model->m_vModelContours)
            outlines += layer.size();
    }
    state.counters["faces"] = double(model->m_mesh.FaceCount());
    state.counters["layers"] = layers;
    state.counters["outlines"] = double(outlines);
    state.counters["peak_rss_mb"] = PeakRssMb();
}
BENCHMARK(BM_WholeMeshSphere1M)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
