#include "mesh_util.h"
#include "support/SupportRun.h"
#include "test_meshes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <random>

using namespace supportcollide;

namespace {

using V = vcg::Point3f;

struct D3 {
    double x, y, z;
    D3(double a = 0, double b = 0, double c = 0) : x(a), y(b), z(c) {}
    D3(const V& p) : x(p[0]), y(p[1]), z(p[2]) {}
    D3 operator+(D3 o) const { return {x + o.x, y + o.y, z + o.z}; }
    D3 operator-(D3 o) const { return {x - o.x, y - o.y, z - o.z}; }
    D3 operator*(double s) const { return {x * s, y * s, z * s}; }
    double dot(D3 o) const { return x * o.x + y * o.y + z * o.z; }
    D3 cross(D3 o) const { return {y * o.z - z * o.y, z * o.x - x * o.z, x * o.y - y * o.x}; }
    double norm() const { return std::sqrt(dot(*this)); }
};

// Per-face bounding boxes, so the exact references skip far faces.
struct FaceBoxes {
    std::vector<std::array<float, 6>> box; // min x y z, max x y z

    explicit FaceBoxes(const MyMesh& m) : box(m.FaceCount())
    {
        for (uint32_t f = 0; f < m.FaceCount(); ++f)
            for (int a = 0; a < 3; ++a) {
                box[f][a] = std::min({m.P(f, 0)[a], m.P(f, 1)[a], m.P(f, 2)[a]});
                box[f][3 + a] = std::max({m.P(f, 0)[a], m.P(f, 1)[a], m.P(f, 2)[a]});
            }
    }
};

// Highest point of triangle abc inside the vertical column of radius rho
// around (axis.x, axis.y); -inf when there is none. Candidates are the
// extreme points of that convex piece: vertices, edge crossings of the
// cylinder and, for a non-vertical plane, the disk's centre and steepest point.
double HighestInColumn(D3 a, D3 b, D3 c, D3 axis, double rho)
{
    const D3 n = (b - a).cross(c - a), tri[3] = {a, b, c};
    std::vector<D3> cand{a, b, c};
    for (int k = 0; k < 3; ++k) {
        const D3 p0 = tri[k], d = tri[(k + 1) % 3] - p0, w = p0 - axis;
        const double qa = d.x * d.x + d.y * d.y, qb = 2 * (d.x * w.x + d.y * w.y), qc = w.x * w.x + w.y * w.y - rho * rho;
        if (qa > 0 && qb * qb - 4 * qa * qc >= 0)
            for (double s : {-1.0, 1.0}) {
                const double t = (-qb + s * std::sqrt(qb * qb - 4 * qa * qc)) / (2 * qa);
                if (t >= 0 && t <= 1)
                    cand.push_back(p0 + d * t);
            }
    }
    if (std::fabs(n.z) > 1e-12) {
        auto side = [](D3 p, D3 r, D3 q) { return (r.x - p.x) * (q.y - p.y) - (r.y - p.y) * (q.x - p.x); };
        const double gx = -n.x / n.z, gy = -n.y / n.z, g = std::hypot(gx, gy);
        for (double step : {0.0, g > 0 ? rho / g : 0.0}) {
            const double x = axis.x + step * gx, y = axis.y + step * gy;
            const D3 q(x, y, a.z + gx * (x - a.x) + gy * (y - a.y));
            const double s0 = side(a, b, q), s1 = side(b, c, q), s2 = side(c, a, q);
            if ((s0 >= 0 && s1 >= 0 && s2 >= 0) || (s0 <= 0 && s1 <= 0 && s2 <= 0))
                cand.push_back(q);
        }
    }
    double best = -std::numeric_limits<double>::infinity();
    for (const D3& q : cand)
        if (std::hypot(q.x - axis.x, q.y - axis.y) <= rho + 1e-9)
            best = std::max(best, q.z);
    return best;
}

double HighestInColumn(const MyMesh& m, const FaceBoxes& boxes, D3 axis, double rho)
{
    double best = -std::numeric_limits<double>::infinity();
    for (uint32_t f = 0; f < m.FaceCount(); ++f) {
        const auto& b = boxes.box[f];
        if (b[0] <= axis.x + rho && b[3] >= axis.x - rho && b[1] <= axis.y + rho && b[4] >= axis.y - rho && b[5] > best)
            best = std::max(best, HighestInColumn(m.P(f, 0), m.P(f, 1), m.P(f, 2), axis, rho));
    }
    return best;
}

// A prepared working mesh with its grid, as the run holds it.
struct Prepared {
    MyMesh mesh;
    SupportRun run;
    QVector3D lo{1e9f, 1e9f, 1e9f}, hi{-1e9f, -1e9f, -1e9f};
    FaceBoxes boxes{MyMesh()};

    explicit Prepared(const QVector<VSLTriangle3D>& tris, bool refine = false) : mesh(MeshOf(tris))
    {
        if (refine) {
            SupportRun::RefineWorkingMesh(mesh, 1.0);
            SupportRun::CleanWorkingMesh(mesh);
        }
        SupportRun::UpdateFaceNormals(mesh);
        run.BuildFaceGrid(mesh, lo, hi);
        boxes = FaceBoxes(mesh);
    }
};

// A unit vector perpendicular to u.
D3 Perpendicular(D3 u, double angle)
{
    const D3 t = std::fabs(u.x) < 0.9 ? D3(1, 0, 0) : D3(0, 1, 0);
    const D3 e1 = u.cross(t) * (1.0 / u.cross(t).norm());
    const D3 e2 = u.cross(e1);
    return e1 * std::cos(angle) + e2 * std::sin(angle);
}

V ToV(D3 p) { return V(float(p.x), float(p.y), float(p.z)); }

struct MeshCase {
    const char* name;
    QVector<VSLTriangle3D> tris;
    bool refine;
    int samples = 300;
};

std::vector<MeshCase> ProceduralMeshes()
{
    QMatrix4x4 tilt;
    tilt.rotate(35, 1, 1, 0);
    return {
        {"cube", testmesh::Cube(10.f), true},
        {"tilted box", Transformed(testmesh::Box({-5, -3, -2}, {5, 3, 2}), tilt), true},
        {"uv sphere", testmesh::UvSphere(8.f, 20, 10, {0, 0, 8}), false},
        {"bumpy sphere", testmesh::BumpySphere(8.f, 0.08f, 48, 24, {0, 0, 0}), false},
        {"fan slab", testmesh::FanSlab(-10, -10, 20, 20, 3, 24), true},
        {"fan slab unrefined", testmesh::FanSlab(-10, -10, 20, 20, 3, 24), false},
        {"benchmark model", testmesh::BumpySphereBesideFanSlab(), true, 60},
    };
}

constexpr float kDensity = 5.0f / 1.1f;
const double kTau = 1.0 / kDensity + 0.05;

} // namespace

namespace {

double SegmentDistance(D3 p, D3 a, D3 b)
{
    const D3 ab = b - a;
    const double len2 = ab.dot(ab);
    const double t = len2 > 0 ? std::max(0.0, std::min(1.0, (p - a).dot(ab) / len2)) : 0.0;
    return (p - (a + ab * t)).norm();
}

// Distance from p to triangle abc: to its plane where the foot falls inside,
// else to its nearest edge.
double TriangleDistance(D3 p, D3 a, D3 b, D3 c)
{
    const D3 n = (b - a).cross(c - a);
    const double nn = n.norm();
    if (nn > 0) {
        const D3 u = n * (1.0 / nn);
        const double h = (p - a).dot(u);
        const D3 q = p - u * h;
        if ((b - a).cross(q - a).dot(n) >= 0 && (c - b).cross(q - b).dot(n) >= 0 && (a - c).cross(q - c).dot(n) >= 0)
            return std::fabs(h);
    }
    return std::min({SegmentDistance(p, a, b), SegmentDistance(p, b, c), SegmentDistance(p, c, a)});
}

} // namespace

// The exact test of a ball against the surface agrees with the distance to
// every face, on points about the surface of each mesh.
TEST(SupportCollision, ABallMeetsTheSurfaceExactlyWhenAFaceLiesWithinItsRadius)
{
    std::mt19937 rng(7);
    for (const MeshCase& mc : ProceduralMeshes()) {
        if (mc.samples < 300)
            continue; // the big model: every face is measured for every ball
        SCOPED_TRACE(mc.name);
        const Prepared p(mc.tris, mc.refine);
        std::uniform_int_distribution<uint32_t> face(0, p.mesh.FaceCount() - 1);
        std::uniform_real_distribution<double> unit(0, 1), offset(-1.5, 1.5), radius(0.02, 1.0);
        int near = 0, far = 0;
        for (int i = 0; i < mc.samples; ++i) {
            const uint32_t f = face(rng);
            double u = unit(rng), v = unit(rng);
            if (u + v > 1) {
                u = 1 - u;
                v = 1 - v;
            }
            const D3 a = p.mesh.P(f, 0), b = p.mesh.P(f, 1), c = p.mesh.P(f, 2);
            const D3 centre = a + (b - a) * u + (c - a) * v + D3(offset(rng), offset(rng), offset(rng));
            const double r = radius(rng);
            double nearest = std::numeric_limits<double>::infinity();
            for (uint32_t g = 0; g < p.mesh.FaceCount(); ++g)
                nearest = std::min(nearest, TriangleDistance(centre, p.mesh.P(g, 0), p.mesh.P(g, 1), p.mesh.P(g, 2)));
            if (std::fabs(nearest - r) < 1e-4)
                continue; // too close to call in floats
            const bool within = SurfaceWithin(ToV(centre), r, p.mesh, p.run.m_faceGrid, kGridOffset);
            EXPECT_EQ(within, nearest < r) << "distance " << nearest << " radius " << r;
            (within ? near : far)++;
        }
        EXPECT_GT(near, 0);
        EXPECT_GT(far, 0);
    }
}

TEST(SupportCollision, SolidsThatCutTheSurfaceByTauAreReported)
{
    std::mt19937 rng(17);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    for (const MeshCase& mc : ProceduralMeshes()) {
        SCOPED_TRACE(mc.name);
        const Prepared p(mc.tris, mc.refine);
        int misses = 0;
        for (int i = 0; i < mc.samples; ++i) {
            // A surface point Q and a solid holding Q deeper than tau.
            const uint32_t f = uint32_t(unit(rng) * p.mesh.FaceCount()) % p.mesh.FaceCount();
            double s = unit(rng), t = unit(rng);
            if (s + t > 1)
                s = 1 - s, t = 1 - t;
            const D3 A = p.mesh.P(f, 0), B = p.mesh.P(f, 1), C = p.mesh.P(f, 2);
            const D3 Q = A + (B - A) * s + (C - A) * t;
            const D3 u = D3(unit(rng) - 0.5, unit(rng) - 0.5, unit(rng) - 0.5);
            if (u.norm() < 1e-3)
                continue;
            const D3 axis = u * (1.0 / u.norm());
            const double L = 2 * kTau + 0.1 + 5 * unit(rng);
            const double r0 = 2.5 * unit(rng), r1 = 2.5 * unit(rng);
            const double a = kTau + (L - 2 * kTau) * unit(rng);
            const double ra = r0 + (r1 - r0) * a / L;
            const double slant = std::sqrt(1 + ((r1 - r0) / L) * ((r1 - r0) / L));
            if (ra - kTau * slant <= 0.01)
                continue;
            const double rq = (ra - kTau * slant - 0.005) * unit(rng);
            const D3 p0 = Q - axis * a - Perpendicular(axis, 6.283 * unit(rng)) * rq;
            const D3 p1 = p0 + axis * L;
            HitMap hits;
            misses += !CheckCollisionCone(ToV(p0), r0, ToV(p1), r1, p.mesh, p.run.m_faceGrid, kGridOffset, kDensity);
            misses += !CheckCollisionConeAllX(ToV(p0), r0, ToV(p1), r1, p.mesh, p.run.m_faceGrid, kGridOffset, hits,
                                              kDensity);
            const double rc = std::min(r0, r1);
            if (rc - kTau > 0.01 && rq < rc - kTau)
                misses += !CheckCollisionColumn(ToV(p0), rc, ToV(p1), p.mesh, p.run.m_faceGrid, kGridOffset, kDensity,
                                                5.0f);
            const double rs = kTau + 0.05 + 2 * unit(rng);
            const D3 c = Q + Perpendicular(axis, 1.0) * ((rs - kTau - 0.01) * unit(rng));
            misses += !CheckCollisionSphere(ToV(c), rs, p.mesh, p.run.m_faceGrid, kGridOffset, kDensity);
            // Every reported sample lies in the cone, keyed by its height.
            for (auto it = hits.cbegin(); it != hits.cend(); ++it) {
                const D3 q = it.value().second;
                EXPECT_EQ(float(-q.z), it.key());
                const double along = (q - p0).dot(axis);
                EXPECT_LT(((q - p0) - axis * along).norm(), r0 + (r1 - r0) * along / L + 1e-4);
            }
        }
        EXPECT_EQ(misses, 0);
    }
}

TEST(SupportCollision, ColumnStopsBetweenTheSurfaceUnderTheShrunkColumnAndUnderTheColumn)
{
    std::mt19937 rng(4);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    for (const MeshCase& mc : ProceduralMeshes()) {
        SCOPED_TRACE(mc.name);
        const Prepared p(mc.tris, mc.refine);
        int found = 0;
        for (int i = 0; i < mc.samples; ++i) {
            // From above the mesh down to below it.
            const D3 top(p.lo.x() + (p.hi.x() - p.lo.x()) * unit(rng), p.lo.y() + (p.hi.y() - p.lo.y()) * unit(rng),
                         p.hi.z() + 1);
            const double r = kTau + 0.1 + 2 * unit(rng);
            const V res = FindFirstCollisionColumn(ToV(top), r, p.lo.z() - 1, p.mesh, p.run.m_faceGrid, kGridOffset,
                                                   kDensity);
            const double hiZ = HighestInColumn(p.mesh, p.boxes, top, r);
            const double loZ = HighestInColumn(p.mesh, p.boxes, top, r - kTau);
            if (res[2] <= kMissingBelow) {
                EXPECT_EQ(loZ, -std::numeric_limits<double>::infinity()) << "missed at " << top.x << "," << top.y;
                continue;
            }
            ++found;
            EXPECT_LE(res[2], hiZ + 1e-4);
            EXPECT_GE(res[2], loZ - kTau) << "stopped early at " << top.x << "," << top.y;
        }
        EXPECT_GT(found, mc.samples / 15);
    }
}

TEST(SupportCollision, ColumnWalksPastAShelfLayerToTheHighestSample)
{
    // A steep face reaching up to z 9.5 beside the column is listed in the
    // first searched layer, but inside the column it lies below z 5.2; a
    // small shelf at z 8.5 sits wholly in the next layer down.
    QVector<VSLTriangle3D> tris{testmesh::Tri({-0.5f, -1, 2}, {-0.5f, 1, 2}, {3, 0, 9.5f}),
                                testmesh::Tri({-0.3f, -0.3f, 8.5f}, {0.3f, -0.3f, 8.5f}, {0, 0.3f, 8.5f})};
    const Prepared p(tris);
    const V res = FindFirstCollisionColumn(V(0, 0, 10), 1.0, 0.f, p.mesh, p.run.m_faceGrid, kGridOffset, kDensity);
    EXPECT_FLOAT_EQ(res[2], 8.5f);
    EXPECT_GT(res[1], kMissingBelow); // the shelf faces up, towards p
}

TEST(SupportCollision, GeometryFarFromTheOriginKeepsItsCells)
{
    for (float x : {600.f, -750.f}) {
        SCOPED_TRACE(x);
        const Prepared p(testmesh::Cube(10.f, {x, 0, 0}));
        EXPECT_TRUE(CheckCollisionSphere(V(x + 5, 5, 10), 1.0, p.mesh, p.run.m_faceGrid, kGridOffset, kDensity));
        EXPECT_FALSE(CheckCollisionSphere(V(x + 5, 5, 12), 1.0, p.mesh, p.run.m_faceGrid, kGridOffset, kDensity));
        const V top = FindFirstCollisionColumn(V(x + 5, 5, 20), 1.0, -5.f, p.mesh, p.run.m_faceGrid, kGridOffset,
                                               kDensity);
        EXPECT_FLOAT_EQ(top[2], 10.f);
        EXPECT_TRUE(CheckCollisionColumn(V(x - 2, 5, 5), 0.5, V(x + 12, 5, 5), p.mesh, p.run.m_faceGrid, kGridOffset,
                                         kDensity, 5.f));
    }
}

TEST(SupportCollision, EdgeCases)
{
    // One upward square at z = 2 and one downward square at z = 6 over it.
    QVector<VSLTriangle3D> tris{testmesh::Tri({0, 0, 2}, {4, 0, 2}, {4, 4, 2}), testmesh::Tri({0, 0, 2}, {4, 4, 2}, {0, 4, 2}),
                                testmesh::Tri({0, 0, 6}, {4, 4, 6}, {4, 0, 6}), testmesh::Tri({0, 0, 6}, {0, 4, 6}, {4, 4, 6})};
    const Prepared p(tris);
    const auto& g = p.run.m_faceGrid;
    const float dens = 4.f; // samples every 0.25 mm along the edges here
    // Touching at exactly r is no collision; just inside is.
    EXPECT_FALSE(CheckCollisionSphere(V(2, 2, 3), 1.0, p.mesh, g, kGridOffset, dens));
    EXPECT_TRUE(CheckCollisionSphere(V(2, 2, 3), 1.001, p.mesh, g, kGridOffset, dens));
    // A cone whose end plane holds a sample within its radius.
    EXPECT_TRUE(CheckCollisionCone(V(2, 2, 2), 0.3, V(2, 2, 4), 0.3, p.mesh, g, kGridOffset, dens));
    EXPECT_TRUE(CheckCollisionCone(V(2, 2, 0), 0.3, V(2, 2, 2), 0.3, p.mesh, g, kGridOffset, dens));
    // No axis: the larger end's sphere.
    EXPECT_TRUE(CheckCollisionCone(V(2, 2, 3), 0.2, V(2, 2, 3), 1.2, p.mesh, g, kGridOffset, dens));
    EXPECT_FALSE(CheckCollisionCone(V(2, 2, 4), 0.2, V(2, 2, 4), 1.2, p.mesh, g, kGridOffset, dens));
    EXPECT_TRUE(CheckCollisionColumn(V(2, 2, 3), 1.2, V(2, 2, 3), p.mesh, g, kGridOffset, dens, 5.f));
    HitMap hits;
    EXPECT_TRUE(CheckCollisionConeAllX(V(2, 2, 3), 0.2, V(2, 2, 3), 1.2, p.mesh, g, kGridOffset, hits, dens));
    // Every inside sample, highest first; a face listed in two visited cells twice.
    EXPECT_TRUE(CheckCollisionConeAllX(V(1, 2, 7), 1.5, V(1, 2, 1), 1.5, p.mesh, g, kGridOffset, hits, dens));
    ASSERT_FALSE(hits.isEmpty());
    EXPECT_FLOAT_EQ(hits.first().second[2], 6.f);
    EXPECT_FLOAT_EQ(hits.last().second[2], 2.f);
    const V sample = hits.first().second;
    int copies = 0;
    for (auto it = hits.cbegin(); it != hits.cend(); ++it)
        copies += it.value().second == sample && it.value().first == hits.first().first;
    EXPECT_GT(copies, 1);
    // Nearest downward normal: the upper square faces down; alone, the lower one gives none.
    const V n = FindNearestNormalSphere(V(2, 2, 5), 1.5, p.mesh, g, kGridOffset, dens);
    EXPECT_FLOAT_EQ(n[2], -1.f);
    const V none = FindNearestNormalSphere(V(2, 2, 3), 1.5, p.mesh, g, kGridOffset, dens);
    EXPECT_EQ(none, V(0, 0, kNoNormalZ));
    // Column: above the floor layer only; empty space; from behind.
    EXPECT_EQ(FindFirstCollisionColumn(V(2, 2, 1), 1, 3.f, p.mesh, g, kGridOffset, dens), V(kMissing, kMissing, kMissing));
    EXPECT_EQ(FindFirstCollisionColumn(V(9, 9, 8), 1, -1.f, p.mesh, g, kGridOffset, dens)[2], kMissing);
    const V up = FindFirstCollisionColumn(V(2, 2, 4), 1, -1.f, p.mesh, g, kGridOffset, dens);
    EXPECT_FLOAT_EQ(up[2], 2.f);
    EXPECT_GT(up[1], kMissingBelow);
    const V back = FindFirstCollisionColumn(V(2, 2, 8), 1, 5.f, p.mesh, g, kGridOffset, dens);
    EXPECT_FLOAT_EQ(back[2], 6.f);
    EXPECT_EQ(back[1], kMissing);
    // Cells outside the grid give nothing.
    EXPECT_FALSE(CheckCollisionSphere(V(50, 50, 50), 2, p.mesh, g, kGridOffset, dens));
}
