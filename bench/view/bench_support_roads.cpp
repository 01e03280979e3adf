// The random support roads of the view tests, many more of them: seeds from
// VSL_FIRST_ROAD (1) on, VSL_ROADS of them (2000), each failing road's seed
// and steps on standard error. Run under xvfb-run; a failing road makes the
// benchmark end in error.
#include "VSLGLView.h"
#include "support_roads.h"
#include "view_bench_main.h"

#include <benchmark/benchmark.h>

#include <QTemporaryDir>
#include <QTest>

#include <cstdio>

namespace {

void BM_SupportRoads(benchmark::State& state)
{
    const unsigned first =
        qEnvironmentVariableIsSet("VSL_FIRST_ROAD") ? unsigned(qEnvironmentVariableIntValue("VSL_FIRST_ROAD")) : 1;
    const unsigned count =
        qEnvironmentVariableIsSet("VSL_ROADS") ? unsigned(qEnvironmentVariableIntValue("VSL_ROADS")) : 2000;
    VSLGLView view;
    view.resize(320, 240);
    supportroads::CentreCamera(view);
    view.show();
    if (!QTest::qWaitForWindowExposed(&view)) {
        state.SkipWithError("the view was not shown");
        return;
    }
    int failed = 0, slices = 0, moved = 0;
    for (auto _ : state) {
        for (unsigned seed = first; seed < first + count; ++seed) {
            QTemporaryDir dir;
            const supportroads::Outcome outcome = supportroads::Run(view, dir.path(), seed);
            slices += outcome.slices;
            moved += outcome.slicesOfMovedSupports;
            if (!outcome.sound) {
                ++failed;
                std::fprintf(stderr, "%s\n", qPrintable(outcome.failure));
            }
        }
    }
    state.counters["roads"] = double(count);
    state.counters["slices"] = double(slices);
    state.counters["moved_slices"] = double(moved);
    state.counters["failed"] = double(failed);
    if (failed > 0)
        state.SkipWithError("some roads separate supports from their model");
}
BENCHMARK(BM_SupportRoads)->Unit(benchmark::kSecond)->Iterations(1);

} // namespace

int main(int argc, char** argv) { return RunViewBenchmarks(argc, argv); }
