#include "printfile/layerrender.h"
#include "printfile/runlength.h"
#include "roadlayer.h"

#include <benchmark/benchmark.h>

namespace {

// A 3840 x 2400 frame of `layer` as a worker renders it; `lit` receives the
// lit box the worker hands the encoder.
QImage renderFrame(const QVector<QPolygonF>& layer, QRect* lit = nullptr)
{
    QImage image(3840, 2400, QImage::Format_Grayscale8);
    image.fill(0);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setPen(Qt::NoPen);
    const QRect box = RenderLayer(painter, SlicePolygons(layer), false, image.width(), image.height(), QRect());
    painter.end();
    if (lit)
        *lit = box;
    return image;
}

void BM_EncodeRoadLayer(benchmark::State& state)
{
    const QImage image = renderFrame(MakeRoadLayer());
    QVector<unsigned char> out;
    for (auto _ : state) {
        EncodeRunLength(image, 4, out);
        benchmark::DoNotOptimize(out.constData());
    }
    state.counters["bytes"] = out.size();
    state.counters["pixels/s"] = benchmark::Counter(double(image.width()) * image.height() * state.iterations(),
                                                   benchmark::Counter::kIsRate);
}
BENCHMARK(BM_EncodeRoadLayer)->Unit(benchmark::kMillisecond);

// Encoding as a worker does it, for the layers of the render benchmark.
void BM_EncodeLayer(benchmark::State& state, QVector<QPolygonF> (*makeLayer)(int, int))
{
    QRect lit;
    const QImage image = renderFrame(makeLayer(3840, 2400), &lit);
    QVector<unsigned char> out;
    for (auto _ : state) {
        EncodeRunLength(image, 4, out, lit);
        benchmark::DoNotOptimize(out.constData());
    }
    state.counters["bytes"] = out.size();
}
BENCHMARK_CAPTURE(BM_EncodeLayer, SphereMiddle, MakeSphereMiddleLayer)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_EncodeLayer, FullFrame, MakeFullFrameLayer)->Unit(benchmark::kMillisecond);

void BM_EncodeBlackLayer(benchmark::State& state)
{
    QImage image(3840, 2400, QImage::Format_Grayscale8);
    image.fill(0);
    QVector<unsigned char> out;
    for (auto _ : state) {
        EncodeRunLength(image, 4, out);
        benchmark::DoNotOptimize(out.constData());
    }
    state.counters["pixels/s"] = benchmark::Counter(double(image.width()) * image.height() * state.iterations(),
                                                   benchmark::Counter::kIsRate);
}
BENCHMARK(BM_EncodeBlackLayer)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
