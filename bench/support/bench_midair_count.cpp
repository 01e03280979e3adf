// What the window's count of regions in mid-air adds to Slice: the scene's
// slice of one plate alone, then with the window's count, then with the
// tools' count (every layer drawn whole), at 1920 x 1200 pixels of 100 um and
// 0.05 mm layers.
//   sphere:   a closed sphere of 1M triangles, 100 mm across
//   supports: the support benchmark's plate on four legs with the panel's
//             default supports (1, 0.6, 1.1, 3): over 13,000 of them
//   bench_midair_count                   Google Benchmark (arg 0 sphere, 1 supports)
//   bench_midair_count --once SHAPE      alone and with the window's count, twice each:
//                                        seconds, CPU seconds, islands
//   bench_midair_count --count-only SHAPE
//                                        the window's count alone, on one thread, over
//                                        the plate's sliced layers: seconds, groups
//                                        drawn and taken over
#include "VSL3DScene.h"
#include "VSLModel3D.h"
#include "VSLModelPainter.h"
#include "bench/eventwait.h"
#include "layers/litgroups.h"
#include "test_meshes.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>

namespace {

constexpr int kWidth = 1920, kHeight = 1200;
constexpr float kPixelUm = 100.f, kThicknessMm = 0.05f;

enum class Shape { Sphere = 0, Supports = 1 };
enum class Count { None = 0, Window = 1, Tools = 2 };

double CpuSeconds()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

struct Plate {
    QTemporaryDir dir;
    VSL3DScene scene;
    VSLModelPainter* instance = nullptr;

    bool Load(Shape shape)
    {
        scene.m_fnOutOfRangeWarning = [] {};
        const float plateX = kWidth * kPixelUm / 1000.f, plateY = kHeight * kPixelUm / 1000.f;
        scene.SetBound(QVector3D(plateX / 2, plateY / 2, 200), QVector3D(-plateX / 2, -plateY / 2, 0), kPixelUm,
                       kPixelUm);
        const QVector<VSLTriangle3D> tris =
            shape == Shape::Sphere
                ? testmesh::Translated(testmesh::SphereWithTriangles(1000000, 50.f), {0, 0, 50.f})
                : testmesh::BumpPlateOnLegs(180.f, 110.f, 1.2f, 0.5f, 2.f, 40.f);
        const QString stl = dir.filePath("plate.stl");
        if (!testmesh::WriteFile(stl, testmesh::BinaryStl(tris)) || !scene.AddModel(stl))
            return false;
        instance = scene.instances().last();
        if (!WaitFor([this] { return instance->m_pModel->isReady(); }))
            return false;
        if (shape == Shape::Sphere)
            return true;
        instance->m_dSupportDensity = 1.0;
        instance->m_dTipDiameter = 0.6;
        instance->m_dShaftDiameter = 1.1;
        instance->m_dLiftDistance = 3.0;
        return scene.StartSupportJob(instance) == SceneOp::Done &&
               WaitFor([this] { return scene.runningSupportJobs() == 0; }) && !instance->m_supportMap.isEmpty();
    }

    // The layer count, or -1.
    int Slice(Count count)
    {
        instance->m_bCountSliceIslands = count == Count::Tools;
        scene.setCountSliceIslands(count == Count::Window);
        int layers = -1;
        const QMetaObject::Connection c =
            QObject::connect(&scene, &VSL3DScene::sig_SliceSceneDone, [&layers](int n) { layers = n; });
        const bool started = scene.StartSliceScene(kWidth, kHeight, 1000.f / kPixelUm, 1000.f / kPixelUm,
                                                   kThicknessMm, 0) == SceneOp::Done;
        const bool done = started && WaitFor([&layers] { return layers >= 0; });
        QObject::disconnect(c);
        return done ? layers : -1;
    }
};

// Released before the application object goes.
std::unique_ptr<Plate> g_plates[2];

Plate& Prepared(Shape shape)
{
    std::unique_ptr<Plate>& plate = g_plates[int(shape)];
    if (!plate) {
        plate = std::make_unique<Plate>();
        if (!plate->Load(shape))
            std::fprintf(stderr, "loading or the support run failed\n");
    }
    return *plate;
}

void Slice(benchmark::State& state, Count count)
{
    Plate& plate = Prepared(Shape(state.range(0)));
    int layers = 0;
    for (auto _ : state) {
        layers = plate.Slice(count);
        if (layers <= 0)
            state.SkipWithError("slicing failed");
    }
    const VSLModelPainter* p = plate.instance;
    state.counters["layers"] = layers;
    state.counters["supports"] = p ? p->m_supportMap.size() : 0;
    state.counters["islands"] = p ? p->m_sliceIslands.model + p->m_sliceIslands.support : 0;
    state.counters["count_share"] = p && p->m_dSliceWorkerSeconds > 0 ? p->m_dSliceIslandSeconds / p->m_dSliceWorkerSeconds
                                                                      : 0.0;
}

void BM_SliceAlone(benchmark::State& state) { Slice(state, Count::None); }
void BM_SliceAndWindowCount(benchmark::State& state) { Slice(state, Count::Window); }
void BM_SliceAndToolsCount(benchmark::State& state) { Slice(state, Count::Tools); }
BENCHMARK(BM_SliceAlone)->Arg(0)->Arg(1)->Iterations(1)->Repetitions(3)->Unit(benchmark::kSecond)->UseRealTime();
BENCHMARK(BM_SliceAndWindowCount)->Arg(0)->Arg(1)->Iterations(1)->Repetitions(3)->Unit(benchmark::kSecond)->UseRealTime();
BENCHMARK(BM_SliceAndToolsCount)->Arg(0)->Arg(1)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

int Once(Shape shape)
{
    Plate& plate = Prepared(shape);
    for (Count count : {Count::None, Count::Window, Count::None, Count::Window}) {
        QElapsedTimer t;
        t.start();
        const double cpu = CpuSeconds();
        const int layers = plate.Slice(count);
        const VSLModelPainter* p = plate.instance;
        std::printf("%s layers=%d seconds=%.3f cpu_seconds=%.3f islands model=%d support=%d count_cpu_share=%.3f\n",
                    count == Count::None ? "slice_alone" : count == Count::Window ? "window_count" : "tools_count",
                    layers, t.nsecsElapsed() / 1e9, CpuSeconds() - cpu, p->m_sliceIslands.model,
                    p->m_sliceIslands.support,
                    p->m_dSliceWorkerSeconds > 0 ? p->m_dSliceIslandSeconds / p->m_dSliceWorkerSeconds : 0.0);
        std::fflush(stdout);
    }
    return 0;
}

// The window's count alone, on one thread, over the layers of a plate as
// the scene slices them.
int CountOnly(Shape shape)
{
    Plate& plate = Prepared(shape);
    if (plate.Slice(Count::None) <= 0)
        return 1;
    const SliceLayers layers = plate.scene.m_modelSliceLayers;
    for (int round = 0; round < 2; ++round) {
        QElapsedTimer t;
        t.start();
        layers::GroupedLitIslandCounter counter(QSize(kWidth, kHeight));
        std::vector<QPoint> found;
        for (const QVector<SlicePolygon>& layer : layers)
            counter.AddLayer(layer, true, found);
        std::printf("count_only layers=%d seconds=%.3f islands=%zu drawn=%ld kept=%ld layers_repeated=%ld\n",
                    layers.size(), t.nsecsElapsed() / 1e9, found.size(), counter.groupsDrawn(), counter.groupsKept(),
                    counter.layersRepeated());
        std::fflush(stdout);
    }
    return 0;
}

// The count alone on a field of 13,000 columns (16-sided, 11 pixels across,
// 12 apart) over 100 layers, one in twenty of them changing on each layer:
// the work of a layer where supports only repeat.
void BM_CountField(benchmark::State& state)
{
    auto circle = [](float cx, float cy, float r) {
        SlicePolygon p;
        for (int k = 0; k < 16; ++k)
            p.append(cx + r * std::cos(k * 0.3926991f), cy + r * std::sin(k * 0.3926991f));
        return p;
    };
    std::vector<QVector<SlicePolygon>> layers(100);
    QVector<SlicePolygon> field;
    for (int row = 0; row < 100; ++row)
        for (int col = 0; col < 130; ++col)
            field.append(circle(20 + col * 12.f, 20 + row * 12.f, 5.5f));
    for (int L = 0; L < int(layers.size()); ++L) {
        for (int i = L % 20; i < field.size(); i += 20)
            field[i] = circle(20 + (i % 130) * 12.f, 20 + (i / 130) * 12.f, 5.5f - 0.01f * float(L % 7));
        layers[size_t(L)] = field;
    }
    long islands = 0;
    for (auto _ : state) {
        layers::GroupedLitIslandCounter counter(QSize(kWidth, kHeight));
        std::vector<QPoint> found;
        for (const QVector<SlicePolygon>& layer : layers)
            counter.AddLayer(layer, true, found);
        islands = long(found.size());
    }
    state.counters["islands"] = double(islands);
    state.counters["ms_per_layer"] =
        benchmark::Counter(double(layers.size()) / 1000.0, benchmark::Counter::kIsIterationInvariantRate |
                                                               benchmark::Counter::kInvert);
}
BENCHMARK(BM_CountField)->Unit(benchmark::kMillisecond);

// The count alone on the layers of a sphere 100 mm across (1,000 pixels),
// each a circle of 1,600 points: a layer with nothing to take over.
void BM_CountSphereLayers(benchmark::State& state)
{
    std::vector<QVector<SlicePolygon>> layers(400);
    for (int L = 0; L < int(layers.size()); ++L) {
        const double z = (L + 0.5) / double(layers.size()) * 2 - 1;
        const double r = 500 * std::sqrt(1 - z * z);
        SlicePolygon p;
        for (int k = 0; k < 1600; ++k)
            p.append(float(960 + r * std::cos(k * 2 * M_PI / 1600)), float(600 + r * std::sin(k * 2 * M_PI / 1600)));
        layers[size_t(L)] = {p};
    }
    for (auto _ : state) {
        layers::GroupedLitIslandCounter counter(QSize(kWidth, kHeight));
        std::vector<QPoint> found;
        for (const QVector<SlicePolygon>& layer : layers)
            counter.AddLayer(layer, true, found);
        benchmark::DoNotOptimize(found.size());
    }
    state.counters["ms_per_layer"] =
        benchmark::Counter(double(layers.size()) / 1000.0, benchmark::Counter::kIsIterationInvariantRate |
                                                               benchmark::Counter::kInvert);
}
BENCHMARK(BM_CountSphereLayers)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    int result = 0;
    if (argc == 3 && std::strcmp(argv[1], "--once") == 0) {
        result = Once(std::strcmp(argv[2], "sphere") == 0 ? Shape::Sphere : Shape::Supports);
    } else if (argc == 3 && std::strcmp(argv[1], "--count-only") == 0) {
        result = CountOnly(std::strcmp(argv[2], "sphere") == 0 ? Shape::Sphere : Shape::Supports);
    } else {
        benchmark::Initialize(&argc, argv);
        benchmark::RunSpecifiedBenchmarks();
        benchmark::Shutdown();
    }
    for (std::unique_ptr<Plate>& plate : g_plates)
        plate.reset();
    return result;
}
