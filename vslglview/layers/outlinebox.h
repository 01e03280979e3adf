#pragma once
#include <polyclipping/clipper.hpp>

#include <algorithm>
#include <cstdint>
#include <utility>
#include <vector>

// Axis-aligned boxes of outlines (1/1000 mm, inclusive) and a uniform grid
// that finds the boxes meeting a given one without looking at the others.
namespace layers {

struct OutlineBox {
    // Empty by default: it meets nothing.
    static constexpr ClipperLib::cInt kFar = ClipperLib::cInt(1) << 61;
    ClipperLib::cInt x0 = kFar, y0 = kFar, x1 = -kFar, y1 = -kFar;
    bool IsEmpty() const { return x0 > x1 || y0 > y1; }
    // Touching counts as meeting.
    bool Meets(const OutlineBox& o) const { return x0 <= o.x1 && o.x0 <= x1 && y0 <= o.y1 && o.y0 <= y1; }
    bool Contains(const OutlineBox& o) const { return x0 <= o.x0 && o.x1 <= x1 && y0 <= o.y0 && o.y1 <= y1; }
    void Add(const OutlineBox& o);
    ClipperLib::IntPoint Middle() const { return {x0 + (x1 - x0) / 2, y0 + (y1 - y0) / 2}; }
};

OutlineBox BoxOf(const ClipperLib::Path& outline);

// Boxes bucketed on a grid of about as many cells as boxes. Each box that
// meets a query box is reported exactly once per query (in the cell where
// the two first overlap), so queries need no state and may run on several
// threads at once.
class BoxGrid {
public:
    BoxGrid() = default;
    explicit BoxGrid(const std::vector<OutlineBox>& boxes) { Build(boxes); }
    void Build(const std::vector<OutlineBox>& boxes);

    template <class Fn> void ForEachMeeting(const OutlineBox& box, Fn&& fn) const
    {
        if (box.IsEmpty() || m_cellsX == 0)
            return;
        for (int i : m_large)
            if (m_boxes[size_t(i)].Meets(box))
                fn(i);
        int cx0, cy0, cx1, cy1;
        if (!CellRange(box, cx0, cy0, cx1, cy1))
            return;
        for (int cy = cy0; cy <= cy1; ++cy)
            for (int cx = cx0; cx <= cx1; ++cx) {
                const size_t cell = size_t(cy) * size_t(m_cellsX) + size_t(cx);
                for (uint32_t k = m_start[cell]; k < m_start[cell + 1]; ++k) {
                    const int i = m_members[k];
                    if (!m_boxes[size_t(i)].Meets(box))
                        continue;
                    // Report in the first cell both boxes cover.
                    const std::pair<int, int>& first = m_firstCell[size_t(i)];
                    if (cx == std::max(cx0, first.first) && cy == std::max(cy0, first.second))
                        fn(i);
                }
            }
    }

private:
    // Cells covered by `box`, clamped to the grid; false when it misses the grid.
    bool CellRange(const OutlineBox& box, int& cx0, int& cy0, int& cx1, int& cy1) const;

    std::vector<OutlineBox> m_boxes;
    std::vector<std::pair<int, int>> m_firstCell; // of each gridded box
    std::vector<int> m_large; // boxes over too many cells, checked on every query
    std::vector<uint32_t> m_start;
    std::vector<int> m_members;
    OutlineBox m_extent;
    ClipperLib::cInt m_cellW = 1, m_cellH = 1;
    int m_cellsX = 0, m_cellsY = 0;
};

// Calls fn(i, j), i < j, for every pair of the boxes that meet.
template <class Fn> void ForEachMeetingPair(const std::vector<OutlineBox>& boxes, Fn&& fn)
{
    const int n = int(boxes.size());
    // Below a few dozen boxes the pairs are cheaper than a grid.
    if (n < 24) {
        for (int i = 0; i < n; ++i)
            for (int j = i + 1; j < n; ++j)
                if (boxes[size_t(i)].Meets(boxes[size_t(j)]))
                    fn(i, j);
        return;
    }
    const BoxGrid grid(boxes);
    for (int i = 0; i < n; ++i)
        grid.ForEachMeeting(boxes[size_t(i)], [&](int j) {
            if (j > i)
                fn(i, j);
        });
}

// Union-find over 0..n-1 whose representative is the smallest member.
class Components {
public:
    explicit Components(int n = 0) { Reset(n); }
    void Reset(int n);
    int Find(int i);
    void Unite(int a, int b);

private:
    std::vector<int> m_parent;
};

} // namespace layers
