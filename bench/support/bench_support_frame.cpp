// A whole support run (placement, refinement, clean-up, normals, working
// tables, face grid, contacts, tips, columns, bracing) on the ~200k-triangle
// bumpy sphere beside a fan slab, the refinement's worst case, at densities
// 1 and 1.5.
//   bench_support_frame                      Google Benchmark timings
//   bench_support_frame --peak DENSITY       one run: faces, records, seconds, peak RSS
// BM_SupportStop/<step>/<percent> times stop() to the thread's end when the
// stop comes <percent> % into the phase that begins at <step> (phase lengths
// from one uninterrupted run); its aggregates give the median and the max.
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
#include <chrono>
#include <map>
#include <thread>
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

using Clock = std::chrono::steady_clock;

void SetPanelDefaults(VSLModelPainter& p)
{
    p.m_dSupportDensity = 1.0;
    p.m_dTipDiameter = 0.6;
    p.m_dShaftDiameter = 1.1;
    p.m_dLiftDistance = 3;
}

// Start and length of each phase of an uninterrupted run, by the step that
// begins it.
struct PhaseTimes {
    std::map<int, std::pair<Clock::duration, Clock::duration>> phases;
};

const PhaseTimes& Phases()
{
    static const PhaseTimes times = [] {
        FrameModel& m = Shared();
        m.Reset();
        VSLModelPainter p(m.model.get(), nullptr);
        SetPanelDefaults(p);
        std::vector<std::pair<int, Clock::time_point>> steps;
        const Clock::time_point t0 = Clock::now();
        p.m_fnSupportStep = [&steps](int step) { steps.emplace_back(step, Clock::now()); };
        p.GenSupportX();
        steps.emplace_back(0, Clock::now());
        PhaseTimes t;
        for (size_t i = 0; i + 1 < steps.size(); ++i)
            t.phases[steps[i].first] = {steps[i].second - t0, steps[i + 1].second - steps[i].second};
        return t;
    }();
    return times;
}

void BM_SupportStop(benchmark::State& state)
{
    const int step = int(state.range(0));
    const auto phase = Phases().phases.at(step);
    const Clock::duration offset = phase.second * state.range(1) / 100;
    FrameModel& m = Shared();
    double late = 0, finished = 0;
    for (auto _ : state) {
        m.Reset();
        VSLModelPainter p(m.model.get(), nullptr);
        SetPanelDefaults(p);
        std::atomic<int64_t> reached{-1};
        std::atomic<int> current{0};
        p.m_fnSupportStep = [&](int s) {
            current = s;
            if (s == step)
                reached = Clock::now().time_since_epoch().count();
        };
        p.m_pSupportThread->start();
        while (reached < 0 && !p.m_pSupportThread->isFinished())
            std::this_thread::sleep_for(std::chrono::microseconds(100));
        if (reached >= 0)
            std::this_thread::sleep_until(Clock::time_point(Clock::duration(reached.load())) + offset);
        finished += p.m_pSupportThread->isFinished();
        const int during = current;
        const Clock::time_point s = Clock::now();
        p.m_pSupportThread->stop();
        p.m_pSupportThread->wait();
        state.SetIterationTime(std::chrono::duration<double>(Clock::now() - s).count());
        late += during != step;
    }
    state.counters["phase_ms"] = std::chrono::duration<double, std::milli>(phase.second).count();
    // Stops that fell into a later phase, or after the run had ended.
    state.counters["late"] = benchmark::Counter(late, benchmark::Counter::kAvgIterations);
    state.counters["finished"] = benchmark::Counter(finished, benchmark::Counter::kAvgIterations);
}
// Refinement 6, clean-up 7, contacts 13, face grid 11, tips 14, columns 15,
// bracing 16.
BENCHMARK(BM_SupportStop)
    ->ArgsProduct({{6, 7}, {5, 35, 65, 95}})
    ->ArgsProduct({{13, 11, 14, 15, 16}, {50}})
    ->Iterations(1)
    ->Repetitions(9)
    ->ComputeStatistics("max", [](const std::vector<double>& v) { return *std::max_element(v.begin(), v.end()); })
    ->ReportAggregatesOnly(true)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc == 3 && std::strcmp(argv[1], "--peak") == 0)
        return Peak(std::atof(argv[2]));
    if (argc == 3 && std::strcmp(argv[1], "--write-stl") == 0)
        return testmesh::WriteFile(argv[2], testmesh::BinaryStl(testmesh::BumpySphereBesideFanSlab())) ? 0 : 1;
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
