#pragma once
#include "SupportChunks.h"
#include "SupportInstances.h"
#include "SupportShapeLists.h"
#include "SupportThread.h"
#include "VSL3DPainter.h"
#include "layers/islands.h"
#include "mesh/line3.h"
#include "mesh/mymesh.h"
#include "mesh/point3.h"
#include "support/DLP_Support.h"
#include "support/SupportGeometry.h"
#include "support/SupportRun.h"
#include "vslfunction/VSLTriangle3D.h"

#include <QMatrix4x4>
#include <QObject>
#include <QThread>
#include <QVector2D>
#include <QVector3D>
#include <QVector>

#include <atomic>
#include <functional>
#include <polyclipping/clipper.hpp>

typedef unsigned int GLuint;
class VSLModel3D;
class VSL3DScene;
class VSLModelPainter;
class DLPSupportStructure;

// Slice worker of one instance: one start performs one slicing run.
class SliceThread : public QThread {
    Q_OBJECT
public:
    explicit SliceThread(VSLModelPainter* painter) : m_pPainter(painter) {}

protected:
    void run() override;

private:
    VSLModelPainter* m_pPainter;
};

// One placed copy of a mesh model: its transform, world bounds, centre and
// footprint hull, its drawing and pick passes, and its support and slice
// workers. The mesh belongs to the shared model; many painters may show it.
// Everything except the drawing and pick passes works without a GL context.
class VSLModelPainter : public QObject, public VSL3DPainter {
    Q_OBJECT
public:
    VSLModelPainter(VSLModel3D* model, VSL3DScene* scene);
    ~VSLModelPainter() override;

    void Render() override;

    // --- placement ---
    void ResetModelPainter();
    // Bounds, centre and hull from the model's triangles (takes the model's
    // data mutex). A model without triangles leaves them unchanged.
    void UpdateData();
    // Hull only (takes the model's data mutex).
    void UpdateModelHull();
    // User transform: editMode 0 move (supports follow), 1 rotate, 2 scale
    // (supports dropped, instance put back onto the plate). False, and
    // nothing changed, when the result would not be a finite invertible
    // transform.
    bool ApplyConvertX(QMatrix4x4 const& m, int editMode);
    // Transform without touching the supports; full false maps bounds and
    // hull (translations only), full true recomputes them. Same refusal.
    bool ApplyConvert(QMatrix4x4 const& m, bool full);
    void Translate(QVector2D const& d);
    void Move(QVector3D const& d);
    void Center();
    void LayToPlatform();
    QVector<VSLTriangle3D> GetRealTriangles();
    double GetMaxLength() const;
    bool CheckHit(VSLModelPainter* other) const;
    void DuplicateModelPainterX(VSLModelPainter* source);

    // --- drawing and picking (GUI thread, current GL context) ---
    void RenderBoundaryHull();
    void RenderPickGL();
    void RenderOverhang();
    // Drawing and picking never wait for a worker holding the model's data
    // mutex: they try it, and without it draw the lists already built.
    // FormTriPickDispLists rebuilds always (false when the mutex is busy);
    // EnsureTriPickLists only when the model's triangles changed since.
    bool FormTriPickDispLists();
    bool EnsureTriPickLists();
    bool TriPickListsCurrent() const;
    void RenderTrianglePickGL();
    void RenderSingleTrianglePickGL(unsigned int index);
    // Pick colour bytes of triangle i: i + 1 spread low, middle, high byte
    // over red, green, blue.
    static void TrianglePickColor(int i, unsigned char rgb[3]);

    // --- supports ---
    // The generation run (support thread): lift, working mesh in the support
    // frame, refinement, tables, face grid and sizes; emits
    // sig_GenSupportDone exactly once, also when the run fails.
    void GenSupportX();
    void RemoveSupportX();
    void RestoreSupportX();
    // Raises the instance by the lift distance for its supports, recording
    // the placement it came from; false when it is lifted already (or the
    // move is refused).
    bool LiftForSupports();
    // A lifted instance left without supports goes back to the placement
    // it was lifted from (moves since then kept).
    void LowerLiftWithoutSupports();
    // A run started by the scene: the placement the view draws and tests
    // changes on the GUI thread only. Before the worker starts, the lift is
    // applied and the run's flags are reset; once the worker is joined (or
    // never started), an instance left without supports goes back down.
    void BeginSupportJob();
    void EndSupportJob();
    void RotateSupportX();
    void RotateSptPointX(vcg::Point3f& p) const;
    void DrawSupportX();
    void RenderSupportX(bool highlight, bool tipsOnly);
    QVector<VSLTriangle3D> GetRealTrianglesSup() const;
    // Plan extent of the supports where they stand (every primitive with
    // its radius), as of the last DrawSupportX or RemoveSupportX; false
    // when there are none. GUI thread.
    bool SupportExtentXY(QVector2D& lo, QVector2D& hi) const;
    // Recomputes that extent from the records; GUI thread, or the run's
    // own thread at its end.
    void UpdateSupportExtent();
    // The supports as a file takes them, tessellated as it writes.
    supportgeom::PlacedSupports PlacedSupports() const { return {m_supportMap, m_supportMatrix, UnitSphere}; }
    // Rebuilds m_vSupportIndex so entry `index` points at that support in
    // this painter's own map.
    void RebuildSupportIndex();
    // --- click editing of the supports (GUI thread) ---
    // A support at the world point `hitWorld`, its tip towards `nearWorld`
    // (both taken back through the support matrix), keyed by the next click key.
    void AddClickSupport(QVector3D const& hitWorld, QVector3D const& nearWorld);
    // The n-th support in map order (from 1, marked ones counted): marked,
    // or erased when it was click-added. False when there is none.
    bool MarkClickedSupport(int n);
    // The tip list alone, without the marked supports.
    void RebuildSupportTipList();
    // The tips not marked, numbered 1, 2, ... in map order (marked ones keep
    // their number), as pick colours in the current matrix frame; only those
    // the ray from `rayFrom` to `rayTo` (support frame) can meet are drawn,
    // the others cannot colour the pixel.
    void EmitTipPickPass(QVector3D const& rayFrom, QVector3D const& rayTo) const;
    // One primitive as GL triangles in immediate mode (for a display list
    // being compiled); the four floats are accepted and not used. A sphere
    // takes each facet's normal from UnitSphere and emits nothing while that
    // is empty; a cone gets flat normals, and for n < 1 an empty primitive.
    static void GenerateSphere(vcg::Point3f c, double r, float = 0, float = 0, float = 0, float = 0);
    static void GenerateCone(vcg::Point3f p0, double r0, vcg::Point3f p1, double r1, int n, float = 0, float = 0,
                             float = 0, float = 0);
    static QVector<VSLTriangle3D> GenerateConeTris(vcg::Point3f p0, double r0, vcg::Point3f p1, double r1,
                                                   int n, float = 0, float = 0, float = 0, float = 0);
    static QVector<VSLTriangle3D> GenerateSphereTris(vcg::Point3f c, double r, float = 0, float = 0,
                                                     float = 0, float = 0);
    static VSLTriangle3D Point3fConvert(vcg::Point3f a, vcg::Point3f b, vcg::Point3f c);
    // Collision tests of the run, against the working mesh and face grid.
    vcg::Point3f FindFirstCollisionColumn(vcg::Point3f p, double r, float zFloor, MyMesh& mesh,
                                          QMap<unsigned int, QVector<unsigned int>>& cells, int offset,
                                          float density);
    bool CheckCollisionColumn(vcg::Point3f p0, double r, vcg::Point3f p1, MyMesh& mesh,
                              QMap<unsigned int, QVector<unsigned int>>& cells, int offset, float density,
                              float segmentLength);
    bool CheckCollisionSphere(vcg::Point3f c, double r, MyMesh& mesh, QMap<uint, QVector<uint>>& cells, int offset,
                              float density);
    bool CheckCollisionCone(vcg::Point3f p0, double r0, vcg::Point3f p1, double r1, MyMesh& mesh,
                            QMap<uint, QVector<uint>>& cells, int offset, float density);
    bool CheckCollisionConeAllX(vcg::Point3f p0, double r0, vcg::Point3f p1, double r1, MyMesh& mesh,
                                QMap<uint, QVector<uint>>& cells, int offset,
                                QMultiMap<float, QPair<int, vcg::Point3f>>& hits, float density);
    vcg::Point3f FindNearestNormalSphere(vcg::Point3f c, double r, MyMesh& mesh, QMap<uint, QVector<uint>>& cells,
                                         int offset, float density);
    static void initUnitSphere();
    static void initUnitCircle();
    void initMeshColumn();

    // --- manual support columns, trusses and rafts (GUI thread) ---
    // A new column with the next pick colour and number, appended to the list.
    DLPSupportStructure* AddSupport(QVector3D top, QVector3D bottom);
    // Deletes `s` (one of this painter's columns), keeping the others' order.
    void RemoveSupport(DLPSupportStructure* s);
    // Deletes every column, clears the lifted flag and puts the instance
    // back onto the plate.
    void RemoveAllSupportSelModel();
    QVector<DLPSupportStructure*> GetSupports() const { return m_vSupportStructures; }
    void RenderSupportsGL(bool pick, float upperAlpha, float lowerAlpha);
    // Joins every column to its two nearest neighbours (within 10 mm and
    // within the neighbour's truss section) with trusses between truss points.
    void GenerateAutoTruss();
    // n > 0 puts n raft layers (the slice extent's rectangle) in front of the
    // scene's model layers, n < 0 removes at most all layers. False, and
    // nothing changed, while a slice job runs or without a scene.
    bool AddPlatform(int n);
    // Older collision tests against a working mesh and its face grid.
    bool CheckCollisionConeAll(vcg::Point3f p0, double r0, vcg::Point3f p1, double r1, MyMesh& mesh,
                               QMap<unsigned int, QVector<unsigned int>>& cells, int offset,
                               QMultiMap<int, vcg::Point3f>& hits, float density);
    double SumCollisionCone(vcg::Point3f p0, double r0, vcg::Point3f p1, double r1, MyMesh& mesh,
                            QMap<unsigned int, QVector<unsigned int>>& cells, int offset);
    bool CheckCollisionLine(vcg::Line3f line, double length, MyMesh& mesh,
                            QMap<unsigned int, QVector<unsigned int>>& cells, int offset, float& t, float& u,
                            float& v);

    // --- slicing (implemented with the slicing code) ---
    void SliceModelPainterX(float base);
    static bool Z_Intersect(vcg::Point3f const& a, vcg::Point3f const& b, float const& z,
                            ClipperLib::IntPoint& out);

    static QVector<vcg::Point3f> UnitSphere;
    static QVector<vcg::Point3f> UnitCircle;
    static QVector<QVector<int>> CoPlane;

    QVector3D m_scale{1, 1, 1};
    VSLModel3D* m_pModel;
    VSL3DScene* m_pScene;
    bool m_bLifted = false;
    QVector3D m_maxBound;
    QVector3D m_minBound;
    QVector3D m_center;
    QVector<QVector2D> m_hull;
    QVector<GLuint> m_vTriPickLists;
    quint64 m_nTriPickVersion = 0; // model triangles version the pick lists show
    QVector<DLPSupportStructure*> m_vSupportStructures;
    int m_nSupportStructureId = 1;

    SupportThread* m_pSupportThread = nullptr;
    QMatrix4x4 m_supportMatrix;
    // What the support lists are drawn under: the support matrix as it was
    // when they were compiled, times the moves since. Kept apart because
    // RotateSupportX bakes the support matrix into the records (and resets
    // it) under lists compiled before. GUI thread only.
    QMatrix4x4 m_supportListMatrix;
    bool m_bHasSupports = false;
    bool m_bSupportsShown = false;
    // Plan extent of the records in their own frame (see SupportExtentXY).
    bool m_bSupportExtent = false;
    QVector2D m_supportExtentLo, m_supportExtentHi;
    GLuint m_nSupportTipList = 0;
    // The body list in chunks, drawn where the view sees them (allList()
    // calls every chunk).
    SupportChunks m_supportBody;
    bool m_bSupportListsStale = false;  // to be compiled at the next draw
    // Shapes at the origin that the tip list, and the body list of a big
    // run, call under a matrix.
    SupportShapeLists m_supportShapes;
    // The body of a run drawn from shapes, seen from afar: instances of few
    // facets in place of the body list, where the context draws them.
    SupportInstances m_supportInstances;
    bool m_bSupportInstancesAllowed = true;
    double m_dSupportDensity = 0;
    double m_dTipDiameter = 0;
    double m_dShaftDiameter = 0;
    double m_dLiftDistance = 0;
    bool m_bSupportEditMark = false;  // generation restarted after hand edits
    bool m_bSupportChanged = false;   // a click changed the supports
    bool m_bSupportLifted = false;    // raised by the lift distance for editing
    bool m_bSupportJob = false;       // between BeginSupportJob and EndSupportJob
    // Placement before the lift and the matrix right after it: lowering an
    // instance that did not move meanwhile restores the first exactly.
    struct Placement {
        QMatrix4x4 matrix;
        QVector3D maxBound, minBound, center;
        QVector<QVector2D> hull;
        bool operator==(const Placement& o) const
        {
            return matrix == o.matrix && maxBound == o.maxBound && minBound == o.minBound && center == o.center &&
                   hull == o.hull;
        }
    };
    Placement CurrentPlacement() const { return {m_matrix, m_maxBound, m_minBound, m_center, m_hull}; }
    Placement m_preLift;
    QMatrix4x4 m_liftedMatrix;
    double m_dLiftedByMm = 0;  // the lift applied, whatever the parameters say since
    std::atomic<bool> m_bStopSupport{false};
    int m_nClickCounter = 0;
    SupportMap m_supportMap;
    QVector<DLP_Support*> m_vSupportIndex;
    int m_nSupportRunStatus = 0;      // -1 while a generation run is in progress
    bool m_bGenerationRan = false;    // a first generation (or a click edit) has run
    // Tables, face grid and sizes of the last run (dropped by RemoveSupportX).
    SupportRun m_supportRun;
    // Where the next run's plate columns may stand, in plate coordinates
    // (the scene sets it before it starts the run); unbounded by default.
    SupportPlate m_supportPlate;
    // Called with the step number before steps 5 to 12 of a run and before
    // the contacts (13), tips (14), columns (15) and bracing (16); tests use
    // it to fail or stop a run on purpose.
    std::function<void(int step)> m_fnSupportStep;

    // Slice thread. Set, the stop request ends a run before its next layer:
    // it publishes nothing and still signals its end.
    std::atomic<bool> m_bStopSlice{false};
    // Tools ask a run to count the islands of the instance's layers: as the
    // print file lights them (m_sliceIslands), and as its outlines show them
    // (m_sliceOutlineIslands: model and supports apart, each against both
    // below), with the workers' time counting.
    bool m_bCountSliceIslands = false;
    // The window's Slice asks for the same islands (m_sliceIslands), found
    // by drawing only what changed from layer to layer, at a share of the
    // full count's cost.
    bool m_bCheckSliceIslands = false;
    layers::IslandCount m_sliceIslands;
    layers::IslandCount m_sliceOutlineIslands;
    double m_dSliceIslandSeconds = 0;
    double m_dSliceWorkerSeconds = 0;
    // Workers of a run (0: one per core); tests ask for one to see the layers in order.
    int m_nSliceWorkers = 0;
    // Called before each layer is made, on the worker making it (several at
    // once unless one worker was asked for); tests stop a run with it.
    std::function<void(int layer)> m_fnSliceLayer;
    SliceThread* m_pSliceThread = nullptr;
    QVector<float> m_vSliceZ;
    QVector<ClipperLib::Paths> m_vSlicePaths;
    MyMesh m_columnMesh;

signals:
    void sig_GenSupportDone();
    void sig_MPSliceDone();

private:
    friend class SupportThread;  // CheckStopped lowers a raised instance
    // Callers hold the model's data mutex.
    void UpdateDataLocked();
    void UpdateModelHullLocked();
    void MapPlacement(QMatrix4x4 const& m);
    // Sets the matrix and recomputes bounds, centre and hull; false, and
    // everything as before, when they come out non-finite.
    bool PlaceByMatrix(QMatrix4x4 const& next);
    void DropOntoPlate();
    void EmitPickTriangles();
    bool TryRefreshModelLists();
    bool FormTriPickDispListsLocked();
    void DeleteTriPickLists();
    void DeleteSupportLists();
    // Steps 4 to 12 of a generation run, under the model's locks; false when
    // the model has no vertex (no supports).
    bool RunSupportFrame();
    // Re-run only: erase deleted records; false (and the run finished) when
    // none remains.
    bool PrepareSupportRerun();
    // Records, run state and support frame cleared; the lift is left alone.
    void DropSupportRecords();
    void AbandonSupportRun(const char* why);
    // A run that found the stop request set: records dropped, instance lowered.
    void StopSupportRun();
    void LowerSupportLift();
    // A run's status set, no supports had or shown.
    void ResetSupportRun(int status);
    // The run's own lowering; a scene job's waits for EndSupportJob.
    void LowerLiftOfRun();
    void ReleaseSliceResults();
    void CompileSupportLists();
    void EmitTipSphere(vcg::Point3f const& c, double r) const;
};
