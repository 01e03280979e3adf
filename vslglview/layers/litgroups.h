#pragma once
#include "layers/litislands.h"
#include "printfile/layerrender.h"

#include <QImage>
#include <QSize>

#include <memory>
#include <unordered_map>
#include <vector>

class QPainter;

// Islands as the layer-image file prints them, counted on every layer at a
// share of the cost of drawing each layer whole: the renderer draws each
// group of polygons whose pixel boxes overlap on its own, so a group's lit
// pixels depend on its polygons alone. A group made of the very polygons of
// a group of the layer before (the slice hands on the same points for an
// outline that repeats: columns, walls) lights the same pixels, kept from
// then as runs; only the groups that changed are drawn, each into a box
// round it. The islands found are those LitIslandCounter finds.
namespace layers {

class GroupedLitIslandCounter {
public:
    // `frame`: the layers' pixel frame (nothing outside it is printed).
    explicit GroupedLitIslandCounter(const QSize& frame);
    ~GroupedLitIslandCounter();
    GroupedLitIslandCounter(const GroupedLitIslandCounter&) = delete;
    GroupedLitIslandCounter& operator=(const GroupedLitIslandCounter&) = delete;

    // As LitIslandCounter::AddLayer.
    void AddLayer(const QVector<SlicePolygon>& layer, bool count, std::vector<QPoint>& islands);
    // As LitIslandCounter::LightIslands.
    std::vector<bool> LightIslands(const QVector<SlicePolygon>& polygons, const std::vector<QPoint>& islands);

    // The lit runs of the layer last handed over, in row order.
    const std::vector<LitRun>& litRuns() const { return m_below; }
    // Groups drawn so far, and groups taken from the layer before.
    long groupsDrawn() const { return m_groupsDrawn; }
    long groupsKept() const { return m_groupsKept; }

private:
    using PixelBox = layerdraw::PixelBox;
    struct Group {
        std::vector<SlicePolygon> members; // hold their points: a pointer names them while kept
        std::vector<LitRun> runs;          // in row order
        int used = 0;                      // the layer it was last in
    };
    // The lit runs of `layer` into `runs`, in row order; with `keep`, the
    // groups are looked up among those of the layer before, and kept.
    void LayerRuns(const QVector<SlicePolygon>& layer, bool keep, std::vector<LitRun>& runs);
    // Draws the polygons `members` of `layer` and appends the lit runs.
    void DrawRuns(const QVector<SlicePolygon>& layer, const std::vector<int>& members, const PixelBox& box,
                  std::vector<LitRun>& runs);
    bool Scratch(int width, int height);

    QSize m_frame;
    // Black but while a group is drawn; grown when a group needs more.
    std::unique_ptr<QImage> m_scratch;
    std::unique_ptr<QPainter> m_painter;
    std::unordered_multimap<quint64, Group> m_kept;
    int m_layer = 0;
    long m_groupsDrawn = 0, m_groupsKept = 0;
    bool m_hasBelow = false;
    std::vector<LitRun> m_below, m_here;
    std::vector<int> m_regionOf; // of m_below
    // Per layer, reused.
    std::vector<PixelBox> m_boxes;
    std::vector<int> m_polygonOf; // layer index of each boxed polygon
    QVector<QPolygonF> m_outside;  // mapped polygons reaching out of the frame
    std::vector<int> m_outsideOf;  // index in m_outside of each boxed polygon, -1
    std::vector<LitRun> m_unsorted;
};

} // namespace layers
