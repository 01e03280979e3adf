#include "openshell.h"

#include <algorithm>

namespace contour {

namespace {

bool Equal(const ClipperLib::IntPoint& a, const ClipperLib::IntPoint& b) { return a.X == b.X && a.Y == b.Y; }

ClipperLib::Path ToPath(const OpenShellChainer::Chain& c) { return ClipperLib::Path(c.begin(), c.end()); }

} // namespace

int64_t OpenShellChainer::FindEnd(const ClipperLib::IntPoint& p, uint32_t ownPos, const uint32_t* cand,
                                  const PlaneVisits& visits) const
{
    auto less = [](const EndRef& e, const ClipperLib::IntPoint& q) { return e.x < q.X || (e.x == q.X && e.y < q.Y); };
    for (auto it = std::lower_bound(m_ends.begin(), m_ends.end(), p, less);
         it != m_ends.end() && it->x == p.X && it->y == p.Y; ++it) {
        const uint32_t pos = it->end / 2;
        if (pos == ownPos || visits.IsVisited(cand[pos]))
            continue;
        return it->end;
    }
    return -1;
}

void OpenShellChainer::Run(float h, const uint32_t* candBegin, const uint32_t* candEnd, PlaneVisits& visits,
                           ClipperLib::Paths& out)
{
    const size_t count = size_t(candEnd - candBegin);
    m_segments.assign(count, Segment());
    m_ends.clear();
    for (size_t pos = 0; pos < count; ++pos) {
        const uint32_t f = candBegin[pos];
        if (visits.IsVisited(f))
            continue;
        const MyFace& fc = m_mesh.face[f];
        bool reach[3];
        ClipperLib::IntPoint pt[3];
        for (int e = 0; e < 3; ++e) {
            const vcg::Point3f& p = m_mesh.vert[fc.v[e]].p;
            const vcg::Point3f& q = m_mesh.vert[fc.v[(e + 1) % 3]].p;
            reach[e] = Reaches(p.Z(), q.Z(), h);
            if (reach[e])
                pt[e] = CrossingPoint(p, q, h);
        }
        Segment& s = m_segments[pos];
        if (reach[0] && reach[1]) {
            s = {pt[0], pt[1], true};
        }
        if (reach[1] && reach[2])
            s = {pt[1], pt[2], true};
        if (reach[2] && reach[0])
            s = {pt[2], pt[0], true};
        if (!s.valid)
            continue;
        if (Equal(s.a, s.b)) {
            s.valid = false;
            visits.Visit(f);
            continue;
        }
        m_ends.push_back({s.a.X, s.a.Y, uint32_t(2 * pos)});
        m_ends.push_back({s.b.X, s.b.Y, uint32_t(2 * pos + 1)});
    }
    std::sort(m_ends.begin(), m_ends.end(), [](const EndRef& a, const EndRef& b) {
        return a.x != b.x ? a.x < b.x : a.y != b.y ? a.y < b.y : a.end < b.end;
    });

    auto otherPoint = [&](uint32_t end) {
        const Segment& s = m_segments[end / 2];
        return (end & 1) ? s.a : s.b;
    };
    std::vector<Chain> loose;
    for (size_t pos = 0; pos < count; ++pos) {
        const uint32_t f = candBegin[pos];
        if (!m_segments[pos].valid || visits.IsVisited(f) || f >= uint32_t(m_shellOfFace.size()) ||
            !m_openShell[m_shellOfFace[f]])
            continue;
        // The starting face is marked too, so no later chain can use its
        // segment a second time.
        visits.Visit(f);
        Chain chain{m_segments[pos].a, m_segments[pos].b};
        bool closed = false;
        for (;;) { // tail phase: every step uses up one face
            if (Equal(chain.front(), chain.back())) {
                closed = true;
                break;
            }
            const int64_t end = FindEnd(chain.back(), uint32_t(pos), candBegin, visits);
            if (end < 0)
                break;
            visits.Visit(candBegin[end / 2]);
            chain.push_back(otherPoint(uint32_t(end)));
        }
        while (!closed) { // head phase
            const int64_t end = FindEnd(chain.front(), uint32_t(pos), candBegin, visits);
            if (end < 0)
                break;
            visits.Visit(candBegin[end / 2]);
            chain.push_front(otherPoint(uint32_t(end)));
            closed = Equal(chain.front(), chain.back());
        }
        if (closed) {
            chain.pop_back();
            out.push_back(ToPath(chain));
        } else {
            loose.push_back(std::move(chain));
        }
    }
    if (!loose.empty())
        JoinLooseChains(loose, out);
}

void OpenShellChainer::JoinLooseChains(std::vector<Chain>& loose, ClipperLib::Paths& out)
{
    for (size_t first = 0; first < loose.size(); first += kMaxJoinGroup)
        JoinGroup(loose, first, std::min(kMaxJoinGroup, loose.size() - first), out);
}

void OpenShellChainer::JoinGroup(std::vector<Chain>& loose, size_t first, size_t n, ClipperLib::Paths& out)
{
    using Key = unsigned __int128;
    struct Record {
        Key dist;
        uint32_t seq;
        uint32_t a, b; // the two chain ends: 2 * chain + end
    };
    auto endPoint = [&](uint32_t id) -> const ClipperLib::IntPoint& {
        const Chain& c = loose[first + id / 2];
        return (id & 1) ? c.back() : c.front();
    };
    std::vector<Record> records;
    records.reserve(2 * n * n);
    for (uint32_t i = 0; i < n; ++i)
        for (uint32_t ei = 0; ei < 2; ++ei)
            for (uint32_t j = i; j < n; ++j)
                for (uint32_t ej = 0; ej < 2; ++ej) {
                    if (i == j && ei >= ej)
                        continue;
                    const ClipperLib::IntPoint &p = endPoint(2 * i + ei), &q = endPoint(2 * j + ej);
                    const __int128 dx = __int128(p.X) - q.X, dy = __int128(p.Y) - q.Y;
                    records.push_back({Key(dx * dx + dy * dy), uint32_t(records.size()), 2 * i + ei, 2 * j + ej});
                }
    // Smallest distance first; among equal distances the later record.
    std::sort(records.begin(), records.end(), [](const Record& x, const Record& y) {
        return x.dist != y.dist ? x.dist < y.dist : x.seq > y.seq;
    });
    // Records name the original chain ends; where each end now lies (chain
    // and side) is looked up when its record comes up. Dead ends are inside
    // a joined chain or belong to an emitted one.
    constexpr uint32_t kDead = 0xFFFFFFFFu;
    std::vector<uint32_t> slotOf(2 * n), endAt(2 * n);
    for (uint32_t id = 0; id < 2 * n; ++id)
        slotOf[id] = endAt[id] = id;
    for (const Record& r : records) {
        if (slotOf[r.a] == kDead || slotOf[r.b] == kDead)
            continue;
        const uint32_t sa = slotOf[r.a], sb = slotOf[r.b];
        const uint32_t i = sa / 2, ei = sa % 2, j = sb / 2, ej = sb % 2;
        Chain& ci = loose[first + i];
        if (i == j) {
            out.push_back(ToPath(ci));
            ci.clear();
            slotOf[endAt[2 * i]] = slotOf[endAt[2 * i + 1]] = kDead;
            continue;
        }
        Chain& cj = loose[first + j];
        while (!cj.empty()) {
            const ClipperLib::IntPoint p = ej ? cj.back() : cj.front();
            if (ej)
                cj.pop_back();
            else
                cj.pop_front();
            if (ei)
                ci.push_back(p);
            else
                ci.push_front(p);
        }
        const uint32_t far = endAt[2 * j + (1 - ej)];
        slotOf[r.a] = slotOf[r.b] = kDead;
        slotOf[far] = sa;
        endAt[sa] = far;
    }
}

} // namespace contour
