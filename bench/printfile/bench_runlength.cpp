#include "printfile/layerrender.h"
#include "printfile/runlength.h"
#include "roadlayer.h"

#include <benchmark/benchmark.h>

namespace {

QImage renderRoad()
{
    QImage image(3840, 2400, QImage::Format_Grayscale8);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setPen(Qt::NoPen);
    RenderLayer(painter, MakeRoadLayer(), false, image.width(), image.height(), image.rect());
    painter.end();
    return image;
}

void BM_EncodeRoadLayer(benchmark::State& state)
{
    const QImage image = renderRoad();
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
    QImage image(3840, 2400, QImage::Format_Grayscale8);
    image.fill(0);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setPen(Qt::NoPen);
    const QRect lit = RenderLayer(painter, makeLayer(3840, 2400), false, image.width(), image.height(), QRect());
    painter.end();
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
