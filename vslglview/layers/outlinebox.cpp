#include "layers/outlinebox.h"

#include <cmath>
#include <numeric>

namespace layers {

using ClipperLib::cInt;

void OutlineBox::Add(const OutlineBox& o)
{
    if (o.IsEmpty())
        return;
    if (IsEmpty()) {
        *this = o;
        return;
    }
    x0 = std::min(x0, o.x0);
    y0 = std::min(y0, o.y0);
    x1 = std::max(x1, o.x1);
    y1 = std::max(y1, o.y1);
}

OutlineBox BoxOf(const ClipperLib::Path& outline)
{
    OutlineBox b;
    if (outline.empty())
        return b;
    b.x0 = b.x1 = outline[0].X;
    b.y0 = b.y1 = outline[0].Y;
    for (const ClipperLib::IntPoint& p : outline) {
        b.x0 = std::min(b.x0, p.X);
        b.x1 = std::max(b.x1, p.X);
        b.y0 = std::min(b.y0, p.Y);
        b.y1 = std::max(b.y1, p.Y);
    }
    return b;
}

namespace {

// A box may spread over this many cells before it is kept aside.
constexpr double kMaxCellsPerBox = 64;
constexpr int kMaxCellsPerSide = 4096;

} // namespace

bool BoxGrid::CellRange(const OutlineBox& box, int& cx0, int& cy0, int& cx1, int& cy1) const
{
    if (!box.Meets(m_extent))
        return false;
    // Differences of in-range coordinates; the extent bounds every stored box.
    auto cell = [](cInt v, cInt origin, cInt size, int count) {
        const cInt c = (std::max(v, origin) - origin) / size;
        return int(std::min<cInt>(c, count - 1));
    };
    cx0 = cell(box.x0, m_extent.x0, m_cellW, m_cellsX);
    cx1 = cell(std::min(box.x1, m_extent.x1), m_extent.x0, m_cellW, m_cellsX);
    cy0 = cell(box.y0, m_extent.y0, m_cellH, m_cellsY);
    cy1 = cell(std::min(box.y1, m_extent.y1), m_extent.y0, m_cellH, m_cellsY);
    return true;
}

void BoxGrid::Build(const std::vector<OutlineBox>& boxes)
{
    m_boxes = boxes;
    m_large.clear();
    m_start.clear();
    m_members.clear();
    m_extent = OutlineBox();
    m_cellsX = m_cellsY = 0;
    double sumW = 0, sumH = 0;
    int counted = 0;
    for (const OutlineBox& b : m_boxes) {
        if (b.IsEmpty())
            continue;
        m_extent.Add(b);
        sumW += double(b.x1 - b.x0) + 1;
        sumH += double(b.y1 - b.y0) + 1;
        ++counted;
    }
    if (counted == 0)
        return;
    // Cells about the size of an average box, about as many as boxes.
    const double extentW = double(m_extent.x1 - m_extent.x0) + 1, extentH = double(m_extent.y1 - m_extent.y0) + 1;
    const double side = std::sqrt(double(counted));
    double w = std::max(sumW / counted, extentW / std::max(1.0, side * 2));
    double h = std::max(sumH / counted, extentH / std::max(1.0, side * 2));
    w = std::max(w, extentW / kMaxCellsPerSide);
    h = std::max(h, extentH / kMaxCellsPerSide);
    m_cellW = std::max<cInt>(1, cInt(std::ceil(w)));
    m_cellH = std::max<cInt>(1, cInt(std::ceil(h)));
    m_cellsX = int(std::min<double>(kMaxCellsPerSide, std::ceil(extentW / double(m_cellW))));
    m_cellsY = int(std::min<double>(kMaxCellsPerSide, std::ceil(extentH / double(m_cellH))));
    m_cellsX = std::max(1, m_cellsX);
    m_cellsY = std::max(1, m_cellsY);

    const size_t cells = size_t(m_cellsX) * size_t(m_cellsY);
    std::vector<uint32_t> count(cells + 1, 0);
    std::vector<char> gridded(m_boxes.size(), 0);
    m_firstCell.assign(m_boxes.size(), {0, 0});
    for (size_t i = 0; i < m_boxes.size(); ++i) {
        int cx0, cy0, cx1, cy1;
        if (m_boxes[i].IsEmpty() || !CellRange(m_boxes[i], cx0, cy0, cx1, cy1))
            continue;
        m_firstCell[i] = {cx0, cy0};
        if (double(cx1 - cx0 + 1) * double(cy1 - cy0 + 1) > kMaxCellsPerBox) {
            m_large.push_back(int(i));
            continue;
        }
        gridded[i] = 1;
        for (int cy = cy0; cy <= cy1; ++cy)
            for (int cx = cx0; cx <= cx1; ++cx)
                ++count[size_t(cy) * size_t(m_cellsX) + size_t(cx)];
    }
    m_start.assign(cells + 1, 0);
    for (size_t c = 0; c < cells; ++c)
        m_start[c + 1] = m_start[c] + count[c];
    m_members.resize(m_start[cells]);
    std::vector<uint32_t> fill(m_start.begin(), m_start.end() - 1);
    for (size_t i = 0; i < m_boxes.size(); ++i) {
        if (!gridded[i])
            continue;
        int cx0, cy0, cx1, cy1;
        CellRange(m_boxes[i], cx0, cy0, cx1, cy1);
        for (int cy = cy0; cy <= cy1; ++cy)
            for (int cx = cx0; cx <= cx1; ++cx)
                m_members[fill[size_t(cy) * size_t(m_cellsX) + size_t(cx)]++] = int(i);
    }
}

void Components::Reset(int n)
{
    m_parent.resize(size_t(std::max(0, n)));
    std::iota(m_parent.begin(), m_parent.end(), 0);
}

int Components::Find(int i)
{
    while (m_parent[size_t(i)] != i) {
        m_parent[size_t(i)] = m_parent[size_t(m_parent[size_t(i)])];
        i = m_parent[size_t(i)];
    }
    return i;
}

void Components::Unite(int a, int b)
{
    a = Find(a);
    b = Find(b);
    if (a != b)
        m_parent[size_t(std::max(a, b))] = std::min(a, b);
}

} // namespace layers
