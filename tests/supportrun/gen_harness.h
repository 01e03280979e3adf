#pragma once
// Procedural closed meshes with their exact insides, a headless generation
// run over them, and the geometric measures the invariants need.
#include "mesh_util.h"
#include "support/SupportGeometry.h"
#include "support/SupportPhaseUtil.h"
#include "support/SupportRun.h"
#include "test_meshes.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <memory>
#include <random>
#include <set>
#include <string>
#include <vector>

namespace genh {

using P3 = vcg::Point3f;

struct Box3 {
    float lo[3], hi[3];
    bool Contains(const P3& p) const
    {
        for (int a = 0; a < 3; ++a)
            if (!(p[a] > lo[a] && p[a] < hi[a]))
                return false;
        return true;
    }
};

struct TestModel {
    std::string name;
    QVector<VSLTriangle3D> tris;
    std::function<bool(const P3&)> inside; // strictly inside the solid
    SupportParameters params{1.0, 0.6, 1.1, 3.0}; // the sizes the print check supports it with
};

// Closed surface of (union of solids) minus holes on the rectilinear grid
// of all their box planes: conforming quads, outward.
inline TestModel BoxUnion(const std::string& name, std::vector<Box3> solids, std::vector<Box3> holes = {})
{
    std::vector<float> c[3];
    for (const auto* list : {&solids, &holes})
        for (const Box3& b : *list)
            for (int a = 0; a < 3; ++a) {
                c[a].push_back(b.lo[a]);
                c[a].push_back(b.hi[a]);
            }
    for (auto& v : c) {
        std::sort(v.begin(), v.end());
        v.erase(std::unique(v.begin(), v.end()), v.end());
    }
    auto inside = [solids, holes](const P3& p) {
        bool in = false;
        for (const Box3& b : solids)
            in = in || b.Contains(p);
        for (const Box3& h : holes)
            in = in && !h.Contains(p);
        return in;
    };
    const int n[3] = {int(c[0].size()) - 1, int(c[1].size()) - 1, int(c[2].size()) - 1};
    auto filled = [&](int i, int j, int k) {
        if (i < 0 || j < 0 || k < 0 || i >= n[0] || j >= n[1] || k >= n[2])
            return false;
        return inside(P3((c[0][i] + c[0][i + 1]) / 2, (c[1][j] + c[1][j + 1]) / 2, (c[2][k] + c[2][k + 1]) / 2));
    };
    QVector<VSLTriangle3D> tris;
    for (int i = 0; i < n[0]; ++i)
        for (int j = 0; j < n[1]; ++j)
            for (int k = 0; k < n[2]; ++k) {
                if (!filled(i, j, k))
                    continue;
                const int idx[3] = {i, j, k};
                for (int a = 0; a < 3; ++a)
                    for (int s = 0; s < 2; ++s) {
                        int nb[3] = {i, j, k};
                        nb[a] += s ? 1 : -1;
                        if (filled(nb[0], nb[1], nb[2]))
                            continue;
                        const int u = (a + 1) % 3, v = (a + 2) % 3;
                        auto corner = [&](int du, int dv) {
                            float q[3];
                            q[a] = c[a][idx[a] + s];
                            q[u] = c[u][idx[u] + du];
                            q[v] = c[v][idx[v] + dv];
                            return QVector3D(q[0], q[1], q[2]);
                        };
                        const QVector3D q0 = corner(0, 0), q1 = corner(1, 0), q2 = corner(1, 1), q3 = corner(0, 1);
                        if (s) {
                            tris << testmesh::Tri(q0, q1, q2) << testmesh::Tri(q0, q2, q3);
                        } else {
                            tris << testmesh::Tri(q0, q2, q1) << testmesh::Tri(q0, q3, q2);
                        }
                    }
            }
    return {name, tris, inside};
}

// A convex closed mesh: inside every face plane.
inline TestModel Convex(const std::string& name, const QVector<VSLTriangle3D>& tris)
{
    std::vector<std::pair<QVector3D, float>> planes;
    for (const VSLTriangle3D& t : tris) {
        const QVector3D n =
            QVector3D::crossProduct(t.vertices[1] - t.vertices[0], t.vertices[2] - t.vertices[0]).normalized();
        planes.push_back({n, QVector3D::dotProduct(n, t.vertices[0])});
    }
    return {name, tris, [planes](const P3& p) {
                const QVector3D q(p[0], p[1], p[2]);
                for (const auto& pl : planes)
                    if (!(QVector3D::dotProduct(pl.first, q) < pl.second - 1e-5f))
                        return false;
                return true;
            }};
}

inline TestModel TiltedPlate(float degrees)
{
    QMatrix4x4 m;
    m.translate(0, 0, 4);
    m.rotate(degrees, 1, 0, 0);
    QVector<VSLTriangle3D> tris = Transformed(testmesh::Box({0, 0, 0}, {12, 8, 1.5f}), m);
    return Convex("plate" + std::to_string(int(degrees)), tris);
}

inline std::vector<TestModel> Models()
{
    return {
        BoxUnion("slab", {{{0, 0, 10}, {10, 10, 12}}}),
        BoxUnion("T", {{{8, 0, 0}, {12, 6, 10}}, {{0, 0, 10}, {20, 6, 13}}}),
        BoxUnion("bridge", {{{0, 0, 0}, {3, 5, 8}}, {{15, 0, 0}, {18, 5, 8}}, {{0, 0, 8}, {18, 5, 10}}}),
        TiltedPlate(20),
        TiltedPlate(45),
        TiltedPlate(70),
        Convex("sphere", testmesh::UvSphere(6.f, 24, 12, {0, 0, 9})),
        BoxUnion("shelf", {{{0, 0, 0}, {2, 8, 14}}, {{2, 0, 4}, {8, 8, 6}}, {{2, 0, 11}, {14, 8, 13}}}),
        BoxUnion("blindhole", {{{0, 0, 3}, {12, 12, 11}}}, {{{4, 4, 3}, {8, 8, 8}}}),
    };
}

// A square pyramid standing on its apex: its lowest region is a point.
inline QVector<VSLTriangle3D> Pyramid(QVector3D apex, float halfWidth, float topZ)
{
    const float x = apex.x(), y = apex.y(), h = halfWidth;
    const QVector3D a(x - h, y - h, topZ), b(x + h, y - h, topZ), c(x + h, y + h, topZ), d(x - h, y + h, topZ);
    return {testmesh::Tri(apex, b, a), testmesh::Tri(apex, c, b), testmesh::Tri(apex, d, c),
            testmesh::Tri(apex, a, d), testmesh::Tri(a, b, c), testmesh::Tri(a, c, d)};
}

inline TestModel Needle() { return Convex("needle", Pyramid({3, 3, 4}, 3, 12)); }

// Two pyramids on their apexes under a slab, the apexes 0.5 mm apart and one
// 0.3 mm above the other: closer than the contact spacing, so one contact is
// thinned away, yet the higher apex hangs until the two surfaces meet.
inline TestModel TwinNeedles()
{
    QVector<VSLTriangle3D> tris = testmesh::Box({0, 0, 12}, {10, 10, 14});
    tris += Pyramid({5, 5, 4}, 3.f, 12.5f);
    tris += Pyramid({5.5f, 5, 4.3f}, 3.f, 12.5f);
    return {"twinneedles", tris, nullptr};
}

// A plate whose underside is a field of pyramids 0.58 mm apart on four
// legs: the pyramids against a leg lose their tips or columns to it, and
// half of the rest are thinned away, some for a contact the leg took.
inline TestModel TipsBesideLegs()
{
    return {"tipsbesidelegs", testmesh::BumpPlateOnLegs(12, 8, 0.576f, 0.24f, 0.96f, 6, 1.92f), nullptr};
}

// A slab over a dome: columns from the slab end on the dome with feet or
// legs that lean from their shafts to the model, and struts and joints from
// their neighbours must end on the shafts, not beside those feet.
inline TestModel SlabOverDome(const std::string& name, float radius, float slabZ, float size,
                              SupportParameters params = {1.0, 0.6, 1.1, 3.0})
{
    QVector<VSLTriangle3D> tris = testmesh::Translated(testmesh::FanSlab(0, 0, size, size, 2, 4), {0, 0, slabZ});
    // The sphere upside down (its rows of faces start at the top), as a
    // mesh from elsewhere may be cut: the contacts fall elsewhere.
    const auto flip = [radius](QVector3D v) { return QVector3D(v.x(), v.y(), 2 * radius - v.z()); };
    for (const VSLTriangle3D& t : testmesh::UvSphere(radius, 48, 24, {size / 2, size / 2, radius}))
        tris << testmesh::Tri(flip(t.vertices[0]), flip(t.vertices[2]), flip(t.vertices[1]));
    return {name, tris, nullptr, params};
}

// A slab with round bosses hanging under it: columns from the slab beside a
// boss graze its wall, their own hit a hair below their ends. Corners are
// worked in double and rounded once, as a file written elsewhere holds them:
// where a column grazes a wall turns on the last bit.
inline TestModel SlabOverBosses(const std::string& name, std::vector<double> radii, SupportParameters params)
{
    const float w = 36, d = 24, slabZ = 14, bossZ = 9;
    QVector<VSLTriangle3D> tris;
    auto quad = [&tris](QVector3D a, QVector3D b, QVector3D c, QVector3D e) {
        tris << testmesh::Tri(a, b, c) << testmesh::Tri(a, c, e);
    };
    const float z0 = slabZ, z1 = slabZ + 2;
    quad({0, 0, z0}, {0, d, z0}, {w, d, z0}, {w, 0, z0});
    quad({0, 0, z1}, {w, 0, z1}, {w, d, z1}, {0, d, z1});
    quad({0, 0, z0}, {w, 0, z0}, {w, 0, z1}, {0, 0, z1});
    quad({0, d, z0}, {0, d, z1}, {w, d, z1}, {w, d, z0});
    quad({0, 0, z0}, {0, 0, z1}, {0, d, z1}, {0, d, z0});
    quad({w, 0, z0}, {w, d, z0}, {w, d, z1}, {w, 0, z1});
    const int segments = 48;
    for (size_t i = 0; i < radii.size(); ++i) {
        const double r = radii[i], cx = 6 + 12 * double(i % 3), cy = 6 + 12 * double(i / 3 % 2);
        auto rim = [&](int k, float z) {
            const double a = 2 * M_PI * k / segments;
            return QVector3D(float(cx + r * std::cos(a)), float(cy + r * std::sin(a)), z);
        };
        // Wall, bottom cap and a top cap inside the slab: a closed shell of its own.
        for (int k = 0; k < segments; ++k) {
            const QVector3D a0 = rim(k, bossZ), a1 = rim(k + 1, bossZ), b0 = rim(k, slabZ + 1), b1 = rim(k + 1, slabZ + 1);
            tris << testmesh::Tri(a0, a1, b1) << testmesh::Tri(a0, b1, b0);
            tris << testmesh::Tri(QVector3D(float(cx), float(cy), bossZ), a1, a0);
            tris << testmesh::Tri(QVector3D(float(cx), float(cy), slabZ + 1), b0, b1);
        }
    }
    return {name, tris, nullptr, params};
}

// Tips wider than their shafts (the panel allows 3 mm tips on 0.4 mm shafts).
inline TestModel WideTips(const std::string& name, TestModel m)
{
    m.name = name;
    m.params = {1.0, 2.0, 1.0, 3.0};
    return m;
}

// A UV sphere whose poles are written once per slice, as a file written
// elsewhere may hold them: the copies lie within a hair of each other and stay
// apart, each with a single face round it.
inline QVector<VSLTriangle3D> SlicedPoleSphere(float r, int slices, int stacks, QVector3D centre)
{
    return testmesh::UvSphere(r, slices, stacks, centre, false);
}

// Wide tips (3 mm on 4 mm shafts) on that sphere lifted high: no tip fits at
// the lowest pole copy, all the others are thinned for it, and the nearest
// kept tip ends lie beyond the contact spacing.
inline TestModel PoleSphere()
{
    return {"polesphere", SlicedPoleSphere(9.f, 48, 24, {0, 0, 9}), nullptr, {1.0, 3.0, 4.0, 20.0}};
}

// A slab on a post with a rod hanging under it, and beside the rod, a little
// higher, a small bar of its own (`attached`: joined to the rod). At a
// sparse density the bar's contact is thinned for the rod's lower one, which
// no 45 degree link from the bar reaches.
inline TestModel BarBesideRod(bool attached)
{
    std::vector<Box3> boxes{{{-5, -5, 0}, {5, 5, 2}},
                            {{-0.1f, -0.1f, 2}, {0.1f, 0.1f, 8}},
                            {{-5, -5, 8}, {15, 5, 9}},
                            {{9.9f, -0.1f, 5}, {10.1f, 0.1f, 8}},
                            {{attached ? 10.1f : 12.f, -0.1f, 6}, {14, 0.1f, 6.2f}}};
    TestModel m = BoxUnion(attached ? "barjoinedtorod" : "barbesiderod", boxes);
    m.params = {0.1, 0.2, 0.4, 0.0};
    return m;
}

// A shelf over a block, joined by a wall, with cones hanging from the shelf
// whose points stop `gapMm` above the block: no tip fits under them and no
// column reaches the plate, so only a pin into the block holds them.
// `shelfZ`: the shelf's underside (1 mm thick); the cones' tops lie 0.5 mm into it.
inline TestModel ConesOverBlock(float gapMm, float shelfZ = 8, const std::string& name = "conesoverblock")
{
    TestModel m = BoxUnion(name, {{{0, 0, 0}, {12, 8, 4}}, {{0, 0, 0}, {1, 8, shelfZ + 1}}, {{0, 0, shelfZ}, {12, 8, shelfZ + 1}}});
    const float tipZ = 4 + gapMm, topZ = shelfZ + 0.5f, radius = 0.5f;
    const int segments = 24;
    std::vector<QVector3D> apexes;
    for (float x : {3.f, 6.f, 9.f}) {
        const QVector3D apex(x, 4, tipZ), centre(x, 4, topZ);
        apexes.push_back(apex);
        auto rim = [&](int k) {
            const double a = 2 * M_PI * k / segments;
            return QVector3D(float(x + radius * std::cos(a)), float(4 + radius * std::sin(a)), topZ);
        };
        // Side and a top cap inside the shelf: a closed shell of its own.
        for (int k = 0; k < segments; ++k) {
            m.tris << testmesh::Tri(apex, rim(k + 1), rim(k));
            m.tris << testmesh::Tri(centre, rim(k), rim(k + 1));
        }
    }
    const auto boxes = m.inside;
    m.inside = [boxes, apexes, tipZ, topZ, radius](const P3& p) {
        if (boxes(p))
            return true;
        for (const QVector3D& a : apexes) {
            const float t = (p[2] - tipZ) / (topZ - tipZ);
            const float dx = p[0] - a.x(), dy = p[1] - a.y();
            if (t > 0 && t < 1 && std::sqrt(dx * dx + dy * dy) < t * radius)
                return true;
        }
        return false;
    };
    return m;
}

// A thin spike 9 mm long under a slab, leaning `tiltDegrees` from upright.
// At 20 degrees and 0.5 mm at its root the faces round its point face every
// way, so their sum gives the point's contact no direction down.
inline TestModel Spike(const std::string& name, float tiltDegrees, float radius)
{
    TestModel m = BoxUnion(name, {{{-5, -5, 12}, {5, 5, 14}}});
    const float tilt = float(tiltDegrees * M_PI / 180), length = 9.f, rootZ = 12.5f;
    const QVector3D root(0, 0, rootZ), point(length * std::sin(tilt), 0, rootZ - length * std::cos(tilt));
    // A ring square to the spike's axis, the axis leaning in the x z plane.
    const QVector3D across(std::cos(tilt), 0, std::sin(tilt)), side(0, 1, 0);
    const int segments = 48;
    auto rim = [&](int k) {
        const double a = 2 * M_PI * k / segments;
        return root + across * float(radius * std::cos(a)) + side * float(radius * std::sin(a));
    };
    // Side and a root cap inside the slab: a closed shell of its own.
    for (int k = 0; k < segments; ++k) {
        m.tris << testmesh::Tri(point, rim(k + 1), rim(k));
        m.tris << testmesh::Tri(root, rim(k), rim(k + 1));
    }
    m.inside = nullptr;
    return m;
}

inline TestModel TiltedSpike() { return Spike("tiltedspike", 20, 0.5f); }

// An upright spike 1.2 mm thick at its root: under a pixel wide for its
// lowest millimetre, far above the reach of the tip's sphere.
inline TestModel SlenderSpike() { return Spike("slenderspike", 0, 0.6f); }

// The walls of a profile (a closed outline, counter-clockwise seen from
// y = 0) swept from y = 0 to `depth`; `at(point, y)` places a point of it.
template <class Profile, class At>
void AppendSides(QVector<VSLTriangle3D>& tris, const Profile& outline, At at, float depth)
{
    for (size_t k = 0; k < outline.size(); ++k) {
        const auto& p = outline[k];
        const auto& q = outline[(k + 1) % outline.size()];
        tris << testmesh::Tri(at(p, 0), at(q, depth), at(q, 0)) << testmesh::Tri(at(p, 0), at(p, depth), at(q, depth));
    }
}

// A channel `gap` mm wide between an underside and a slope, both leaning
// `degrees` from level, open to the left and `depth` mm long along y, on a
// block; turned `tilt` degrees about x, so that its contacts stand at every
// height against the layers. At a gap of 1.3 mm no full tip fits under the
// underside and a short one lands on the slope with a leg leaning as far as
// the slope (near 60 degrees: a short, flat leg).
inline TestModel SlopeChannel(const std::string& name, float degrees, float gap, float tilt, float depth = 24.f)
{
    using V = std::pair<float, float>; // (x, z) of the profile
    const float a = degrees * float(M_PI) / 180.f, L = 8.f;
    const V A(0.f, 0.f), B(L * std::cos(a), L * std::sin(a));
    const V m(-std::sin(a), std::cos(a));
    const V Au(A.first + gap * m.first, A.second + gap * m.second), Bu(B.first + gap * m.first, B.second + gap * m.second);
    const float R = std::max(B.first, Bu.first) + 3.f, top = Bu.second + 3.f;
    // Convex pieces of the profile (counter-clockwise); the outline runs
    // round all of them.
    const std::vector<std::vector<V>> pieces = {{{0.f, -3.f}, {R, -3.f}, {R, B.second}, B, A},
                                                {{R, B.second}, {R, top}, {Bu.first, top}, Bu, B},
                                                {{Bu.first, top}, {Au.first, top}, Au, Bu}};
    const std::vector<V> outline = {{0.f, -3.f}, {R, -3.f}, {R, B.second}, {R, top}, {Bu.first, top},
                                    {Au.first, top}, Au, Bu, B, A};
    auto at = [](const V& p, float y) { return QVector3D(p.first, y, p.second); };
    QVector<VSLTriangle3D> tris;
    for (const std::vector<V>& piece : pieces)
        for (size_t k = 1; k + 1 < piece.size(); ++k) {
            tris << testmesh::Tri(at(piece[0], 0), at(piece[k], 0), at(piece[k + 1], 0));
            tris << testmesh::Tri(at(piece[0], depth), at(piece[k + 1], depth), at(piece[k], depth));
        }
    AppendSides(tris, outline, at, depth);
    QMatrix4x4 turn;
    turn.translate(0, 0, 8);
    turn.rotate(tilt, 1, 0, 0);
    return {name, Transformed(tris, turn), nullptr};
}

// A block and beside it, on the same floor at z0, a sliver 0.75 mm wide
// and 29 mm long such as a cross hole leaves of a housing's flange: its top
// is the hole's lower arc, which runs into the underside at a knife edge
// whose next vertex stands 0.01 mm up, in the underside's slab, and faces
// up. Refined, its underside holds too many vertices to pass for a dimple's
// floor.
inline TestModel KnifeEdgeSliver(float z0 = 5.f)
{
    const std::vector<std::pair<float, float>> profile = {{0.f, 0.f},    {0.75f, 0.f},  {0.6f, 0.01f},
                                                          {0.3f, 0.2f},  {0.08f, 0.45f}, {0.f, 0.55f}};
    const float y1 = 29.f;
    auto at = [z0](const std::pair<float, float>& p, float y) { return QVector3D(p.first, y, z0 + p.second); };
    QVector<VSLTriangle3D> tris = testmesh::Box({3, 0, z0}, {9, y1, z0 + 3});
    // The ends: fans from the corner that sees the whole arc.
    for (size_t k = 1; k + 1 < profile.size(); ++k) {
        tris << testmesh::Tri(at(profile[0], 0), at(profile[k], 0), at(profile[k + 1], 0));
        tris << testmesh::Tri(at(profile[0], y1), at(profile[k + 1], y1), at(profile[k], y1));
    }
    AppendSides(tris, profile, at, y1);
    return {"knifeedgesliver", tris, nullptr};
}

// Undersides that may leave a cured region with nothing under it: tips on a
// thin fin's 0.4 mm edge, a needle whose lowest region is far smaller than a
// pixel, columns from above landing on a 0.3 mm shelf, undersides nearly flat
// and nearly upright (long shallow or steep struts between columns), low
// points beside a wall that no tip or column fits, low points no link
// reaches (a pole whose tip does not fit, a separate small piece), low
// points hanging just above another part of the model.
inline std::vector<TestModel> FloatingRiskModels()
{
    return {
        BoxUnion("fin", {{{0, 0, 10}, {12, 8, 12}}, {{5.8f, 1, 4}, {6.2f, 7, 10}}}),
        Needle(),
        BoxUnion("thinshelf", {{{0, 0, 0}, {2, 8, 14}}, {{2, 0, 5}, {10, 8, 5.3f}}, {{2, 0, 12}, {12, 8, 14}}}),
        TiltedPlate(5),
        TiltedPlate(85),
        TwinNeedles(),
        TipsBesideLegs(),
        SlabOverDome("slaboverdome", 7, 16, 20),
        SlabOverDome("jointsonlandedcolumns", 8, 18, 16, {1.5, 0.8, 1.5, 2.0}),
        WideTips("widetipsphere", Convex("sphere", testmesh::UvSphere(6.f, 24, 12, {0, 0, 9}))),
        WideTips("widetipplate", TiltedPlate(45)),
        SlabOverBosses("slaboverbosses", {4, 4.1, 4.2, 4.3, 4.4, 4.6}, {1.0, 0.3, 0.6, 1.0}),
        PoleSphere(),
        BarBesideRod(false),
        BarBesideRod(true),
        ConesOverBlock(0.5f),
        SlenderSpike(),
        // Short cones 1 mm over the block: a short tip fits, bridged onto it.
        ConesOverBlock(1.f, 5.5f, "shortconesoverblock"),
        KnifeEdgeSliver(),
        SlopeChannel("shortlegchannel", 59, 1.32f, 3),
    };
}

// Meshes as scans leave them, open or written twice, under low points that
// only the run's own low-point pass supports.

// An open level sheet facing up over x0..x1, y0..y1 at z.
inline QVector<VSLTriangle3D> UpSheet(float x0, float y0, float x1, float y1, float z)
{
    const QVector3D a(x0, y0, z), b(x1, y0, z), c(x1, y1, z), d(x0, y1, z);
    return {testmesh::Tri(a, b, c), testmesh::Tri(a, c, d)};
}

// The cones over the block, the block's top written twice 0.18 mm apart:
// the upper skin is an open sheet with nothing solid under it for the
// depth of a pin's end, which a layer plane between the skins shows.
inline TestModel DoubleSkinUnderCones()
{
    TestModel m = ConesOverBlock(0.5f, 8, "doubleskinundercones");
    m.tris += UpSheet(1.5f, 1, 11.5f, 7, 4.18f);
    return m;
}

// The leaning spike's point over a floor 1.6 mm below the top of a wall
// whose face stands 0.3 mm beside the point: the column of the point's free
// tip meets the wall's top well above the floor straight below.
inline TestModel SpikeOverAWallsEdge()
{
    TestModel m = TiltedSpike();
    m.name = "spikeoverawallsedge";
    const float px = 9.f * std::sin(float(20 * M_PI / 180));
    m.tris += testmesh::Box({px - 4, -4, 0}, {px + 4, 4, 0.6f});
    m.tris += testmesh::Box({px + 0.3f, -4.5f, 0}, {px + 4.5f, 4.5f, 2.2f});
    return m;
}

// The leaning spike's point over a box open at its top but for a patch
// whose edge passes a hair (under a micrometre) beside the point in plan:
// the slicer fills the box to its rim and no higher, so the point hangs.
inline TestModel SpikeOverAnOpenPatchEdge()
{
    TestModel m = TiltedSpike();
    m.name = "spikeoveranopenpatchedge";
    const float tilt = float(20 * M_PI / 180);
    const float px = 9.f * std::sin(tilt), edge = std::nextafter(px, 10.f), rim = 1.5f;
    QVector<VSLTriangle3D> box = testmesh::Box({px - 4, -4, 0}, {px + 4, 4, rim});
    // The box's top goes; the patch covers from its edge to the wall.
    QVector<VSLTriangle3D> open;
    for (const VSLTriangle3D& t : box)
        if (!(t.vertices[0].z() == rim && t.vertices[1].z() == rim && t.vertices[2].z() == rim))
            open << t;
    m.tris += open;
    m.tris += UpSheet(edge, -4, px + 4, 4, rim);
    return m;
}

inline std::vector<TestModel> OpenMeshLowPointModels()
{
    return {DoubleSkinUnderCones(), SpikeOverAWallsEdge(), SpikeOverAnOpenPatchEdge()};
}

// A frustum standing on its axis at (x, y): radius r0 at z0, r1 at z1 (a
// point where a radius is 0), closed, faces out.
inline QVector<VSLTriangle3D> Frustum(float x, float y, float r0, float r1, float z0, float z1, int segments = 24)
{
    QVector<VSLTriangle3D> tris;
    auto rim = [&](float r, float z, int k) {
        const double a = 2 * M_PI * k / segments;
        return QVector3D(float(x + r * std::cos(a)), float(y + r * std::sin(a)), z);
    };
    const QVector3D bottom(x, y, z0), top(x, y, z1);
    for (int k = 0; k < segments; ++k) {
        const QVector3D b0 = rim(r0, z0, k), b1 = rim(r0, z0, k + 1), t0 = rim(r1, z1, k), t1 = rim(r1, z1, k + 1);
        if (r0 > 0)
            tris << testmesh::Tri(b0, b1, t1) << testmesh::Tri(bottom, b1, b0);
        if (r1 > 0)
            tris << testmesh::Tri(r0 > 0 ? b0 : bottom, t1, t0) << testmesh::Tri(top, t0, t1);
    }
    return tris;
}

// A plate (36 x 26 x 2 mm, underside at z = 10) with small features hanging
// under it, each a shell of its own reaching into it: short bosses, cones
// on their points, frustums, balls that hang by a neck or float just under
// it, and ribs whose lower edge slopes down to a tip. Turned by `tilt`
// degrees about x. Supports land on what lies under a contact; where that
// is thin, or an edge, a landing's ball hangs out under it.
inline TestModel FeatureField(unsigned seed, float tilt)
{
    std::mt19937 random(seed);
    auto uniform = [&random](float a, float b) { return std::uniform_real_distribution<float>(a, b)(random); };
    QVector<VSLTriangle3D> tris = testmesh::Box({0, 0, 10}, {36, 26, 12});
    for (int k = 0; k < 24; ++k) {
        const float x = uniform(1.5f, 34.5f), y = uniform(1.5f, 24.5f);
        switch (std::uniform_int_distribution<int>(0, 4)(random)) {
        case 0: { // boss
            const float r = uniform(0.15f, 1.5f);
            tris += Frustum(x, y, r, r, 10 - uniform(0.05f, 1.2f), 10.5f);
            break;
        }
        case 1: // cone on its point
            tris += Frustum(x, y, 0, uniform(0.2f, 1.5f), 10 - uniform(0.1f, 1.5f), 10.5f);
            break;
        case 2: // frustum
            tris += Frustum(x, y, uniform(0.1f, 0.8f), uniform(0.9f, 1.8f), 10 - uniform(0.1f, 1.f), 10.5f);
            break;
        case 3: { // ball
            const float r = uniform(0.2f, 1.2f);
            tris += testmesh::UvSphere(r, 16, 10, {x, y, 10.5f - r * uniform(1.f, 1.8f)});
            break;
        }
        default: { // rib
            const float drop = uniform(0.1f, 2.f), length = uniform(1.f, 6.f), width = uniform(0.2f, 1.f);
            const float x0 = std::min(x, 34.f - length);
            // Its side in x z: (x0, 10.5), (x0 + length, 10 - drop), (x0 + length, 10.5), along y.
            const QVector3D a(x0, y, 10.5f), b(x0 + length, y, 10 - drop), c(x0 + length, y, 10.5f);
            const QVector3D w(0, width, 0);
            tris << testmesh::Tri(a, b, c) << testmesh::Tri(a + w, c + w, b + w);
            tris << testmesh::Tri(a, b + w, b) << testmesh::Tri(a, a + w, b + w);
            tris << testmesh::Tri(b, c + w, c) << testmesh::Tri(b, b + w, c + w);
            tris << testmesh::Tri(c, a + w, a) << testmesh::Tri(c, c + w, a + w);
            break;
        }
        }
    }
    QMatrix4x4 m;
    m.translate(0, 0, 10);
    m.rotate(tilt, 1, 0, 0);
    m.translate(0, 0, -10);
    return {"featurefield" + std::to_string(seed) + "tilt" + std::to_string(int(tilt)), Transformed(tris, m), nullptr};
}

// A headless first generation with the plate at z = 0.
struct Generation {
    MyMesh mesh;
    SupportRun run;
    SupportMap map;
    QVector<DLP_Support*> index;
};

inline std::unique_ptr<Generation> Generate(const QVector<VSLTriangle3D>& tris, const SupportParameters& p)
{
    auto g = std::make_unique<Generation>();
    g->mesh = MeshOf(tris);
    SupportRun::RefineWorkingMesh(g->mesh, p.density);
    SupportRun::CleanWorkingMesh(g->mesh);
    SupportRun::UpdateFaceNormals(g->mesh);
    g->run.SetParameters(p);
    g->run.BuildFirstGenerationTables(g->mesh);
    g->run.BuildContacts(g->mesh, g->map, g->index);
    QVector3D lo(1e9f, 1e9f, 1e9f), hi(-1e9f, -1e9f, -1e9f);
    g->run.BuildFaceGrid(g->mesh, lo, hi);
    g->run.FitTips(g->mesh, g->map, g->index);
    g->run.BuildColumns(g->mesh, 0.f, g->map, g->index);
    g->run.BraceColumns(g->mesh, g->map, g->index);
    g->run.BridgeLooseContacts(g->mesh, g->map);
    return g;
}

inline double SegmentPointDistance(const P3& a, const P3& b, const P3& p)
{
    const P3 ab = b - a;
    const double len2 = ab * ab;
    double t = len2 > 0 ? double((p - a) * ab) / len2 : 0.0;
    t = std::max(0.0, std::min(1.0, t));
    const P3 q = a + ab * float(t);
    return (p - q).Norm();
}

// Distance between two segments (sampled finely along the shorter one, then
// refined; exact enough for millimetre solids).
inline double SegmentDistance(const P3& a0, const P3& a1, const P3& b0, const P3& b1)
{
    double best = 1e30;
    const int n = 64;
    int bestI = 0;
    for (int i = 0; i <= n; ++i) {
        const double d = SegmentPointDistance(b0, b1, a0 + (a1 - a0) * (float(i) / n));
        if (d < best) {
            best = d;
            bestI = i;
        }
    }
    double lo = std::max(0, bestI - 1) / double(n), hi = std::min(n, bestI + 1) / double(n);
    for (int it = 0; it < 40; ++it) {
        const double m1 = lo + (hi - lo) / 3, m2 = hi - (hi - lo) / 3;
        const double d1 = SegmentPointDistance(b0, b1, a0 + (a1 - a0) * float(m1));
        const double d2 = SegmentPointDistance(b0, b1, a0 + (a1 - a0) * float(m2));
        (d1 < d2 ? hi : lo) = d1 < d2 ? m2 : m1;
        best = std::min(best, std::min(d1, d2));
    }
    return best;
}

inline double PointTriangleDistance(const P3& p, const P3& a, const P3& b, const P3& c)
{
    const P3 n = ((b - a) ^ (c - a));
    const float nn = n.Norm();
    if (nn > 0) {
        const P3 u = n / nn;
        const float dist = (p - a) * u;
        const P3 q = p - u * dist;
        const bool in = (((b - a) ^ (q - a)) * n) >= 0 && (((c - b) ^ (q - b)) * n) >= 0 &&
                        (((a - c) ^ (q - c)) * n) >= 0;
        if (in)
            return std::fabs(dist);
    }
    return std::min({SegmentPointDistance(a, b, p), SegmentPointDistance(b, c, p), SegmentPointDistance(c, a, p)});
}

inline double SurfaceDistance(const QVector<VSLTriangle3D>& tris, const P3& p)
{
    double best = 1e30;
    auto P = [](const QVector3D& v) { return P3(v.x(), v.y(), v.z()); };
    for (const VSLTriangle3D& t : tris)
        best = std::min(best, PointTriangleDistance(p, P(t.vertices[0]), P(t.vertices[1]), P(t.vertices[2])));
    return best;
}

// A primitive as a capsule-like segment with its end radii.
struct Prim {
    P3 a, b;
    double ra, rb;
    int record;
    bool sphere;
};

inline std::vector<Prim> PrimsOf(const SupportMap& map)
{
    std::vector<Prim> out;
    int r = 0;
    for (const DLP_Support& s : map) {
        for (const auto& c : s.cones)
            out.push_back({c[0], c[1], c[2][0], c[2][1], r, false});
        for (const auto& sp : s.spheres)
            out.push_back({sp[0], sp[0], sp[1][0], sp[1][0], r, true});
        ++r;
    }
    return out;
}

inline bool Finite(const P3& p) { return std::isfinite(p[0]) && std::isfinite(p[1]) && std::isfinite(p[2]); }

} // namespace genh
