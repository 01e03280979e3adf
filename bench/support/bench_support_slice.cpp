// Supports at scale: a 180 x 110 mm plate 40 mm up on four legs whose
// underside is a field of downward pyramids every 1.2 mm (about 110k
// triangles, one support per pyramid: well over 10,000 supports), taken
// along the application's road at 1920 x 1200 pixels of 100 um and 0.05 mm
// layers with the panel's default supports (1, 0.6, 1.1, 3).
//   bench_support_slice                       Google Benchmark: slice and write, with and without supports
//   bench_support_slice --road [--no-supports] one road: support run, slice, write (seconds, CPU seconds), peak RSS
//   bench_support_slice --write-stl PATH       the model as a binary STL (for the pipeline tool)
//   bench_support_slice --stop                 seconds a stop takes to end the slice, asked at points through it
//   bench_support_slice --view                 the 3D view's support lists: compile time, memory and one
//                                              frame, the body drawn as instances (full and few facets,
//                                              cones as lines),
//                                              from shape lists and from its own triangles
//                                              (needs a display: under Xvfb, Mesa's software GL)
// With --islands-as-window next (after the shape), islands are counted as
// the window counts them.
// With --part first, the model is a mechanical part instead: a 180 x 110 x 83 mm
// housing of ten shells (tray, bosses, shelves, a ball; about 73k triangles)
// whose supports stand on the plate and on the model, among long outlines.
// With --dense first, it is the bump plate at six tenths of its size: bumps
// 0.72 mm apart under 1.1 mm shafts, so every support of a layer touches its
// neighbours (one group of tens of thousands of outlines a layer).
// With --lid first, it is that housing finer (about 129k triangles) and upside
// down: its floor is a ceiling over the whole plate, held up by a lattice.
#include "VSL3DScene.h"
#include "VSLModel3D.h"
#include "VSLModelPainter.h"
#include "bench/eventwait.h"
#include "dlp/machinepara.h"
#include "dlp/slicebuildconfig.h"
#include "test_meshes.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QOpenGLFramebufferObject>
#include <QCryptographicHash>
#include <QFile>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>

#include <GL/gl.h>
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>
#include <algorithm>
#include <climits>
#include <cstring>
#include <memory>

namespace {

constexpr int kWidth = 1920, kHeight = 1200;
constexpr float kPixelUm = 100.f, kThicknessMm = 0.05f;

enum class Shape { BumpPlate, Dense, Part, Lid };
Shape g_shape = Shape::BumpPlate;
// --islands-as-window: islands counted as the window's Slice counts them
// (the lit count only where the outlines show one), not on every layer.
bool g_windowCount = false;

// Mirrored top to bottom, faces still facing out.
QVector<VSLTriangle3D> UpsideDown(QVector<VSLTriangle3D> tris, float height)
{
    for (VSLTriangle3D& t : tris) {
        for (QVector3D& v : t.vertices)
            v.setZ(height - v.z());
        std::swap(t.vertices[1], t.vertices[2]);
        t.UpdateNormal();
        t.UpdateBound();
    }
    return tris;
}

QVector<VSLTriangle3D> Model()
{
    switch (g_shape) {
    case Shape::Part:
        return testmesh::Housing(180.f, 110.f, 83.f, 64);
    case Shape::Dense:
        return testmesh::BumpPlateOnLegs(108.f, 66.f, 0.72f, 0.3f, 1.2f, 24.f);
    case Shape::Lid:
        return UpsideDown(testmesh::Housing(180.f, 110.f, 83.f, 86), 83.f);
    default:
        return testmesh::BumpPlateOnLegs(180.f, 110.f, 1.2f, 0.5f, 2.f, 40.f);
    }
}

double PeakRssMb()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss / 1024.0;
}

// Resident now: what the process keeps once a step has freed its work.
double CurrentRssMb()
{
    long pages = 0, resident = 0;
    if (FILE* f = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2)
            resident = 0;
        std::fclose(f);
    }
    return resident * (sysconf(_SC_PAGESIZE) / 1048576.0);
}

// User and system time of every thread so far: on a shared machine it moves
// less with the load than the wall clock does.
double CpuSeconds()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// One loaded (and, when asked, supported) scene, ready to slice and write.
struct Road {
    QTemporaryDir dir;
    std::unique_ptr<VSL3DScene> scene = std::make_unique<VSL3DScene>();
    VSLModelPainter* instance = nullptr;
    double supportSeconds = 0;

    bool Load(bool supports)
    {
        scene->m_fnOutOfRangeWarning = [] {};
        const float plateX = kWidth * kPixelUm / 1000.f, plateY = kHeight * kPixelUm / 1000.f;
        scene->SetBound(QVector3D(plateX / 2, plateY / 2, 200), QVector3D(-plateX / 2, -plateY / 2, 0), kPixelUm,
                        kPixelUm);
        const QString stl = dir.filePath("plate.stl");
        if (!testmesh::WriteFile(stl, testmesh::BinaryStl(Model())) || !scene->AddModel(stl))
            return false;
        instance = scene->instances().last();
        if (!WaitFor([this] { return instance->m_pModel->isReady(); }))
            return false;
        instance->m_bCountSliceIslands = !g_windowCount; // as the pipeline tool does
        scene->setCountSliceIslands(g_windowCount);
        if (!supports)
            return true;
        instance->m_dSupportDensity = 1.0;
        instance->m_dTipDiameter = 0.6;
        instance->m_dShaftDiameter = 1.1;
        instance->m_dLiftDistance = 3.0;
        QElapsedTimer t;
        t.start();
        if (scene->StartSupportJob(instance) != SceneOp::Done)
            return false;
        if (!WaitFor([this] { return scene->runningSupportJobs() == 0; }))
            return false;
        supportSeconds = t.nsecsElapsed() / 1e9;
        return true;
    }

    bool StartSlice()
    {
        return scene->StartSliceScene(kWidth, kHeight, 1000.f / kPixelUm, 1000.f / kPixelUm, kThicknessMm, 0) ==
               SceneOp::Done;
    }

    int Slice()
    {
        int layers = -1;
        QObject::connect(scene.get(), &VSL3DScene::sig_SliceSceneDone, [&layers](int n) { layers = n; });
        if (!StartSlice())
            return -1;
        if (!WaitFor([&layers] { return layers >= 0; }))
            return -1;
        QObject::disconnect(scene.get(), &VSL3DScene::sig_SliceSceneDone, nullptr, nullptr);
        return layers;
    }

    QString OutputPath() { return dir.filePath("plate.vxs"); }

    qint64 Write()
    {
        DLP::SliceBuildConfig config;
        config.UpdateMachineConfig(float(kWidth), float(kHeight), kPixelUm, kPixelUm, 200.f);
        config.SliceThickness = kThicknessMm;
        ST_MachinePara para = DLP::machineParaFrom(config);
        const QString out = OutputPath();
        scene->m_strSaveFileName = out;
        if (scene->generatePrintableData_VXS(para, out) != 0)
            return -1;
        return QFileInfo(out).size();
    }
};

int OneRoad(bool supports)
{
    QElapsedTimer total;
    total.start();
    Road road;
    if (!road.Load(supports)) {
        std::fprintf(stderr, "loading or the support run failed\n");
        return 1;
    }
    std::printf("model triangles=%d peak_rss_mb=%.1f\n", road.instance->m_pModel->m_vTriangles.size(), PeakRssMb());
    if (supports)
        std::printf("support records=%d seconds=%.3f peak_rss_mb=%.1f\n", road.instance->m_supportMap.size(),
                    road.supportSeconds, PeakRssMb());
    std::fflush(stdout);
    QElapsedTimer t;
    t.start();
    double cpu = CpuSeconds();
    const int layers = road.Slice();
    if (layers < 0) {
        std::fprintf(stderr, "slicing failed\n");
        return 1;
    }
    std::printf("slice layers=%d seconds=%.3f cpu_seconds=%.3f peak_rss_mb=%.1f rss_after_mb=%.1f\n", layers,
                t.nsecsElapsed() / 1e9, CpuSeconds() - cpu, PeakRssMb(), CurrentRssMb());
    // What the slice handed on: the work per outline is the figure to watch
    // when supports make up most of the plate.
    qint64 outlines = 0, points = 0;
    for (const SliceLayers* layersOf : {&road.scene->m_modelSliceLayers, &road.scene->m_supportSliceLayers})
        for (const QVector<SlicePolygon>& layer : *layersOf) {
            outlines += layer.size();
            for (const SlicePolygon& polygon : layer)
                points += polygon.size();
        }
    std::printf("sliced outlines=%lld points=%lld\n", outlines, points);
    const VSLModelPainter* p = road.instance;
    std::printf("islands support=%d model=%d counting_share=%.3f\n", p->m_sliceIslands.support,
                p->m_sliceIslands.model,
                p->m_dSliceWorkerSeconds > 0 ? p->m_dSliceIslandSeconds / p->m_dSliceWorkerSeconds : 0.0);
    std::fflush(stdout);
    t.restart();
    cpu = CpuSeconds();
    const qint64 bytes = road.Write();
    if (bytes < 0) {
        std::fprintf(stderr, "writing failed\n");
        return 1;
    }
    std::printf("write bytes=%lld seconds=%.3f cpu_seconds=%.3f peak_rss_mb=%.1f\n", bytes, t.nsecsElapsed() / 1e9,
                CpuSeconds() - cpu, PeakRssMb());
    std::printf("total seconds=%.3f peak_rss_mb=%.1f\n", total.nsecsElapsed() / 1e9, PeakRssMb());
    // Outside the timed steps: tells whether a change kept the file the same.
    QFile file(road.OutputPath());
    QCryptographicHash hash(QCryptographicHash::Sha256);
    if (file.open(QIODevice::ReadOnly) && hash.addData(&file))
        std::printf("file sha256=%s\n", hash.result().toHex().constData());
    return 0;
}

// The support lists of the view, compiled both ways from the same run:
// drawn from shape lists first, so the memory the body's own triangles take
// is not hidden by what the first compile freed.
int ViewLists()
{
    QSurfaceFormat format;
    format.setProfile(QSurfaceFormat::CompatibilityProfile);
    format.setVersion(2, 1);
    format.setDepthBufferSize(24);
    QOffscreenSurface surface;
    surface.setFormat(format);
    surface.create();
    QOpenGLContext context;
    context.setFormat(format);
    if (!context.create() || !context.makeCurrent(&surface)) {
        std::fprintf(stderr, "no OpenGL context (run under a display)\n");
        return 1;
    }
    QOpenGLFramebufferObject frame(1280, 800, QOpenGLFramebufferObject::Depth);
    Road road;
    if (!road.Load(true)) {
        std::fprintf(stderr, "loading or the support run failed\n");
        return 1;
    }
    VSLModelPainter* p = road.instance;
    std::printf("support records=%d body_triangles=%ld\n", p->m_supportMap.size(),
                supportgeom::TriangleCount(p->m_supportMap, VSLModelPainter::UnitSphere));
    // Ways of drawing the body: instances at full and few facets, shape
    // lists, the body's own triangles.
    struct Way {
        const char* name;
        bool shapes, instances;
        double farBelowPx, tinyBelowPx;
    };
    for (const Way& way :
         {Way{"instances", true, true, 0.0, 0.0}, Way{"instances_far", true, true, 1e9, 0.0},
          Way{"instances_tiny", true, true, 1e9, 1e9}, Way{"shapes", true, false, 0.0, 0.0},
          Way{"inline", false, false, 0.0, 0.0}}) {
        p->m_supportShapes.inlineBodyTriangles = way.shapes ? 0 : LONG_MAX;
        p->m_bSupportInstancesAllowed = way.instances;
        p->m_supportInstances.farBelowPx = way.farBelowPx;
        p->m_supportInstances.tinyBelowPx = way.tinyBelowPx;
        const double rss = CurrentRssMb();
        QElapsedTimer t;
        t.start();
        p->DrawSupportX();
        glFinish();
        const double compileSeconds = t.nsecsElapsed() / 1e9;
        const double listMb = CurrentRssMb() - rss;
        frame.bind();
        glViewport(0, 0, frame.width(), frame.height());
        glEnable(GL_DEPTH_TEST);
        // The whole plate (shafts about 7 pixels wide), then a tenth of its
        // width (about 70): zoomed in, most supports lie outside the frame.
        double frameSeconds[2] = {1e9, 1e9}; // the least of three: the first also builds shaders
        for (int zoom = 0; zoom < 2; ++zoom) {
            const double half = zoom == 0 ? 100 : 10;
            glMatrixMode(GL_PROJECTION);
            glLoadIdentity();
            glOrtho(-half, half, -half * 0.625, half * 0.625, -300, 300);
            glMatrixMode(GL_MODELVIEW);
            glLoadIdentity();
            glRotatef(-60.f, 1.f, 0.f, 0.f);
            for (int k = 0; k < 3; ++k) {
                t.restart();
                glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
                p->RenderSupportX(false, false);
                glFinish();
                frameSeconds[zoom] = std::min(frameSeconds[zoom], t.nsecsElapsed() / 1e9);
            }
        }
        std::printf("%s compile_seconds=%.3f lists_mb=%.1f frame_seconds=%.3f zoomed_frame_seconds=%.3f "
                    "body_chunks=%d zoomed_chunks_drawn=%d peak_rss_mb=%.1f\n",
                    way.name, compileSeconds, listMb, frameSeconds[0], frameSeconds[1], p->m_supportBody.chunkCount(),
                    p->m_supportBody.drawnLastFrame(), PeakRssMb());
        std::fflush(stdout);
    }
    return glGetError() == GL_NO_ERROR ? 0 : 1;
}

// How long a stop takes to end the slice, asked at points through it: the
// window's close waits for it.
int StopLatency()
{
    Road road;
    if (!road.Load(true)) {
        std::fprintf(stderr, "loading or the support run failed\n");
        return 1;
    }
    for (int afterMs : {100, 200, 300, 500, 1000, 2000, 4000, 8000, 12000}) {
        road.instance->m_bStopSlice = false;
        if (!road.StartSlice())
            return 1;
        QElapsedTimer t;
        t.start();
        WaitFor([&] { return t.elapsed() >= afterMs; });
        const bool running = road.scene->runningSliceJobs() > 0;
        t.restart();
        road.instance->m_bStopSlice = true;
        road.instance->m_pSliceThread->wait();
        std::printf("stop after_ms=%d running=%d seconds=%.3f\n", afterMs, int(running), t.nsecsElapsed() / 1e9);
        std::fflush(stdout);
        WaitFor([&] { return road.scene->runningSliceJobs() == 0; });
    }
    return 0;
}

Road& Prepared(bool supports)
{
    static Road with, without;
    static bool ready[2] = {false, false};
    Road& road = supports ? with : without;
    if (!ready[supports]) {
        ready[supports] = true;
        if (!road.Load(supports))
            std::fprintf(stderr, "loading or the support run failed\n");
    }
    return road;
}

// Slice and write of the prepared plate; arg 1 with supports, 0 without.
void BM_SliceAndWrite(benchmark::State& state)
{
    Road& road = Prepared(state.range(0) != 0);
    int layers = 0;
    qint64 bytes = 0;
    for (auto _ : state) {
        layers = road.Slice();
        bytes = road.Write();
        if (layers < 0 || bytes < 0)
            state.SkipWithError("slicing or writing failed");
    }
    state.counters["records"] = road.instance ? road.instance->m_supportMap.size() : 0;
    state.counters["layers"] = layers;
    state.counters["peak_rss_mb"] = PeakRssMb();
}
BENCHMARK(BM_SliceAndWrite)->Arg(0)->Arg(1)->Iterations(1)->Repetitions(3)->Unit(benchmark::kSecond)->UseRealTime();

} // namespace

int main(int argc, char** argv)
{
    const bool view = std::find_if(argv + 1, argv + argc, [](const char* a) { return std::strcmp(a, "--view") == 0; }) !=
                      argv + argc;
    std::unique_ptr<QCoreApplication> app =
        view ? std::make_unique<QGuiApplication>(argc, argv) : std::make_unique<QCoreApplication>(argc, argv);
    if (argc >= 2 && (std::strcmp(argv[1], "--part") == 0 || std::strcmp(argv[1], "--lid") == 0 ||
                      std::strcmp(argv[1], "--dense") == 0)) {
        g_shape = std::strcmp(argv[1], "--part") == 0  ? Shape::Part
                  : std::strcmp(argv[1], "--lid") == 0 ? Shape::Lid
                                                       : Shape::Dense;
        --argc;
        std::memmove(argv + 1, argv + 2, sizeof(char*) * size_t(argc)); // keeps argv[argc] null
    }
    if (argc >= 2 && std::strcmp(argv[1], "--islands-as-window") == 0) {
        g_windowCount = true;
        --argc;
        std::memmove(argv + 1, argv + 2, sizeof(char*) * size_t(argc));
    }
    if (view)
        return ViewLists();
    if (argc >= 2 && std::strcmp(argv[1], "--stop") == 0)
        return StopLatency();
    if (argc >= 2 && std::strcmp(argv[1], "--road") == 0)
        return OneRoad(!(argc == 3 && std::strcmp(argv[2], "--no-supports") == 0));
    if (argc == 3 && std::strcmp(argv[1], "--write-stl") == 0)
        return testmesh::WriteFile(argv[2], testmesh::BinaryStl(Model())) ? 0 : 1;
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
