#pragma once
#include "DLP_Support.h"
#include "SupportCollision.h"
#include "mesh/mymesh.h"
#include "mesh/parallel.h"

#include <algorithm>
#include <atomic>
#include <vector>

#include <QList>
#include <QMap>
#include <QMatrix4x4>
#include <QMultiMap>
#include <QSet>
#include <QVector3D>
#include <QVector>

// The data and the mesh work of one support generation run, without GL or
// threads: the painter's run (GenSupportX) keeps the frame (locks, lift,
// flags, signal) and calls these steps on the model's working mesh; tests
// drive them headless. The later phases (contacts, tips, columns, bracing)
// read the tables, the grid and the sizes held here.

// The four values of the support parameter vector.
// How far under a landing's end the model must be solid beyond the end
// ball's radius: a ball that sinks no deeper shows under a thin part.
constexpr double kFootDepthMm = 0.1;

struct SupportParameters {
    double density = 1.0;       // contact spacing 2 / density mm
    double tipDiameter = 0.6;   // mm
    double shaftDiameter = 1.1; // mm
    double liftDistance = 3.0;  // mm
};

// Where on the plate a column's foot may stand, in the frame of the run:
// the printer's frame shrunk by a pixel, and the matrix from the run's frame
// to the plate's. Unbounded (the default): anywhere.
struct SupportPlate {
    bool bounded = false;
    float minX = 0, minY = 0, maxX = 0, maxY = 0; // mm on the plate
    QMatrix4x4 frameToPlate;

    // Whether a disc of radius r round p's plan position lies on the plate.
    bool Holds(const vcg::Point3f& p, double r) const
    {
        if (!bounded)
            return true;
        const QVector3D q = frameToPlate.map(QVector3D(p[0], p[1], p[2]));
        return double(q.x()) - r >= minX && double(q.x()) + r <= maxX && double(q.y()) - r >= minY &&
               double(q.y()) + r <= maxY;
    }
};

// Sizes derived from the parameters once per run.
struct SupportSizes {
    double d = 0;               // contact spacing
    double rt = 0;              // tip radius
    double rs = 0;              // shaft radius
    double tipLength = 0;       // L = min(2, max(shaft diameter, 4 (rs - rt)))
    double rm = 0;              // end radius of a short tip
    double shortTipStart = 0;   // start radius of a short tip
    double drop = 0;            // landing search depth
    double landingRadius = 0;   // 2 + rs
    double rs08 = 0;            // 0.8 rs
    float shaftCube3 = 0;       // 3 D^3
    float shaftSquare8 = 0;     // 8 D^2
    double shaft5 = 0;          // 5 D
    float collisionDensity = 0; // samples per mm of every collision test: 5 / D

    static SupportSizes From(const SupportParameters& p);
};

// One entry of the slab table: truncated z x 1000 and the working vertex.
struct SlabEntry {
    int key;
    uint vertex;
};

// One working vertex of a first generation: its slab and the contact
// selection's label and seed (micrometres).
struct SupportVertexState {
    int slab = 0;
    int label = SupportVertexState::kUnclaimed;
    int seedX = SupportVertexState::kUnclaimed;
    int seedY = SupportVertexState::kUnclaimed;

    static constexpr int kUnclaimed = -9;
    static constexpr int kUpward = -4;
};

// Split predicate of the refinement: an edge longer than 0.8 d in plan view,
// unless its face or the face across it is selected. Its height difference
// does not count, so a vertical edge is never split.
class DuneEdgeLen {
public:
    explicit DuneEdgeLen(double d);
    bool operator()(const MyMesh& m, uint32_t f, int e) const;
    float limitSquared() const { return m_t; }

private:
    float m_t;
};

// New vertex of a split edge: the midpoint, in single precision.
struct DuneMidPoint {
    vcg::Point3f operator()(const vcg::Point3f& a, const vcg::Point3f& b) const { return (a + b) * 0.5f; }
};

// Thrown out of a phase that finds the run's stop request set; the painter
// then drops the records and ends the run.
struct SupportRunStopped {};

// What a generation removed or erased (the pipeline reports it).
struct SupportRunCounts {
    int contacts = 0;       // kept contacts after thinning
    int records = 0;        // records made from them
    int tipsRemoved = 0;    // no tip fits: removed by the tip phase
    int bridged = 0;        // short tip bridged onto the model
    int columnsErased = 0;  // column met the model from behind, or its foot would overhang
    int landingsMended = 0; // reversed tip straight onto a hit within L
    int looseLinked = 0;    // removed contacts linked on to a kept support nearby
    int ownSupports = 0;    // low points nothing holds given a support of their own
    int feetOntoPlate = 0;  // tips turned so that their column stands on the plate
};

class SupportRun {
public:
    static constexpr int kMaxRefinePasses = 5;

    // --- mesh work (the run holds the model's locks) ---
    // Refinement for contact spacing d = 2 / density: at most five passes,
    // each but the fifth followed by fresh face-face adjacency; stops after a
    // pass that splits nothing. Needs face-face adjacency and leaves the
    // adjacency stale: CleanWorkingMesh, which follows, rebuilds it. Returns
    // the number of passes that split. Both poll `stop` every few thousand
    // elements and throw SupportRunStopped once it is set, leaving vertices
    // and faces whole and the adjacency stale.
    static int RefineWorkingMesh(MyMesh& mesh, double density, const std::atomic<bool>* stop = nullptr);
    // Duplicate-vertex removal, compaction of both arrays, fresh adjacency.
    // True when the vertex or face arrays changed.
    static bool CleanWorkingMesh(MyMesh& mesh, const std::atomic<bool>* stop = nullptr);
    // Unit normal (V1 - V0) x (V2 - V0) of every face (left as is at length 0).
    static void UpdateFaceNormals(MyMesh& mesh);

    // --- working tables ---
    // Slab table, vertex states, cleared contact states and the upward
    // vertices of a first generation (faces need their normals).
    void BuildFirstGenerationTables(const MyMesh& mesh);
    // The face grid of the mesh; minBound / maxBound are widened by every
    // face.
    void BuildFaceGrid(const MyMesh& mesh, QVector3D& minBound, QVector3D& maxBound);
    void SetParameters(const SupportParameters& p);
    // Drops the tables, the grid and the sizes.
    void Clear();

    // --- collision tests against `mesh` through this run's grid ---
    vcg::Point3f FindFirstCollisionColumn(vcg::Point3f p, double r, float zFloor, const MyMesh& mesh) const;
    bool CheckCollisionColumn(vcg::Point3f p0, double r, vcg::Point3f p1, const MyMesh& mesh,
                              float segmentLength = 5.0f) const;
    bool CheckCollisionSphere(vcg::Point3f c, double r, const MyMesh& mesh) const;
    bool CheckCollisionCone(vcg::Point3f p0, double r0, vcg::Point3f p1, double r1, const MyMesh& mesh) const;
    // Whether a full tip from the contact p along the unit direction n
    // clears the model: its cone from 0.1 mm out and the sphere at its end.
    bool TipFits(const vcg::Point3f& p, const vcg::Point3f& n, const MyMesh& mesh) const;
    bool CheckCollisionConeAllX(vcg::Point3f p0, double r0, vcg::Point3f p1, double r1, const MyMesh& mesh,
                                supportcollide::HitMap& hits) const;
    vcg::Point3f FindNearestNormalSphere(vcg::Point3f c, double r, const MyMesh& mesh) const;
    // True when no face crosses the vertical line under q between just
    // below q and `depth` below it (faces seen edge-on do not count) and the
    // model holds its lower end (the mesh lies above zFloor): a landing foot
    // at q then stands on the model in every layer it reaches.
    bool SolidBelow(const vcg::Point3f& q, float depth, float zFloor, const MyMesh& mesh) const;
    // True when the segment a b crosses or touches a face of the mesh.
    bool SegmentMeetsSurface(const vcg::Point3f& a, const vcg::Point3f& b, const MyMesh& mesh) const;

    // --- phases of a generation (SupportContacts.cpp, SupportTips.cpp,
    // SupportColumns.cpp, SupportBracing.cpp); each checks the stop flag
    // between its records and throws SupportRunStopped ---
    void SetStopFlag(const std::atomic<bool>* stop) { m_stop = stop; }
    bool StopRequested() const { return m_stop && m_stop->load(std::memory_order_relaxed); }
    void ThrowIfStopped() const
    {
        if (StopRequested())
            throw SupportRunStopped();
    }
    // fn(i) for every i < n, spread over the threads; polls the stop flag
    // before each record and throws SupportRunStopped after the join when
    // it was set.
    template <class Fn> void ParallelRecords(uint32_t n, Fn&& fn) const
    {
        std::atomic<bool> stopped{false};
        vcg::ParallelFor(n, 64, [&](uint32_t b, uint32_t e) {
            for (uint32_t i = b; i < e; ++i) {
                if (StopRequested()) {
                    stopped = true;
                    return;
                }
                fn(i);
            }
        });
        if (stopped)
            throw SupportRunStopped();
    }
    // Contact regions, thinning, contact points and the new records (first
    // generation; needs BuildFirstGenerationTables and face normals).
    void BuildContacts(const MyMesh& mesh, SupportMap& map, QVector<DLP_Support*>& index);
    // A tip for every record: free, another direction, bridged or removed.
    void FitTips(const MyMesh& mesh, SupportMap& map, QVector<DLP_Support*>& index);
    // Tip cones, column drops, joints and landings; zPlate is the plate level.
    void BuildColumns(const MyMesh& mesh, float zPlate, SupportMap& map, QVector<DLP_Support*>& index);
    // Plate columns and the 45 degree struts between tall neighbours, then
    // the end-of-run clean-up of the records.
    void BraceColumns(const MyMesh& mesh, SupportMap& map, QVector<DLP_Support*>& index);
    // A contact thinned away for a lower one nearby is a low point of its
    // own: nothing under it would hold what cures there until the model
    // joins the kept contact's higher up. Each gets a drop of tip radius
    // straight down through it and a 45 degree link on to the far end of the
    // kept contact's tip (last phase of every run; the kept record carries
    // both). A low point too close above that end for the slope gets none.
    // A contact whose tip or column a phase removed (a low point beside a
    // wall, in a crevice) hangs the same way: it gets the same drop and link
    // to the kept support within the contact spacing whose tip end is
    // nearest in plan.
    // Those links pass through no wall: a drop or link whose axis would cross
    // the surface is not made.
    // A contact that no link reaches and that the model does not hold
    // either (its surface climbs all round it, with no lower surface and no
    // other support on the level patch about it: the lowest point of a
    // separate piece, a pole whose own tip did not fit) gets a support of
    // its own: a tip straight down and a column to the plate, when both
    // clear the model.
    void BridgeLooseContacts(const MyMesh& mesh, SupportMap& map);
    // The rod a slender spike's point gets up its spine (see SpineRodEnd):
    // its radius at most, the longest it grows, the step of its search.
    static constexpr double kSpineRodRadiusMm = 0.1;
    static constexpr double kSpineRodMaxMm = 5.0;
    static constexpr double kSpineStepMm = 0.05;
    // How far a low point's surface may climb and still join a lower or
    // supported one without a support of its own. A rim of a whole 0.05 mm
    // slab leaves a speck curing a layer early, on its own, for most layer
    // heights; one of 0.01 mm rarely meets a layer's plane at all.
    static constexpr double kHoldingClimbMm = 0.01;

    // Contact classes: code -> (point, direction) pairs. The third class
    // stays empty.
    QMap<uint, QList<vcg::Point3f>> m_vertexContacts;
    QMap<uint, QList<vcg::Point3f>> m_edgeContacts;
    QMap<uint, QList<vcg::Point3f>> m_otherContacts;
    // Contacts thinned away and the record of the one that thinned them.
    struct ThinnedContact {
        vcg::Point3f point;
        SupportKey keeper;
        uint code; // the contact code its own record would have had
    };
    QVector<ThinnedContact> m_thinned;
    // Contacts whose records the tip or column phase removed.
    struct RemovedContact {
        vcg::Point3f point;
        uint code;
    };
    QVector<RemovedContact> m_removedContacts;
    // Contacts left without a record because their direction, a sum of the
    // faces round them, points up: the lowest point of a thin tilted spike
    // has faces all round it whose sum all but cancels.
    QVector<RemovedContact> m_upturnedContacts;
    // Dimples a contact's region claimed across its slab: vertices lower
    // than every neighbour with no contact of their own. Those under the
    // model are low points like the removed contacts.
    QVector<RemovedContact> m_claimedMinima;
    // Plate level of the last column phase.
    float m_zPlate = 0.f;
    // Where plate columns may stand; set by the painter before each run.
    SupportPlate m_plate;
    // Keys of the supports low points got of their own since the contacts
    // were made: a later run over the same records (after an edit) makes
    // none of them again, also where the user deleted one.
    QSet<SupportKey> m_ownSupportKeys;
    SupportRunCounts m_counts;
    const std::atomic<bool>* m_stop = nullptr;

    // Slab table (0.05 mm slabs, slab 0 the lowest 0.0251 mm): per slab its
    // vertices in key order (truncated z x 1000 ascending; equal keys in the
    // order one-by-one multimap inserts would leave them, the later vertex
    // first), stored flat: slab s is [SlabBegin(s), SlabEnd(s)).
    int SlabCount() const { return m_slabStart.isEmpty() ? 0 : m_slabStart.size() - 1; }
    const SlabEntry* SlabBegin(int s) const { return m_slabEntries.constData() + m_slabStart[s]; }
    const SlabEntry* SlabEnd(int s) const { return m_slabEntries.constData() + m_slabStart[s + 1]; }
    QVector<SlabEntry> m_slabEntries;
    QVector<int> m_slabStart;
    QVector<SupportVertexState> m_vertexStates;
    QList<uint> m_upwardVertices;
    QMap<uint, uchar> m_contactStates;
    supportcollide::FaceGrid m_faceGrid;
    SupportParameters m_params;
    SupportSizes m_sizes;

private:
    // Another tip for the record at p whose plate column would stand off
    // the plate: leaning less, or the other way, free of the model, with a
    // column that reaches the plate on it or stands on the model. False when
    // none does; `direction` and `hit` then stay as they are.
    bool TipOntoPlate(const MyMesh& mesh, const vcg::Point3f& p, float zPlate, vcg::Point3f& direction,
                      vcg::Point3f& hit) const;
    // A tip for the low point p along a face normal round it, free of the
    // model, whose column stands on the plate: its direction and end.
    bool LeaningTipToPlate(const MyMesh& mesh, const vcg::Point3f& p, uint code, vcg::Point3f& direction,
                           vcg::Point3f& tipEnd) const;
    // Whether the model holds the contact at p (code: its record's).
    bool ModelHolds(const MyMesh& mesh, const vcg::Point3f& p, uint code, const std::vector<uint8_t>& carrying) const;
    // Supports of their own for the low points no link reached.
    void SupportLowPoints(const MyMesh& mesh, SupportMap& map, std::vector<RemovedContact> points);
    // Where a support of a low point that no plate column reaches ends in
    // the model below it: the column's foot under a free tip, or a pin's
    // straight under the point, in the first top below it whose model is
    // solid there; false when nothing of the model is below.
    bool ModelBelow(const MyMesh& mesh, const vcg::Point3f& p, bool tipFree, const vcg::Point3f& tipEnd,
                    const vcg::Point3f& columnHit, vcg::Point3f& foot) const;
    // Whether the lowest point of a column's end ball at `top` lies in the
    // reversed tip from there down to `hit`, or in the model.
    bool EndBallHeld(const MyMesh& mesh, const vcg::Point3f& top, const vcg::Point3f& hit) const;
    // The column from the record's shaft top down to `top`, its end ball,
    // and the reversed tip on to `hit`, with its foot.
    void AppendLegToHit(DLP_Support& s, const vcg::Point3f& top, const vcg::Point3f& hit) const;
    // Whether the column from a free tip's end stands on its first hit in
    // the model, and where that column ends (`top`) above the hit.
    bool ColumnStandsOnHit(const MyMesh& mesh, const vcg::Point3f& tipEnd, const vcg::Point3f& hit,
                           vcg::Point3f& top) const;
    // The highest face the vertical line through p crosses below `below`;
    // false when there is none. `facesUp` tells whether that face looks
    // upward, the top of a part a support can stand in.
    bool FaceStraightBelow(const MyMesh& mesh, const vcg::Point3f& p, float below, float& z, bool& facesUp) const;
    // How far such a support reaches into the model it stands on, and how
    // far under the point the search for that model starts.
    static constexpr float kPinDepthMm = 0.1f;
    static constexpr float kPinClearMm = 0.05f;
    // Whether the point lies inside the model: the first face straight below
    // faces down on each of four lines a hair off the point.
    bool InsideModel(const MyMesh& mesh, const vcg::Point3f& p) const;
    // The end of a rod from a contact at the point of a slender spike up its
    // spine, to where the spike holds the rod whole: such a point stays
    // thinner than a pixel for a long way, and its first lit layer would
    // float above the tip's sphere. False where the point is no spike's or
    // the sphere reaches far enough.
    bool SpineRodEnd(const MyMesh& mesh, uint code, const vcg::Point3f& p, vcg::Point3f& end) const;
    // Appends that rod to the support holding the contact.
    void AddSpineRod(const MyMesh& mesh, uint code, const vcg::Point3f& p, DLP_Support& holder) const;
    double SpineRodRadius() const { return std::min(kSpineRodRadiusMm, m_sizes.rt); }
};
