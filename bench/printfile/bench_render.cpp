#include "printfile/layerrender.h"
#include "printfile/printfilewriter.h"
#include "printfile/renderthread.h"
#include "printfile/runlength.h"
#include "roadlayer.h"

#include <benchmark/benchmark.h>

#include <QTemporaryDir>

namespace {

// Rasterising alone, as a worker does it for one layer.
void BM_RenderRoadLayer(benchmark::State& state)
{
    const bool swap = state.range(0) != 0;
    const QVector<SlicePolygon> layer = SlicePolygons(MakeRoadLayer());
    QImage image(swap ? 2400 : 3840, swap ? 3840 : 2400, QImage::Format_Grayscale8);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setPen(Qt::NoPen);
    QRect lit = image.rect();
    for (auto _ : state) {
        lit = RenderLayer(painter, layer, swap, image.width(), image.height(), lit);
        benchmark::DoNotOptimize(image.constBits());
    }
}
BENCHMARK(BM_RenderRoadLayer)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// Encoding alone on the rendered frame.
void BM_EncodeRenderedRoadLayer(benchmark::State& state)
{
    QImage image(3840, 2400, QImage::Format_Grayscale8);
    {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing, true);
        painter.setPen(Qt::NoPen);
        RenderLayer(painter, SlicePolygons(MakeRoadLayer()), false, image.width(), image.height(), image.rect());
    }
    QVector<unsigned char> out;
    for (auto _ : state) {
        EncodeRunLength(image, 4, out);
        benchmark::DoNotOptimize(out.constData());
    }
}
BENCHMARK(BM_EncodeRenderedRoadLayer)->Unit(benchmark::kMillisecond);

// A worker's whole layer on a 3840 x 2400 frame: render and encode.
void BM_RenderThreadLayer(benchmark::State& state, QVector<QPolygonF> (*makeLayer)(int, int))
{
    const QVector<SlicePolygon> layer = SlicePolygons(makeLayer(3840, 2400));
    RenderThread worker(false, 4, 3840, 2400);
    worker.setLayer(&layer);
    for (auto _ : state) {
        worker.runRender();
        benchmark::DoNotOptimize(worker.output().constData());
    }
    state.counters["bytes"] = worker.output().size();
}
BENCHMARK_CAPTURE(BM_RenderThreadLayer, Road, MakeRoadLayer)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_RenderThreadLayer, SphereMiddle, MakeSphereMiddleLayer)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_RenderThreadLayer, FullFrame, MakeFullFrameLayer)->Unit(benchmark::kMillisecond);

// An empty frame: fill and one run.
void BM_RenderEmptyLayer(benchmark::State& state)
{
    const QVector<SlicePolygon> layer;
    RenderThread worker(false, 4, 3840, 2400);
    worker.setLayer(&layer);
    for (auto _ : state) {
        worker.runRender();
        benchmark::DoNotOptimize(worker.output().constData());
    }
}
BENCHMARK(BM_RenderEmptyLayer)->Unit(benchmark::kMillisecond);

// Whole layer-image files of 64 road layers, the sphere and the tall part with
// the default pool: the writing step of `pipeline --out` without loading and
// slicing.
void BM_WriteVxsFile(benchmark::State& state, QVector<QVector<QPolygonF>> (*makeLayers)(int, int))
{
    QTemporaryDir dir;
    const SliceLayers layers = SlicePolygons(makeLayers(3840, 2400));
    PrintJobInput input;
    input.modelLayers = layers;
    input.machineCode = 10;
    input.saveFileName = dir.filePath("part.vxs");
    ST_MachinePara para{};
    para.XResolution = 3840;
    para.YResolution = 2400;
    for (auto _ : state) {
        if (PrintFile::generatePrintableData(input, para, QString()) != 0)
            state.SkipWithError("write failed");
    }
    state.counters["layers/s"] = benchmark::Counter(double(layers.size()) * state.iterations(), benchmark::Counter::kIsRate);
}
QVector<QVector<QPolygonF>> MakeRoadLayers(int width, int height)
{
    return QVector<QVector<QPolygonF>>(64, MakeRoadLayer(width, height));
}
BENCHMARK_CAPTURE(BM_WriteVxsFile, Road, MakeRoadLayers)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_WriteVxsFile, Sphere, MakeSphereLayers)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_WriteVxsFile, TallPart, MakeTallPartLayers)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
