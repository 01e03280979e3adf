#pragma once
#include "layers/outlinebox.h"
#include "layers/supportcut.h"

#include <atomic>
#include <deque>
#include <memory>
#include <vector>

// The support solids of one instance cut plane by plane: only the solids
// that reach the current plane hold an outline, so the memory follows one
// layer rather than the whole instance.
namespace layers {

// Support solids reduced to what their cross-sections need, in cut order
// (records in key order, each record's spheres, then its cones), each with
// the planes it reaches and a box holding every outline it can have.
class SupportSolids {
public:
    SupportSolids(const QVector<float>& planesMm, const MyMesh& columnWorkMesh);

    // Spheres first, then cones, each in list order; deleted records add nothing.
    void AddRecord(bool isDeleted, const QVector<QVector<vcg::Point3f>>& spheres,
                   const QVector<QVector<vcg::Point3f>>& cones);
    void AddSphere(const QVector<vcg::Point3f>& sphere);
    void AddCone(const QVector<vcg::Point3f>& cone);
    // Orders the solids by their first plane and links those whose boxes
    // meet; the walks need it, so call it once after the last Add. Once
    // `stop` is set it leaves the links unmade: the solids are of no more use.
    void Finish(const std::atomic<bool>* stop = nullptr);

    int count() const { return int(m_solids.size()); }
    // Per plane, the cost of the solids reaching it: `tiltedCost` for each
    // tilted one, `otherCost` for each of the rest.
    std::vector<double> PlaneCosts(double tiltedCost, double otherCost) const;
    const OutlineBox& boxOf(int solid) const { return m_solids[size_t(solid)].box; }
    // Calls fn(solid) for every solid whose box meets `box` (after Finish).
    template <class Fn> void ForEachNear(const OutlineBox& box, Fn&& fn) const { m_grid.ForEachMeeting(box, fn); }
    // False when the solids' boxes overlap so much that listing the pairs
    // would cost more than finding them again on each plane.
    bool hasNeighbours() const { return m_hasNeighbours; }
    // Solids whose boxes meet that of `solid` (not itself), when hasNeighbours().
    const int* neighboursBegin(int solid) const { return m_neighbours.data() + m_neighbourStart[size_t(solid)]; }
    const int* neighboursEnd(int solid) const { return m_neighbours.data() + m_neighbourStart[size_t(solid) + 1]; }

private:
    friend class SupportLayerWalk;
    enum class Kind : uint8_t { Sphere, Upright, Tilted };
    struct Solid {
        Kind kind = Kind::Sphere;
        int first = 0, last = -1;
        vcg::Point3f p1, p2; // sphere: p1 centre
        float r1 = 0, r2 = 0;
        vcg::Point3f axis;
        float lengthMm = 0;
        OutlineBox box;
    };
    void Add(const Solid& solid);

    const QVector<float> m_planes;
    ColumnTopology m_topology;
    std::vector<Solid> m_solids;
    std::vector<int> m_byFirst; // solid indices by first plane, then cut order
    BoxGrid m_grid;
    bool m_hasNeighbours = false;
    std::vector<uint32_t> m_neighbourStart;
    std::vector<int> m_neighbours;
};

// One outline of the current plane, owned by the walk: valid until the walk
// has taken two more steps.
struct SupportOutline {
    const ClipperLib::Path* path = nullptr;
    const ClipperLib::Path* below = nullptr; // the same solid's outline one plane lower, if it had one
    int solid = -1;
    bool repeated = false; // the very points of `below` (upright cylinders, mostly)
    bool convex = false;   // strictly convex and simple, so a union leaves it as it is
    bool changesEveryLayer = false; // a tilted solid's: never `repeated`
    OutlineBox box;
};

// True when the outline turns left at every corner and winds once: a convex
// simple polygon with area, which a union of it alone returns unchanged.
bool IsConvexOutline(const ClipperLib::Path& outline);

// Walks the planes upward from `firstLayer`, each step cutting every solid
// that reaches the plane, in cut order. The walk right after the first step
// knows nothing below its first plane.
class SupportLayerWalk {
public:
    SupportLayerWalk(const SupportSolids& solids, int firstLayer);
    SupportLayerWalk(const SupportLayerWalk&) = delete;
    SupportLayerWalk& operator=(const SupportLayerWalk&) = delete;

    // Cuts the next plane (the first one at the first call).
    const std::vector<SupportOutline>& Next();
    int layer() const { return m_layer; }
    const SupportSolids& solids() const { return m_solids; }
    // Index in the outlines Next() returned of the solid's outline on the current plane, or -1.
    int OutlineOf(int solid) const { return m_outlineOf[size_t(solid)]; }

private:
    // Two outlines per solid: the latest one stays while the next is cut,
    // since the plane below is still read during a step.
    struct Slot {
        int solid = -1;
        ClipperLib::Path path[2];
        bool convex[2] = {false, false};
        OutlineBox box[2];
        float radius[2] = {0.f, 0.f}; // circles: the radius they were cut with
        int latest = 0;        // buffer of the latest outline
        int latestLayer = -1;  // its plane, -1 for none
        // Tilted solids only: a walk holds a slot for every solid it has
        // active, and most stand upright.
        std::unique_ptr<PlacedColumn> column;
    };
    void Activate(int solid);
    // The solid's outline on the current plane; false when it has none there.
    bool Cut(Slot& slot, SupportOutline& out);

    const SupportSolids& m_solids;
    int m_layer;
    size_t m_nextByFirst = 0;
    std::deque<Slot> m_slots; // stable addresses: outlines point into them
    std::vector<int> m_freeSlots;
    std::vector<int> m_active; // slot indices by solid (cut order)
    std::vector<int> m_slotOf; // solid -> slot, -1
    std::vector<int> m_outlineOf; // solid -> index in m_outlines, -1
    std::vector<SupportOutline> m_outlines;
};

} // namespace layers
