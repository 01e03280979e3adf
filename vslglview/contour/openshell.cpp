#include "openshell.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <type_traits>

namespace contour {

namespace {

bool Equal(const ClipperLib::IntPoint& a, const ClipperLib::IntPoint& b) { return a.X == b.X && a.Y == b.Y; }

// A candidate pair of free ends, lo < hi. Nearer pairs come first; among
// equal distances the pair of later ends (by lo, then hi) does.
template <typename Dist>
struct PairKey {
    Dist dist;
    uint32_t lo, hi;
};

template <typename Dist>
bool Before(const PairKey<Dist>& x, const PairKey<Dist>& y)
{
    if (x.dist != y.dist)
        return x.dist < y.dist;
    return x.lo != y.lo ? x.lo > y.lo : x.hi > y.hi;
}

// Balanced k-d tree over a fixed set of points from which points are removed.
// Nodes live implicitly in one order of the points: the node of range
// [lo, hi) is its middle element, split along the wider side of the range.
// Dist holds a squared distance; 64 bits do when the points span less than
// 2^31 units on both axes, which any real plate does.
template <typename Dist>
class EndTree {
    using Wide = typename std::conditional<sizeof(Dist) == 8, int64_t, __int128>::type;

public:
    using Key = PairKey<Dist>;

    // Builds the tree over points, all live; the buffers are kept for the
    // next build.
    void Reset(const std::vector<ClipperLib::IntPoint>& points)
    {
        m_nodes.resize(points.size());
        m_position.resize(points.size());
        m_live.assign(points.size(), 0);
        if (points.empty())
            return;
        ClipperLib::cInt minX = points[0].X, maxX = minX, minY = points[0].Y, maxY = minY;
        for (uint32_t i = 0; i < m_nodes.size(); ++i) {
            const ClipperLib::IntPoint& p = points[i];
            m_nodes[i] = {p.X, p.Y, i, 0, 1};
            minX = std::min(minX, p.X), maxX = std::max(maxX, p.X);
            minY = std::min(minY, p.Y), maxY = std::max(maxY, p.Y);
        }
        Build(0, m_nodes.size(), minX, maxX, minY, maxY);
        for (uint32_t k = 0; k < m_nodes.size(); ++k)
            m_position[m_nodes[k].id] = k;
    }

    bool Alive(uint32_t id) const { return m_nodes[m_position[id]].alive != 0; }

    void Remove(uint32_t id)
    {
        const size_t k = m_position[id];
        if (!m_nodes[k].alive)
            return;
        m_nodes[k].alive = 0;
        size_t lo = 0, hi = m_nodes.size();
        while (hi - lo > kLeaf) {
            const size_t mid = lo + (hi - lo) / 2;
            --m_live[mid];
            if (k == mid)
                break;
            if (k < mid)
                hi = mid;
            else
                lo = mid + 1;
        }
    }

    // The best partner of live point id among the other live points. A live
    // hint (any other point, kNoHint for none) bounds the search from the start.
    static constexpr uint32_t kNoHint = 0xFFFFFFFFu;
    bool Nearest(uint32_t id, Key& best, uint32_t hint = kNoHint) const
    {
        const size_t k = m_position[id];
        Query q{id, m_nodes[k].x, m_nodes[k].y, best, false};
        if (hint != kNoHint)
            Consider(m_nodes[m_position[hint]], q);
        // Neighbours in tree order mostly lie close by: a first bound.
        for (size_t j = k > kLeaf / 2 ? k - kLeaf / 2 : 0; j < std::min(m_nodes.size(), k + kLeaf / 2 + 1); ++j)
            Consider(m_nodes[j], q);
        Search(0, m_nodes.size(), q);
        return q.found;
    }

private:
    static constexpr size_t kLeaf = 8;

    // A point in tree order; at the middle of a range it is that range's node.
    struct Node {
        ClipperLib::cInt x, y;
        uint32_t id;
        uint8_t onY; // the node splits on Y (else on X)
        uint8_t alive;
    };

    struct Query {
        uint32_t id;
        ClipperLib::cInt x, y;
        Key& best;
        bool found;
    };

    // Splits along the wider side of a box holding the range; a child's box
    // is its parent's cut at the split value (not tight, and no scan).
    void Build(size_t lo, size_t hi, ClipperLib::cInt minX, ClipperLib::cInt maxX, ClipperLib::cInt minY,
               ClipperLib::cInt maxY)
    {
        if (hi - lo <= kLeaf)
            return;
        const bool onY = __int128(maxY) - minY > __int128(maxX) - minX;
        const size_t mid = lo + (hi - lo) / 2;
        std::nth_element(m_nodes.begin() + lo, m_nodes.begin() + mid, m_nodes.begin() + hi,
                         [onY](const Node& a, const Node& b) { return onY ? a.y < b.y : a.x < b.x; });
        Node& n = m_nodes[mid];
        n.onY = onY;
        m_live[mid] = uint32_t(hi - lo);
        if (onY) {
            Build(lo, mid, minX, maxX, minY, n.y);
            Build(mid + 1, hi, minX, maxX, n.y, maxY);
        } else {
            Build(lo, mid, minX, n.x, minY, maxY);
            Build(mid + 1, hi, n.x, maxX, minY, maxY);
        }
    }

    void Consider(const Node& n, Query& q) const
    {
        if (!n.alive || n.id == q.id)
            return;
        const Wide dx = Wide(q.x) - n.x, dy = Wide(q.y) - n.y;
        const Dist d = Dist(dx * dx) + Dist(dy * dy);
        if (q.found && d > q.best.dist)
            return;
        const Key key{d, std::min(q.id, n.id), std::max(q.id, n.id)};
        if (!q.found || Before(key, q.best)) {
            q.best = key;
            q.found = true;
        }
    }

    void Search(size_t lo, size_t hi, Query& q) const
    {
        if (hi - lo <= kLeaf) {
            for (size_t k = lo; k < hi; ++k)
                Consider(m_nodes[k], q);
            return;
        }
        const size_t mid = lo + (hi - lo) / 2;
        if (m_live[mid] == 0)
            return;
        const Node& n = m_nodes[mid];
        Consider(n, q);
        const Wide diff = n.onY ? Wide(q.y) - n.y : Wide(q.x) - n.x;
        // Points equal to the split value can sit on either side, so an
        // equal distance to the plane still searches the far side (ties).
        const bool left = diff < 0;
        Search(left ? lo : mid + 1, left ? mid : hi, q);
        if (!q.found || Dist(diff * diff) <= q.best.dist)
            Search(left ? mid + 1 : lo, left ? hi : mid, q);
    }

    std::vector<Node> m_nodes;
    std::vector<uint32_t> m_position; // point id -> tree order
    std::vector<uint32_t> m_live;     // per node: live points of its range
};

// A cell of the near-ends grid: its live ends are grouped[begin, begin + count).
struct GridCell {
    int64_t cx, cy;
    uint32_t begin, count;
};

struct GridPoint {
    ClipperLib::cInt x, y;
    uint32_t id;
};

template <typename Dist>
struct JoinBuffers {
    EndTree<Dist> tree;
    std::vector<PairKey<Dist>> pairs, spare;
};

// Sorts pairs into the joining order. No end is in two pairs, so the lower
// ends differ and the order is by distance, then lower end downwards: an LSD
// radix sort on those two keys, a pass per byte that is not the same in all.
void SortPairs(std::vector<PairKey<uint64_t>>& pairs, std::vector<PairKey<uint64_t>>& spare)
{
    constexpr int kDigits = 12; // 4 bytes of the end, then 8 of the distance
    auto digit = [](const PairKey<uint64_t>& k, int d) {
        return d < 4 ? uint32_t((~k.lo >> (8 * d)) & 0xFF) : uint32_t((k.dist >> (8 * (d - 4))) & 0xFF);
    };
    std::vector<uint32_t> counts(kDigits * 256, 0);
    for (const PairKey<uint64_t>& k : pairs)
        for (int d = 0; d < kDigits; ++d)
            ++counts[d * 256 + digit(k, d)];
    spare.resize(pairs.size());
    for (int d = 0; d < kDigits; ++d) {
        uint32_t* c = &counts[d * 256];
        if (c[digit(pairs[0], d)] == pairs.size())
            continue;
        uint32_t sum = 0;
        for (int b = 0; b < 256; ++b) {
            const uint32_t n = c[b];
            c[b] = sum;
            sum += n;
        }
        for (const PairKey<uint64_t>& k : pairs)
            spare[c[digit(k, d)]++] = k;
        pairs.swap(spare);
    }
}

} // namespace

// The joining's working data, kept by the chainer from plane to plane: a plane
// of a big unwelded mesh has many thousands of ends, and taking and handing
// back their buffers every plane costs more than the work itself.
struct OpenShellJoinWork {
    static constexpr uint8_t kUnused = 0, kLive = 1, kPaired = 2;
    std::vector<ClipperLib::IntPoint> points; // end 2c: first point of chain c, 2c + 1: its last
    std::vector<uint8_t> state;               // per end
    // The grid of the near stage.
    std::vector<uint32_t> table; // open addressing: cell index
    std::vector<GridCell> cells;
    std::vector<uint32_t> cellOfEnd;
    std::vector<GridPoint> grouped;
    std::vector<uint32_t> nearest; // per end: its proven nearest end
    std::vector<uint64_t> nearDist; // per grouped end: the distance to it
    // The tree stage, over the ends the grid left.
    std::vector<uint32_t> rest;
    std::vector<ClipperLib::IntPoint> restPoints;
    std::vector<uint32_t> order, stack;
    JoinBuffers<uint64_t> narrow;
    JoinBuffers<unsigned __int128> wide;
    // The replay.
    std::vector<uint32_t> slotOf, endAt, link;

    // Lists the ends still live in `rest`, in order.
    void ListLiveAsRest()
    {
        rest.clear();
        for (uint32_t e = 0; e < points.size(); ++e)
            if (state[e] == kLive)
                rest.push_back(e);
    }

    template <typename Dist>
    JoinBuffers<Dist>& Of()
    {
        if constexpr (std::is_same<Dist, uint64_t>::value)
            return narrow;
        else
            return wide;
    }
};

namespace {

constexpr uint32_t kNoEnd32 = 0xFFFFFFFFu;

// Ends on one exact point pair off first, the highest ends first: at distance
// 0 the later pair wins, so the rule does the same. [b, e) is sorted by point,
// then end; `same` tells entries of one point, `pair` takes two of them (lower
// end first) and `keep` the odd one a point leaves.
template <typename It, typename Same, typename PairFn, typename KeepFn>
void PairOffEqualPoints(It b, It e, Same same, PairFn pair, KeepFn keep)
{
    for (It first = b, next; first != e; first = next) {
        next = first + 1;
        while (next != e && same(*next, *first))
            ++next;
        It last = next;
        for (; last - first >= 2; last -= 2)
            pair(*(last - 2), *(last - 1));
        if (last != first)
            keep(*first);
    }
}

// The pairs of free ends the joining makes, nearest first. Joining only
// removes the two ends it pairs and never moves one, so the nearest-first
// pairing is the greedy matching of the end points: every pair of mutual
// nearest ends belongs to it, and once such pairs are taken out the rest
// pair among themselves as they would have with them.
//
// Near stage (plates narrower than 2^31 units): the ends go into a uniform
// grid. Ends on one exact point pair off first, the highest ends first: at
// distance 0 the later pair wins, so the rule does the same. Then each end
// looks for its nearest end in its cell and, if that does not prove it, in
// the 3 x 3 block around it; ends that name each other are paired. In an
// unwelded mesh nearly every end has its partner (the neighbouring triangle's
// copy of the point) a few units away, so this pairs nearly all of them at a
// few cell reads an end. A crowded cell (a point of many close ends) is left
// to the tree stage, so no heap of ends makes this quadratic.
class NearEnds {
public:
    using Key = PairKey<uint64_t>;

    NearEnds(OpenShellJoinWork& w, ClipperLib::cInt minX, ClipperLib::cInt maxX, ClipperLib::cInt minY,
             ClipperLib::cInt maxY)
        : m_w(w), m_minX(minX), m_minY(minY)
    {
        size_t live = 0;
        for (uint8_t st : w.state)
            live += st == OpenShellJoinWork::kLive;
        // Cells of about a quarter of a point's share of the box: ends lie on
        // outlines, not spread over the box, so that is a few ends a cell.
        const double area = (double(maxX - minX) + 1) * (double(maxY - minY) + 1);
        m_cell = std::max<int64_t>(1, int64_t(std::sqrt(area / double(std::max<size_t>(live, 1))) / 4));
        m_maxCx = (maxX - minX) / m_cell;
        m_maxCy = (maxY - minY) / m_cell;
        size_t size = 16;
        while (size < 2 * live)
            size *= 2;
        m_shift = 64 - __builtin_ctzll(size);
        w.table.assign(size, kNoEnd32);
        w.cells.clear();
        w.cellOfEnd.resize(w.points.size());
        for (uint32_t e = 0; e < w.points.size(); ++e) {
            if (w.state[e] != OpenShellJoinWork::kLive)
                continue;
            const ClipperLib::IntPoint& p = w.points[e];
            const int64_t cx = (p.X - minX) / m_cell, cy = (p.Y - minY) / m_cell;
            size_t slot = Slot(cx, cy);
            for (; w.table[slot] != kNoEnd32; slot = (slot + 1) & (size - 1)) {
                const GridCell& c = w.cells[w.table[slot]];
                if (c.cx == cx && c.cy == cy)
                    break;
            }
            if (w.table[slot] == kNoEnd32) {
                w.table[slot] = uint32_t(w.cells.size());
                w.cells.push_back({cx, cy, 0, 0});
            }
            ++w.cells[w.table[slot]].count;
            w.cellOfEnd[e] = w.table[slot];
        }
        uint32_t begin = 0;
        for (GridCell& c : w.cells) {
            c.begin = begin;
            begin += c.count;
            c.count = 0;
        }
        w.grouped.resize(begin);
        for (uint32_t e = 0; e < w.points.size(); ++e) {
            if (w.state[e] != OpenShellJoinWork::kLive)
                continue;
            GridCell& c = w.cells[w.cellOfEnd[e]];
            w.grouped[c.begin + c.count++] = {w.points[e].X, w.points[e].Y, e};
        }
    }

    // Appends the pairs found; the ends left are listed in w.rest, in order.
    void Pair(std::vector<Key>& pairs)
    {
        OpenShellJoinWork& w = m_w;
        for (GridCell& c : w.cells) {
            GridPoint* const b = w.grouped.data() + c.begin;
            if (c.count > 1)
                std::sort(b, b + c.count, [](const GridPoint& p, const GridPoint& q) {
                    return p.x != q.x ? p.x < q.x : p.y != q.y ? p.y < q.y : p.id < q.id;
                });
            uint32_t kept = 0;
            PairOffEqualPoints(
                b, b + c.count, [](const GridPoint& p, const GridPoint& q) { return p.x == q.x && p.y == q.y; },
                [&](const GridPoint& p, const GridPoint& q) {
                    pairs.push_back({0, p.id, q.id});
                    w.state[p.id] = w.state[q.id] = OpenShellJoinWork::kPaired;
                },
                [&](const GridPoint& p) { b[kept++] = p; });
            c.count = kept;
        }
        // Rounds: ends whose nearest was paired away often pair with each
        // other next (a few ends on one spot), so the grid goes on while a
        // round pairs a good share of the ends left.
        w.nearest.resize(w.points.size());
        w.nearDist.resize(w.grouped.size());
        for (;;) {
            size_t live = 0, paired = 0;
            for (const GridCell& c : w.cells)
                for (uint32_t i = c.begin; i < c.begin + c.count; ++i)
                    w.nearest[w.grouped[i].id] = Nearest(c, w.grouped[i], w.nearDist[i]);
            for (const GridCell& c : w.cells)
                for (uint32_t i = c.begin; i < c.begin + c.count; ++i) {
                    ++live;
                    const uint32_t p = w.grouped[i].id, q = w.nearest[p];
                    if (q == kNoEnd32 || q < p || w.nearest[q] != p)
                        continue;
                    pairs.push_back({w.nearDist[i], p, q});
                    w.state[p] = w.state[q] = OpenShellJoinWork::kPaired;
                    ++paired;
                }
            if (live - 2 * paired < 2 || 16 * paired < live)
                break;
            for (GridCell& c : w.cells) {
                uint32_t kept = 0;
                for (uint32_t i = c.begin; i < c.begin + c.count; ++i)
                    if (w.state[w.grouped[i].id] == OpenShellJoinWork::kLive)
                        w.grouped[c.begin + kept++] = w.grouped[i];
                c.count = kept;
            }
        }
        w.ListLiveAsRest();
    }

private:
    // Live ends in a cell beyond which the search gives up.
    static constexpr uint32_t kCrowded = 32;
    static constexpr int64_t kOpen = INT64_MAX;

    size_t Slot(int64_t cx, int64_t cy) const
    {
        return size_t(((uint64_t(cx) * 0x9E3779B97F4A7C15ull) ^ (uint64_t(cy) * 0xC2B2AE3D27D4EB4Full)) >> m_shift);
    }

    const GridCell* Find(int64_t cx, int64_t cy) const
    {
        const std::vector<uint32_t>& table = m_w.table;
        for (size_t slot = Slot(cx, cy);; slot = (slot + 1) & (table.size() - 1)) {
            if (table[slot] == kNoEnd32)
                return nullptr;
            const GridCell& c = m_w.cells[table[slot]];
            if (c.cx == cx && c.cy == cy)
                return &c;
        }
    }

    void Scan(const GridCell& c, const GridPoint& p, Key& best, bool& found) const
    {
        for (uint32_t i = c.begin; i < c.begin + c.count; ++i) {
            const GridPoint& q = m_w.grouped[i];
            if (q.id == p.id)
                continue;
            const int64_t dx = p.x - q.x, dy = p.y - q.y;
            const uint64_t d = uint64_t(dx * dx) + uint64_t(dy * dy);
            if (found && d > best.dist)
                continue;
            const Key key{d, std::min(p.id, q.id), std::max(p.id, q.id)};
            if (!found || Before(key, best)) {
                best = key;
                found = true;
            }
        }
    }

    // Distance from p to the nearest point outside the block of cells within
    // r of c (kOpen when the block reaches the box on all sides): whole
    // units, as points are.
    int64_t Gap(const GridCell& c, const GridPoint& p, int64_t r) const
    {
        int64_t g = kOpen;
        const int64_t x0 = m_minX + (c.cx - r) * m_cell, y0 = m_minY + (c.cy - r) * m_cell;
        if (c.cx - r > 0)
            g = std::min<int64_t>(g, p.x - x0 + 1);
        if (c.cx + r < m_maxCx)
            g = std::min<int64_t>(g, x0 + (2 * r + 1) * m_cell - p.x);
        if (c.cy - r > 0)
            g = std::min<int64_t>(g, p.y - y0 + 1);
        if (c.cy + r < m_maxCy)
            g = std::min<int64_t>(g, y0 + (2 * r + 1) * m_cell - p.y);
        return g;
    }

    // Every end nearer than the gap is in the block, and the best one found
    // wins against any at the gap or beyond.
    static bool Proven(const Key& best, int64_t gap)
    {
        return gap == kOpen || gap >= (int64_t(1) << 32) || best.dist < uint64_t(gap) * uint64_t(gap);
    }

    // The nearest end of p if the grid proves it, else kNoEnd32; dist gets
    // its squared distance.
    uint32_t Nearest(const GridCell& c, const GridPoint& p, uint64_t& dist) const
    {
        if (c.count > kCrowded)
            return kNoEnd32;
        Key best{};
        bool found = false;
        Scan(c, p, best, found);
        if (!found || !Proven(best, Gap(c, p, 0))) {
            // Only cells that can hold an end as near as the best so far.
            const int64_t x0 = m_minX + c.cx * m_cell, y0 = m_minY + c.cy * m_cell;
            const int64_t gapX[3] = {p.x - x0 + 1, 0, x0 + m_cell - p.x};
            const int64_t gapY[3] = {p.y - y0 + 1, 0, y0 + m_cell - p.y};
            for (int64_t dy = -1; dy <= 1; ++dy)
                for (int64_t dx = -1; dx <= 1; ++dx) {
                    const int64_t cx = c.cx + dx, cy = c.cy + dy;
                    if ((dx == 0 && dy == 0) || cx < 0 || cy < 0 || cx > m_maxCx || cy > m_maxCy)
                        continue;
                    const int64_t gx = gapX[dx + 1], gy = gapY[dy + 1];
                    if (found && uint64_t(gx * gx + gy * gy) > best.dist)
                        continue;
                    const GridCell* n = Find(cx, cy);
                    if (!n)
                        continue;
                    if (n->count > kCrowded)
                        return kNoEnd32;
                    Scan(*n, p, best, found);
                }
            if (!found || !Proven(best, Gap(c, p, 1)))
                return kNoEnd32;
        }
        dist = best.dist;
        return best.lo == p.id ? best.hi : best.lo;
    }

    OpenShellJoinWork& m_w;
    const ClipperLib::cInt m_minX, m_minY;
    int64_t m_cell = 1, m_maxCx = 0, m_maxCy = 0;
    int m_shift = 60;
};

// Tree stage: the ends in w.rest pair by a nearest-neighbour chain over a
// k-d tree of them (a few tree queries an end). equalEnds: ends may share a
// point, so those pair off first (see the near stage).
template <typename Dist>
void PairByTree(OpenShellJoinWork& w, bool equalEnds, std::vector<PairKey<Dist>>& pairs)
{
    const std::vector<uint32_t>& ids = w.rest;
    std::vector<ClipperLib::IntPoint>& points = w.restPoints;
    points.resize(ids.size());
    for (size_t i = 0; i < ids.size(); ++i)
        points[i] = w.points[ids[i]];
    EndTree<Dist>& tree = w.Of<Dist>().tree;
    tree.Reset(points);
    // Local indices follow the ends' order, so keys compare as the ends' do.
    auto push = [&](const PairKey<Dist>& key) { pairs.push_back({key.dist, ids[key.lo], ids[key.hi]}); };
    if (equalEnds) {
        std::vector<uint32_t>& order = w.order;
        order.resize(points.size());
        for (uint32_t e = 0; e < points.size(); ++e)
            order[e] = e;
        std::sort(order.begin(), order.end(), [&](uint32_t a, uint32_t b) {
            const ClipperLib::IntPoint &p = points[a], &q = points[b];
            return p.X != q.X ? p.X < q.X : p.Y != q.Y ? p.Y < q.Y : a < b;
        });
        PairOffEqualPoints(
            order.begin(), order.end(), [&](uint32_t a, uint32_t b) { return Equal(points[a], points[b]); },
            [&](uint32_t a, uint32_t b) {
                push({Dist(0), a, b});
                tree.Remove(a);
                tree.Remove(b);
            },
            [](uint32_t) {});
    }
    std::vector<uint32_t>& stack = w.stack;
    for (uint32_t start = 0; start < points.size(); ++start) {
        if (!tree.Alive(start))
            continue;
        stack.assign(1, start);
        while (!stack.empty()) {
            const uint32_t p = stack.back();
            // The end below p in the stack named p as its nearest, so p's
            // nearest is likely that end: it bounds the search.
            const uint32_t hint = stack.size() >= 2 ? stack[stack.size() - 2] : EndTree<Dist>::kNoHint;
            PairKey<Dist> key;
            if (!tree.Nearest(p, key, hint)) {
                stack.pop_back();
                tree.Remove(p);
                continue;
            }
            const uint32_t q = key.lo == p ? key.hi : key.lo;
            if (stack.size() >= 2 && stack[stack.size() - 2] == q) {
                tree.Remove(p);
                tree.Remove(q);
                push(key);
                stack.resize(stack.size() - 2);
            } else {
                stack.push_back(q);
            }
        }
    }
}

template <typename Dist>
const std::vector<PairKey<Dist>>& PairEnds(OpenShellJoinWork& w, ClipperLib::cInt minX, ClipperLib::cInt maxX,
                                           ClipperLib::cInt minY, ClipperLib::cInt maxY)
{
    std::vector<PairKey<Dist>>& pairs = w.Of<Dist>().pairs;
    pairs.clear();
    bool equalEnds = true;
    if constexpr (std::is_same<Dist, uint64_t>::value) {
        NearEnds(w, minX, maxX, minY, maxY).Pair(pairs);
        equalEnds = false;
    } else {
        w.ListLiveAsRest();
    }
    if (w.rest.size() >= 2)
        PairByTree<Dist>(w, equalEnds, pairs);
    if constexpr (std::is_same<Dist, uint64_t>::value) {
        if (!pairs.empty())
            SortPairs(pairs, w.Of<Dist>().spare);
    } else {
        std::sort(pairs.begin(), pairs.end(), [](const PairKey<Dist>& x, const PairKey<Dist>& y) { return Before(x, y); });
    }
    return pairs;
}

// Replays the joining along the ordered pairs. A joined chain is named by the
// slot (2 * chain + side) of its surviving chain: slotOf maps a free end to
// its slot, endAt a slot to its end, and link pairs the ends joined inside a
// chain; points are copied once, when a chain is emitted.
template <typename Dist, typename Store>
void JoinInOrder(const Store& chains, const std::vector<PairKey<Dist>>& pairs, OpenShellJoinWork& w,
                 ClipperLib::Paths& out)
{
    const uint32_t ends = uint32_t(2 * chains.Size());
    constexpr uint32_t kNone = 0xFFFFFFFFu;
    std::vector<uint32_t>&slotOf = w.slotOf, &endAt = w.endAt, &link = w.link;
    slotOf.resize(ends);
    endAt.resize(ends);
    link.assign(ends, kNone);
    for (uint32_t id = 0; id < ends; ++id)
        slotOf[id] = endAt[id] = id;
    for (const PairKey<Dist>& pair : pairs) {
        const uint32_t a = pair.lo, b = pair.hi;
        const uint32_t sa = slotOf[a], sb = slotOf[b];
        if (sa / 2 != sb / 2) {
            // The chain of b goes onto end a: its far end becomes that end.
            link[a] = b;
            link[b] = a;
            const uint32_t far = endAt[sb ^ 1];
            slotOf[far] = sa;
            endAt[sa] = far;
            continue;
        }
        // Both ends of one chain: it is closed as it stands.
        const uint32_t chain = sa / 2;
        const uint32_t first = endAt[2 * chain], last = endAt[2 * chain + 1];
        size_t points = 0;
        for (uint32_t e = first;; e = link[e ^ 1]) {
            points += chains.Points(e / 2);
            if ((e ^ 1) == last)
                break;
        }
        ClipperLib::Path path;
        path.reserve(points);
        for (uint32_t e = first;; e = link[e ^ 1]) {
            chains.Append(e / 2, (e & 1) != 0, path);
            if ((e ^ 1) == last)
                break;
        }
        out.push_back(std::move(path));
    }
}

// End 2c is the first point of chain c, end 2c + 1 its last.
template <typename Store>
void JoinChains(const Store& chains, OpenShellJoinWork& w, ClipperLib::Paths& out)
{
    const size_t ends = 2 * chains.Size();
    if (ends == 0 || ends >= size_t(0xFFFFFFFFu))
        return;
    w.points.resize(ends);
    w.state.assign(ends, OpenShellJoinWork::kUnused);
    ClipperLib::cInt minX = 0, maxX = 0, minY = 0, maxY = 0;
    bool any = false;
    for (size_t c = 0; c < chains.Size(); ++c) {
        if (chains.Points(c) == 0)
            continue;
        w.points[2 * c] = chains.Front(c);
        w.points[2 * c + 1] = chains.Back(c);
        w.state[2 * c] = w.state[2 * c + 1] = OpenShellJoinWork::kLive;
        for (const ClipperLib::IntPoint& p : {w.points[2 * c], w.points[2 * c + 1]}) {
            minX = any ? std::min(minX, p.X) : p.X, maxX = any ? std::max(maxX, p.X) : p.X;
            minY = any ? std::min(minY, p.Y) : p.Y, maxY = any ? std::max(maxY, p.Y) : p.Y;
            any = true;
        }
    }
    constexpr __int128 kNarrow = __int128(1) << 31;
    if (__int128(maxX) - minX < kNarrow && __int128(maxY) - minY < kNarrow)
        JoinInOrder(chains, PairEnds<uint64_t>(w, minX, maxX, minY, maxY), w, out);
    else
        JoinInOrder(chains, PairEnds<unsigned __int128>(w, minX, maxX, minY, maxY), w, out);
}

uint64_t PointHash(const ClipperLib::IntPoint& p)
{
    return (uint64_t(p.X) * 0x9E3779B97F4A7C15ull) ^ (uint64_t(p.Y) * 0xC2B2AE3D27D4EB4Full);
}

} // namespace

struct OpenShellChainer::DequeStore {
    const std::vector<Chain>& chains;
    size_t Size() const { return chains.size(); }
    size_t Points(size_t c) const { return chains[c].size(); }
    const ClipperLib::IntPoint& Front(size_t c) const { return chains[c].front(); }
    const ClipperLib::IntPoint& Back(size_t c) const { return chains[c].back(); }
    void Append(size_t c, bool backwards, ClipperLib::Path& path) const
    {
        if (backwards)
            path.insert(path.end(), chains[c].rbegin(), chains[c].rend());
        else
            path.insert(path.end(), chains[c].begin(), chains[c].end());
    }
};

struct OpenShellChainer::SpanStore {
    const std::vector<Span>& spans;
    const std::vector<ClipperLib::IntPoint>& head;
    const std::vector<ClipperLib::IntPoint>& tail;
    size_t Size() const { return spans.size(); }
    size_t Points(size_t c) const
    {
        const Span& s = spans[c];
        return (s.headEnd - s.headBegin) + (s.tailEnd - s.tailBegin);
    }
    const ClipperLib::IntPoint& Front(size_t c) const
    {
        const Span& s = spans[c];
        return s.headEnd > s.headBegin ? head[s.headEnd - 1] : tail[s.tailBegin];
    }
    const ClipperLib::IntPoint& Back(size_t c) const
    {
        const Span& s = spans[c];
        return s.tailEnd > s.tailBegin ? tail[s.tailEnd - 1] : head[s.headBegin];
    }
    void Append(size_t c, bool backwards, ClipperLib::Path& path) const
    {
        const Span& s = spans[c];
        const auto h0 = head.begin() + s.headBegin, h1 = head.begin() + s.headEnd;
        const auto t0 = tail.begin() + s.tailBegin, t1 = tail.begin() + s.tailEnd;
        if (backwards) {
            path.insert(path.end(), std::make_reverse_iterator(t1), std::make_reverse_iterator(t0));
            path.insert(path.end(), h0, h1);
        } else {
            path.insert(path.end(), std::make_reverse_iterator(h1), std::make_reverse_iterator(h0));
            path.insert(path.end(), t0, t1);
        }
    }
};

void OpenShellChainer::IndexEnds(size_t count)
{
    size_t size = 16;
    while (size < 4 * count)
        size *= 2;
    m_table.assign(size, kNoEnd);
    m_nextEnd.assign(2 * count, kNoEnd);
    const int shift = 64 - __builtin_ctzll(size);
    // Backwards, each end pushed in front: every list runs in candidate order.
    for (size_t end = 2 * count; end-- > 0;) {
        if (!m_segments[end / 2].valid)
            continue;
        const ClipperLib::IntPoint& p = EndPoint(uint32_t(end));
        for (size_t slot = size_t(PointHash(p) >> shift);; slot = (slot + 1) & (size - 1)) {
            if (m_table[slot] == kNoEnd || Equal(EndPoint(m_table[slot]), p)) {
                m_nextEnd[end] = m_table[slot];
                m_table[slot] = uint32_t(end);
                break;
            }
        }
    }
}

int64_t OpenShellChainer::FindEnd(const ClipperLib::IntPoint& p, uint32_t ownPos, const uint32_t* cand,
                                  const PlaneVisits& visits) const
{
    const size_t size = m_table.size();
    const int shift = 64 - __builtin_ctzll(size);
    for (size_t slot = size_t(PointHash(p) >> shift);; slot = (slot + 1) & (size - 1)) {
        uint32_t end = m_table[slot];
        if (end == kNoEnd)
            return -1;
        if (!Equal(EndPoint(end), p))
            continue;
        for (; end != kNoEnd; end = m_nextEnd[end]) {
            const uint32_t pos = end / 2;
            if (pos != ownPos && !visits.IsVisited(cand[pos]))
                return end;
        }
        return -1;
    }
}

void OpenShellChainer::Run(float h, const uint32_t* candBegin, const uint32_t* candEnd, PlaneVisits& visits,
                           ClipperLib::Paths& out)
{
    const size_t count = size_t(candEnd - candBegin);
    m_segments.assign(count, Segment());
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
        if (s.valid && Equal(s.a, s.b)) {
            s.valid = false;
            visits.Visit(f);
        }
    }
    IndexEnds(count);

    // Chains grow into two shared buffers: tail points appended to m_tail,
    // head points appended (so stored backwards) to m_head.
    m_head.clear();
    m_tail.clear();
    m_loose.clear();
    for (size_t pos = 0; pos < count; ++pos) {
        const uint32_t f = candBegin[pos];
        if (!m_segments[pos].valid || visits.IsVisited(f) || f >= uint32_t(m_shellOfFace.size()) ||
            !m_openShell[m_shellOfFace[f]])
            continue;
        // The starting face is marked too, so no later chain can use its
        // segment a second time.
        visits.Visit(f);
        const Span start{uint32_t(m_head.size()), uint32_t(m_head.size()), uint32_t(m_tail.size()), 0};
        m_tail.push_back(m_segments[pos].a);
        m_tail.push_back(m_segments[pos].b);
        ClipperLib::IntPoint front = m_segments[pos].a, back = m_segments[pos].b;
        bool closed = false;
        for (;;) { // tail phase: every step uses up one face
            if (Equal(front, back)) {
                closed = true;
                break;
            }
            const int64_t end = FindEnd(back, uint32_t(pos), candBegin, visits);
            if (end < 0)
                break;
            visits.Visit(candBegin[end / 2]);
            back = EndPoint(uint32_t(end) ^ 1);
            m_tail.push_back(back);
        }
        while (!closed) { // head phase
            const int64_t end = FindEnd(front, uint32_t(pos), candBegin, visits);
            if (end < 0)
                break;
            visits.Visit(candBegin[end / 2]);
            front = EndPoint(uint32_t(end) ^ 1);
            m_head.push_back(front);
            closed = Equal(front, back);
        }
        if (closed) {
            // Head first to last, then the tail without its repeated point.
            ClipperLib::Path path(m_head.rbegin(), m_head.rend() - start.headBegin);
            path.insert(path.end(), m_tail.begin() + start.tailBegin, m_tail.end() - 1);
            out.push_back(std::move(path));
            m_head.resize(start.headBegin);
            m_tail.resize(start.tailBegin);
        } else {
            m_loose.push_back({start.headBegin, uint32_t(m_head.size()), start.tailBegin, uint32_t(m_tail.size())});
        }
    }
    if (!m_loose.empty())
        JoinChains(SpanStore{m_loose, m_head, m_tail}, *m_join, out);
}

void OpenShellChainer::JoinLooseChains(const std::vector<Chain>& loose, ClipperLib::Paths& out)
{
    OpenShellJoinWork work;
    JoinChains(DequeStore{loose}, work, out);
}

OpenShellChainer::OpenShellChainer(const MyMesh& mesh, const QVector<uint>& shellOfFace,
                                   const std::vector<uint8_t>& openShell)
    : m_mesh(mesh), m_shellOfFace(shellOfFace), m_openShell(openShell), m_join(new OpenShellJoinWork)
{
}

OpenShellChainer::~OpenShellChainer() = default;

} // namespace contour
