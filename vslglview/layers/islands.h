#pragma once
#include "layers/outlinebox.h"
#include "layers/supportlayers.h"

#include <polyclipping/clipper.hpp>

#include <QPair>
#include <QVector>

#include <vector>

// Islands of one instance's layers that rest on nothing: a connected region
// of layer L (L >= 1) that overlaps nothing of the united layer L - 1.
namespace layers {

struct IslandCount {
    int support = 0; // regions of the support cross-sections alone
    int model = 0;   // regions of the model outlines alone
    // Where the islands lie: layer and the first point of each outline.
    QVector<QPair<int, ClipperLib::IntPoint>> supportAt;
    QVector<QPair<int, ClipperLib::IntPoint>> modelAt;
    void Add(const IslandCount& other);
};

// Counts layer by layer, in order. A support outline that continues its
// solid's outline of the layer below rests without further work; only the
// rest is united and compared with the layer below, and not even that where
// each of them clearly overlaps an outline that rests.
class IslandCounter {
public:
    // A region smaller than `negligibleArea` (square 1/1000 mm; a share of
    // a pixel) lights no pixel: it is not counted and holds up nothing of the
    // layer above, which is judged without it, whatever the region rests on
    // (a speck where a foot's tilted end just dips below the plane at a
    // model's edge, the tip of a point hanging down, also one just touching
    // the first layer, the sections of a slender spike's point).
    // `uniteEveryGroup`: unite every group of support outlines to judge its
    // regions, also where its outlines show that they all rest (the count
    // the shortcut must equal).
    explicit IslandCounter(double negligibleArea = 0, bool uniteEveryGroup = false)
        : m_negligibleArea(negligibleArea), m_uniteEveryGroup(uniteEveryGroup)
    {
    }

    // The next layer: model outlines (even-odd) and support outlines
    // (non-zero, outer outlines counter-clockwise, as the cut and the union
    // make them). The first layer handed over rests on the plate; the
    // support outlines are read again by the next call, as its ground.
    // `walk`, when given, produced `supports` and lends its solids' lookups.
    // `modelIsUnion`: the model outlines came out of a union (see
    // ModelLayerOutlines), so their regions need no union again.
    // `count` false: the layer is only the ground of the next (a run's
    // layers below its first); its negligible regions are still left out.
    void AddLayer(int layer, const ClipperLib::Paths& model, const std::vector<SupportOutline>& supports,
                  const SupportLayerWalk* walk = nullptr, bool modelIsUnion = false, bool count = true);
    const IslandCount& count() const { return m_count; }
    // Groups of support outlines found to rest without uniting them.
    int groupsShownToRest() const { return m_groupsShownToRest; }

private:
    struct Region {
        ClipperLib::Paths paths; // outer outline, then its holes
        OutlineBox box;
        std::vector<int> outlines; // its place in the list of outlines the regions were made into, if any
    };
    static void Regions(const ClipperLib::Paths& paths, ClipperLib::PolyFillType fill, std::vector<Region>& regions,
                        ClipperLib::Paths* outlines);
    bool Negligible(const Region& region) const;
    // Rests: on what lies below, on the plate, or not asked (`count` false);
    // Dropped: negligible, left out of the ground; Island: counted.
    enum class Verdict { Rests, Dropped, Island };
    Verdict Judge(const Region& region, bool count, bool onPlate, bool onModel);
    // Regions of the outlines of a union, each hole under the least outer
    // outline holding it; false when a hole's place is not plain.
    static bool NestedRegions(const ClipperLib::Paths& united, std::vector<Region>& regions);
    // Whether the region shares area with the layer below; `onModel` says
    // which part of it to look at first.
    bool Rests(const Region& region, bool onModel);
    // Marks in `dropped` the support outlines of negligible regions; on the
    // plate every other region rests.
    void CountSupportIslands(int layer, const std::vector<SupportOutline>& supports, const SupportLayerWalk* walk,
                             bool count, bool onPlate, std::vector<char>& dropped);
    // Whether a support outline that rests on its own solid below is large
    // enough that no region holding it can be negligible, however its union
    // rounds.
    bool TooLargeToNeglect(const ClipperLib::Path& outline) const;

    const double m_negligibleArea;
    const bool m_uniteEveryGroup;
    int m_groupsShownToRest = 0;
    IslandCount m_count;
    bool m_hasGround = false;
    // The layer below: its model union outlines and its support outlines.
    ClipperLib::Paths m_groundModel;
    std::vector<OutlineBox> m_groundModelBoxes;
    std::vector<const ClipperLib::Path*> m_groundSupport;
    std::vector<OutlineBox> m_groundSupportBoxes;
    std::vector<int> m_groundSupportSolid;
    const SupportSolids* m_groundSolids = nullptr;
    std::vector<int> m_groundIndexOfSolid; // solid -> index in m_groundSupport, -1
    // Built on the first comparison of a layer.
    bool m_groundIndexed = false;
    BoxGrid m_groundModelGrid, m_groundSupportGrid;
};

// `model` holds even-odd outlines, `support` non-zero cross-sections, one
// entry per layer (1/1000 mm); the shorter list counts as empty beyond its end.
// `negligibleArea` as IslandCounter's.
IslandCount CountUnsupportedIslands(const QVector<ClipperLib::Paths>& model,
                                    const QVector<ClipperLib::Paths>& support, double negligibleArea = 0);

} // namespace layers
