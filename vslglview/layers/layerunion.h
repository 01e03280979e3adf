#pragma once
#include "layers/outlinebox.h"
#include "layers/supportlayers.h"
#include "layers/sweepheights.h"

#include <polyclipping/clipper.hpp>

#include <atomic>
#include <memory>
#include <unordered_map>
#include <vector>

// The union of one layer's model outlines with its support outlines, done
// per group of outlines that can touch: thousands of supports standing apart
// cost about their number instead of one union of everything.
namespace layers {

// Edges of one long outline bucketed on a grid over its box, to tell cheaply
// whether a small box may meet its edges, or else lies inside or outside it.
class OutlineGrid {
public:
    explicit OutlineGrid(const ClipperLib::Path& outline);
    // Conservative: true whenever an edge could pass through `box`.
    bool EdgesMayMeet(const OutlineBox& box) const;
    // Odd number of edge crossings to the right of `p`; for a point on no
    // edge, whether the outline (filled even-odd) holds it.
    bool Contains(const ClipperLib::IntPoint& p) const;

private:
    bool CellRange(const OutlineBox& box, int& cx0, int& cy0, int& cx1, int& cy1) const;

    const ClipperLib::Path& m_outline;
    OutlineBox m_box;
    ClipperLib::cInt m_cellW = 1, m_cellH = 1;
    int m_cells = 1;
    std::vector<char> m_hasEdge;          // cell -> an edge's box covers it
    std::vector<uint32_t> m_rowStart;     // CSR: row -> edges whose y range meets it
    std::vector<uint32_t> m_rowEdges;
};

// What a layer publishes, in order: outlines the unions produced (owned
// here) and support outlines that overlapped nothing and pass unchanged
// (pointing at the walk's outline). Outlines of supports alone carry the
// solid that leads their group and their place in its outlines, and say
// whether they are the very outlines of that group one layer below, so
// callers may keep what they made of them.
struct LayerOutlines {
    struct Item {
        const ClipperLib::Path* path;
        int key = -1;  // leading solid of a group of supports alone, else -1
        int part = 0;  // index among that group's outlines
        bool repeated = false;
        bool alone = false; // a support outline that met nothing and passes as it is
    };
    std::vector<Item> items;
    ClipperLib::Paths owned;
    void Clear()
    {
        items.clear();
        owned.clear();
    }
};

// The unions of the groups of supports alone of one layer, for the next: a
// group of the same solids with the same outlines whose crossings meet the
// same layer heights unites to the same outlines.
class UnionMemory {
public:
    struct Group {
        int layer = -1;
        std::vector<int> solids;
        HeightBands bands;
        std::vector<ClipperLib::cInt> heights;
        ClipperLib::Paths united;
    };
    // The group led by `solid`, to read or to keep for `layer`.
    Group& of(int solid, int layer);

private:
    // By leading solid; only groups of the last two layers, not one slot
    // for every solid of the instance.
    std::unordered_map<int, Group> m_groups;
    std::vector<int> m_kept[2];  // solids that kept a group, by layer parity
    int m_layer = -1;
};

// union(model filled even-odd, supports filled non-zero), the same region as
// one union of everything: groups whose boxes do not meet (and supports
// outside a long model outline's edges) are united apart. With no support
// the model outlines pass as they are; with no model outline a single
// support outline passes as it is. `walk`, when given, produced `supports`
// and lends its solids' neighbour lists; `memory`, when given with it, keeps
// group unions from layer to layer. A group Clipper refuses is dropped.
// `modelIsUnion`: the model outlines are a union's own, so a group of them
// that no support meets passes as it is (the union would give it back).
// Once `stop` is set it gives up between two groups, `out` left empty: one
// layer of a lattice takes up to a second.
void UniteLayer(const ClipperLib::Paths& model, const std::vector<SupportOutline>& supports,
                const SupportLayerWalk* walk, LayerOutlines& out, UnionMemory* memory = nullptr,
                bool modelIsUnion = false, const std::atomic<bool>* stop = nullptr);

// Support outlines of plain paths (no solid, nothing below).
std::vector<SupportOutline> PlainSupportOutlines(const ClipperLib::Paths& paths);

// Every point of `inner` (or the point x, y) lies at least `margin` units
// inside each edge of the convex, counter-clockwise `outer`, and so does all
// of `inner`.
bool WellInside(const ClipperLib::Path& outer, const ClipperLib::Path& inner, double margin);
bool WellInside(const ClipperLib::Path& outer, double x, double y, double margin);

} // namespace layers
