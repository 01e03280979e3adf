#include "VSLModel3D.h"
#include "VSLModelLoader.h"
#include "gltriangles.h"
#include "mesh/allocator.h"
#include "mesh/clean.h"
#include "mesh/merge.h"
#include "mesh/parallel.h"
#include "mesh/topology.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QOpenGLContext>
#include "mesh/workerpriority.h"

#include <GL/gl.h>

#include <algorithm>
#include <vector>

// When the turning of inside-out shells starts: off unless the logging rules
// ask for it ("vexmor.shells.info=true"), so that a load does not say it
// every time; a test waits on it to stop the program in that step.
Q_LOGGING_CATEGORY(shellTurning, "vexmor.shells", QtWarningMsg)

int VSLModel3D::ms_nModelCount = 0;
std::atomic<MeshReadyGate*> VSLModel3D::ms_pPassHold{nullptr};
QVector<VSLTriangle3D> VSLModel3D::m_vT;

namespace {
constexpr int kTrianglesPerList = 10000;
}

FixerThread::~FixerThread() = default;

void FixerThread::stop() {}

void FixerThread::run()
{
    vcg::LowerThisThreadPriority();
    if (m_pModel)
        m_pModel->RunTopologyPass();
}

VSLModel3D::VSLModel3D()
    : m_pFixerThread(new FixerThread(this)), m_pDataMutex(new QMutex), m_nModelId(++ms_nModelCount)
{
}

VSLModel3D::~VSLModel3D()
{
    // The pass checks m_bStopping between its steps; waiting workers are
    // refused through the gate.
    m_bStopping = true;
    m_readyGate.Cancel();
    m_pFixerThread->stop();
    m_pFixerThread->wait();
    delete m_pFixerThread;
    DeleteDisplayLists();
    delete m_pDataMutex;
}

QString VSLModel3D::FileStamp(const QString& path)
{
    const QFileInfo info(path);
    if (!info.exists())
        return QString();
    return QStringLiteral("%1 %2 %3")
        .arg(info.size())
        .arg(info.lastModified().toMSecsSinceEpoch())
        .arg(info.metadataChangeTime().toMSecsSinceEpoch());
}

bool VSLModel3D::LoadSTLFile(QString path)
{
    // Before reading: a file rewritten meanwhile is not taken for the one read.
    const QString stamp = FileStamp(path);
    VSLModelLoader loader;
    loader.path = path;
    if (!loader.IsReady()) {
        m_strLoadError = loader.errorString();
        return false;
    }
    QVector<VSLTriangle3D> triangles;
    if (!loader.LoadData(triangles)) {
        m_strLoadError = loader.errorString();
        return false;
    }
    m_strLoadWarning = loader.warningString();
    LoadTriangles(path, std::move(triangles));
    m_strFileStamp = stamp;
    return true;
}

namespace {

QByteArray CornersDigest(const QVector<VSLTriangle3D>& triangles)
{
    QCryptographicHash hash(QCryptographicHash::Sha1);
    // The corners a block of triangles at a time: one call per block.
    constexpr int kBlock = 4096;
    std::vector<float> block;
    block.reserve(size_t(kBlock) * 9);
    for (int first = 0; first < triangles.size(); first += kBlock) {
        block.clear();
        for (int i = first; i < std::min(first + kBlock, triangles.size()); ++i)
            for (const QVector3D& v : triangles[i].vertices)
                block.insert(block.end(), {v.x(), v.y(), v.z()});
        hash.addData(reinterpret_cast<const char*>(block.data()), int(block.size() * sizeof(float)));
    }
    return hash.result();
}

} // namespace

void VSLModel3D::LoadTriangles(QString path, QVector<VSLTriangle3D> triangles)
{
    m_strFileName = path;
    m_strFileStamp = FileStamp(path);
    m_cornersDigest = CornersDigest(triangles);
    m_vTriangles.swap(triangles);
    UpdataData();
    m_pFixerThread->start(QThread::HighestPriority);
}

void VSLModel3D::FixModel() { m_pFixerThread->start(QThread::HighestPriority); }

void VSLModel3D::RunTopologyPass()
{
    m_nFixStatus = -1;
    m_nCheckStatus = 0;
    // Closing the window must not wait for the pass: every long step looks
    // at the flag the destructor sets.
    const vcg::Cancel stop(&m_bStopping);
    if (m_mesh.fn == 0 && m_mesh.face.empty()) {
        // Same result as one vertex per corner, duplicate merge and both
        // compactions, without the three-vertices-per-face intermediate.
        const VSLTriangle3D* tris = m_vTriangles.constData();
        vcg::tri::BuildMergedMesh(m_mesh, uint32_t(m_vTriangles.size()), [tris](uint32_t i, int k) {
            const QVector3D& v = tris[i].vertices[k];
            return vcg::Point3f(v.x(), v.y(), v.z());
        });
    } else {
        CopyMesh(TrianglesToMesh);
        vcg::tri::Clean<MyMesh>::RemoveDuplicateVertex(m_mesh, true, stop);
        if (m_bStopping)
            return;
        vcg::tri::Allocator<MyMesh>::CompactVertexVector(m_mesh);
        vcg::tri::Allocator<MyMesh>::CompactFaceVector(m_mesh);
    }
    if (m_bStopping)
        return;
    vcg::tri::UpdateTopology<MyMesh>::FaceFace(m_mesh, stop);
    if (m_bStopping)
        return;
    vcg::tri::UpdateTopology<MyMesh>::VertexFace(m_mesh, stop);
    if (m_bStopping)
        return;
    // A file written inside out: its overhangs would face up, get no support
    // and print hanging in the resin. The layers do not change (they are
    // filled odd-even), only which way the faces look.
    int unjudged = 0;
    qCInfo(shellTurning).noquote() << QStringLiteral("%1: checking which way its shells face").arg(m_strFileName);
    const int turned = vcg::tri::Clean<MyMesh>::OrientClosedShellsOutward(m_mesh, &unjudged, stop);
    if (turned < 0)
        return; // stopped: the model is going away
    if (turned > 0)
        qInfo().noquote() << m_strFileName << QStringLiteral(": %1 shell(s) facing inward turned to face outward").arg(turned);
    if (unjudged > 0)
        qWarning().noquote() << m_strFileName
                             << QStringLiteral(": %1 shell(s) facing inward left as written: too many shells to "
                                               "tell a cavity from a body facing the wrong way")
                                    .arg(unjudged);
    if (MeshReadyGate* hold = ms_pPassHold.load())
        if (hold->Acquire())
            hold->Release();
    if (m_bStopping)
        return;
    const MeshDefectCounts defects = CountMeshDefects(m_mesh);
    {
        QMutexLocker lock(m_pDataMutex);
        m_defects = defects;
        CopyMesh(MeshToTriangles);
        CopyVertex();
        m_bDataChanged = true;
        m_nFixStatus = 0;
    }
    // Workers place the mesh from the vertex copy: the gate opens only once
    // that copy is complete (never while the data mutex is held).
    m_readyGate.Open();
    emit m_pFixerThread->sig_FixerStatusChanged();
}

int VSLModel3D::CopyMesh(CopyMeshOpt opt)
{
    if (opt == TrianglesToMesh) {
        // The positions written here are the model-space ones.
        m_meshMatrix.setToIdentity();
        const int n = m_mesh.fn;
        const int t = m_vTriangles.size();
        if (n > t)
            return -1;
        if (n == t) {
            int i = 0;
            for (MyFace& f : m_mesh.face) {
                if (f.IsD())
                    continue;
                for (int k = 0; k < 3; ++k) {
                    const QVector3D& c = m_vTriangles[i].vertices[k];
                    m_mesh.vert[f.v[k]].p = vcg::Point3f(c.x(), c.y(), c.z());
                }
                ++i;
            }
            return n;
        }
        const uint32_t firstFace = vcg::tri::Allocator<MyMesh>::AddFaces(m_mesh, uint32_t(t));
        const uint32_t firstVertex = vcg::tri::Allocator<MyMesh>::AddVertices(m_mesh, uint32_t(3 * t));
        for (int i = 0; i < t; ++i) {
            MyFace& f = m_mesh.face[firstFace + i];
            for (int k = 0; k < 3; ++k) {
                const uint32_t v = firstVertex + 3 * uint32_t(i) + k;
                const QVector3D& c = m_vTriangles[i].vertices[k];
                m_mesh.vert[v].p = vcg::Point3f(c.x(), c.y(), c.z());
                f.v[k] = v;
            }
        }
        return t;
    }
    const int n = m_mesh.fn;
    m_vTriangles.resize(n);
    VSLTriangle3D* tris = m_vTriangles.data();
    auto copyFace = [&](uint32_t face, int i) {
        VSLTriangle3D& t = tris[i];
        for (int k = 0; k < 3; ++k) {
            const vcg::Point3f& p = m_mesh.vert[m_mesh.face[face].v[k]].p;
            t.vertices[k] = QVector3D(p[0], p[1], p[2]);
        }
        // The model's bounds come from these; a shorter list (degenerate
        // faces dropped) or appended fill faces must not keep stale ones.
        t.UpdateNormal();
        t.UpdateBound();
    };
    if (n == int(m_mesh.FaceCount())) {
        // No deleted faces: face i is triangle i, so ranges can run side by side.
        vcg::ParallelFor(uint32_t(n), 65536, [&](uint32_t b, uint32_t e) {
            for (uint32_t f = b; f < e; ++f)
                copyFace(f, int(f));
        });
        return n;
    }
    int i = 0;
    for (uint32_t f = 0; f < m_mesh.FaceCount(); ++f)
        if (!m_mesh.face[f].IsD())
            copyFace(f, i++);
    return n;
}

int VSLModel3D::CopyVertex()
{
    m_vVertexCopy.resize(m_mesh.vn);
    int i = 0;
    for (const MyVertex& v : m_mesh.vert)
        if (!v.IsD())
            m_vVertexCopy[i++] = v.p;
    return m_mesh.vn;
}

void VSLModel3D::UpdateBounds()
{
    if (m_vTriangles.isEmpty())
        return;
    m_maxBound = m_vTriangles[0].maxBound;
    m_minBound = m_vTriangles[0].maxBound;
    for (const VSLTriangle3D& t : m_vTriangles) {
        for (int a = 0; a < 3; ++a) {
            if (t.maxBound[a] > m_maxBound[a])
                m_maxBound[a] = t.maxBound[a];
            if (t.minBound[a] < m_minBound[a])
                m_minBound[a] = t.minBound[a];
        }
    }
    m_center = (m_maxBound + m_minBound) / 2;
}

void VSLModel3D::UpdataData()
{
    ++m_nTrianglesVersion;
    UpdateBounds();
    m_bListsStale = true;
    if (QOpenGLContext::currentContext())
        EnsureDisplayLists();
}

void VSLModel3D::DeleteDisplayLists()
{
    if (!QOpenGLContext::currentContext())
        return;
    for (GLuint list : m_vDisplayLists)
        if (list)
            glDeleteLists(list, 1);
    m_vDisplayLists.clear();
}

void VSLModel3D::EnsureDisplayLists()
{
    if (!m_bListsStale || !QOpenGLContext::currentContext())
        return;
    DeleteDisplayLists();
    m_bListsStale = false;
    const int t = m_vTriangles.size();
    if (t == 0)
        return;
    m_vDisplayLists.resize(t / kTrianglesPerList + 1);
    for (GLuint& list : m_vDisplayLists)
        list = glGenLists(1);
    // One primitive per list: the primitive always ends before its list does.
    for (int l = 0; l < m_vDisplayLists.size(); ++l) {
        glNewList(m_vDisplayLists[l], GL_COMPILE);
        const int end = std::min(t, (l + 1) * kTrianglesPerList);
        if (l * kTrianglesPerList < end) {
            glBegin(GL_TRIANGLES);
            for (int i = l * kTrianglesPerList; i < end; ++i)
                GlTriangle(m_vTriangles[i]);
            glEnd();
        }
        glEndList();
    }
}

void VSLModel3D::deleteModel()
{
    m_vTriangles.clear();
    m_vSupportTriangles.clear();
}

int VSLModel3D::showModel(QString)
{
    if (m_vT.isEmpty())
        return 0;
    m_vTriangles = m_vT;
    UpdataData();
    return 0;
}
