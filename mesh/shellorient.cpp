#include "mesh/clean.h"
#include "mesh/topology.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace vcg::tri {

namespace {

using D3 = std::array<double, 3>;

D3 Sub(const D3& a, const D3& b) { return {a[0] - b[0], a[1] - b[1], a[2] - b[2]}; }
D3 Cross(const D3& a, const D3& b)
{
    return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}
double Dot(const D3& a, const D3& b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }

struct Box {
    D3 lo{HUGE_VAL, HUGE_VAL, HUGE_VAL}, hi{-HUGE_VAL, -HUGE_VAL, -HUGE_VAL};
    void Add(const D3& p)
    {
        for (int i = 0; i < 3; ++i) {
            lo[i] = std::min(lo[i], p[i]);
            hi[i] = std::max(hi[i], p[i]);
        }
    }
    bool Contains(const Box& o) const
    {
        for (int i = 0; i < 3; ++i)
            if (o.lo[i] < lo[i] || o.hi[i] > hi[i])
                return false;
        return true;
    }
};

struct Shell {
    bool usable = true; // closed, every edge met once the other way round
    double volume6 = 0; // six times the signed enclosed volume
    Box box;
    std::vector<uint32_t> faces; // gathered only for the shells ray-cast
};

D3 Corner(const MyMesh& m, uint32_t f, int k)
{
    const Point3f& p = m.P(f, k);
    return {p[0], p[1], p[2]};
}

// Ray-casting budget (ray-triangle tests) of one call: a mesh with
// thousands of cavities in a huge shell is left as written beyond it.
constexpr long long kRayTestBudget = 200'000'000;
// Probe faces spread over a shell, besides its six farthest out.
constexpr size_t kSpreadProbes = 58;

// Crossings of the ray from p along a fixed, off-axis direction with the
// shell's faces: odd when p lies inside it.
bool Inside(const MyMesh& m, const Shell& shell, const D3& p, long long& tests)
{
    static const D3 dir = {0.5773502691896258, 0.5776327430152375, 0.5770676474627566};
    int crossings = 0;
    tests += static_cast<long long>(shell.faces.size());
    for (uint32_t f : shell.faces) {
        const D3 a = Corner(m, f, 0), b = Corner(m, f, 1), c = Corner(m, f, 2);
        const D3 e1 = Sub(b, a), e2 = Sub(c, a);
        const D3 q = Cross(dir, e2);
        const double det = Dot(e1, q);
        if (det == 0)
            continue;
        const D3 s = Sub(p, a);
        const double u = Dot(s, q) / det;
        if (u < 0 || u > 1)
            continue;
        const D3 r = Cross(s, e1);
        const double v = Dot(dir, r) / det;
        if (v < 0 || u + v > 1)
            continue;
        if (Dot(e2, r) / det > 0)
            ++crossings;
    }
    return crossings % 2 == 1;
}

} // namespace

// Shells are the face-face connected pieces. A closed, coherent shell that
// faces inward (negative volume) is turned unless it lies wholly inside
// another shell: a cavity faces inward by right. An open or muddled shell
// has no inside to go by and is kept as written; a shell crossing another's
// surface is no cavity (some of its probes lie outside).
int Clean<MyMesh>::OrientClosedShellsOutward(MyMesh& m, int* leftAsWritten)
{
    if (leftAsWritten)
        *leftAsWritten = 0;
    const uint32_t n = m.FaceCount();
    constexpr uint32_t kNoShell = UINT32_MAX;
    std::vector<uint32_t> shellOf(n, kNoShell);
    std::vector<Shell> shells;
    std::vector<uint32_t> queue;
    for (uint32_t seed = 0; seed < n; ++seed) {
        if (shellOf[seed] != kNoShell || m.face[seed].IsD())
            continue;
        const uint32_t id = uint32_t(shells.size());
        shells.emplace_back();
        bool usable = true;
        shellOf[seed] = id;
        queue.assign(1, seed);
        while (!queue.empty()) {
            const uint32_t f = queue.back();
            queue.pop_back();
            const MyFace& fc = m.face[f];
            for (int e = 0; e < 3; ++e) {
                const uint32_t g = fc.ff[e];
                const int ge = fc.ffi[e];
                if (g == f || g >= n || ge < 0 || ge > 2 || m.face[g].IsD()) {
                    usable = false;
                    continue;
                }
                const MyFace& gc = m.face[g];
                // One neighbour across the edge, running it the other way.
                if (gc.ff[ge] != f || gc.v[ge] != fc.v[(e + 1) % 3] || gc.v[(ge + 1) % 3] != fc.v[e])
                    usable = false;
                if (shellOf[g] == kNoShell) {
                    shellOf[g] = id;
                    queue.push_back(g);
                }
            }
        }
        shells.back().usable = usable;
    }
    if (shells.empty())
        return 0;

    // Volumes about the middle of the mesh, where rounding is least; faces
    // in their stored order, which keeps the corners' reads near each other.
    Box all;
    for (const MyVertex& v : m.vert)
        if (!v.IsD())
            all.Add({v.p[0], v.p[1], v.p[2]});
    const D3 mid = {0.5 * (all.lo[0] + all.hi[0]), 0.5 * (all.lo[1] + all.hi[1]), 0.5 * (all.lo[2] + all.hi[2])};
    for (uint32_t f = 0; f < n; ++f) {
        if (shellOf[f] == kNoShell)
            continue;
        Shell& shell = shells[shellOf[f]];
        if (!shell.usable)
            continue;
        const D3 a = Corner(m, f, 0), b = Corner(m, f, 1), c = Corner(m, f, 2);
        shell.volume6 += Dot(Sub(a, mid), Cross(Sub(b, mid), Sub(c, mid)));
        shell.box.Add(a);
        shell.box.Add(b);
        shell.box.Add(c);
    }

    // Only shells facing inward are turned; only they need their faces, and
    // the shells that might enclose them theirs.
    std::vector<uint8_t> gather(shells.size(), 0);
    bool anyInward = false;
    for (size_t i = 0; i < shells.size(); ++i) {
        if (!shells[i].usable || shells[i].volume6 >= 0)
            continue;
        anyInward = true;
        gather[i] = 1;
        for (size_t j = 0; j < shells.size(); ++j)
            if (j != i && shells[j].usable && shells[j].box.Contains(shells[i].box))
                gather[j] = 1;
    }
    if (!anyInward)
        return 0;
    for (uint32_t f = 0; f < n; ++f)
        if (shellOf[f] != kNoShell && gather[shellOf[f]])
            shells[shellOf[f]].faces.push_back(f);

    std::vector<uint8_t> flip(n, 0);
    int turned = 0, unjudged = 0;
    long long tests = 0;
    for (size_t i = 0; i < shells.size(); ++i) {
        const Shell& shell = shells[i];
        if (!shell.usable || shell.volume6 >= 0)
            continue;
        // Probes: the middles of the faces farthest out along each axis.
        std::array<uint32_t, 6> extreme{};
        std::array<double, 6> reach;
        reach.fill(-HUGE_VAL);
        for (uint32_t f : shell.faces)
            for (int axis = 0; axis < 3; ++axis) {
                const double centre = m.P(f, 0)[axis] + double(m.P(f, 1)[axis]) + m.P(f, 2)[axis];
                for (int side = 0; side < 2; ++side) {
                    const double r = side == 0 ? centre : -centre;
                    if (r > reach[size_t(2 * axis + side)]) {
                        reach[size_t(2 * axis + side)] = r;
                        extreme[size_t(2 * axis + side)] = f;
                    }
                }
            }
        // And faces spread over the whole shell: a shell whose far ends are
        // buried in another can still stand out of it between them.
        std::vector<uint32_t> probeFaces(extreme.begin(), extreme.end());
        const size_t stride = std::max<size_t>(1, shell.faces.size() / kSpreadProbes);
        for (size_t k = stride / 2; k < shell.faces.size(); k += stride)
            probeFaces.push_back(shell.faces[k]);
        // Each face's middle and the middles of its edges: a long face can
        // have its middle in another shell and an edge's middle outside.
        std::vector<D3> probes;
        for (uint32_t f : probeFaces) {
            const D3 a = Corner(m, f, 0), b = Corner(m, f, 1), c = Corner(m, f, 2);
            probes.push_back({(a[0] + b[0] + c[0]) / 3, (a[1] + b[1] + c[1]) / 3, (a[2] + b[2] + c[2]) / 3});
            for (const auto& [p, q] : {std::pair{a, b}, std::pair{b, c}, std::pair{c, a}})
                probes.push_back({(p[0] + q[0]) / 2, (p[1] + q[1]) / 2, (p[2] + q[2]) / 2});
        }
        // Facing inward is right for a cavity, and harmless for any shell
        // wholly inside another: the layers fill it either way.
        bool enclosed = false, judged = true;
        for (size_t j = 0; j < shells.size() && !enclosed && judged; ++j) {
            const Shell& other = shells[j];
            if (j == i || !other.usable || !other.box.Contains(shell.box))
                continue;
            // Beyond the budget a shell that may be a cavity is left as
            // written; one that no other's box holds needs no test.
            if (tests > kRayTestBudget) {
                judged = false;
                break;
            }
            enclosed = std::all_of(probes.begin(), probes.end(),
                                   [&](const D3& p) { return Inside(m, other, p, tests); });
        }
        if (!judged)
            ++unjudged;
        if (enclosed || !judged)
            continue;
        for (uint32_t f : shell.faces)
            flip[f] = 1;
        ++turned;
    }
    if (turned > 0)
        FlipFaces(m, flip);
    if (leftAsWritten)
        *leftAsWritten = unjudged;
    return turned;
}

} // namespace vcg::tri
