// Shells nested in shells, many deep: which inside-out ones are turned (only
// those no other shell encloses, whatever the depth), and the work that
// takes, which must not grow with the square of the depth.
#include "mesh/allocator.h"
#include "mesh/clean.h"
#include "mesh/topology.h"
#include "mesh_from_triangles.h"
#include "test_meshes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <future>
#include <random>
#include <thread>

using namespace vcg;

namespace {

using testmesh::InsideOut;

// `depth` concentric cubes 1 mm apart round `at`, the outermost first; cube k
// (0 the outermost) is written inside out when insideOut(k).
QVector<VSLTriangle3D> Nest(int depth, const std::function<bool(int)>& insideOut, QVector3D at = {})
{
    QVector<VSLTriangle3D> tris;
    for (int k = 0; k < depth; ++k) {
        const float half = float(depth - k);
        const auto cube = testmesh::Box(at - QVector3D(half, half, half), at + QVector3D(half, half, half));
        tris += insideOut(k) ? InsideOut(cube) : cube;
    }
    return tris;
}

bool All(int) { return true; }
bool Even(int k) { return k % 2 == 0; }
bool Odd(int k) { return k % 2 == 1; }

// The shells of `tris`, 12 triangles each, in reverse order.
QVector<VSLTriangle3D> ReversedCubes(const QVector<VSLTriangle3D>& tris)
{
    QVector<VSLTriangle3D> out;
    for (int first = tris.size() - 12; first >= 0; first -= 12)
        out += tris.mid(first, 12);
    return out;
}

// Faces whose corners run the other way than in `written`.
int FacesTurned(const MyMesh& m, const MyMesh& written)
{
    int turned = 0;
    for (uint32_t f = 0; f < m.FaceCount(); ++f)
        turned += m.face[f].v[1] != written.face[f].v[1];
    return turned;
}

bool SameFaces(const MyMesh& a, const MyMesh& b)
{
    if (a.FaceCount() != b.FaceCount())
        return false;
    for (uint32_t f = 0; f < a.FaceCount(); ++f)
        for (int k = 0; k < 3; ++k)
            if (a.face[f].v[k] != b.face[f].v[k] || a.face[f].ff[k] != b.face[f].ff[k] ||
                a.face[f].ffi[k] != b.face[f].ffi[k])
                return false;
    return true;
}

} // namespace

TEST(NestedShells, OnlyShellsNothingEnclosesAreTurned)
{
    const auto sphere = [](float r, QVector3D at = {}) { return testmesh::UvSphere(r, 16, 9, at); };
    const auto cube = [](float half, QVector3D at = {}) {
        return testmesh::Box(at - QVector3D(half, half, half), at + QVector3D(half, half, half));
    };
    // Its top and bottom missing: an open shell, which encloses nothing.
    const auto openBox = cube(20).mid(4);
    const QVector3D corner(8.5f, 8.5f, 8.5f);
    struct Case {
        const char* name;
        QVector<VSLTriangle3D> written;
        int turned, facesTurned;
    };
    const Case cases[] = {
        {"one inside out", Nest(1, All), 1, 12},
        {"two deep, both inside out", Nest(2, All), 1, 12},
        {"three deep, all inside out", Nest(3, All), 1, 12},
        {"eight deep, all inside out", Nest(8, All), 1, 12},
        {"eight deep, all inside out, the innermost first", ReversedCubes(Nest(8, All)), 1, 12},
        {"nine deep, the outermost facing out", Nest(9, [](int k) { return k > 0; }), 0, 0},
        {"six deep, every other inside out from the outermost", Nest(6, Even), 1, 12},
        {"six deep, every other inside out from the second", Nest(6, Odd), 0, 0},
        {"seven deep, every other, the innermost first", ReversedCubes(Nest(7, Even)), 1, 12},
        {"twelve deep, only the innermost inside out", Nest(12, [](int k) { return k == 11; }), 0, 0},
        {"two nests side by side, all inside out", Nest(5, All) + Nest(4, All, {20, 0, 0}), 2, 24},
        {"a nest held in a sphere's box but not in the sphere",
         // In a corner of the sphere's box, outside the sphere.
         InsideOut(sphere(10)) + InsideOut(cube(1.2f, corner) + cube(0.8f, corner) + cube(0.4f, corner)), 2,
         16 * 8 * 2 + 12},
        {"a nest in a solid's cavity", cube(30) + Nest(10, All), 0, 0},
        {"a nest in a solid that is inside out", InsideOut(cube(30)) + Nest(10, All), 1, 12},
        {"spheres and cubes in turn, all inside out",
         InsideOut(sphere(40) + cube(25) + sphere(20) + cube(12) + sphere(10) + cube(5)), 1, 16 * 8 * 2},
        {"spheres and cubes in turn, only the cubes inside out",
         sphere(40) + InsideOut(cube(25)) + sphere(20) + InsideOut(cube(12)) + sphere(10) + InsideOut(cube(5)), 0, 0},
        {"a nest in an open box", openBox + Nest(4, All), 1, 12},
        {"an open box in the middle of a nest", InsideOut(cube(30)) + openBox + InsideOut(cube(10) + cube(5)), 1, 12},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const MyMesh written = Merged(c.written);
        MyMesh m = written, everyPair = written;
        int left = -1;
        EXPECT_EQ(tri::Clean<MyMesh>::OrientClosedShellsOutward(m, &left), c.turned);
        EXPECT_EQ(left, 0);
        EXPECT_EQ(FacesTurned(m, written), c.facesTurned);
        EXPECT_EQ(tri::Clean<MyMesh>::OrientClosedShellsOutwardForTest(everyPair, true), c.turned);
        EXPECT_TRUE(SameFaces(m, everyPair));
        // Whatever still faces inward is enclosed: a second run turns nothing.
        EXPECT_EQ(tri::Clean<MyMesh>::OrientClosedShellsOutward(m), 0);
    }
}

namespace {

// A random forest of shells, each child well inside its parent and apart
// from its siblings, each shell inside out or not at random; some shells
// stand in a corner of a sphere's box, outside the sphere, so that a box
// holds them but its shell does not.
struct Forest {
    struct Shell {
        int first = 0, count = 0; // its faces (one per triangle, in order)
        bool insideOut = false;
        int parent = -1; // the shell enclosing it, -1 for none
    };
    QVector<VSLTriangle3D> tris;
    std::vector<Shell> shells;
};

void Grow(std::mt19937& rng, Forest& forest, QVector3D lo, QVector3D hi, int parent, int depthLeft)
{
    auto uniform = [&rng](float a, float b) { return std::uniform_real_distribution<float>(a, b)(rng); };
    const QVector3D size = hi - lo;
    int axis = 0;
    for (int k = 1; k < 3; ++k)
        if (size[k] > size[axis])
            axis = k;
    // Not so small that a float could not tell a shell from the next.
    const bool room = std::min({size.x(), size.y(), size.z()}) > 2;
    const int children = depthLeft <= 0 || !room ? 0 : int(std::discrete_distribution<int>({1, 6, 2, 1})(rng));
    for (int c = 0; c < children; ++c) {
        // A slab of the region along its longest side, with room all round.
        QVector3D cellLo = lo, cellHi = hi;
        cellLo[axis] = lo[axis] + size[axis] * float(c) / float(children);
        cellHi[axis] = lo[axis] + size[axis] * float(c + 1) / float(children);
        const QVector3D margin = (cellHi - cellLo) * 0.08f;
        cellLo += margin;
        cellHi -= margin;
        const QVector3D cell = cellHi - cellLo;
        Forest::Shell shell;
        shell.parent = parent;
        shell.insideOut = rng() % 2 == 1;
        shell.first = forest.tris.size();
        QVector<VSLTriangle3D> tris;
        QVector3D innerLo, innerHi;
        if (rng() % 3 == 0) {
            const QVector3D centre = (cellLo + cellHi) * 0.5f;
            const float r = 0.5f * std::min({cell.x(), cell.y(), cell.z()});
            tris = testmesh::UvSphere(r, 10, 6, centre);
            // Well inside the sphere's facets.
            innerLo = centre - QVector3D(0.5f, 0.5f, 0.5f) * r;
            innerHi = centre + QVector3D(0.5f, 0.5f, 0.5f) * r;
            if (depthLeft > 1 && rng() % 2) {
                // In the corner of the sphere's box, outside the sphere: its
                // shell is the sphere's parent's child.
                const QVector3D cornerLo = centre + QVector3D(0.76f, 0.76f, 0.76f) * r;
                const QVector3D cornerHi = centre + QVector3D(0.96f, 0.96f, 0.96f) * r;
                forest.tris += shell.insideOut ? InsideOut(tris) : tris;
                shell.count = tris.size();
                forest.shells.push_back(shell);
                const int sphere = int(forest.shells.size()) - 1;
                Grow(rng, forest, innerLo, innerHi, sphere, depthLeft - 1);
                Grow(rng, forest, cornerLo, cornerHi, parent, 1 + int(rng() % 2));
                continue;
            }
        } else {
            QVector3D a, b;
            for (int k = 0; k < 3; ++k) {
                const float extent = cell[k] * uniform(0.75f, 1.f);
                a[k] = cellLo[k] + uniform(0, cell[k] - extent);
                b[k] = a[k] + extent;
            }
            tris = testmesh::Box(a, b);
            const QVector3D wall = (b - a) * 0.05f;
            innerLo = a + wall;
            innerHi = b - wall;
        }
        forest.tris += shell.insideOut ? InsideOut(tris) : tris;
        shell.count = tris.size();
        forest.shells.push_back(shell);
        Grow(rng, forest, innerLo, innerHi, int(forest.shells.size()) - 1, depthLeft - 1);
    }
}

} // namespace

// Random nestings against the plain rule: a shell written inside out is
// turned exactly when no shell encloses it; and against the way that tries
// every shell as the holder of every other.
TEST(NestedShells, RandomNestingsTurnExactlyTheUnenclosedInsideOutShells)
{
    int turnedInAll = 0, keptInAll = 0, deepest = 0;
    for (uint32_t seed = 1; seed <= 40; ++seed) {
        SCOPED_TRACE(seed);
        std::mt19937 rng(seed);
        Forest forest;
        // Several trees side by side, or one.
        const int trees = 1 + int(seed % 4);
        for (int t = 0; t < trees; ++t)
            Grow(rng, forest, {1000.f * float(t), 0, 0}, {1000.f * float(t) + 900, 800, 600}, -1, 4 + int(seed % 12));
        const MyMesh written = Merged(forest.tris);
        ASSERT_EQ(written.FaceCount(), uint32_t(forest.tris.size()));
        int expected = 0;
        for (const Forest::Shell& s : forest.shells) {
            expected += s.insideOut && s.parent < 0;
            keptInAll += s.insideOut && s.parent >= 0;
        }
        for (size_t i = 0; i < forest.shells.size(); ++i) {
            int depth = 0;
            for (int p = forest.shells[i].parent; p >= 0; p = forest.shells[size_t(p)].parent)
                ++depth;
            deepest = std::max(deepest, depth);
        }
        MyMesh m = written;
        int left = -1;
        EXPECT_EQ(tri::Clean<MyMesh>::OrientClosedShellsOutward(m, &left), expected);
        EXPECT_EQ(left, 0);
        for (const Forest::Shell& s : forest.shells) {
            const bool turn = s.insideOut && s.parent < 0;
            for (int f = s.first; f < s.first + s.count; ++f)
                if ((m.face[uint32_t(f)].v[1] != written.face[uint32_t(f)].v[1]) != turn) {
                    ADD_FAILURE() << "face " << f << (turn ? " not turned" : " turned");
                    break;
                }
        }
        MyMesh everyPair = written;
        EXPECT_EQ(tri::Clean<MyMesh>::OrientClosedShellsOutwardForTest(everyPair, true), expected);
        EXPECT_TRUE(SameFaces(m, everyPair));
        turnedInAll += expected;
        if (HasFailure())
            return;
    }
    // The sets hold both kinds of inside-out shell, nested deep.
    EXPECT_GT(turnedInAll, 50);
    EXPECT_GT(keptInAll, 500);
    EXPECT_GE(deepest, 8);
}

// Thousands of concentric cubes inside out, in any order: each is held by
// every cube round it, and found enclosed by looking at a few boxes, not at
// every holder.
TEST(NestedShells, DeepNestingsLookAtFewBoxesEach)
{
    constexpr int kDepth = 3000;
    const QVector<VSLTriangle3D> outermostFirst = Nest(kDepth, All);
    QVector<VSLTriangle3D> shuffled;
    {
        std::vector<int> order(kDepth);
        for (int i = 0; i < kDepth; ++i)
            order[size_t(i)] = i;
        std::shuffle(order.begin(), order.end(), std::mt19937(7));
        for (int i : order)
            shuffled += outermostFirst.mid(12 * i, 12);
    }
    const struct {
        const char* name;
        QVector<VSLTriangle3D> written;
    } cases[] = {{"outermost first", outermostFirst},
                 {"innermost first", ReversedCubes(outermostFirst)},
                 {"shuffled", shuffled}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const MyMesh written = Merged(c.written);
        MyMesh m = written;
        long long compared = 0;
        int left = -1;
        EXPECT_EQ(tri::Clean<MyMesh>::OrientClosedShellsOutwardForTest(m, false, &left, &compared), 1);
        EXPECT_EQ(left, 0);
        EXPECT_EQ(FacesTurned(m, written), 12);
        // Every holder of every cube would be half the square.
        EXPECT_LT(compared, 100LL * kDepth);
    }
}

// A stop asked for before the turning starts, or while it runs (from another
// thread, as closing the window asks it): the turning ends at the next shell,
// says so and leaves the mesh as written.
TEST(NestedShells, AStopEndsTheTurningWithTheMeshAsWritten)
{
    constexpr int kDepth = 2000;
    const MyMesh written = Merged(Nest(kDepth, All));
    {
        SCOPED_TRACE("asked before");
        MyMesh m = written;
        const std::atomic<bool> stop{true};
        int judged = 0;
        EXPECT_EQ(tri::Clean<MyMesh>::OrientClosedShellsOutwardForTest(m, false, nullptr, nullptr, Cancel(&stop),
                                                                      [&](int n) { judged = n; }),
                  -1);
        EXPECT_EQ(judged, 0);
        EXPECT_TRUE(SameFaces(m, written));
        EXPECT_EQ(tri::Clean<MyMesh>::OrientClosedShellsOutward(m, nullptr, Cancel(&stop)), -1);
        EXPECT_TRUE(SameFaces(m, written));
    }
    for (const bool everyPair : {false, true}) {
        SCOPED_TRACE(everyPair ? "asked while it runs, every pair tried" : "asked while it runs");
        MyMesh m = written;
        std::atomic<bool> stop{false};
        std::atomic<int> judgedLast{0};
        std::promise<void> tenJudged;
        // The tenth shell judged, the turning waits for the stop.
        auto afterEach = [&](int judged) {
            judgedLast = judged;
            if (judged != 10)
                return;
            tenJudged.set_value();
            while (!stop.load())
                std::this_thread::yield();
        };
        auto result = std::async(std::launch::async, [&] {
            return tri::Clean<MyMesh>::OrientClosedShellsOutwardForTest(m, everyPair, nullptr, nullptr, Cancel(&stop),
                                                                        afterEach);
        });
        // Ceilings only a hang reaches.
        const bool reached = tenJudged.get_future().wait_for(std::chrono::minutes(2)) == std::future_status::ready;
        stop = true;
        ASSERT_TRUE(reached);
        ASSERT_EQ(result.wait_for(std::chrono::minutes(2)), std::future_status::ready);
        EXPECT_EQ(result.get(), -1);
        EXPECT_EQ(judgedLast.load(), 10);
        EXPECT_TRUE(SameFaces(m, written));
    }
    // Not stopped, the same mesh has every shell judged.
    MyMesh m = written;
    int judged = 0;
    EXPECT_EQ(tri::Clean<MyMesh>::OrientClosedShellsOutwardForTest(m, false, nullptr, nullptr, {},
                                                                  [&](int n) { judged = n; }),
              1);
    EXPECT_EQ(judged, kDepth);
}
