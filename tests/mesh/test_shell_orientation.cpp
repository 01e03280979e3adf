// Turning inside-out shells: which shells may hold an inward one is found
// through indexes; the answers must be those of trying every pair.
#include "mesh/allocator.h"
#include "mesh/clean.h"
#include "mesh/topology.h"
#include "mesh_from_triangles.h"
#include "test_meshes.h"

#include <gtest/gtest.h>

#include <random>

using namespace vcg;

namespace {

using testmesh::InsideOut;

QVector<VSLTriangle3D> Tet(float size, QVector3D at) { return testmesh::Translated(testmesh::Tetrahedron(size), at); }

// Faces whose corners run the other way than in `written`.
int FacesTurned(const MyMesh& m, const MyMesh& written)
{
    int turned = 0;
    for (uint32_t f = 0; f < m.FaceCount(); ++f)
        turned += m.face[f].v[1] != written.face[f].v[1];
    return turned;
}

// Runs both ways on copies of `m`: same shells turned, same faces, and none
// left unjudged. Returns the number turned.
int TurnedAlikeBothWays(const MyMesh& m)
{
    MyMesh indexed = m, everyPair = m;
    int leftIndexed = -1, leftEveryPair = -1;
    const int turned = tri::Clean<MyMesh>::OrientClosedShellsOutwardForTest(indexed, false, &leftIndexed);
    EXPECT_EQ(tri::Clean<MyMesh>::OrientClosedShellsOutwardForTest(everyPair, true, &leftEveryPair), turned);
    EXPECT_EQ(leftIndexed, 0);
    EXPECT_EQ(leftEveryPair, 0);
    for (uint32_t f = 0; f < m.FaceCount(); ++f)
        for (int k = 0; k < 3; ++k)
            if (indexed.face[f].v[k] != everyPair.face[f].v[k]) {
                ADD_FAILURE() << "face " << f << " differs";
                return turned;
            }
    return turned;
}

} // namespace

TEST(ShellOrientation, NestedBesideOverlappingAndTouchingShells)
{
    const auto outer = testmesh::Box({0, 0, 0}, {30, 30, 30});
    const auto cavity = testmesh::Box({5, 5, 5}, {25, 25, 25});
    const auto core = testmesh::Box({10, 10, 10}, {20, 20, 20});
    const auto pocket = testmesh::Box({13, 13, 13}, {17, 17, 17}); // hollow in the core
    const auto bead = testmesh::Box({14, 14, 14}, {16, 16, 16});   // solid in that hollow
    const auto small = testmesh::Box({10, 10, 10}, {12, 12, 12});
    const auto beside = testmesh::Box({40, 10, 10}, {42, 12, 12});
    // Its box reaches into the outer box's bounds, not wholly inside them.
    const auto straddling = testmesh::Box({25, 25, 25}, {35, 35, 35});
    const auto onTop = testmesh::Box({10, 10, 30}, {12, 12, 32});     // touches the outer box's top
    const auto onFloor = testmesh::Box({10, 10, 5}, {12, 12, 7});     // rests on the cavity's floor
    const auto nextTo = testmesh::Box({12, 10.5f, 10.5f}, {14, 11.5f, 11.5f}); // touches `small`
    // Inside the outer box's bounds but outside the sphere it holds.
    const auto sphere = testmesh::UvSphere(15, 32, 16, {15, 15, 15});
    const auto cornerBox = testmesh::Box({0.5f, 0.5f, 0.5f}, {2, 2, 2});
    const auto midBox = testmesh::Box({13, 13, 13}, {17, 17, 17});
    struct Case { const char* name; QVector<VSLTriangle3D> written; int turned, facesTurned; };
    const Case cases[] = {
        {"inside out in a solid: a cavity", outer + InsideOut(small), 0, 0},
        {"inside out beside a solid", outer + InsideOut(beside), 1, 12},
        {"inside out across a solid's bounds", outer + InsideOut(straddling), 1, 12},
        {"inside out touching a solid from outside", outer + InsideOut(onTop), 1, 12},
        {"two inside out touching each other", InsideOut(small) + InsideOut(nextTo), 2, 24},
        {"two inside out touching, in a solid", outer + InsideOut(small) + InsideOut(nextTo), 0, 0},
        {"inside out resting on a cavity's floor", outer + InsideOut(cavity) + InsideOut(onFloor), 0, 0},
        {"solid in a cavity in a solid, all inside out", InsideOut(outer + cavity + core), 1, 12},
        {"hollow in a solid in a cavity in a solid", outer + InsideOut(cavity) + core + InsideOut(pocket), 0, 0},
        {"five deep, the outermost inside out", InsideOut(outer) + InsideOut(cavity) + core + InsideOut(pocket) + bead,
         1, 12},
        {"five deep, the innermost inside out", outer + InsideOut(cavity) + core + InsideOut(pocket) + InsideOut(bead),
         0, 0},
        {"in a sphere's bounds, outside the sphere", sphere + InsideOut(cornerBox), 1, 12},
        {"in a sphere", sphere + InsideOut(midBox), 0, 0},
        {"inside-out sphere in a box", outer + InsideOut(testmesh::UvSphere(8, 24, 12, {15, 15, 15})), 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const MyMesh written = Merged(c.written);
        MyMesh m = written;
        int left = -1;
        EXPECT_EQ(tri::Clean<MyMesh>::OrientClosedShellsOutward(m, &left), c.turned);
        EXPECT_EQ(left, 0);
        EXPECT_EQ(FacesTurned(m, written), c.facesTurned);
        EXPECT_EQ(TurnedAlikeBothWays(written), c.turned);
        // What is left facing inward lies inside another shell: no second turn.
        EXPECT_EQ(tri::Clean<MyMesh>::OrientClosedShellsOutward(m), 0);
    }
}

// Random shells, seeded: boxes on a coarse grid (touching, coplanar and
// nested faces), tetrahedra and small spheres anywhere, and boxes put inside
// earlier ones; each inside out or not at random.
TEST(ShellOrientation, IndexedAgreesWithEveryPairOnRandomShells)
{
    int turnedInAll = 0, keptInAll = 0;
    for (uint32_t seed = 1; seed <= 60; ++seed) {
        SCOPED_TRACE(seed);
        std::mt19937 rng(seed);
        auto uniform = [&rng](float lo, float hi) { return std::uniform_real_distribution<float>(lo, hi)(rng); };
        auto grid = [&rng](int lo, int hi) { return float(std::uniform_int_distribution<int>(lo, hi)(rng)); };
        QVector<VSLTriangle3D> tris;
        QVector<QPair<QVector3D, QVector3D>> boxes;
        int inward = 0;
        const int shells = 5 + int(rng() % 40);
        for (int s = 0; s < shells; ++s) {
            QVector<VSLTriangle3D> shell;
            const uint32_t kind = rng() % 5;
            if (kind == 0) {
                const QVector3D lo(grid(0, 30), grid(0, 30), grid(0, 30));
                const QVector3D hi = lo + QVector3D(grid(1, 12), grid(1, 12), grid(1, 12));
                boxes.append({lo, hi});
                shell = testmesh::Box(lo, hi);
            } else if (kind == 1 && !boxes.isEmpty()) {
                // Inside an earlier box, or in part.
                const auto [lo, hi] = boxes[int(rng() % uint32_t(boxes.size()))];
                const QVector3D size = hi - lo;
                const QVector3D a = lo + size * QVector3D(uniform(0, 0.5f), uniform(0, 0.5f), uniform(0, 0.5f));
                const QVector3D b = a + size * QVector3D(uniform(0.1f, 0.6f), uniform(0.1f, 0.6f), uniform(0.1f, 0.6f));
                boxes.append({a, b});
                shell = testmesh::Box(a, b);
            } else if (kind == 2) {
                shell = Tet(uniform(0.5f, 8), {uniform(0, 40), uniform(0, 40), uniform(0, 40)});
            } else if (kind == 3) {
                shell = testmesh::UvSphere(uniform(1, 10), 12, 7, {uniform(0, 40), uniform(0, 40), uniform(0, 40)});
            } else {
                const QVector3D lo(uniform(0, 40), uniform(0, 40), uniform(0, 40));
                shell = testmesh::Box(lo, lo + QVector3D(uniform(0.2f, 6), uniform(0.2f, 6), uniform(0.2f, 6)));
            }
            if (rng() % 2) {
                shell = InsideOut(shell);
                ++inward;
            }
            tris += shell;
        }
        const int turned = TurnedAlikeBothWays(Merged(tris));
        if (HasFailure())
            return;
        turnedInAll += turned;
        keptInAll += inward - turned;
    }
    // The sets hold both kinds of inward shell.
    EXPECT_GT(turnedInAll, 300);
    EXPECT_GT(keptInAll, 60);
}

// Small shells in and around larger ones whose faces are long slivers
// (fans) or bumpy: rays through the holder's face index count the same
// crossings as rays tested against every face.
TEST(ShellOrientation, IndexedAgreesWithEveryPairInLargeShells)
{
    const QVector<VSLTriangle3D> holders[] = {
        testmesh::FanSlab(0, 0, 40, 30, 6, 500),
        testmesh::BumpySphere(15, 0.1f, 60, 40, {20, 15, 0}),
        InsideOut(testmesh::UvSphere(15, 48, 24, {20, 15, 15})),
    };
    for (uint32_t seed = 1; seed <= 6; ++seed) {
        SCOPED_TRACE(seed);
        std::mt19937 rng(seed);
        auto uniform = [&rng](float lo, float hi) { return std::uniform_real_distribution<float>(lo, hi)(rng); };
        QVector<VSLTriangle3D> tris = holders[seed % 3];
        for (int s = 0; s < 60; ++s) {
            const QVector3D at(uniform(-2, 40), uniform(-2, 30), uniform(-1, 30));
            const float size = uniform(0.05f, 3);
            tris += InsideOut(rng() % 2 ? Tet(size, at) : testmesh::Box(at, at + QVector3D(size, size, size)));
        }
        const int turned = TurnedAlikeBothWays(Merged(tris));
        EXPECT_GT(turned, 0);
        EXPECT_LT(turned, 60);
    }
}

// A large shell holding many small inside-out ones: each is a cavity and
// stays, and the ones in the corners of its bounds, outside it, are turned.
// Casting every ray at every one of its faces would spend the ray budget
// long before the last of them.
TEST(ShellOrientation, EveryCavityOfALargeShellIsJudged)
{
    QVector<VSLTriangle3D> tris = testmesh::UvSphere(20, 400, 200);
    int cavities = 0, outside = 0;
    for (int x = -8; x <= 8; x += 4)
        for (int y = -8; y <= 8; y += 4)
            for (int z = -8; z <= 8; z += 4, ++cavities)
                tris += InsideOut(testmesh::Cube(1, QVector3D(x, y, z)));
    for (int x : {-19, 17})
        for (int y : {-19, 17})
            for (int z : {-19, 17}) {
                tris += InsideOut(testmesh::Cube(1.5f, QVector3D(x, y, z)));
                ++outside;
            }
    const MyMesh written = Merged(tris);
    MyMesh m = written;
    int left = -1;
    EXPECT_EQ(tri::Clean<MyMesh>::OrientClosedShellsOutward(m, &left), outside);
    EXPECT_EQ(left, 0);
    EXPECT_EQ(FacesTurned(m, written), 12 * outside);
    EXPECT_EQ(cavities, 125);
}

// Many small inside-out shells side by side: each is compared with the few
// boxes near it, not with every other.
TEST(ShellOrientation, ManySmallShellsLookAtFewBoxesEach)
{
    QVector<VSLTriangle3D> tris;
    constexpr int kSide = 24; // 13,824 tetrahedra
    for (int x = 0; x < kSide; ++x)
        for (int y = 0; y < kSide; ++y)
            for (int z = 0; z < kSide; ++z)
                tris += InsideOut(Tet(1, QVector3D(2 * x, 2 * y, 2 * z)));
    tris += testmesh::Box({-1, -1, -1}, {2 * kSide + 1, 2 * kSide + 1, 2 * kSide + 1}); // holds them all
    tris += InsideOut(testmesh::Box({100, 0, 0}, {110, 10, 10}));
    const MyMesh written = Merged(tris);
    MyMesh m = written;
    long long compared = 0;
    int left = -1;
    EXPECT_EQ(tri::Clean<MyMesh>::OrientClosedShellsOutwardForTest(m, false, &left, &compared), 1);
    EXPECT_EQ(left, 0);
    EXPECT_EQ(FacesTurned(m, written), 12);
    const long long shells = kSide * kSide * kSide + 2;
    EXPECT_LT(compared, 400 * shells); // every pair: twice the square
}
