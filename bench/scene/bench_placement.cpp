// Placement cost of the n-th instance: 100 copies of one model, and 100
// different small models. Manual time covers AppendModelPainter only.
#include "VSL3DScene.h"
#include "VSLModel3D.h"
#include "VSLModelPainter.h"
#include "test_meshes.h"

#include <QCoreApplication>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include <chrono>
#include <memory>

namespace {

QString WriteBox(const QTemporaryDir& dir, int i, float w, float d)
{
    const QString path = dir.filePath(QString("m%1.stl").arg(i));
    testmesh::WriteFile(path, testmesh::BinaryStl(testmesh::Box({-w / 2, -d / 2, 0}, {w / 2, d / 2, 8})));
    return path;
}

// Places n - 1 instances untimed, then times the n-th placement.
void PlaceNth(benchmark::State& state, bool differentModels)
{
    const int n = int(state.range(0));
    QTemporaryDir dir;
    QVector<QString> files;
    for (int i = 0; i < (differentModels ? n : 1); ++i)
        files << WriteBox(dir, i, 4.f + float(i % 7), 3.f + float(i % 5));
    // Models loaded once; their topology passes run meanwhile and do not matter here.
    QVector<VSLModel3D*> models;
    for (const QString& f : files) {
        auto* m = new VSLModel3D;
        m->LoadSTLFile(f);
        models << m;
    }
    for (auto _ : state) {
        auto scene = std::make_unique<VSL3DScene>();
        for (int i = 0; i < n - 1; ++i)
            scene->AppendModelPainter(new VSLModelPainter(models[differentModels ? i : 0], scene.get()));
        auto* last = new VSLModelPainter(models[differentModels ? n - 1 : 0], scene.get());
        const auto t0 = std::chrono::steady_clock::now();
        scene->AppendModelPainter(last);
        const auto t1 = std::chrono::steady_clock::now();
        state.SetIterationTime(std::chrono::duration<double>(t1 - t0).count());
        // The scene deletes its instances; the models are not its own here.
    }
    for (VSLModel3D* m : models)
        delete m;
}

void BM_PlaceNthCopyOfOneModel(benchmark::State& state) { PlaceNth(state, false); }
void BM_PlaceNthOfDifferentModels(benchmark::State& state) { PlaceNth(state, true); }

BENCHMARK(BM_PlaceNthCopyOfOneModel)->Arg(10)->Arg(50)->Arg(100)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlaceNthOfDifferentModels)->Arg(10)->Arg(50)->Arg(100)->UseManualTime()->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
