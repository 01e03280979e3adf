#pragma once
#include "contours.h"
#include "MeshReadyGate.h"
#include "mesh/defects.h"
#include "mesh/hole.h"
#include "mesh/mymesh.h"
#include "vslfunction/VSLTriangle3D.h"

#include <QMatrix4x4>
#include <QMutex>
#include <QObject>
#include <QPolygonF>
#include <QThread>
#include <QVector>

#include <atomic>
#include <vector>

typedef unsigned int GLuint;
namespace contour {
class TracedLayers;
}
class VSLModel3D;

// Runs the topology pass of one model on its own thread.
class FixerThread : public QThread {
    Q_OBJECT
public:
    explicit FixerThread(VSLModel3D* model) : m_pModel(model) {}
    ~FixerThread() override;
    void stop();

signals:
    void sig_FixerStatusChanged();

protected:
    void run() override;

private:
    VSLModel3D* m_pModel;
};

// One loaded model: the triangle list read from its STL file, the indexed
// mesh built from it with adjacency, display lists and bounds, and the locks
// through which the GUI thread and the model's workers share it.
// Lock order: mesh-ready gate, then the data mutex.
class VSLModel3D : public QObject {
    Q_OBJECT
public:
    enum CopyMeshOpt { TrianglesToMesh = 0, MeshToTriangles = 1 };

    VSLModel3D();
    ~VSLModel3D() override;

    // Reads the file and starts the topology pass. Connect to
    // fixerThread()->sig_FixerStatusChanged before calling, so the completion
    // can never be missed. False (see loadError()) when the file is refused.
    bool LoadSTLFile(QString path);
    // The same for triangles already read from `path` (not empty), on the
    // thread the model lives on.
    void LoadTriangles(QString path, QVector<VSLTriangle3D> triangles);
    QString loadError() const { return m_strLoadError; }
    // Size and times of the file at `path` as it is now; empty when there is none.
    static QString FileStamp(const QString& path);
    // The stamp of the file when this model read it.
    QString fileStamp() const { return m_strFileStamp; }
    void setFileStamp(const QString& stamp) { m_strFileStamp = stamp; }
    // Digest of the corners as read from the file (before any repair).
    QByteArray cornersDigest() const { return m_cornersDigest; }
    // Set when the file was read but is not whole (a cut binary file).
    QString loadWarning() const { return m_strLoadWarning; }

    // Bounds and centre from the triangle list; display lists too when a GL
    // context is current, otherwise they are rebuilt by the next draw.
    void UpdataData();
    void UpdateBounds();
    // GUI thread with a current context: rebuilds stale display lists.
    void EnsureDisplayLists();
    bool displayListsStale() const { return m_bListsStale; }
    QVector<GLuint> GetDisplayList() const { return m_vDisplayLists; }

    VSLTriangle3D Item(int i) const { return m_vTriangles.at(i); }
    VSLTriangle3D* ItemPtr(int i) { return &m_vTriangles[i]; }
    int TriangleCount() const { return m_vTriangles.size(); }

    int CopyMesh(CopyMeshOpt opt);
    int CopyMesh(int opt) { return CopyMesh(static_cast<CopyMeshOpt>(opt)); }
    int CopyVertex();
    void FixModel();
    void deleteModel();
    int showModel(QString);
    bool isInTriangles(QVector<VSLTriangle3D>&, VSLTriangle3D) { return false; }
    bool repairTriangles(QVector<QVector<QPolygonF>>, float) { return false; }

    // Mesh checks and repair (0 success, negative codes refuse).
    int CheckHoles();
    int RepairHoles();
    int CheckRepairManifold();
    static float DihedralAngleRad(const vcg::Point3f& p0, const vcg::Point3f& p1, const vcg::Point3f& p2,
                                  const vcg::Point3f& p3);
    static float DihedralAngleRadEx(const vcg::Point3f& na, const vcg::Point3f& nb, const vcg::Point3f& a,
                                    const vcg::Point3f& b);
    int CheckRepairNormal();
    void TriRound(int n);
    void MoveZ(int dz);
    void GetAngleTris(VSLModel3D* out, float t);
    void GetRegions(MyMesh& m, bool selectedOnly, std::vector<vcg::tri::Hole<MyMesh>::Info>& out);

    // Shell labels and per-shell contour slicing (caller holds the data
    // mutex for the slicers; CountShells takes it itself).
    void CountShells();
    bool Z_Intersect(const vcg::Point3f& a, const vcg::Point3f& b, const float& z, ClipperLib::IntPoint& out);
    // A set `stop` ends the cut before the next plane (the outlines are then
    // incomplete). `traced` is told when the slots are laid out and as each
    // plane is final, for readers of `out` beside the cut; the caller
    // finishes it.
    int SilceMeshX(ShellLayerContours& out, QVector<float>& layerHeights, float thickness, float top, float base,
                   const std::atomic<bool>* stop = nullptr, contour::TracedLayers* traced = nullptr);
    int SilceMeshXX(ShellLayerContours& out, QVector<float>& layerHeights, float thickness, float top, float base,
                    const std::atomic<bool>* stop = nullptr, contour::TracedLayers* traced = nullptr);

    // Whole-mesh slicer (caller holds the data mutex or owns the model):
    // planes from m_fLayerThick, m_fSliceTop, m_fSliceBase; the number of
    // planes, or -1 face count mismatch, -2 bad thickness, -3 holes flag,
    // -4 manifold flag (nothing changed then).
    int SilceMesh(QVector<VSLTriangle3D>& triangles, MyMesh& mesh, LayerContours& out);
    int SliceModel();
    int SliceSupport();
    // Display triangles of imported layer outlines (mm), every third layer,
    // appended to m_vT; always 0.
    int ConvertPolygonToTriangles(QVector<QVector<QPolygonF>> layers, float thickness);

    FixerThread* fixerThread() const { return m_pFixerThread; }
    MeshReadyGate& readyGate() { return m_readyGate; }
    QMutex* dataMutex() const { return m_pDataMutex; }
    int checkStatus() const { return m_nCheckStatus.load(); }
    int fixStatus() const { return m_nFixStatus.load(); }
    // Ready once the gate is open too: whoever sees a ready model can take it.
    bool isReady() const { return m_nFixStatus.load() == 0 && m_readyGate.IsOpen(); }
    // What the mesh holds as loaded (open edges, edges of three faces, faces
    // turned against their neighbours): counted by the topology pass, read
    // once the model is ready.
    MeshDefectCounts defectCounts() const { return m_defects; }

    std::vector<char> m_Flags;
    bool m_bNoHoles = false;
    bool m_bManifold = false;
    float m_fSliceBase = 1.0f;
    float m_fSliceTop = -1.0f;
    float m_fLayerThick = -0.1f;
    int m_nLayerCount = 0;
    std::vector<float> m_vLayerZ;
    LayerContours m_vModelContours;
    LayerContours m_vSupportContours;
    int m_nShellCount = 0;
    bool m_bSlicedOpenMesh = false;
    QVector<uint> m_vShellOfFace;
    FixerThread* m_pFixerThread = nullptr;
    std::atomic<int> m_nCheckStatus{-1};
    std::atomic<int> m_nFixStatus{-1};
    QMutex* m_pDataMutex = nullptr;
    QMatrix4x4 m_meshMatrix;
    std::atomic<bool> m_bDataChanged{false};
    // Stepped by every UpdataData: lists built from the triangles remember it.
    std::atomic<quint64> m_nTrianglesVersion{0};
    QVector<VSLTriangle3D> m_vTriangles;
    MeshDefectCounts m_defects; // see defectCounts()
    QString m_strFileName;
    int m_nInstanceCount = 0;
    int m_nModelId = 0;
    QVector<GLuint> m_vDisplayLists;
    QVector3D m_center;
    QVector3D m_maxBound;
    QVector3D m_minBound;
    QVector<VSLTriangle3D> m_vSupportTriangles;
    MyMesh m_mesh;
    MyMesh m_supportMesh;
    QVector<vcg::Point3f> m_vVertexCopy;

    static int ms_nModelCount;
    static QVector<VSLTriangle3D> m_vT;
    // While set, every topology pass waits before its end until `hold`
    // opens (or is cancelled): lets a test act while a pass is in progress.
    // Open it before any model it holds is destroyed.
    static void SetPassHold(MeshReadyGate* hold) { ms_pPassHold.store(hold); }

private:
    friend class FixerThread;
    void RunTopologyPass();
    void DeleteDisplayLists();

    static std::atomic<MeshReadyGate*> ms_pPassHold;
    MeshReadyGate m_readyGate;
    std::atomic<bool> m_bStopping{false};
    bool m_bListsStale = false;
    QString m_strLoadError;
    QString m_strLoadWarning;
    QString m_strFileStamp;
    QByteArray m_cornersDigest;
};
