// A whole support run (placement, refinement, clean-up, normals, working
// tables, face grid, contacts, tips, columns, bracing) on the ~200k-triangle
// bumpy sphere beside a fan slab, the refinement's worst case, at densities
// 1 and 1.5.
//   bench_support_frame                      Google Benchmark timings
//   bench_support_frame --peak DENSITY       one run: faces, records, seconds, peak RSS
//   bench_support_frame --stop               time from stop() to the thread's end
//   bench_support_frame --write-stl PATH     the model as a binary STL
#include "VSLModel3D.h"
#include "VSLModelPainter.h"
#include "test_meshes.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace {

// The model after its topology pass, and its unrefined mesh to reset from.
struct FrameModel {
    std::unique_ptr<VSLModel3D> model;
    MyMesh mesh;
    QVector<vcg::Point3f> copy;

    FrameModel() : model(std::make_unique<VSLModel3D>())
    {
        model->m_vTriangles = testmesh::BumpySphereBesideFanSlab();
        model->FixModel();
        model->fixerThread()->wait();
        mesh = model->m_mesh;
        copy = model->m_vVertexCopy;
    }
    void Reset()
    {
        model->m_mesh = mesh;
        model->m_vVertexCopy = copy;
        model->m_vShellOfFace.clear();
        model->m_meshMatrix.setToIdentity();
    }
};

FrameModel& Shared()
{
    static FrameModel m;
    return m;
}

int RunFrame(VSLModel3D* model, double density, bool steps = false)
{
    VSLModelPainter p(model, nullptr);
    QElapsedTimer t;
    t.start();
    if (steps)
        p.m_fnSupportStep = [&t](int step) { std::printf("  before step %d: %.3f s\n", step, t.nsecsElapsed() / 1e9); };
    p.m_dSupportDensity = density;
    p.m_dTipDiameter = 0.6;
    p.m_dShaftDiameter = 1.1;
    p.m_dLiftDistance = 3;
    p.GenSupportX();
    if (steps) {
        const SupportRunCounts& c = p.m_supportRun.m_counts;
        std::printf("  records=%d contacts=%d tips_removed=%d bridged=%d columns_erased=%d mended=%d\n",
                    p.m_supportMap.size(), c.contacts, c.tipsRemoved, c.bridged, c.columnsErased, c.landingsMended);
    }
    return p.m_supportMap.size();
}

void BM_SupportFrame(benchmark::State& state)
{
    FrameModel& m = Shared();
    const double density = state.range(0) / 10.0;
    int records = 0;
    for (auto _ : state) {
        state.PauseTiming();
        m.Reset();
        state.ResumeTiming();
        records = RunFrame(m.model.get(), density);
    }
    state.counters["records"] = records;
    state.counters["faces_before"] = double(m.mesh.FaceCount());
    state.counters["faces_after"] = double(m.model->m_mesh.FaceCount());
}
BENCHMARK(BM_SupportFrame)->Arg(10)->Arg(15)->Unit(benchmark::kMillisecond)->UseRealTime();

int Peak(double density)
{
    FrameModel m;
    rusage before{};
    getrusage(RUSAGE_SELF, &before);
    QElapsedTimer t;
    t.start();
    RunFrame(m.model.get(), density, true);
    const double seconds = t.nsecsElapsed() / 1e9;
    rusage after{};
    getrusage(RUSAGE_SELF, &after);
    auto cpu = [](const rusage& u) {
        return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
    };
    std::printf("density=%.2f faces=%u/%u vertices=%u seconds=%.3f cpu_seconds=%.3f peak_rss_mb=%.1f (before the run "
                "%.1f)\n",
                density, m.mesh.FaceCount(), m.model->m_mesh.FaceCount(), m.model->m_mesh.VertexCount(), seconds,
                cpu(after) - cpu(before), after.ru_maxrss / 1024.0, before.ru_maxrss / 1024.0);
    return 0;
}

// Stops runs after 50 .. 1550 ms and reports the longest wait from stop()
// to the end of the thread.
int StopLatency()
{
    FrameModel m;
    double worst = 0;
    for (int delay = 50; delay <= 1550; delay += 100) {
        m.Reset();
        VSLModelPainter p(m.model.get(), nullptr);
        p.m_dSupportDensity = 1.0;
        p.m_dTipDiameter = 0.6;
        p.m_dShaftDiameter = 1.1;
        p.m_dLiftDistance = 3;
        std::atomic<int> lastStep{0};
        p.m_fnSupportStep = [&lastStep](int step) { lastStep = step; };
        p.m_pSupportThread->start();
        QThread::msleep(ulong(delay));
        QElapsedTimer t;
        t.start();
        p.m_pSupportThread->stop();
        const int during = lastStep;
        p.m_pSupportThread->wait();
        const double ms = t.nsecsElapsed() / 1e6;
        worst = std::max(worst, ms);
        std::printf("stop after %d ms (after step %d): thread ended %.1f ms later, records=%d\n", delay, during, ms,
                    p.m_supportMap.size());
    }
    std::printf("worst stop latency %.1f ms\n", worst);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc == 3 && std::strcmp(argv[1], "--peak") == 0)
        return Peak(std::atof(argv[2]));
    if (argc == 2 && std::strcmp(argv[1], "--stop") == 0)
        return StopLatency();
    if (argc == 3 && std::strcmp(argv[1], "--write-stl") == 0)
        return testmesh::WriteFile(argv[2], testmesh::BinaryStl(testmesh::BumpySphereBesideFanSlab())) ? 0 : 1;
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
