#include "mesh/clean.h"
#include "mesh/topology.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <functional>
#include <memory>

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

// A shell's faces, ascending.
struct FaceRange {
    const uint32_t* first = nullptr;
    const uint32_t* last = nullptr;
    const uint32_t* begin() const { return first; }
    const uint32_t* end() const { return last; }
    size_t size() const { return size_t(last - first); }
    uint32_t operator[](size_t i) const { return first[i]; }
};

struct Shell {
    bool usable = true; // closed, every edge met once the other way round
    double volume6 = 0; // six times the signed enclosed volume
    Box box;
    FaceRange faces; // set only when there is an inward shell to judge
};

D3 Corner(const MyMesh& m, uint32_t f, int k)
{
    const Point3f& p = m.P(f, k);
    return {p[0], p[1], p[2]};
}

// Ray-casting budget (ray-triangle tests and index nodes visited) of one
// call: a mesh with thousands of cavities in a huge shell is left as
// written beyond it.
constexpr long long kRayTestBudget = 200'000'000;
// Probe faces spread over a shell, besides its six farthest out.
constexpr size_t kSpreadProbes = 58;
// Items a leaf of either hierarchy holds.
constexpr uint32_t kLeafSize = 4;

// Every ray is cast this way: fixed and off-axis, so that it grazes no
// axis-aligned edge or face.
const D3 kRayDir = {0.5773502691896258, 0.5776327430152375, 0.5770676474627566};

// Whether the ray from p along kRayDir crosses face f.
bool Crosses(const MyMesh& m, uint32_t f, const D3& p)
{
    const D3& dir = kRayDir;
    const D3 a = Corner(m, f, 0), b = Corner(m, f, 1), c = Corner(m, f, 2);
    const D3 e1 = Sub(b, a), e2 = Sub(c, a);
    const D3 q = Cross(dir, e2);
    const double det = Dot(e1, q);
    if (det == 0)
        return false;
    const D3 s = Sub(p, a);
    const double u = Dot(s, q) / det;
    if (u < 0 || u > 1)
        return false;
    const D3 r = Cross(s, e1);
    const double v = Dot(dir, r) / det;
    if (v < 0 || u + v > 1)
        return false;
    return Dot(e2, r) / det > 0;
}

// Crossings of that ray with every face of the shell: odd when p lies
// inside it.
bool InsideTestingEveryFace(const MyMesh& m, const Shell& shell, const D3& p, long long& tests)
{
    int crossings = 0;
    tests += static_cast<long long>(shell.faces.size());
    for (uint32_t f : shell.faces)
        crossings += Crosses(m, f, p);
    return crossings % 2 == 1;
}

// Splits items [first, first + count) in two halves by their middles along
// the axis where those middles spread most. `mid(i, axis)`.
template <int Axes, class Mid> uint32_t SplitAtMedian(std::vector<uint32_t>& items, uint32_t first, uint32_t count, Mid mid)
{
    double lo[Axes], hi[Axes];
    for (int k = 0; k < Axes; ++k) {
        lo[k] = HUGE_VAL;
        hi[k] = -HUGE_VAL;
    }
    for (uint32_t i = first; i < first + count; ++i)
        for (int k = 0; k < Axes; ++k) {
            lo[k] = std::min(lo[k], mid(items[i], k));
            hi[k] = std::max(hi[k], mid(items[i], k));
        }
    int axis = 0;
    for (int k = 1; k < Axes; ++k)
        if (hi[k] - lo[k] > hi[axis] - lo[axis])
            axis = k;
    const uint32_t half = count / 2;
    std::nth_element(items.begin() + first, items.begin() + first + half, items.begin() + first + count,
                     [&](uint32_t x, uint32_t y) { return mid(x, axis) < mid(y, axis); });
    return half;
}

// A shell's box in single precision: its corners are the mesh's own
// float coordinates, so it is exact. c[0..2] the low corner, c[3..5] the
// high one.
struct FloatBox {
    float c[6] = {HUGE_VALF, HUGE_VALF, HUGE_VALF, -HUGE_VALF, -HUGE_VALF, -HUGE_VALF};
    FloatBox() = default;
    explicit FloatBox(const Box& b)
    {
        for (int k = 0; k < 3; ++k) {
            c[k] = float(b.lo[size_t(k)]);
            c[k + 3] = float(b.hi[size_t(k)]);
        }
    }
    void Add(const FloatBox& o)
    {
        for (int k = 0; k < 3; ++k) {
            c[k] = std::min(c[k], o.c[k]);
            c[k + 3] = std::max(c[k + 3], o.c[k + 3]);
        }
    }
    bool Contains(const FloatBox& o) const
    {
        return c[0] <= o.c[0] && c[1] <= o.c[1] && c[2] <= o.c[2] && c[3] >= o.c[3] && c[4] >= o.c[4] && c[5] >= o.c[5];
    }
    // For ordering holders: a box holding another is no smaller.
    float Girth() const { return (c[3] - c[0]) + (c[4] - c[1]) + (c[5] - c[2]); }
};

// Hierarchy of the usable shells' boxes, for the shells whose box holds a
// given box. The boxes are split as points of six coordinates (both
// corners), so boxes nested round one middle are split by size; a node's
// box is the union of its shells', so a node whose box does not hold the
// one asked for holds no shell that does. The holders come smallest first,
// one at a time: the first to enclose a shell is mostly the next one round
// it, and however deep the nesting the search stops there.
class HolderTree {
public:
    explicit HolderTree(const std::vector<Shell>& shells)
    {
        for (uint32_t i = 0; i < shells.size(); ++i)
            if (shells[i].usable) {
                const FloatBox box(shells[i].box);
                items_.push_back({box, box.Girth(), i});
            }
        if (!items_.empty())
            Build(0, uint32_t(items_.size()));
    }

    // The holders of one box after another, other than its own shell's;
    // one search serves every shell in turn.
    class Search {
    public:
        Search(const HolderTree& tree, long long& compared) : tree_(tree), compared_(compared) {}

        void Start(const Box& box, uint32_t self)
        {
            box_ = FloatBox(box);
            self_ = self;
            heap_.clear();
            if (!tree_.nodes_.empty() && Holds(0))
                Push({tree_.nodes_[0].least, 0, false});
        }

        // The next holder, in ascending size; false when there is none left.
        bool Next(uint32_t& shell)
        {
            while (!heap_.empty()) {
                std::pop_heap(heap_.begin(), heap_.end());
                const Entry e = heap_.back();
                heap_.pop_back();
                if (e.isShell) {
                    shell = e.id;
                    return true;
                }
                // Down the tree while one way is as small as anything waiting.
                uint32_t at = e.id;
                while (tree_.nodes_[at].count == 0) {
                    const uint32_t a = at + 1, b = tree_.nodes_[at].right;
                    const bool holdsA = Holds(a), holdsB = Holds(b);
                    if (!holdsA && !holdsB) {
                        at = kNone;
                        break;
                    }
                    uint32_t next = holdsA ? a : b;
                    if (holdsA && holdsB) {
                        const bool aFirst = tree_.nodes_[a].least <= tree_.nodes_[b].least;
                        next = aFirst ? a : b;
                        const uint32_t other = aFirst ? b : a;
                        Push({tree_.nodes_[other].least, other, false});
                    }
                    if (!heap_.empty() && heap_.front().key < tree_.nodes_[next].least) {
                        Push({tree_.nodes_[next].least, next, false});
                        at = kNone;
                        break;
                    }
                    at = next;
                }
                if (at == kNone)
                    continue;
                const Node& leaf = tree_.nodes_[at];
                compared_ += leaf.count;
                for (uint32_t i = leaf.first; i < leaf.first + leaf.count; ++i) {
                    const Item& it = tree_.items_[i];
                    if (it.shell != self_ && it.box.Contains(box_))
                        Push({it.girth, it.shell, true});
                }
            }
            return false;
        }

    private:
        struct Entry {
            float key; // a node's: the least size of its shells
            uint32_t id;
            bool isShell;
            // Greater-than, for a heap with the least on top.
            bool operator<(const Entry& o) const
            {
                if (key != o.key)
                    return key > o.key;
                if (isShell != o.isShell)
                    return !isShell;
                return id > o.id;
            }
        };

        bool Holds(uint32_t at)
        {
            ++compared_;
            return tree_.nodes_[at].box.Contains(box_);
        }

        void Push(const Entry& e)
        {
            heap_.push_back(e);
            std::push_heap(heap_.begin(), heap_.end());
        }

        const HolderTree& tree_;
        long long& compared_;
        FloatBox box_;
        uint32_t self_ = 0;
        std::vector<Entry> heap_;
    };

private:
    struct Item {
        FloatBox box;
        float girth;
        uint32_t shell;
    };
    struct Node {
        FloatBox box;
        float least = 0;               // the least size of its shells
        uint32_t first = 0, count = 0; // a leaf's items; count 0 for an inner node
        uint32_t right = 0;            // an inner node's second child (its first follows it)
    };

    void Build(uint32_t first, uint32_t count)
    {
        const uint32_t at = uint32_t(nodes_.size());
        nodes_.emplace_back();
        Node node;
        node.least = HUGE_VALF;
        float lo[6], hi[6];
        for (int k = 0; k < 6; ++k) {
            lo[k] = HUGE_VALF;
            hi[k] = -HUGE_VALF;
        }
        for (uint32_t i = first; i < first + count; ++i) {
            const Item& it = items_[i];
            node.box.Add(it.box);
            node.least = std::min(node.least, it.girth);
            for (int k = 0; k < 6; ++k) {
                lo[k] = std::min(lo[k], it.box.c[k]);
                hi[k] = std::max(hi[k], it.box.c[k]);
            }
        }
        if (count <= kLeafSize) {
            node.first = first;
            node.count = count;
            nodes_[at] = node;
            return;
        }
        // Halves at the median of the coordinate that spreads most.
        int axis = 0;
        for (int k = 1; k < 6; ++k)
            if (hi[k] - lo[k] > hi[axis] - lo[axis])
                axis = k;
        const uint32_t half = count / 2;
        std::nth_element(items_.begin() + first, items_.begin() + first + half, items_.begin() + first + count,
                         [axis](const Item& a, const Item& b) { return a.box.c[axis] < b.box.c[axis]; });
        Build(first, half);
        node.right = uint32_t(nodes_.size());
        nodes_[at] = node;
        Build(first + half, count - half);
    }

    std::vector<Item> items_;
    std::vector<Node> nodes_;
};

// Hierarchy of one shell's faces seen along the ray: each face's shadow on a
// plane across the ray (a box in two coordinates) and its farthest reach
// along it. A ray from p can cross only faces whose shadow holds p's and
// that reach beyond p. Bounds are stored widened to the next float out, and
// compared with a margin of a millionth of the shell's size, far more than
// the rounding of the crossing test: no face that test counts is skipped.
class RayIndex {
public:
    // A stop leaves it incomplete, fit only to be thrown away.
    RayIndex(const MyMesh& m, const Shell& shell, Cancel cancel)
        : faces_(shell.faces.begin(), shell.faces.end()), cancel_(cancel)
    {
        for (int k = 0; k < 3; ++k)
            origin_[k] = 0.5 * (shell.box.lo[size_t(k)] + shell.box.hi[size_t(k)]);
        double size = 0;
        for (int k = 0; k < 3; ++k)
            size = std::max(size, shell.box.hi[size_t(k)] - shell.box.lo[size_t(k)]);
        margin_ = 1e-6 * size + 1e-30;
        across_[0] = Cross(kRayDir, {1, 0, 0});
        across_[1] = Cross(kRayDir, across_[0]);
        std::vector<Item> items(faces_.size());
        for (size_t i = 0; i < faces_.size(); ++i) {
            if (cancel_.At(uint32_t(i)))
                return;
            double lo[3] = {HUGE_VAL, HUGE_VAL, HUGE_VAL}, hi[3] = {-HUGE_VAL, -HUGE_VAL, -HUGE_VAL};
            for (int c = 0; c < 3; ++c) {
                const D3 q = Project(Corner(m, faces_[i], c));
                for (int k = 0; k < 3; ++k) {
                    lo[k] = std::min(lo[k], q[size_t(k)]);
                    hi[k] = std::max(hi[k], q[size_t(k)]);
                }
            }
            for (int k = 0; k < 2; ++k) {
                items[i].lo[k] = Down(lo[k]);
                items[i].hi[k] = Up(hi[k]);
            }
            items[i].reach = Up(hi[2]);
        }
        order_.resize(faces_.size());
        for (uint32_t i = 0; i < order_.size(); ++i)
            order_[i] = i;
        if (!order_.empty())
            Build(items, 0, uint32_t(order_.size()));
        // Faces in leaf order, so a leaf's faces lie side by side.
        std::vector<uint32_t> sorted(order_.size());
        for (size_t i = 0; i < order_.size(); ++i)
            sorted[i] = faces_[order_[i]];
        faces_.swap(sorted);
        order_ = {};
    }

    // Crossings of the ray from p with the shell's faces: odd when p lies
    // inside it.
    bool Inside(const MyMesh& m, const D3& p, long long& tests) const
    {
        if (nodes_.empty())
            return false;
        const D3 q = Project(p);
        int crossings = 0;
        std::vector<uint32_t>& stack = stack_;
        stack.assign(1, 0);
        while (!stack.empty()) {
            const uint32_t at = stack.back();
            stack.pop_back();
            const Node& node = nodes_[at];
            ++tests;
            if (q[0] < node.lo[0] - margin_ || q[0] > node.hi[0] + margin_ || q[1] < node.lo[1] - margin_ ||
                q[1] > node.hi[1] + margin_ || q[2] > node.reach + margin_)
                continue;
            if (node.count > 0) {
                tests += node.count;
                for (uint32_t i = node.first; i < node.first + node.count; ++i)
                    crossings += Crosses(m, faces_[i], p);
                continue;
            }
            stack.push_back(at + 1);
            stack.push_back(node.right);
        }
        return crossings % 2 == 1;
    }

private:
    struct Item {
        float lo[2], hi[2], reach;
    };
    struct Node {
        float lo[2], hi[2], reach;
        uint32_t first = 0, count = 0, right = 0;
    };

    static float Down(double x)
    {
        float f = float(x);
        return double(f) > x ? std::nextafter(f, -HUGE_VALF) : f;
    }
    static float Up(double x)
    {
        float f = float(x);
        return double(f) < x ? std::nextafter(f, HUGE_VALF) : f;
    }

    // Two coordinates across the ray and one along it, about the shell's middle.
    D3 Project(const D3& p) const
    {
        const D3 d = Sub(p, {origin_[0], origin_[1], origin_[2]});
        return {Dot(d, across_[0]), Dot(d, across_[1]), Dot(d, kRayDir)};
    }

    void Build(const std::vector<Item>& items, uint32_t first, uint32_t count)
    {
        if (count >= Cancel::kCancelStride && cancel_())
            return;
        const uint32_t at = uint32_t(nodes_.size());
        nodes_.emplace_back();
        Node node;
        node.lo[0] = node.lo[1] = HUGE_VALF;
        node.hi[0] = node.hi[1] = node.reach = -HUGE_VALF;
        for (uint32_t i = first; i < first + count; ++i) {
            const Item& it = items[order_[i]];
            for (int k = 0; k < 2; ++k) {
                node.lo[k] = std::min(node.lo[k], it.lo[k]);
                node.hi[k] = std::max(node.hi[k], it.hi[k]);
            }
            node.reach = std::max(node.reach, it.reach);
        }
        if (count <= kLeafSize) {
            node.first = first;
            node.count = count;
            nodes_[at] = node;
            return;
        }
        const uint32_t half = SplitAtMedian<2>(order_, first, count, [&items](uint32_t i, int k) {
            return 0.5 * (double(items[i].lo[k]) + double(items[i].hi[k]));
        });
        Build(items, first, half);
        node.right = uint32_t(nodes_.size());
        nodes_[at] = node;
        Build(items, first + half, count - half);
    }

    std::vector<uint32_t> faces_;
    std::vector<uint32_t> order_;
    std::vector<Node> nodes_;
    double origin_[3];
    D3 across_[2];
    double margin_;
    Cancel cancel_;
    mutable std::vector<uint32_t> stack_;
};

// Points on a shell to test for lying inside another.
std::vector<D3> ProbesOf(const MyMesh& m, const Shell& shell)
{
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
    return probes;
}

// Shells are the face-face connected pieces. A closed, coherent shell that
// faces inward (negative volume) is turned unless it lies wholly inside
// another shell: a cavity faces inward by right. An open or muddled shell
// has no inside to go by and is kept as written; a shell crossing another's
// surface is no cavity (some of its probes lie outside). Each shell is
// judged on the mesh as written, so the answers do not depend on one
// another. -1 when `cancel` stopped it, the mesh as it was.
int OrientShells(MyMesh& m, int* leftAsWritten, bool everyPair, long long* boxesCompared, Cancel cancel,
                 const std::function<void(int)>& afterEachShell)
{
    if (leftAsWritten)
        *leftAsWritten = 0;
    long long compared = 0;
    if (boxesCompared)
        *boxesCompared = 0;
    const uint32_t n = m.FaceCount();
    constexpr uint32_t kNoShell = UINT32_MAX;
    std::vector<uint32_t> shellOf(n, kNoShell);
    std::vector<Shell> shells;
    std::vector<uint32_t> queue;
    for (uint32_t seed = 0; seed < n; ++seed) {
        if (cancel.At(seed))
            return -1;
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
        if (cancel.At(f))
            return -1;
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

    // Only shells facing inward are turned; only then are faces needed.
    bool anyInward = false;
    for (const Shell& shell : shells)
        anyInward = anyInward || (shell.usable && shell.volume6 < 0);
    if (!anyInward)
        return 0;
    // The faces of the usable shells, shell by shell, each ascending.
    std::vector<uint32_t> faceStart(shells.size() + 1, 0);
    for (uint32_t f = 0; f < n; ++f)
        if (shellOf[f] != kNoShell && shells[shellOf[f]].usable)
            ++faceStart[shellOf[f] + 1];
    for (size_t i = 0; i < shells.size(); ++i)
        faceStart[i + 1] += faceStart[i];
    std::vector<uint32_t> faces(faceStart.back());
    {
        std::vector<uint32_t> next(faceStart.begin(), faceStart.end() - 1);
        for (uint32_t f = 0; f < n; ++f) {
            if (cancel.At(f))
                return -1;
            if (shellOf[f] != kNoShell && shells[shellOf[f]].usable)
                faces[next[shellOf[f]]++] = f;
        }
    }
    for (size_t i = 0; i < shells.size(); ++i)
        shells[i].faces = {faces.data() + faceStart[i], faces.data() + faceStart[i + 1]};
    shellOf = {};

    // The shells whose box holds an inward one's: only they can enclose it.
    // Found through a hierarchy of the boxes, smallest first, as far as
    // needed; or all of them in shell order, trying every pair.
    const HolderTree tree(shells);
    HolderTree::Search search(tree, compared);
    std::vector<std::unique_ptr<RayIndex>> rayIndex(shells.size());
    std::vector<uint8_t> turn(shells.size(), 0);
    int turned = 0, unjudged = 0, done = 0;
    long long tests = 0;
    std::vector<uint32_t> holders;
    for (uint32_t i = 0; i < shells.size(); ++i) {
        const Shell& shell = shells[i];
        if (!shell.usable || shell.volume6 >= 0)
            continue;
        if (cancel())
            return -1;
        size_t nextHolder = 0;
        if (everyPair) {
            holders.clear();
            compared += static_cast<long long>(shells.size());
            for (uint32_t j = 0; j < shells.size(); ++j)
                if (j != i && shells[j].usable && shells[j].box.Contains(shell.box))
                    holders.push_back(j);
        } else {
            search.Start(shell.box, i);
        }
        auto nextHolderOf = [&](uint32_t& j) {
            if (!everyPair)
                return search.Next(j);
            if (nextHolder == holders.size())
                return false;
            j = holders[nextHolder++];
            return true;
        };
        // A shell no other box holds has nothing to enclose it.
        uint32_t j = 0;
        bool enclosed = false, judged = true;
        if (nextHolderOf(j)) {
            const std::vector<D3> probes = ProbesOf(m, shell);
            // Facing inward is right for a cavity, and harmless for any shell
            // wholly inside another: the layers fill it either way.
            do {
                if (cancel())
                    return -1;
                // Beyond the budget a shell that may be a cavity is left as
                // written.
                if (tests > kRayTestBudget) {
                    judged = false;
                    break;
                }
                if (everyPair) {
                    enclosed = std::all_of(probes.begin(), probes.end(), [&](const D3& p) {
                        return InsideTestingEveryFace(m, shells[j], p, tests);
                    });
                    continue;
                }
                if (!rayIndex[j]) {
                    rayIndex[j] = std::make_unique<RayIndex>(m, shells[j], cancel);
                    if (cancel())
                        return -1;
                }
                enclosed = std::all_of(probes.begin(), probes.end(),
                                       [&](const D3& p) { return rayIndex[j]->Inside(m, p, tests); });
            } while (!enclosed && nextHolderOf(j));
        }
        if (!judged)
            ++unjudged;
        if (!enclosed && judged) {
            turn[i] = 1;
            ++turned;
        }
        if (afterEachShell)
            afterEachShell(++done);
    }
    if (cancel())
        return -1;
    if (turned > 0) {
        std::vector<uint8_t> flip(n, 0);
        for (uint32_t i = 0; i < shells.size(); ++i)
            if (turn[i])
                for (uint32_t f : shells[i].faces)
                    flip[f] = 1;
        FlipFaces(m, flip);
    }
    if (leftAsWritten)
        *leftAsWritten = unjudged;
    if (boxesCompared)
        *boxesCompared = compared;
    return turned;
}

} // namespace

int Clean<MyMesh>::OrientClosedShellsOutward(MyMesh& m, int* leftAsWritten, Cancel cancel)
{
    return OrientShells(m, leftAsWritten, false, nullptr, cancel, {});
}

int Clean<MyMesh>::OrientClosedShellsOutwardForTest(MyMesh& m, bool everyPair, int* leftAsWritten,
                                                     long long* boxesCompared, Cancel cancel,
                                                     const std::function<void(int done)>& afterEachShell)
{
    return OrientShells(m, leftAsWritten, everyPair, boxesCompared, cancel, afterEachShell);
}

} // namespace vcg::tri
