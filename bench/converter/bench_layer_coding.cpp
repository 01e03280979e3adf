// Cost of one 2560 x 1440 archive layer in the converter: PNG decode and
// grey conversion against run-length coding.

#include "printfile/archivemember.h"
#include "printfile/layercodingpool.h"
#include "printfile/runlength.h"

#include <QBuffer>
#include <QImage>
#include <QPainter>

#include <benchmark/benchmark.h>

namespace {

QImage sampleLayer()
{
    QImage frame(2560, 1440, QImage::Format_RGB32);
    frame.fill(Qt::black);
    QPainter p(&frame);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    for (int k = 0; k < 6; ++k)
        p.drawEllipse(QPointF(400 + 350 * k, 450), 160, 130);
    p.drawEllipse(QPointF(1280, 1080), 290, 210);
    p.end();
    return frame.convertToFormat(QImage::Format_Grayscale8);
}

QByteArray samplePng()
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    sampleLayer().save(&buffer, "PNG");
    return bytes;
}

void BM_DecodeLayerPng(benchmark::State& state)
{
    const QByteArray png = samplePng();
    QString error;
    for (auto _ : state) {
        QImage image;
        DecodeArchiveImage(png, image, error);
        benchmark::DoNotOptimize(image.convertToFormat(QImage::Format_Grayscale8).constBits());
    }
    state.counters["png_bytes"] = png.size();
}
BENCHMARK(BM_DecodeLayerPng)->Unit(benchmark::kMillisecond);

void BM_EncodeLayer(benchmark::State& state)
{
    const QImage grey = sampleLayer();
    QVector<unsigned char> code;
    for (auto _ : state) {
        EncodeRunLength(grey, 4, code);
        benchmark::DoNotOptimize(code.constData());
    }
    state.counters["code_bytes"] = code.size();
}
BENCHMARK(BM_EncodeLayer)->Unit(benchmark::kMillisecond);

void BM_CodeLayerWhole(benchmark::State& state)
{
    const QByteArray png = samplePng();
    LayerCodingPool::Settings settings;
    for (auto _ : state) {
        LayerCodingPool::Result r = LayerCodingPool::codeLayer(1, png, settings);
        benchmark::DoNotOptimize(r.code.constData());
    }
}
BENCHMARK(BM_CodeLayerWhole)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
