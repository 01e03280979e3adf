// The projector window's two costs: the correction tables built at each
// direct-print start (on the GUI thread), and one layer painted, corrected
// and drawn at each layer change.
#include "dlpserialport.h"
#include "frmDLP.h"
#include "lightcorrection.h"
#include "roadlayer.h"

#include <QApplication>
#include <QFile>
#include <QPainter>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdlib>
#include <new>

namespace {

// p(i) = i / 255, k = 1.
QList<QByteArray> greyLines()
{
    return {"0", "0.00392156862745098", "0", "0", "0", "0", "1", "0", "0", "0", "0", "0", "0"};
}

// The items of a 9 x 9 light grid, brighter in the middle, after the header.
QList<QByteArray> gridItems(int width, int height)
{
    const int n = 9;
    QList<QByteArray> items{"60", QByteArray::number(width), QByteArray::number(height), "9", "9"};
    for (int i = 0; i < n; ++i)
        items << QByteArray::number(width * (i + 0.5) / n);
    for (int i = 0; i < n; ++i)
        items << QByteArray::number(height * (i + 0.5) / n);
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j) {
            const double dx = (i - 4) / 4.0, dy = (j - 4) / 4.0;
            items << QByteArray::number(120.0 - 30.0 * (dx * dx + dy * dy));
        }
    return items;
}

// Live and peak bytes of operator new, for the tables' peak memory (the
// kernel's RSS figures miss memory that the allocator reuses).
std::atomic<size_t> g_live{0}, g_peak{0};

void BM_TableBuild(benchmark::State& state)
{
    const int width = int(state.range(0)), height = int(state.range(1));
    const QList<QByteArray> grey = greyLines();
    const QList<QByteArray> items = gridItems(width, height);
    double peakMb = 0;
    for (auto _ : state) {
        const size_t before = g_live.load();
        g_peak = before;
        LightCorrection tables = buildLightCorrection(25, grey, items, QSize(width, height));
        peakMb = std::max(peakMb, double(g_peak.load() - before) / (1 << 20));
        if (tables.status != LightCorrection::Complete)
            state.SkipWithError("tables refused");
        benchmark::DoNotOptimize(tables.pixelWhite.data());
    }
    state.counters["peak_MB"] = peakMb;
    state.counters["MB_per_Mpx"] = peakMb / (double(width) * height / 1e6);
}
BENCHMARK(BM_TableBuild)->Args({2560, 1440})->Args({3840, 6480})->Unit(benchmark::kMillisecond);

class RoadLayers : public ProjectorLayerSource
{
public:
    SliceLayers model{SlicePolygons(MakeRoadLayer(3840, 2400))};
    SliceLayers GetSliceData() const override { return model; }
    SliceLayers GetSliceDataSup() const override { return {}; }
};

struct Projector {
    QTemporaryDir dir;
    RoadLayers layers;
    frmDLP window;
    bool ready = false;

    Projector()
    {
        QFile grey(dir.filePath("GreyTestFinal.dat"));
        if (!grey.open(QIODevice::WriteOnly))
            return;
        for (const QByteArray& line : greyLines())
            grey.write(line + "\n");
        grey.close();
        QList<QByteArray> reply{"M701", "Light engine data", "Begin"};
        reply += gridItems(3840, 2400);
        DlpSerialPort::lightEnginePara = reply;
        window.setDataFolder(dir.path());
        window.setReporter([](const QString&, const QString&) {});
        // The tables' debug lines would swamp the figures.
        const QtMessageHandler old = qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
        ready = window.frmDLP_init(25, 0.05f, 0, 3840, 2400);
        qInstallMessageHandler(old);
        window.m_view = &layers;
        window.m_layer = 0;
    }
};

// Painted, corrected, and drawn into a projector-sized frame as the window
// does at each layer change.
void BM_RoadLayerPaintCorrectDraw(benchmark::State& state)
{
    Projector projector;
    if (!projector.ready) {
        state.SkipWithError("no tables");
        return;
    }
    projector.window.setPenSelect(int(state.range(0)));
    QImage frame(3840, 2400, QImage::Format_RGB32);
    for (auto _ : state) {
        const QImage* layer = projector.window.renderLayerImage();
        QPainter painter(&frame);
        painter.drawImage(0, 0, *layer);
        painter.end();
        benchmark::DoNotOptimize(frame.constBits());
    }
}
BENCHMARK(BM_RoadLayerPaintCorrectDraw)->Arg(0)->Arg(2)->Unit(benchmark::kMillisecond);

// The parts of it: the dark frame (clear only), and the drawing alone.
void BM_DarkFrame(benchmark::State& state)
{
    Projector projector;
    projector.window.m_layer = -1;
    for (auto _ : state)
        benchmark::DoNotOptimize(projector.window.renderLayerImage());
}
BENCHMARK(BM_DarkFrame)->Unit(benchmark::kMillisecond);

void BM_DrawGreyFrame(benchmark::State& state)
{
    QImage layer(3840, 2400, QImage::Format_Grayscale8);
    layer.fill(128);
    QImage frame(3840, 2400, QImage::Format_RGB32);
    for (auto _ : state) {
        QPainter painter(&frame);
        painter.drawImage(0, 0, layer);
        painter.end();
        benchmark::DoNotOptimize(frame.constBits());
    }
}
BENCHMARK(BM_DrawGreyFrame)->Unit(benchmark::kMillisecond);

}  // namespace

// Each block carries its size in front of it.
void* operator new(size_t size)
{
    void* block = std::malloc(size + 16);
    if (!block)
        throw std::bad_alloc();
    *static_cast<size_t*>(block) = size;
    const size_t live = g_live += size;
    size_t peak = g_peak.load();
    while (live > peak && !g_peak.compare_exchange_weak(peak, live)) {
    }
    return static_cast<char*>(block) + 16;
}

void operator delete(void* p) noexcept
{
    if (!p)
        return;
    void* block = static_cast<char*>(p) - 16;
    g_live -= *static_cast<size_t*>(block);
    std::free(block);
}

void operator delete(void* p, size_t) noexcept
{
    operator delete(p);
}

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
