#pragma once
#include "layers/litislands.h"
#include "printfile/layerrender.h"

#include <QImage>
#include <QSize>

#include <memory>
#include <utility>
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
    // `turned`: as LitIslandCounter's: `frame` is then the turned frame.
    explicit GroupedLitIslandCounter(const QSize& frame, bool turned = false);
    ~GroupedLitIslandCounter();
    GroupedLitIslandCounter(const GroupedLitIslandCounter&) = delete;
    GroupedLitIslandCounter& operator=(const GroupedLitIslandCounter&) = delete;

    // As LitIslandCounter::AddLayer.
    void AddLayer(const QVector<SlicePolygon>& layer, bool count, std::vector<QPoint>& islands);
    // As LitIslandCounter::LightIslands.
    std::vector<bool> LightIslands(const QVector<SlicePolygon>& polygons, const std::vector<QPoint>& islands);

    // The lit runs of the layer last handed over, in row order.
    const std::vector<LitRun>& litRuns() const { return m_below; }
    const std::vector<int>& regionOf();
    // Groups drawn so far, and groups taken from the layer before.
    long groupsDrawn() const { return m_groupsDrawn; }
    long groupsKept() const { return m_groupsKept; }
    // Layers that were the very polygons of the layer below.
    long layersRepeated() const { return m_layersRepeated; }

private:
    using PixelBox = layerdraw::PixelBox;
    // The groups of one layer: each names its polygons (the copies hold
    // their points, so a pointer to them names them while kept) and its lit
    // runs, in row order, as ranges of flat lists.
    struct Groups {
        std::vector<SlicePolygon> members;
        std::vector<LitRun> runs;
        struct Group {
            quint64 key;
            int firstMember, memberCount;
            int firstRun, runCount;
        };
        std::vector<Group> groups;
        std::vector<int> table; // open addressing on the keys: group index, -1
        void Clear();
        void Index();
        int Find(quint64 key, const SlicePolygon* const* members, int count) const;
    };
    // The lit runs of `layer` into `runs`, in row order; with `keep`, the
    // groups are looked up among those of the layer before, and kept.
    void LayerRuns(const QVector<SlicePolygon>& layer, bool keep, std::vector<LitRun>& runs);
    // Boxes every polygon of the layer and groups them as the renderer does.
    void GroupLayer(const QVector<SlicePolygon>& layer);
    // Draws the boxed polygons `members` (box: theirs together) and
    // appends the lit runs, in row order.
    void DrawRuns(const QVector<SlicePolygon>& layer, const int* members, int count, const PixelBox& box,
                  std::vector<LitRun>& runs);
    bool Scratch(int width, int height);

    QSize m_frame;
    bool m_turned = false;
    // Black but while a group is drawn; grown when a group needs more.
    std::unique_ptr<QImage> m_scratch;
    std::unique_ptr<QPainter> m_painter;
    Groups m_kept, m_making; // the layer before's groups, this layer's
    long m_groupsDrawn = 0, m_groupsKept = 0, m_layersRepeated = 0;
    QVector<SlicePolygon> m_lastLayer; // the layer last handed over (shares its polygons)
    bool m_hasBelow = false;
    std::vector<LitRun> m_below, m_here;
    std::vector<int> m_belowRows, m_hereRows; // where each row's runs start
    std::vector<int> m_regionOf; // of m_below
    bool m_regionsJudged = false; // m_regionOf is of m_below
    // This layer's groups that were drawn: their runs in m_kept.runs.
    std::vector<std::pair<int, int>> m_drawn; // first run, run count
    Components m_groupRegions;
    // Per layer, reused: the boxed polygons and their groups.
    std::vector<PixelBox> m_boxes;
    std::vector<int> m_polygonOf;  // layer index of each boxed polygon
    QVector<QPolygonF> m_outside;  // mapped polygons reaching out of the frame
    std::vector<int> m_outsideOf;  // index in m_outside of each boxed polygon, -1
    std::vector<int> m_groupMembers, m_groupStart; // boxed polygons by group, ascending; where each group starts
    std::vector<int> m_groupOf;
    std::vector<int> m_parent, m_cellStart, m_cellItems, m_work;
    std::vector<const SlicePolygon*> m_memberPolygons;
    std::vector<LitRun> m_unsorted;
    std::vector<int> m_rowStart;
};

} // namespace layers
