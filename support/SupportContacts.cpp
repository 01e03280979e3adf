// Contact regions, thinning, contact points and the support records of a
// first generation.
#include "SupportPhaseUtil.h"
#include "SupportRun.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <QHash>

#include <unordered_map>
#include <unordered_set>
#include <vector>

using namespace supportphase;

namespace {

constexpr int kSeed = -1;

int Micro(float c)
{
    const double v = double(c * 1000.0f);
    if (!(v == v))
        return 0;
    return int(std::max(-2147483647.0, std::min(2147483647.0, v)));
}

// Breadth-first region of `label` from `seed`: claims the vertices up or
// level from the one being walked, within R2 (square micrometres) of the
// seed in plan.
class RegionGrower {
public:
    RegionGrower(const MyMesh& mesh, QVector<SupportVertexState>& states, qint64 r2)
        : m_mesh(mesh), m_states(states.data()), m_r2(r2)
    {
    }

    // A region that climbed a wall would claim a ceiling far above its
    // seed (the roof of a hole opening downward, a shelf over a ledge) and
    // leave it without a support: a contact's region walks across faces
    // pointing down only, an upward region across faces pointing up no
    // steeper than 60 degrees. Over a knife edge (a slope running down
    // into an underside) an upward region would otherwise walk on across
    // the underside and claim every vertex of it level with the edge: the
    // underside got no contact and cured its first layer in the air.
    enum Walk { kDownFaces, kUpFaces };
    bool Walkable(const MyFace& f, Walk walk) const
    {
        return walk == kDownFaces ? f.n[2] < 0.f : f.n[2] >= 0.5f;
    }

    void Grow(uint32_t seed, int label, int sx, int sy, Walk walk)
    {
        m_queue.clear();
        m_queue.push_back(seed);
        for (size_t head = 0; head < m_queue.size(); ++head) {
            const uint32_t c = m_queue[head];
            const vcg::Point3f pc = m_mesh.vert[c].p;
            const int slabC = m_states[c].slab;
            ForRing(m_mesh, c, [&](uint32_t f, int k) {
                const MyFace& face = m_mesh.face[f];
                if (!Walkable(face, walk))
                    return;
                const int k1 = (k + 1) % 3;
                const uint32_t w = face.v[k1];
                if (Claimable(w, pc, slabC, label, sx, sy))
                    Claim(w, label, sx, sy);
                const RingPos g = NextInRing(m_mesh, f, k1);
                const uint32_t w2 = m_mesh.face[g.f].v[(g.k + 2) % 3];
                const float za = m_mesh.vert[w].p[2];
                const float zb = m_mesh.vert[face.v[(k + 2) % 3]].p[2];
                if (!Walkable(m_mesh.face[g.f], walk))
                    return;
                if ((pc[2] - zb) * (pc[2] - za) <= 0.f && Claimable(w2, pc, slabC, label, sx, sy))
                    Claim(w2, label, sx, sy);
            });
        }
    }

private:
    bool Claimable(uint32_t w, const vcg::Point3f& pc, int slabC, int label, int sx, int sy) const
    {
        if (w >= m_mesh.VertexCount())
            return false;
        const SupportVertexState& s = m_states[w];
        if (s.label == SupportVertexState::kUpward || s.label == kSeed || s.label == label)
            return false;
        const vcg::Point3f& pw = m_mesh.vert[w].p;
        if (!(slabC <= s.slab || double(pc[2]) <= double(pw[2]) - 0.02))
            return false;
        const qint64 dx = qint64(Micro(pw[0])) - sx, dy = qint64(Micro(pw[1])) - sy;
        return dx * dx + dy * dy <= m_r2;
    }
    void Claim(uint32_t w, int label, int sx, int sy)
    {
        SupportVertexState& s = m_states[w];
        s.label = label;
        s.seedX = sx;
        s.seedY = sy;
        m_queue.push_back(w);
    }

    const MyMesh& m_mesh;
    SupportVertexState* m_states;
    qint64 m_r2;
    std::vector<uint32_t> m_queue;
};

// The floors of dimples no region of their own reaches: a vertex whose
// every neighbour stands higher, or a run of vertices of one height joined
// by edges (a dimple whose floor is an edge or a flat patch) with nothing
// lower round it. Each floor is named by its first vertex; floors holding a
// contact are left out.
std::vector<uint32_t> DimpleFloors(const MyMesh& mesh, const QMap<uint, uchar>& contacts,
                                   const std::function<void()>& poll)
{
    // A floor wider than this is a face of the model, not a dimple in one.
    constexpr size_t kMaxFloor = 256;
    const uint32_t vn = mesh.VertexCount();
    std::vector<uint8_t> seen(vn, 0);
    std::vector<uint32_t> floors, run;
    for (uint32_t v = 0; v < vn; ++v) {
        if ((v & 4095) == 0)
            poll();
        if (seen[v] || mesh.vert[v].IsD())
            continue;
        const float z = mesh.vert[v].p[2];
        run.assign(1, v);
        seen[v] = 1;
        // The whole run is walked even once it is known to be no floor: a
        // part of it left unseen would be taken for a floor of its own.
        bool lower = false, any = false;
        for (size_t head = 0; head < run.size(); ++head)
            ForRing(mesh, run[head], [&](uint32_t f, int k) {
                for (int j = 1; j < 3; ++j) {
                    const uint32_t w = mesh.face[f].v[(k + j) % 3];
                    any = true;
                    if (w >= vn || mesh.vert[w].p[2] < z) {
                        lower = true;
                    } else if (mesh.vert[w].p[2] == z && !seen[w]) {
                        seen[w] = 1;
                        run.push_back(w);
                    }
                }
            });
        if (lower || !any || run.size() > kMaxFloor)
            continue;
        if (std::none_of(run.begin(), run.end(), [&contacts](uint32_t w) { return contacts.contains(w); }))
            floors.push_back(*std::min_element(run.begin(), run.end()));
    }
    return floors;
}

} // namespace

void SupportRun::BuildContacts(const MyMesh& mesh, SupportMap& map, QVector<DLP_Support*>& index)
{
    m_thinned.clear();
    m_removedContacts.clear();
    m_upturnedContacts.clear();
    m_claimedMinima.clear();
    m_ownSupportKeys.clear();
    m_contactStates.clear();
    m_vertexContacts.clear();
    m_edgeContacts.clear();
    m_otherContacts.clear();
    map.clear();
    index.clear();
    const uint32_t vn = mesh.VertexCount();
    if (vn == 0 || m_vertexStates.size() != int(vn))
        return;
    const double d = m_sizes.d;
    const qint64 r2 = qint64(d * d * 1000000.0);
    RegionGrower grower(mesh, m_vertexStates, r2);

    // Pass 1: the upward regions never carry contacts.
    int visited = 0;
    for (uint u : m_upwardVertices) {
        if ((++visited & 1023) == 0)
            ThrowIfStopped();
        const SupportVertexState& s = m_vertexStates[int(u)];
        grower.Grow(u, int(u), s.seedX, s.seedY, RegionGrower::kUpFaces);
    }
    // Pass 2: the lowest unclaimed vertex of what is left seeds a contact.
    for (int slab = 0; slab < SlabCount(); ++slab) {
        ThrowIfStopped();
        for (const SlabEntry* e = SlabBegin(slab); e != SlabEnd(slab); ++e) {
            if ((++visited & 1023) == 0)
                ThrowIfStopped();
            SupportVertexState& s = m_vertexStates[int(e->vertex)];
            if (s.label != SupportVertexState::kUnclaimed)
                continue;
            s.label = kSeed;
            s.seedX = Micro(mesh.vert[e->vertex].p[0]);
            s.seedY = Micro(mesh.vert[e->vertex].p[1]);
            m_contactStates.insert(e->vertex, 0);
            grower.Grow(e->vertex, int(e->vertex), s.seedX, s.seedY, RegionGrower::kDownFaces);
        }
    }
    ThrowIfStopped();
    // A region walks level vertices of its slab, and so claims the dimples
    // in it: each lights a speck of its own a layer before the surface
    // round it, so it is a low point for the loose-contact phase.
    for (uint32_t v : DimpleFloors(mesh, m_contactStates, [this] { ThrowIfStopped(); }))
        m_claimedMinima.append({mesh.vert[v].p, 10u * v + 3u});

    // Thinning: from the lowest contact up (equal heights: higher index
    // first), each surviving contact thins the later ones within 0.3 d in
    // plan and less than 0.3 d higher. A plan hash finds those.
    struct Contact {
        uint v;
        float z;
    };
    std::vector<Contact> order;
    order.reserve(size_t(m_contactStates.size()));
    for (auto it = m_contactStates.constBegin(); it != m_contactStates.constEnd(); ++it)
        order.push_back({it.key(), mesh.vert[it.key()].p[2]});
    std::stable_sort(order.begin(), order.end(), [](const Contact& a, const Contact& b) {
        return a.z != b.z ? a.z < b.z : a.v > b.v;
    });
    const double near = 0.3 * d;
    std::vector<uchar> state(order.size(), 0);
    std::vector<int> thinnedBy(order.size(), -1);
    PlanCells<int> cells(near);
    for (int i = 0; i < int(order.size()); ++i)
        cells.Add(mesh.vert[order[size_t(i)].v].p, i);
    for (int i = 0; i < int(order.size()); ++i) {
        if ((i & 1023) == 0)
            ThrowIfStopped();
        if (state[size_t(i)] == 1)
            continue;
        const vcg::Point3f& p = mesh.vert[order[size_t(i)].v].p;
        cells.ForEachNear(p, [&](int j) {
            if (j <= i || state[size_t(j)] == 1)
                return;
            const vcg::Point3f& q = mesh.vert[order[size_t(j)].v].p;
            if (HorizontalDistance(p, q) < near && double(q[2]) - double(p[2]) < near) {
                state[size_t(j)] = 1;
                state[size_t(i)] = 2;
                thinnedBy[size_t(j)] = i;
            }
        });
    }
    std::vector<std::pair<uint, uint>> thinnedPairs; // thinned vertex, keeper vertex
    for (size_t i = 0; i < order.size(); ++i) {
        if (state[i] == 1) {
            m_contactStates.remove(order[i].v);
            thinnedPairs.emplace_back(order[i].v, order[size_t(thinnedBy[i])].v);
        } else {
            m_contactStates[order[i].v] = state[i];
        }
    }
    m_counts.contacts = m_contactStates.size();
    QHash<uint, SupportKey> contactKey;

    // Contact point and tip direction of each kept contact.
    const float dt = float(m_params.tipDiameter);
    visited = 0;
    for (auto it = m_contactStates.constBegin(); it != m_contactStates.constEnd(); ++it) {
        if ((++visited & 1023) == 0)
            ThrowIfStopped();
        const uint v = it.key();
        const vcg::Point3f pv = mesh.vert[v].p;
        const int slabV = m_vertexStates[int(v)].slab;
        vcg::Point3f sum(0, 0, 0);
        float longest = 0.f;
        uint32_t edgeFace = vcg::kNone;
        int edgeCorner = 0;
        ForRing(mesh, v, [&](uint32_t f, int k) {
            const MyFace& face = mesh.face[f];
            const uint32_t ia = face.v[(k + 1) % 3];
            const vcg::Point3f a = mesh.vert[ia].p, b = mesh.vert[face.v[(k + 2) % 3]].p;
            const vcg::Point3f ea = a - pv, eb = b - pv;
            const float la = ea.Norm(), lb = eb.Norm();
            const vcg::Point3f centroid = (pv + a + b) / 3.f;
            const float toCentroid = (centroid - pv).Norm();
            // A degenerate corner has no angle and adds nothing.
            if (la > 0.f && lb > 0.f && toCentroid > 0.f) {
                const float cosine = std::max(-1.f, std::min(1.f, (ea * eb) / (la * lb)));
                const float angle = std::acos(cosine);
                const float area = (ea ^ eb).Norm() / 2.f;
                sum += face.n * (angle * area / toCentroid);
            }
            if (la > longest && m_vertexStates[int(ia)].slab <= slabV) {
                longest = la;
                edgeFace = f;
                edgeCorner = k;
            }
        });
        if (edgeFace != vcg::kNone && longest > dt) {
            const MyFace& F = mesh.face[edgeFace];
            const vcg::Point3f A = mesh.vert[F.v[edgeCorner]].p, B = mesh.vert[F.v[(edgeCorner + 1) % 3]].p;
            const vcg::Point3f point = A + Unit(B - A) * std::min(dt, longest / 2.f);
            const RingPos g = NextInRing(mesh, edgeFace, edgeCorner);
            const vcg::Point3f dir = Unit(F.n + mesh.face[g.f].n);
            QList<vcg::Point3f>& list = m_edgeContacts[10u * edgeFace + uint(edgeCorner)];
            list << point << dir;
            contactKey.insert(v, SupportKey(SupportHeightKey(point[2]), 10u * edgeFace + uint(edgeCorner)));
        } else {
            QList<vcg::Point3f>& list = m_vertexContacts[10u * v + 3u];
            list << pv << Unit(sum);
            contactKey.insert(v, SupportKey(SupportHeightKey(pv[2]), 10u * v + 3u));
        }
    }
    // Keepers are never thinned themselves, so each has its record.
    for (const auto& pair : thinnedPairs)
        if (contactKey.contains(pair.second))
            m_thinned.append({mesh.vert[pair.first].p, contactKey.value(pair.second), 10u * pair.first + 3u});

    // Records, from the highest contact down in map order.
    int next = 0;
    for (const QMap<uint, QList<vcg::Point3f>>* cls : {&m_vertexContacts, &m_edgeContacts, &m_otherContacts}) {
        for (auto it = cls->constBegin(); it != cls->constEnd(); ++it) {
            const QList<vcg::Point3f>& list = it.value();
            for (int i = 0; i + 1 < list.size(); i += 2) {
                const vcg::Point3f& p = list[i];
                const vcg::Point3f& n = list[i + 1];
                if (n[2] > 0.f) {
                    m_upturnedContacts.append({p, it.key()});
                    continue;
                }
                DLP_Support& s = map[SupportKey(SupportHeightKey(p[2]), it.key())];
                s = DLP_Support();
                s.index = next++;
                s.point = p;
                s.normal = n;
                index.append(&s);
            }
        }
    }
    m_counts.records = next;
}

namespace {

// The foot of a drop from `point` that a 45 degree link joins to `end`:
// false when `point` is too close above `end` for the slope.
bool LinkFoot(const vcg::Point3f& point, const vcg::Point3f& end, vcg::Point3f& foot)
{
    const float across = float(supportphase::HorizontalDistance(point, end));
    foot = vcg::Point3f(point[0], point[1], end[2] + across);
    return foot[2] < point[2];
}

} // namespace

void SupportRun::BridgeLooseContacts(const MyMesh& mesh, SupportMap& map)
{
    const double rt = m_sizes.rt;
    // Straight down through the low point, so every layer of it stands on
    // the drop's section, then at 45 degrees to the far end of the keeper's
    // tip: a slope whose sections overlap from layer to layer. The drop
    // reaches a tip radius into the model, past the low point's first
    // slivers, which are too thin to stand on.
    auto link = [&](DLP_Support& keeper, const vcg::Point3f& point, uint code, const vcg::Point3f& foot) {
        const vcg::Point3f top(point[0], point[1], point[2] + float(rt));
        keeper.cones.append(SaveCone(top, rt, foot, rt));
        keeper.cones.append(SaveCone(foot, rt, keeper.cones.front()[1], rt));
        AddSpineRod(mesh, code, point, keeper);
    };
    // A thinned contact whose keeper a phase removed, or whose keeper's tip
    // ends too high for the slope, leans on another.
    std::vector<RemovedContact> loose(m_removedContacts.begin(), m_removedContacts.end());
    // Most upturned contacts lie in pits of a surface facing up, over the
    // model itself; one that hangs over air is a low point all the same.
    // It hangs over air when a point just under it lies outside the model
    // (faces through the point itself are not below it).
    constexpr float kJustUnderMm = 0.001f;
    // So are the dimples a region claimed.
    for (const QVector<RemovedContact>* points : {&m_upturnedContacts, &m_claimedMinima})
        for (const RemovedContact& u : *points)
            if (!InsideModel(mesh, u.point - vcg::Point3f(0.f, 0.f, kJustUnderMm)))
                loose.push_back(u);
    for (const ThinnedContact& t : m_thinned) {
        const auto it = map.find(t.keeper);
        vcg::Point3f foot;
        if (it == map.end())
            loose.push_back({t.point, t.code});
        else if (it->isDeleted || it->cones.isEmpty())
            continue; // the user deleted it: nothing leans on it
        else if (LinkFoot(t.point, it->cones.front()[1], foot))
            link(*it, t.point, t.code, foot);
        else
            loose.push_back({t.point, t.code});
    }
    // The points of slender spikes that have records of their own.
    int walked = 0;
    for (auto it = map.begin(); it != map.end(); ++it) {
        if ((++walked & 1023) == 0)
            ThrowIfStopped();
        if (!it->isDeleted && !it->cones.isEmpty())
            AddSpineRod(mesh, it.key().second, it->point, *it);
    }
    if (loose.empty())
        return;

    // Kept supports by the plan square of their tip ends, squares of the spacing.
    PlanCells<DLP_Support*> cells(m_sizes.d);
    for (auto it = map.begin(); it != map.end(); ++it) {
        if (it->isDeleted || it->cones.isEmpty())
            continue;
        const vcg::Point3f end = it->cones.front()[1];
        if (std::isfinite(end[0]) && std::isfinite(end[1]) && std::isfinite(end[2]))
            cells.Add(end, &*it);
    }
    struct Candidate {
        DLP_Support* support;
        double across;
        vcg::Point3f foot;
    };
    std::vector<Candidate> candidates;
    std::vector<RemovedContact> unlinked;
    int visited = 0;
    for (const RemovedContact& r : loose) {
        const vcg::Point3f& p = r.point;
        if ((++visited & 63) == 0)
            ThrowIfStopped();
        // Those a slope reaches, nearest first; walls are looked for only
        // until one passes none.
        candidates.clear();
        cells.ForEachNear(p, [&](DLP_Support* s) {
            const vcg::Point3f end = s->cones.front()[1];
            Candidate c{s, HorizontalDistance(p, end), vcg::Point3f()};
            if (c.across < m_sizes.d && LinkFoot(p, end, c.foot))
                candidates.push_back(c);
        });
        std::stable_sort(candidates.begin(), candidates.end(),
                         [](const Candidate& a, const Candidate& b) { return a.across < b.across; });
        // The drop's axis from just under the low point's first slivers.
        const vcg::Point3f below(p[0], p[1], p[2] - float(rt + 0.1));
        bool linked = false;
        for (const Candidate& c : candidates) {
            if (!SegmentMeetsSurface(c.foot, c.support->cones.front()[1], mesh) &&
                !SegmentMeetsSurface(below, c.foot, mesh)) {
                link(*c.support, p, r.code, c.foot);
                ++m_counts.looseLinked;
                linked = true;
                break;
            }
        }
        if (!linked)
            unlinked.push_back(r);
    }
    SupportLowPoints(mesh, map, unlinked);
}

namespace {

// The vertices a contact code names: its vertex, or the two ends of its
// edge; none when it names no live element (a click key, a stale code).
std::vector<uint32_t> CodeVertices(const MyMesh& mesh, uint code)
{
    const uint q = code / 10, r = code % 10;
    if (r == 3 && q < mesh.VertexCount() && !mesh.vert[q].IsD())
        return {q};
    if (r < 3 && q < mesh.FaceCount() && !mesh.face[q].IsD())
        return {mesh.face[q].v[r], mesh.face[q].v[(r + 1) % 3]};
    return {};
}

} // namespace

bool SupportRun::ModelHolds(const MyMesh& mesh, const vcg::Point3f& p, uint code,
                            const std::vector<uint8_t>& carrying) const
{
    // The level patch about the point: the vertices the surface reaches from
    // it without climbing more than kHoldingClimbMm, within the contact
    // spacing. A lower vertex there, or one carrying a support, holds the
    // patch; so does a patch too large to walk (the answer that adds
    // nothing).
    const float kLevel = float(kHoldingClimbMm);
    constexpr size_t kMaxPatch = 4096;
    std::vector<uint32_t> queue = CodeVertices(mesh, code);
    if (queue.empty())
        return true;
    std::unordered_set<uint32_t> seen(queue.begin(), queue.end());
    auto fresh = [&seen](uint32_t w) { return seen.insert(w).second; };
    const double reach = m_sizes.d;
    for (size_t head = 0; head < queue.size(); ++head) {
        const uint32_t v = queue[head];
        const vcg::Point3f& pv = mesh.vert[v].p;
        if (pv[2] < p[2] - kLevel || (v < carrying.size() && carrying[v]))
            return true;
        if (queue.size() > kMaxPatch)
            return true;
        ForRing(mesh, v, [&](uint32_t f, int k) {
            for (int j = 1; j < 3; ++j) {
                const uint32_t w = mesh.face[f].v[(k + j) % 3];
                if (w >= mesh.VertexCount())
                    continue;
                const vcg::Point3f& pw = mesh.vert[w].p;
                if (pw[2] <= p[2] + kLevel && HorizontalDistance(pw, p) <= reach && fresh(w))
                    queue.push_back(w);
            }
        });
    }
    return false;
}

bool SupportRun::FaceStraightBelow(const MyMesh& mesh, const vcg::Point3f& p, float below, float& z,
                                   bool& facesUp) const
{
    using supportcollide::CellIndex;
    using supportcollide::kGridOffset;
    // Only the faces listed in the column of cells from the point down to the plate.
    const int ix = CellIndex(p[0], kGridOffset), iy = CellIndex(p[1], kGridOffset);
    const supportcollide::CellRange column{ix, ix, iy, iy, CellIndex(m_zPlate, kGridOffset),
                                           CellIndex(below, kGridOffset)};
    bool found = false;
    const double px = p[0], py = p[1];
    supportcollide::WalkCells(m_faceGrid, column, [&](uint f) {
        if (f >= mesh.FaceCount() || mesh.face[f].IsD())
            return false;
        const vcg::Point3f &a = mesh.P(f, 0), &b = mesh.P(f, 1), &c = mesh.P(f, 2);
        const double abx = double(b[0]) - a[0], aby = double(b[1]) - a[1];
        const double acx = double(c[0]) - a[0], acy = double(c[1]) - a[1];
        const double area = abx * acy - aby * acx; // twice the signed area seen from above
        if (std::fabs(area) < 1e-12)
            return false; // edge-on: a wall
        const double apx = px - a[0], apy = py - a[1];
        const double u = (apx * acy - apy * acx) / area, v = (abx * apy - aby * apx) / area;
        if (u < 0 || v < 0 || u + v > 1)
            return false;
        const float zf = float(a[2] + u * (double(b[2]) - a[2]) + v * (double(c[2]) - a[2]));
        if (zf < below && (!found || zf > z)) {
            found = true;
            z = zf;
            facesUp = area > 0; // counter-clockwise from above: the outward normal points up
        }
        return false;
    });
    return found;
}

bool SupportRun::InsideModel(const MyMesh& mesh, const vcg::Point3f& p) const
{
    // Four lines nudged off the point, as the foot test casts them: one line
    // may pass a hair beside the edge of a face under the point (an open
    // patch) and see only a bottom further down. Inside only when every
    // line says so: a point taken for inside gets no support.
    const float nudge[4][2] = {{3.1e-4f, 1.7e-4f}, {-3.1e-4f, -1.7e-4f}, {-1.7e-4f, 3.1e-4f}, {1.7e-4f, -3.1e-4f}};
    for (const auto& n : nudge) {
        float z = 0.f;
        bool facesUp = false;
        if (!FaceStraightBelow(mesh, vcg::Point3f(p[0] + n[0], p[1] + n[1], p[2]), p[2], z, facesUp) || facesUp)
            return false;
    }
    return true;
}

bool SupportRun::SpineRodEnd(const MyMesh& mesh, uint code, const vcg::Point3f& p, vcg::Point3f& end) const
{
    const uint v = code / 10;
    if (code % 10 != 3 || v >= mesh.VertexCount() || mesh.vert[v].IsD() || !(mesh.vert[v].p == p))
        return false;
    // A spike's point: every edge leaves it upward; its spine runs along their mean.
    vcg::Point3f sum(0.f, 0.f, 0.f);
    bool point = true;
    ForRing(mesh, v, [&](uint32_t f, int k) {
        for (int j = 1; j < 3; ++j) {
            const vcg::Point3f e = mesh.vert[mesh.face[f].v[(k + j) % 3]].p - p;
            point = point && e[2] > 0.f;
            sum += Unit(e);
        }
    });
    const vcg::Point3f spine = Unit(sum);
    if (!point || !(spine[2] > 0.f))
        return false;
    const double r = SpineRodRadius();
    bool reached = false;
    for (double t = m_sizes.rt; t <= kSpineRodMaxMm + 1e-9; t += kSpineStepMm) {
        const vcg::Point3f q = p + spine * float(t);
        if (!InsideModel(mesh, q))
            break; // the spine left the spike (a bent one): the rod ends inside it
        const bool clear = !supportcollide::SurfaceWithin(q, r, mesh, m_faceGrid, supportcollide::kGridOffset);
        if (clear && t == m_sizes.rt)
            return false; // the tip's sphere holds a spike this wide
        reached = true;
        end = q;
        if (clear)
            break;
    }
    return reached;
}

void SupportRun::AddSpineRod(const MyMesh& mesh, uint code, const vcg::Point3f& p, DLP_Support& holder) const
{
    vcg::Point3f end;
    if (SpineRodEnd(mesh, code, p, end))
        holder.cones.append(SaveCone(p, SpineRodRadius(), end, SpineRodRadius()));
}

bool SupportRun::ModelBelow(const MyMesh& mesh, const vcg::Point3f& p, bool tipFree, const vcg::Point3f& tipEnd,
                            const vcg::Point3f& columnHit, vcg::Point3f& foot) const
{
    using supportcollide::kMissingBelow;
    // It stands in the top of the part straight below the point: a wall
    // beside the line, or a part's underside, holds nothing up. A top with
    // no solid model under it (the upper of two skins, an open sheet) is
    // dark in the slices: the end would print loose, so it reaches on down
    // to the next top, as a column's foot would.
    // The top must also hold the end beside its axis: the point of a spike
    // holds a hair of model under the end's flat foot, less than the layer
    // below lights, and the whole foot cured in the air.
    const float footDepth = kPinDepthMm + float(kFootDepthMm);
    const float half = float(tipFree ? m_sizes.rs : m_sizes.rt) / 2.f;
    auto holds = [&](float z) {
        if (!SolidBelow(vcg::Point3f(p[0], p[1], z), footDepth, m_zPlate - 1.f, mesh))
            return false;
        const float off[4][2] = {{half, 0.f}, {-half, 0.f}, {0.f, half}, {0.f, -half}};
        return std::any_of(std::begin(off), std::end(off), [&](const float* o) {
            return SolidBelow(vcg::Point3f(p[0] + o[0], p[1] + o[1], z), footDepth, m_zPlate - 1.f, mesh);
        });
    };
    float z = 0.f, below = p[2] - kPinClearMm;
    bool facesUp = false;
    for (;;) {
        if (!FaceStraightBelow(mesh, p, below, z, facesUp) || !facesUp || !(z > m_zPlate))
            return false;
        if (holds(z))
            break;
        below = z;
    }
    if (tipFree) {
        // The tip fits; its column meets that part first, and nothing higher
        // than the part's top rises within the column's radius (a top sloping
        // under the column up to 45 degrees, as a thigh's under a hand).
        if (!(columnHit[2] > kMissingBelow && columnHit[1] > kMissingBelow) || !(z < tipEnd[2]) ||
            columnHit[2] > z + std::max(kPinDepthMm, float(m_sizes.rs)))
            return false;
    }
    foot = vcg::Point3f(p[0], p[1], z - kPinDepthMm);
    return true;
}

bool SupportRun::ColumnStandsOnHit(const MyMesh& mesh, const vcg::Point3f& tipEnd, const vcg::Point3f& hit,
                                   vcg::Point3f& top) const
{
    using supportcollide::kMissingBelow;
    // A hit inside the model, or none, holds nothing; nor does one whose
    // foot would hang over an undercut.
    if (!(hit[2] > kMissingBelow && hit[1] > kMissingBelow) || !(hit[2] <= tipEnd[2]) ||
        !SolidBelow(hit, float(m_sizes.rt + kFootDepthMm), m_zPlate - 1.f, mesh))
        return false;
    // The column ends a tip length above the hit and a reversed tip reaches
    // down to it, as a contact's column does.
    const float Lp = std::min(float(m_sizes.tipLength), tipEnd[2] - hit[2]);
    top = vcg::Point3f(tipEnd[0], tipEnd[1], hit[2] + Lp);
    return EndBallHeld(mesh, top, hit);
}

bool SupportRun::LeaningTipToPlate(const MyMesh& mesh, const vcg::Point3f& p, uint code, vcg::Point3f& direction,
                                   vcg::Point3f& tipEnd) const
{
    // Along the normals of the faces round the point, steepest first, no
    // more than 60 degrees from straight down: the first tip that fits and
    // whose column reaches the plate.
    std::vector<vcg::Point3f> normals;
    for (uint32_t v : CodeVertices(mesh, code))
        ForRing(mesh, v, [&](uint32_t f, int) {
            if (!mesh.face[f].IsD() && mesh.face[f].n[2] < -0.5f)
                normals.push_back(mesh.face[f].n);
        });
    std::stable_sort(normals.begin(), normals.end(),
                     [](const vcg::Point3f& a, const vcg::Point3f& b) { return a[2] < b[2]; });
    const float L = float(m_sizes.tipLength);
    for (const vcg::Point3f& n : normals) {
        const vcg::Point3f N = Unit(n), T = p + N * L;
        if (!(T[2] > m_zPlate) || !TipFits(p, N, mesh))
            continue;
        if (!(FindFirstCollisionColumn(T, m_sizes.rs, m_zPlate, mesh)[2] <= supportcollide::kMissingBelow))
            continue;
        direction = N;
        tipEnd = T;
        return true;
    }
    return false;
}

void SupportRun::SupportLowPoints(const MyMesh& mesh, SupportMap& map, std::vector<RemovedContact> points)
{
    if (points.empty())
        return;
    // Vertices that carry a generated support.
    std::vector<uint8_t> carrying(mesh.VertexCount(), 0);
    for (auto it = map.constBegin(); it != map.constEnd(); ++it)
        if (it->generated && !it->isDeleted && !it->cones.isEmpty())
            for (uint32_t v : CodeVertices(mesh, it.key().second))
                carrying[v] = 1;
    std::stable_sort(points.begin(), points.end(),
                     [](const RemovedContact& a, const RemovedContact& b) { return a.point[2] < b.point[2]; });
    const SupportSizes& sz = m_sizes;
    const float L = float(sz.tipLength);
    const vcg::Point3f down(0.f, 0.f, -1.f);
    std::vector<vcg::Point3f> made;
    for (const RemovedContact& r : points) {
        ThrowIfStopped();
        const vcg::Point3f& P = r.point;
        const SupportKey key(SupportHeightKey(P[2]), r.code);
        if (m_ownSupportKeys.contains(key) || map.contains(key))
            continue; // made before: it stands, or the user deleted it
        // Copies of one point (a pole written once per slice) share one support.
        if (std::any_of(made.begin(), made.end(), [&](const vcg::Point3f& m) { return (m - P).Norm() < sz.rt; }))
            continue;
        if (ModelHolds(mesh, P, r.code, carrying))
            continue;
        // The free tip of the tip phase, straight down, and a plate column.
        const vcg::Point3f T = P + down * L;
        const bool tipFree = TipFits(P, down, mesh);
        const vcg::Point3f hit = tipFree ? FindFirstCollisionColumn(T, sz.rs, m_zPlate, mesh)
                                         : vcg::Point3f(supportcollide::kMissing, supportcollide::kMissing,
                                                        supportcollide::kMissing);
        const bool toPlate = tipFree && hit[2] <= supportcollide::kMissingBelow && T[2] > m_zPlate;
        // Otherwise the point hangs over another part of the model: a pin of
        // the tip's width straight down into it (a tip and its column where
        // the tip fits). Where the tip has no room and nothing of the model
        // lies below (a thin beam's end beside another), a pin of the tip's
        // width to the plate, if it passes; else a tip along a face round
        // the point and its column; or the point prints in the air.
        vcg::Point3f foot;
        vcg::Point3f tipDirection = down, tipEnd = T;
        bool pinToPlate = false, leaning = false, onHit = false;
        vcg::Point3f hitTop;
        if (!toPlate && !ModelBelow(mesh, P, tipFree, T, hit, foot)) {
            if (tipFree) {
                // The column meets the model well above the top straight
                // below (a wall's edge, a rising slope): it stands on its
                // own hit where the model is solid there, as a contact's
                // column does.
                if (!ColumnStandsOnHit(mesh, T, hit, hitTop))
                    continue;
                onHit = true;
            } else {
                if (!(P[2] > m_zPlate))
                    continue;
                const vcg::Point3f pinHit = FindFirstCollisionColumn(P + down * kPinClearMm, sz.rt, m_zPlate, mesh);
                if (pinHit[2] <= supportcollide::kMissingBelow) {
                    pinToPlate = true;
                    foot = vcg::Point3f(P[0], P[1], m_zPlate);
                } else if (LeaningTipToPlate(mesh, P, r.code, tipDirection, tipEnd)) {
                    leaning = true;
                } else {
                    continue;
                }
            }
        }
        DLP_Support& s = map[key];
        s = DLP_Support();
        s.index = -1;
        s.point = P;
        s.normal = tipDirection;
        s.spheres.append(SaveSphere(P, sz.rt));
        if (onHit) {
            s.tipEnd = s.shaftTop = T;
            s.base = vcg::Point3f(T[0], T[1], hit[2]);
            s.landing = hit;
            s.cones.append(SaveCone(P, sz.rt, T, sz.rs));
            s.spheres.append(SaveSphere(T, sz.rs));
            AppendLegToHit(s, hitTop, hit);
        } else if (toPlate || tipFree || leaning) {
            s.tipEnd = s.shaftTop = tipEnd;
            s.base = toPlate || leaning ? vcg::Point3f(tipEnd[0], tipEnd[1], m_zPlate) : foot;
            s.cones.append(SaveCone(P, sz.rt, tipEnd, sz.rs));
            s.cones.append(SaveCone(tipEnd, sz.rs, s.base, sz.rs));
            s.spheres.append(SaveSphere(tipEnd, sz.rs));
        } else {
            s.tipEnd = s.shaftTop = s.base = foot;
            s.cones.append(SaveCone(P, sz.rt, foot, sz.rt));
        }
        s.onModel = !toPlate && !pinToPlate && !leaning;
        if (s.onModel && !onHit)
            s.landing = vcg::Point3f(foot[0], foot[1], foot[2] + kPinDepthMm);
        AddSpineRod(mesh, r.code, P, s);
        made.push_back(P);
        m_ownSupportKeys.insert(key);
        ++m_counts.ownSupports;
    }
}
