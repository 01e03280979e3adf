#include "mesh/hole.h"
#include "mesh/allocator.h"
#include "mesh/topology.h"

#include <algorithm>
#include <cmath>
#include <unordered_set>

namespace vcg::tri {

namespace {

uint64_t EdgeKey(uint32_t a, uint32_t b)
{
    return a < b ? (uint64_t(a) << 32) | b : (uint64_t(b) << 32) | a;
}

// Longest walk around one vertex before a border walk is given up.
uint64_t TurnLimit(const MyMesh& m) { return 3ull * m.FaceCount() + 3; }

uint64_t BorderEdgeCount(const MyMesh& m)
{
    uint64_t n = 0;
    for (uint32_t f = 0; f < m.FaceCount(); ++f)
        if (!m.face[f].IsD())
            for (int z = 0; z < 3; ++z)
                n += m.face[f].ff[z] == f;
    return n;
}

// Which edge of a polygon node is linked to: a border edge of the mesh or an
// edge of a face made for this hole.
struct Owner {
    bool isNew = false;
    uint32_t face = kNone;
    int edge = -1;
};

struct NewFace {
    uint32_t v[3];
    Owner own[3];
};

// 2D frame across the hole's average normal.
struct HolePlane {
    Point3f n, u, w;
    explicit HolePlane(const std::vector<Point3f>& pts)
    {
        for (size_t i = 0; i < pts.size(); ++i) {
            const Point3f& a = pts[i];
            const Point3f& b = pts[(i + 1) % pts.size()];
            n[0] += (a[1] - b[1]) * (a[2] + b[2]);
            n[1] += (a[2] - b[2]) * (a[0] + b[0]);
            n[2] += (a[0] - b[0]) * (a[1] + b[1]);
        }
        if (!(n.Norm() > 0.f) || !std::isfinite(n.Norm()))
            n = Point3f(0, 0, 1);
        n.Normalize();
        u = std::fabs(n[0]) < 0.9f ? Point3f(1, 0, 0) : Point3f(0, 1, 0);
        u = (n ^ u).Normalize();
        w = n ^ u;
    }
    double X(const Point3f& p) const { return double(p * u); }
    double Y(const Point3f& p) const { return double(p * w); }
};

double Orient2(const HolePlane& hp, const Point3f& a, const Point3f& b, const Point3f& c)
{
    return (hp.X(b) - hp.X(a)) * (hp.Y(c) - hp.Y(a)) - (hp.Y(b) - hp.Y(a)) * (hp.X(c) - hp.X(a));
}

// Ear cutting of one simple loop; false when no acceptable ear is left.
bool Triangulate(const MyMesh& m, const std::vector<uint32_t>& loop, const std::vector<face::Pos>& border,
                 const std::unordered_set<uint64_t>& meshEdges, std::vector<NewFace>& faces)
{
    const size_t k = loop.size();
    std::vector<Point3f> pts(k);
    for (size_t i = 0; i < k; ++i)
        pts[i] = m.vert[loop[i]].p;
    const HolePlane hp(pts);
    std::vector<size_t> next(k), prev(k);
    std::vector<Owner> own(k);
    for (size_t i = 0; i < k; ++i) {
        next[i] = (i + 1) % k;
        prev[i] = (i + k - 1) % k;
        own[i] = {false, border[i].f, border[i].z};
    }
    std::unordered_set<uint64_t> diagonals;
    auto edgeTaken = [&](uint32_t a, uint32_t b) {
        return meshEdges.count(EdgeKey(a, b)) || diagonals.count(EdgeKey(a, b));
    };
    faces.clear();
    size_t left = k, head = 0;
    while (left >= 3) {
        size_t best = k;
        double bestScore = -1e300;
        bool bestGood = false;
        size_t node = head;
        for (size_t s = 0; s < left; ++s, node = next[node]) {
            const size_t a = prev[node], c = next[node];
            if (left > 3 && edgeTaken(loop[a], loop[c]))
                continue;
            const Point3f &pa = pts[a], &pb = pts[node], &pc = pts[c];
            bool good = left == 3 || ((pb - pa) ^ (pc - pb)) * hp.n > 0.f;
            if (good && left > 3) {
                for (size_t o = next[c]; o != a; o = next[o]) {
                    const double s1 = Orient2(hp, pa, pb, pts[o]), s2 = Orient2(hp, pb, pc, pts[o]),
                                 s3 = Orient2(hp, pc, pa, pts[o]);
                    if (s1 >= 0 && s2 >= 0 && s3 >= 0) {
                        good = false;
                        break;
                    }
                }
            }
            const Point3f da = Normalized(pa - pb), dc = Normalized(pc - pb);
            const double score = double(da * dc); // sharper ears first
            if ((good && !bestGood) || (good == bestGood && score > bestScore)) {
                best = node;
                bestScore = score;
                bestGood = good;
            }
        }
        if (best == k)
            return false;
        const size_t a = prev[best], c = next[best];
        NewFace nf;
        nf.v[0] = loop[a];
        nf.v[1] = loop[best];
        nf.v[2] = loop[c];
        nf.own[0] = own[a];
        nf.own[1] = own[best];
        const uint32_t self = uint32_t(faces.size());
        if (left == 3) {
            nf.own[2] = own[c];
        } else {
            nf.own[2] = {};
            diagonals.insert(EdgeKey(loop[a], loop[c]));
        }
        // Tell earlier new faces which edge now joins them.
        for (int e = 0; e < 3; ++e)
            if (nf.own[e].isNew)
                faces[nf.own[e].face].own[nf.own[e].edge] = {true, self, e};
        faces.push_back(nf);
        if (left == 3)
            break;
        own[a] = {true, self, 2};
        next[a] = c;
        prev[c] = a;
        if (head == best)
            head = a;
        --left;
    }
    return true;
}

uint32_t FarEnd(const MyMesh& m, const face::Pos& p)
{
    const MyFace& f = m.face[p.f];
    return f.v[p.z] == p.v ? f.v[(p.z + 1) % 3] : f.v[p.z];
}

// Holes that touch at a vertex make one border walk that passes the vertex
// twice; cut such a walk into simple cycles there. Cycles of fewer than three
// edges cannot take a triangle and are left open.
void SplitAtPinches(const MyMesh& m, const std::vector<face::Pos>& border, std::vector<std::vector<face::Pos>>& loops)
{
    std::vector<face::Pos> stack;
    for (const face::Pos& p : border) {
        const uint32_t v = FarEnd(m, p);
        auto again = std::find_if(stack.begin(), stack.end(), [&](const face::Pos& q) { return FarEnd(m, q) == v; });
        if (again != stack.end()) {
            if (stack.end() - again >= 3)
                loops.emplace_back(again, stack.end());
            stack.erase(again, stack.end());
        }
        stack.push_back(p);
    }
    if (stack.size() >= 3)
        loops.push_back(stack);
}

} // namespace

bool Hole<MyMesh>::LoopOf(const MyMesh& m, const face::Pos& start, uint64_t maxEdges,
                          std::vector<face::Pos>& border)
{
    border.clear();
    if (start.IsNull() || start.f >= m.FaceCount() || !start.IsBorder(m))
        return false;
    face::Pos p = start;
    const uint64_t turns = TurnLimit(m);
    do {
        border.push_back(p);
        if (border.size() > maxEdges)
            return false;
        if (!p.NextB(m, turns))
            return false;
    } while (p != start);
    return true;
}

void Hole<MyMesh>::GetInfo(MyMesh& m, bool selectedOnly, std::vector<Info>& out)
{
    for (MyFace& f : m.face)
        f.ClearV();
    const uint64_t maxEdges = BorderEdgeCount(m);
    const uint64_t turns = TurnLimit(m);
    for (uint32_t fi = 0; fi < m.FaceCount(); ++fi) {
        if (m.face[fi].IsD())
            continue;
        if (selectedOnly && !m.face[fi].IsS()) {
            m.face[fi].SetV();
            continue;
        }
        for (int j = 0; j < 3; ++j) {
            if (m.face[fi].ff[j] != fi || m.face[fi].IsV())
                continue;
            m.face[fi].SetV();
            const face::Pos start(fi, j, m.face[fi].v[j]);
            face::Pos p = start;
            Info info;
            info.p = start;
            // A loop that does not come back is cut off after every border
            // edge of the mesh has been counted once.
            do {
                m.face[p.f].SetV();
                info.bb.Add(m.vert[p.v].p);
                ++info.size;
                if (!p.NextB(m, turns))
                    break;
                m.face[p.f].SetV();
            } while (p != start && uint64_t(info.size) <= maxEdges);
            out.push_back(info);
        }
    }
}

int Hole<MyMesh>::FillHoles(MyMesh& m, int maxSizeHole, bool selectedOnly, const std::function<bool(int)>& cb)
{
    if (maxSizeHole <= 3 || m.FaceCount() == 0)
        return 0;
    // Every border edge belongs to at most one loop we look at.
    std::vector<uint8_t> taken(size_t(m.FaceCount()) * 3, 0);
    std::vector<std::vector<face::Pos>> loops;
    std::vector<face::Pos> border;
    const uint64_t maxEdges = uint64_t(maxSizeHole);
    for (uint32_t fi = 0; fi < m.FaceCount(); ++fi) {
        const MyFace& f = m.face[fi];
        if (f.IsD())
            continue;
        for (int z = 0; z < 3; ++z) {
            if (f.ff[z] != fi || taken[size_t(fi) * 3 + z])
                continue;
            const bool closed = LoopOf(m, face::Pos(fi, z, f.v[z]), maxEdges, border);
            for (const face::Pos& p : border)
                taken[size_t(p.f) * 3 + p.z] = 1;
            taken[size_t(fi) * 3 + z] = 1;
            if (!closed || border.size() < 3 || border.size() >= size_t(maxSizeHole))
                continue;
            if (selectedOnly && std::none_of(border.begin(), border.end(),
                                             [&](const face::Pos& p) { return m.face[p.f].IsS(); }))
                continue;
            SplitAtPinches(m, border, loops);
        }
    }
    if (loops.empty())
        return 0;

    // Vertices of the loops, then the mesh edges among them: a diagonal must
    // not duplicate one.
    std::vector<std::vector<uint32_t>> loopVerts(loops.size());
    std::unordered_set<uint32_t> holeVerts;
    for (size_t h = 0; h < loops.size(); ++h) {
        for (const face::Pos& p : loops[h])
            loopVerts[h].push_back(FarEnd(m, p));
        std::vector<uint32_t> sorted = loopVerts[h];
        std::sort(sorted.begin(), sorted.end());
        if (std::adjacent_find(sorted.begin(), sorted.end()) != sorted.end()) {
            loopVerts[h].clear(); // loop passes a vertex twice: not a simple hole
            continue;
        }
        holeVerts.insert(sorted.begin(), sorted.end());
    }
    std::unordered_set<uint64_t> meshEdges;
    for (const MyFace& f : m.face) {
        if (f.IsD())
            continue;
        for (int z = 0; z < 3; ++z) {
            const uint32_t a = f.v[z], b = f.v[(z + 1) % 3];
            if (holeVerts.count(a) && holeVerts.count(b))
                meshEdges.insert(EdgeKey(a, b));
        }
    }

    int filled = 0;
    std::vector<NewFace> faces;
    for (size_t h = 0; h < loops.size(); ++h) {
        if (cb)
            cb(int(100 * h / loops.size()));
        if (loopVerts[h].empty() || !Triangulate(m, loopVerts[h], loops[h], meshEdges, faces))
            continue;
        const uint32_t base = Allocator<MyMesh>::AddFaces(m, uint32_t(faces.size()));
        for (size_t i = 0; i < faces.size(); ++i) {
            const NewFace& nf = faces[i];
            const uint32_t fi = base + uint32_t(i);
            MyFace& f = m.face[fi];
            f = MyFace();
            for (int e = 0; e < 3; ++e) {
                f.v[e] = nf.v[e];
                meshEdges.insert(EdgeKey(nf.v[e], nf.v[(e + 1) % 3]));
            }
            f.n = Normalized((m.vert[f.v[1]].p - m.vert[f.v[0]].p) ^ (m.vert[f.v[2]].p - m.vert[f.v[0]].p));
            for (int e = 0; e < 3; ++e) {
                const Owner& o = nf.own[e];
                if (o.isNew) {
                    f.ff[e] = base + o.face;
                    f.ffi[e] = int8_t(o.edge);
                } else {
                    f.ff[e] = o.face;
                    f.ffi[e] = int8_t(o.edge);
                    m.face[o.face].ff[o.edge] = fi;
                    m.face[o.face].ffi[o.edge] = int8_t(e);
                }
            }
        }
        ++filled;
    }
    if (filled > 0)
        UpdateTopology<MyMesh>::VertexFace(m);
    return filled;
}

} // namespace vcg::tri
