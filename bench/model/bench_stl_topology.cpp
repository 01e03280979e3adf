// STL reading and the topology pass of a mesh model.
//   bench_stl_topology                       Google Benchmark figures
//   bench_stl_topology --peak FILE.stl       one load + pass, prints peak RSS per triangle
#include "VSLModel3D.h"
#include "VSLModelLoader.h"
#include "test_meshes.h"
#include "mesh/clean.h"
#include "mesh/merge.h"
#include "mesh/topology.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <cstdio>
#include <cstring>
#include <utility>

namespace {

QTemporaryDir& Dir()
{
    static QTemporaryDir dir;
    return dir;
}

// A generated file, written once per process.
template <class Bytes> QString Generated(const char* name, Bytes bytes)
{
    const QString path = Dir().filePath(QString::fromLatin1(name));
    if (!QFile::exists(path))
        testmesh::WriteFile(path, bytes());
    return path;
}

QString BinarySphere()
{
    return Generated("sphere1m.stl", [] { return testmesh::BinaryStl(testmesh::SphereWithTriangles(1000000)); });
}

QString AsciiSphere()
{
    return Generated("sphere100k_ascii.stl", [] { return testmesh::AsciiStl(testmesh::SphereWithTriangles(100000)); });
}

// STL reading alone, of the file `file()` names.
void ReadStl(benchmark::State& state, QString (*file)())
{
    const QString path = file();
    for (auto _ : state) {
        VSLModelLoader loader;
        loader.path = path;
        QVector<VSLTriangle3D> tris;
        if (!loader.IsReady() || !loader.LoadData(tris))
            state.SkipWithError("read failed");
        benchmark::DoNotOptimize(tris.data());
        state.counters["triangles"] = tris.size();
    }
}
BENCHMARK_CAPTURE(ReadStl, Binary1M, BinarySphere)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(ReadStl, Ascii100k, AsciiSphere)->Unit(benchmark::kMillisecond);

// Read plus topology pass, as loading a model does (without display lists).
void BM_ReadAndTopology1M(benchmark::State& state)
{
    const QString path = BinarySphere();
    for (auto _ : state) {
        VSLModel3D model;
        if (!model.LoadSTLFile(path))
            state.SkipWithError("load failed");
        model.fixerThread()->wait();
        state.counters["vertices"] = model.m_mesh.vn;
    }
}
BENCHMARK(BM_ReadAndTopology1M)->Unit(benchmark::kMillisecond)->UseRealTime();

// `count` tetrahedra of 1 mm on a 2 mm grid, each wound outward or inside
// out: every one is a shell of its own that no other holds.
QString Tetrahedra(int count, bool insideOut)
{
    const QString name = QStringLiteral("tets%1%2.stl").arg(count).arg(insideOut ? "in" : "out");
    const QString path = Dir().filePath(name);
    if (QFile::exists(path))
        return path;
    int side = 1;
    while (side * side * side < count)
        ++side;
    const QVector<VSLTriangle3D> one = testmesh::Tetrahedron(1.f);
    QVector<VSLTriangle3D> tris;
    tris.reserve(4 * count);
    for (int i = 0; i < count; ++i) {
        const QVector3D at(2.f * float(i % side), 2.f * float(i / side % side), 2.f * float(i / (side * side)));
        for (const VSLTriangle3D& t : one) {
            const QVector3D a = t.vertices[0] + at, b = t.vertices[1] + at, c = t.vertices[2] + at;
            tris.append(insideOut ? testmesh::Tri(a, c, b) : testmesh::Tri(a, b, c));
        }
    }
    testmesh::WriteFile(path, testmesh::BinaryStl(tris));
    return path;
}

// Read plus topology pass of the file at `path`, each iteration.
void LoadAndCheck(benchmark::State& state, const QString& path)
{
    for (auto _ : state) {
        VSLModel3D model;
        if (!model.LoadSTLFile(path))
            state.SkipWithError("load failed");
        model.fixerThread()->wait();
        state.counters["triangles"] = model.m_vTriangles.size();
    }
}

// Read plus topology pass of many small shells, inside out or not.
void LoadTetrahedra(benchmark::State& state, bool insideOut)
{
    LoadAndCheck(state, Tetrahedra(int(state.range(0)), insideOut));
}
BENCHMARK_CAPTURE(LoadTetrahedra, Outward, false)
    ->Arg(25000)->Arg(100000)->Arg(250000)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(LoadTetrahedra, InsideOut, true)
    ->Arg(25000)->Arg(100000)->Arg(250000)->Unit(benchmark::kMillisecond)->UseRealTime();

MyMesh Merged(const QVector<VSLTriangle3D>& tris)
{
    MyMesh m;
    vcg::tri::BuildMergedMesh(m, uint32_t(tris.size()), [&tris](uint32_t i, int k) {
        const QVector3D& v = tris[int(i)].vertices[k];
        return vcg::Point3f(v.x(), v.y(), v.z());
    });
    vcg::tri::UpdateTopology<MyMesh>::FaceFace(m);
    vcg::tri::UpdateTopology<MyMesh>::VertexFace(m);
    return m;
}

using testmesh::InsideOut;

// The orientation step alone, on a fresh copy of `mesh` each time.
void TurnShells(benchmark::State& state, const MyMesh& mesh)
{
    int left = 0;
    for (auto _ : state) {
        state.PauseTiming();
        MyMesh m = mesh;
        state.ResumeTiming();
        state.counters["turned"] = vcg::tri::Clean<MyMesh>::OrientClosedShellsOutward(m, &left);
        state.counters["unjudged"] = left;
    }
}

// 250,000 tetrahedra wound inside out, side by side.
void BM_TurnInsideOutTetrahedra250k(benchmark::State& state)
{
    static const MyMesh mesh = [] {
        QVector<VSLTriangle3D> tris;
        for (int i = 0; i < 250000; ++i)
            tris += testmesh::Translated(InsideOut(testmesh::Tetrahedron(1.f)),
                                         QVector3D(2.f * float(i % 63), 2.f * float(i / 63 % 63), 2.f * float(i / 3969)));
        return Merged(tris);
    }();
    TurnShells(state, mesh);
}
BENCHMARK(BM_TurnInsideOutTetrahedra250k)->Unit(benchmark::kMillisecond);

// A sphere of 200,000 faces holding 1,000 cavities (small boxes facing in):
// every cavity is ray-cast against the sphere.
void BM_TurnCavitiesInASphere(benchmark::State& state)
{
    static const MyMesh mesh = [] {
        QVector<VSLTriangle3D> tris = testmesh::UvSphere(20.f, 500, 201);
        for (int i = 0; i < 1000; ++i)
            tris += InsideOut(testmesh::Cube(0.5f, QVector3D(float(i % 10), float(i / 10 % 10), float(i / 100)) * 1.5f -
                                                        QVector3D(7, 7, 7)));
        return Merged(tris);
    }();
    TurnShells(state, mesh);
}
BENCHMARK(BM_TurnCavitiesInASphere)->Unit(benchmark::kMillisecond);

// `shells` concentric cubes 1 mm apart, every one wound inside out: each is
// held by every cube round it (only the outermost is turned).
QString NestedCubes(int shells)
{
    return Generated(qPrintable(QStringLiteral("nested%1.stl").arg(shells)), [shells] {
        QVector<VSLTriangle3D> tris;
        tris.reserve(12 * shells);
        for (int k = 0; k < shells; ++k) {
            const float half = float(shells - k);
            tris += InsideOut(testmesh::Box({-half, -half, -half}, {half, half, half}));
        }
        return testmesh::BinaryStl(tris);
    });
}

// A closed sphere of as many triangles as that many cubes.
QString SphereLikeNest(int shells)
{
    return Generated(qPrintable(QStringLiteral("sphere_like_nest%1.stl").arg(shells)),
                     [shells] { return testmesh::BinaryStl(testmesh::SphereWithTriangles(12 * shells)); });
}

// Read plus topology pass of nested inside-out shells, and of a closed mesh
// of the same size: nesting depth must not make the pass grow faster.
void LoadNestedOrClosed(benchmark::State& state, QString (*file)(int))
{
    LoadAndCheck(state, file(int(state.range(0))));
}
BENCHMARK_CAPTURE(LoadNestedOrClosed, ClosedSphere, SphereLikeNest)
    ->Arg(16000)->Arg(32000)->Arg(64000)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(LoadNestedOrClosed, NestedInsideOut, NestedCubes)
    ->Arg(16000)->Arg(32000)->Arg(64000)->Unit(benchmark::kMillisecond)->UseRealTime();

// The orientation step alone on 64,000 nested inside-out cubes.
void BM_TurnNestedInsideOutCubes64k(benchmark::State& state)
{
    static const MyMesh mesh = [] {
        QVector<VSLTriangle3D> tris;
        for (int k = 0; k < 64000; ++k) {
            const float half = float(64000 - k);
            tris += InsideOut(testmesh::Box({-half, -half, -half}, {half, half, half}));
        }
        return Merged(tris);
    }();
    TurnShells(state, mesh);
}
BENCHMARK(BM_TurnNestedInsideOutCubes64k)->Unit(benchmark::kMillisecond);

int PeakRun(const char* file)
{
    VSLModel3D model;
    if (!model.LoadSTLFile(QString::fromLocal8Bit(file))) {
        std::fprintf(stderr, "%s\n", qPrintable(model.loadError()));
        return 1;
    }
    model.fixerThread()->wait();
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const double bytes = double(usage.ru_maxrss) * 1024.0;
    std::printf("triangles=%d vertices=%d peak_rss_mb=%.1f bytes_per_triangle=%.1f\n", model.m_vTriangles.size(),
                model.m_mesh.vn, bytes / 1048576.0, bytes / model.m_vTriangles.size());
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc == 3 && std::strcmp(argv[1], "--peak") == 0)
        return PeakRun(argv[2]);
    if (argc == 3 && std::strcmp(argv[1], "--write-sphere") == 0)
        return testmesh::WriteFile(QString::fromLocal8Bit(argv[2]),
                                   testmesh::BinaryStl(testmesh::SphereWithTriangles(1000000))) ? 0 : 1;
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
