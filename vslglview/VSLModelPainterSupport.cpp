#include "VSLModelPainter.h"

#include "VSL3DScene.h"
#include "VSLModel3D.h"
#include "mesh/parallel.h"
#include "support/SupportGeometry.h"
#include "vslfunction/geometry.h"

#include <QMutexLocker>
#include <QOpenGLContext>

#include <GL/gl.h>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <stdexcept>
#include <utility>

namespace {

vcg::Point3f MapPoint(const QMatrix4x4& m, const vcg::Point3f& p)
{
    const QVector3D q = m.map(QVector3D(p[0], p[1], p[2]));
    return vcg::Point3f(q.x(), q.y(), q.z());
}

} // namespace

void VSLModelPainter::initUnitSphere()
{
    if (UnitSphere.isEmpty())
        UnitSphere = supportgeom::BuildUnitSphere();
}

void VSLModelPainter::initUnitCircle()
{
    if (UnitCircle.isEmpty())
        UnitCircle = supportgeom::BuildUnitCircle();
}

void VSLModelPainter::initMeshColumn()
{
    supportgeom::BuildUnitColumn(m_columnMesh, UnitCircle);
    if (CoPlane.isEmpty())
        CoPlane = supportgeom::BuildCoPlane();
}

QVector<VSLTriangle3D> VSLModelPainter::GenerateConeTris(vcg::Point3f p0, double r0, vcg::Point3f p1, double r1,
                                                         int n, float, float, float, float)
{
    return supportgeom::GenerateConeTris(p0, r0, p1, r1, n);
}

QVector<VSLTriangle3D> VSLModelPainter::GenerateSphereTris(vcg::Point3f c, double r, float, float, float, float)
{
    return supportgeom::GenerateSphereTris(c, r, UnitSphere);
}

VSLTriangle3D VSLModelPainter::Point3fConvert(vcg::Point3f a, vcg::Point3f b, vcg::Point3f c)
{
    VSLTriangle3D t;
    t.vertices[0] = QVector3D(a[0], a[1], a[2]);
    t.vertices[1] = QVector3D(b[0], b[1], b[2]);
    t.vertices[2] = QVector3D(c[0], c[1], c[2]);
    t.UpdateNormal();
    return t;
}

void VSLModelPainter::RebuildSupportIndex()
{
    m_vSupportIndex.clear();
    const int count = m_supportMap.size();
    // Non-const iteration detaches a shared map, so the pointers are into ours.
    for (auto it = m_supportMap.begin(); it != m_supportMap.end(); ++it) {
        const int idx = it.value().index;
        // Indices run 0 .. count-1; anything else (click-added -1) has no slot.
        if (idx < 0 || idx >= count)
            continue;
        if (idx >= m_vSupportIndex.size())
            m_vSupportIndex.resize(idx + 1);
        m_vSupportIndex[idx] = &it.value();
    }
}

static bool SameCoefficients(const QMatrix4x4& a, const QMatrix4x4& b)
{
    return std::equal(a.constData(), a.constData() + 16, b.constData());
}

// Positions of the model's working vertices under `m` from their model-space
// copy, unless the mesh already holds them (`m` equals the matrix last
// applied, coefficient by coefficient; every writer of the positions records
// the matrix it applied).
static void PlaceWorkingMesh(VSLModel3D& model, const QMatrix4x4& m)
{
    if (SameCoefficients(m, model.m_meshMatrix))
        return;
    model.m_meshMatrix = m;
    MyMesh& mesh = model.m_mesh;
    const QVector<vcg::Point3f>& copy = model.m_vVertexCopy;
    const int n = std::min<int>(int(mesh.VertexCount()), copy.size());
    vcg::ParallelFor(uint32_t(n), 65536, [&](uint32_t b0, uint32_t e0) {
        for (uint32_t i = b0; i < e0; ++i)
            mesh.vert[i].p = MapPoint(m, copy[int(i)]);
    });
}

// Model-space positions of `work`'s vertices: the old entry where the vertex
// kept its index and position (exact, and what the slicer placed before),
// inverse(m) of the working position elsewhere, where the working position
// then becomes m of that entry: the mesh is exactly m applied to the table,
// as any later placement would make it.
static QVector<vcg::Point3f> RebuildVertexCopy(MyMesh& work, const MyMesh& before,
                                               const QVector<vcg::Point3f>& oldCopy, const QMatrix4x4& m)
{
    bool invertible = false;
    const QMatrix4x4 inv = m.inverted(&invertible);
    if (!invertible)
        throw std::runtime_error("the support frame has no inverse");
    QVector<vcg::Point3f> copy(int(work.VertexCount()));
    const uint32_t kept = std::min<uint32_t>(before.VertexCount(), uint32_t(oldCopy.size()));
    vcg::ParallelFor(work.VertexCount(), 65536, [&](uint32_t b, uint32_t e) {
        for (uint32_t i = b; i < e; ++i) {
            if (i < kept && work.vert[i].p == before.vert[i].p) {
                copy[int(i)] = oldCopy[int(i)];
            } else {
                copy[int(i)] = MapPoint(inv, work.vert[i].p);
                work.vert[i].p = MapPoint(m, copy[int(i)]);
            }
        }
    });
    return copy;
}

bool VSLModelPainter::LiftForSupports()
{
    if (m_bSupportLifted)
        return false;
    const double lift = m_dLiftDistance;
    QMatrix4x4 up;
    up.translate(0, 0, static_cast<float>(lift));
    const Placement before = CurrentPlacement();
    if (!ApplyConvert(up, false))
        return false;
    m_preLift = before;
    m_liftedMatrix = m_matrix;
    m_dLiftedByMm = lift;
    m_bSupportLifted = true;
    return true;
}

void VSLModelPainter::LowerLiftWithoutSupports()
{
    if (m_supportMap.isEmpty())
        LowerLiftOfRun();
}

void VSLModelPainter::LowerLiftOfRun()
{
    // On a scene job's worker the view may be drawing this placement.
    if (m_bSupportLifted && !m_bSupportJob)
        LowerSupportLift();
}

void VSLModelPainter::ResetSupportRun(int status)
{
    m_nSupportRunStatus = status;
    m_bHasSupports = false;
    m_bSupportsShown = false;
}

void VSLModelPainter::BeginSupportJob()
{
    m_bSupportJob = true;
    ResetSupportRun(-1);
    LiftForSupports();
}

void VSLModelPainter::EndSupportJob()
{
    m_bSupportJob = false;
    LowerLiftWithoutSupports();
}

void VSLModelPainter::LowerSupportLift()
{
    m_bSupportLifted = false;
    // Adding and taking away the lift in single precision need not give the
    // placement back bit for bit; when nothing moved the instance since, the
    // placement before the lift is restored as it was.
    // Runs under the model's data mutex: nothing here may lock it.
    if (SameCoefficients(m_matrix, m_liftedMatrix)) {
        m_matrix = m_preLift.matrix;
        m_maxBound = m_preLift.maxBound;
        m_minBound = m_preLift.minBound;
        m_center = m_preLift.center;
        m_hull = m_preLift.hull;
        return;
    }
    // By the lift that was applied: the parameters may have changed since.
    QMatrix4x4 down;
    down.translate(0, 0, static_cast<float>(-m_dLiftedByMm));
    ApplyConvert(down, false);
}

bool VSLModelPainter::PrepareSupportRerun()
{
    for (auto it = m_supportMap.begin(); it != m_supportMap.end();)
        it = it.value().isDeleted ? m_supportMap.erase(it) : std::next(it);
    if (!m_supportMap.isEmpty()) {
        int index = 0;
        m_vSupportIndex.clear();
        for (auto it = m_supportMap.begin(); it != m_supportMap.end(); ++it) {
            it.value().index = index++;
            m_vSupportIndex.append(&it.value());
        }
        return true;
    }
    m_vSupportIndex.clear();
    m_supportMatrix.setToIdentity();
    ResetSupportRun(0);
    LowerLiftOfRun();
    return false;
}

bool VSLModelPainter::RunSupportFrame()
{
    auto step = [this](int n) {
        if (m_fnSupportStep)
            m_fnSupportStep(n);
    };
    m_supportRun.SetStopFlag(&m_bStopSupport);
    m_supportRun.m_counts = SupportRunCounts();
    // The run builds in the support frame; the plate is where it stands.
    m_supportRun.m_plate = m_supportPlate;
    m_supportRun.m_plate.frameToPlate = m_supportMatrix;
    if (!m_bSupportJob)
        LiftForSupports();
    step(5);
    VSLModel3D& model = *m_pModel;
    const QMatrix4x4 frame = m_supportMatrix.inverted() * m_matrix;
    PlaceWorkingMesh(model, frame);
    MyMesh& mesh = model.m_mesh;
    if (mesh.vn <= 0 || mesh.VertexCount() == 0) {
        m_supportRun.Clear();
        return false;
    }

    // Refinement and clean-up on a copy, committed only when complete, so a
    // failure leaves the shared mesh and its model-space table matching.
    step(6);
    MyMesh work = mesh;
    const int passes = SupportRun::RefineWorkingMesh(work, m_dSupportDensity, &m_bStopSupport);
    step(7);
    const bool cleaned = SupportRun::CleanWorkingMesh(work, &m_bStopSupport);
    step(8);
    if (passes > 0 || cleaned || model.m_vVertexCopy.size() != int(work.VertexCount())) {
        QVector<vcg::Point3f> copy = RebuildVertexCopy(work, mesh, model.m_vVertexCopy, frame);
        // The slicer places every instance from this table and slices by the
        // shell labels: both must describe the refined arrays.
        std::swap(mesh, work);
        model.m_vVertexCopy.swap(copy);
        model.m_vShellOfFace.clear();
    }
    work = MyMesh();
    m_supportRun.ThrowIfStopped();
    step(9);
    SupportRun::UpdateFaceNormals(mesh);

    step(10);
    m_supportRun.ThrowIfStopped();
    SupportParameters params;
    params.density = m_dSupportDensity;
    params.tipDiameter = m_dTipDiameter;
    params.shaftDiameter = m_dShaftDiameter;
    params.liftDistance = m_dLiftDistance;
    // The contacts need the sizes too; they depend on the parameters alone.
    m_supportRun.SetParameters(params);
    if (m_bSupportEditMark) {
        if (!m_bGenerationRan)
            return true;
    } else {
        m_bGenerationRan = true;
        m_supportRun.BuildFirstGenerationTables(mesh);
        step(13);
        m_supportRun.BuildContacts(mesh, m_supportMap, m_vSupportIndex);
    }
    step(11);
    m_supportRun.ThrowIfStopped();
    const float zPlate = static_cast<float>(m_minBound.z() - m_dLiftDistance);
    // The grid spans the support frame, which after a move is not where the
    // instance stands: its extent is the grid's, not the instance's bounds.
    QVector3D gridMin = m_minBound, gridMax = m_maxBound;
    m_supportRun.BuildFaceGrid(mesh, gridMin, gridMax);
    step(12);
    step(14);
    m_supportRun.FitTips(mesh, m_supportMap, m_vSupportIndex);
    step(15);
    m_supportRun.BuildColumns(mesh, zPlate, m_supportMap, m_vSupportIndex);
    step(16);
    m_supportRun.BraceColumns(mesh, m_supportMap, m_vSupportIndex);
    m_supportRun.BridgeLooseContacts(mesh, m_supportMap);
    return true;
}

void VSLModelPainter::DropSupportRecords()
{
    m_supportMap.clear();
    m_vSupportIndex.clear();
    m_supportRun.Clear();
    m_supportMatrix.setToIdentity();
    m_bHasSupports = false;
    m_bSupportsShown = false;
}

void VSLModelPainter::AbandonSupportRun(const char* why)
{
    // No support is left to stand on, whoever lifted the instance.
    DropSupportRecords();
    LowerLiftOfRun();
    qWarning("Support generation of instance %d failed: %s", m_nNumber, why);
}

void VSLModelPainter::StopSupportRun()
{
    // Nothing half-built survives a stop, and without supports a lifted
    // instance would print in mid-air.
    DropSupportRecords();
    LowerLiftOfRun();
}

void VSLModelPainter::GenSupportX()
{
    bool signalled = false;
    auto finish = [this, &signalled] {
        if (!signalled) {
            signalled = true;
            emit sig_GenSupportDone();
        }
    };
    if (!m_bSupportJob) // a scene job's run is reset before its worker starts
        ResetSupportRun(-1);
    // The stop request is cleared by whoever starts the run, never here: a
    // stop that arrives before the run begins still counts.
    if (m_bSupportEditMark && !PrepareSupportRerun()) {
        finish();
        return;
    }
    if (!m_pModel) {
        m_nSupportRunStatus = 0;
        finish();
        return;
    }
    // Gate first, data mutex second; both released after the signal.
    MeshGateLocker gate(m_pModel->readyGate());
    if (!gate.held()) { // the model is going away
        m_nSupportRunStatus = 0;
        finish();
        return;
    }
    QMutexLocker data(m_pModel->dataMutex());
    try {
        m_bHasSupports = RunSupportFrame();
        if (!m_bHasSupports)
            LowerLiftWithoutSupports();
    } catch (const SupportRunStopped&) {
        StopSupportRun();
    } catch (const std::exception& e) {
        AbandonSupportRun(e.what());
    } catch (...) {
        AbandonSupportRun("unknown failure");
    }
    m_nSupportRunStatus = 0;
    finish();
}

bool VSLModelPainter::SupportExtentXY(QVector2D& lo, QVector2D& hi) const
{
    if (!m_bSupportExtent)
        return false;
    // Where the support matrix (moves only) takes them.
    lo = m_supportExtentLo;
    hi = m_supportExtentHi;
    MapPlanBox(m_supportMatrix, lo, hi);
    return true;
}

void VSLModelPainter::UpdateSupportExtent()
{
    float x0 = FLT_MAX, y0 = FLT_MAX, x1 = -FLT_MAX, y1 = -FLT_MAX;
    auto add = [&](const vcg::Point3f& c, float r) {
        if (!std::isfinite(c[0]) || !std::isfinite(c[1]) || !std::isfinite(r))
            return;
        x0 = std::min(x0, c[0] - r);
        y0 = std::min(y0, c[1] - r);
        x1 = std::max(x1, c[0] + r);
        y1 = std::max(y1, c[1] + r);
    };
    for (const DLP_Support& s : qAsConst(m_supportMap)) {
        if (s.isDeleted)
            continue;
        for (const QVector<vcg::Point3f>& c : s.cones)
            if (supportgeom::IsCone(c)) {
                add(c[0], c[2][0]);
                add(c[1], c[2][1]);
            }
        for (const QVector<vcg::Point3f>& sp : s.spheres)
            if (supportgeom::IsSphere(sp))
                add(sp[0], sp[1][0]);
    }
    m_bSupportExtent = x0 <= x1 && y0 <= y1;
    m_supportExtentLo = QVector2D(x0, y0);
    m_supportExtentHi = QVector2D(x1, y1);
}

void VSLModelPainter::RemoveSupportX()
{
    m_bSupportExtent = false;
    m_supportMap.clear();
    m_vSupportIndex.clear();
    m_supportRun.Clear();
    DeleteSupportLists();
    m_supportMatrix.setToIdentity();
    if (m_bSupportLifted)
        LowerSupportLift();
    m_bHasSupports = false;
    m_bSupportsShown = false;
    // Layers cut with the old supports must not reach a print file.
    ReleaseSliceResults();
}

void VSLModelPainter::RestoreSupportX()
{
    for (auto it = m_supportMap.begin(); it != m_supportMap.end();) {
        if (it.value().addedByClick) {
            it = m_supportMap.erase(it);
        } else {
            it.value().isDeleted = false;
            ++it;
        }
    }
    RebuildSupportIndex();
    m_bHasSupports = !m_supportMap.isEmpty();
    DrawSupportX();
}

void VSLModelPainter::RotateSptPointX(vcg::Point3f& p) const { p = MapPoint(m_supportMatrix, p); }

void VSLModelPainter::RotateSupportX()
{
    if (m_supportMatrix.isIdentity())
        return;
    const QMatrix4x4 m = m_supportMatrix;
    for (auto it = m_supportMap.begin(); it != m_supportMap.end(); ++it) {
        DLP_Support& s = it.value();
        s.point = MapPoint(m, s.point);
        s.tipEnd = MapPoint(m, s.tipEnd);
        s.shaftTop = MapPoint(m, s.shaftTop);
        s.base = MapPoint(m, s.base);
        s.landing = MapPoint(m, s.landing);
        vcg::Point3f dir = s.tipEnd - s.point;
        s.normal = dir.Normalize();
        for (auto pp = s.pointPairs.begin(); pp != s.pointPairs.end(); ++pp) {
            pp.value().first = MapPoint(m, pp.value().first);
            pp.value().second = MapPoint(m, pp.value().second);
        }
        supportgeom::MapPrimitives(s.cones, s.spheres, m);
    }
    m_supportMatrix.setToIdentity();
    if (m_bSupportExtent)
        UpdateSupportExtent(); // the records' frame changed
}

QVector<VSLTriangle3D> VSLModelPainter::GetRealTrianglesSup() const
{
    // World coordinates also after a move that no slice has baked in yet.
    const supportgeom::PlacedSupports placed = PlacedSupports();
    QVector<VSLTriangle3D> out;
    for (const DLP_Support& s : placed.supports)
        out += supportgeom::WorldTriangles(placed, s);
    return out;
}

void VSLModelPainter::DeleteSupportLists()
{
    m_bSupportListsStale = false;
    if (m_pScene ? !m_pScene->UseViewContext() : !QOpenGLContext::currentContext())
        return;
    if (m_nSupportTipList != 0)
        glDeleteLists(m_nSupportTipList, 1);
    m_supportBody.Clear();
    m_nSupportTipList = 0;
    m_supportListMatrix.setToIdentity();
    m_supportShapes.Clear();
    m_supportInstances.Clear();
}

void VSLModelPainter::RenderSupportX(bool highlight, bool tipsOnly)
{
    // Lists that could not be built without a context are built here, in
    // the view's paint; never while a worker owns the support map.
    if (m_bSupportListsStale && !(m_pScene && m_pScene->IsInstanceBusy(this)))
        CompileSupportLists();
    if (!m_bSupportsShown)
        return;
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glMultMatrixf(m_supportListMatrix.constData());
    glColor3f(1.f, 0.f, 1.f);
    if (!m_supportInstances.DrawTipsIfFar())
        glCallList(m_nSupportTipList);
    if (!tipsOnly) {
        if (highlight) {
            glColor3f(1.f, 0.f, 1.f);
            if (!m_supportInstances.DrawIfFar())
                m_supportBody.Draw();
        } else {
            glEnable(GL_BLEND);
            glColor4f(1.0f, 0.75f, 0.125f, 0.333f);
            if (!m_supportInstances.DrawIfFar())
                m_supportBody.Draw();
            glDisable(GL_BLEND);
        }
    }
    glPopMatrix();
}

void VSLModelPainter::RenderOverhang()
{
    if (!m_bSupportsShown)
        return;
    if (!m_supportInstances.DrawTipsIfFar())
        glCallList(m_nSupportTipList);
    if (!m_supportInstances.DrawIfFar())
        m_supportBody.Draw();
}

vcg::Point3f VSLModelPainter::FindFirstCollisionColumn(vcg::Point3f p, double r, float zFloor, MyMesh& mesh,
                                                       QMap<unsigned int, QVector<unsigned int>>& cells, int offset,
                                                       float density)
{
    return supportcollide::FindFirstCollisionColumn(p, r, zFloor, mesh, cells, offset, density);
}

bool VSLModelPainter::CheckCollisionColumn(vcg::Point3f p0, double r, vcg::Point3f p1, MyMesh& mesh,
                                           QMap<unsigned int, QVector<unsigned int>>& cells, int offset,
                                           float density, float segmentLength)
{
    return supportcollide::CheckCollisionColumn(p0, r, p1, mesh, cells, offset, density, segmentLength);
}

bool VSLModelPainter::CheckCollisionSphere(vcg::Point3f c, double r, MyMesh& mesh, QMap<uint, QVector<uint>>& cells,
                                           int offset, float density)
{
    return supportcollide::CheckCollisionSphere(c, r, mesh, cells, offset, density);
}

bool VSLModelPainter::CheckCollisionCone(vcg::Point3f p0, double r0, vcg::Point3f p1, double r1, MyMesh& mesh,
                                         QMap<uint, QVector<uint>>& cells, int offset, float density)
{
    return supportcollide::CheckCollisionCone(p0, r0, p1, r1, mesh, cells, offset, density);
}

bool VSLModelPainter::CheckCollisionConeAllX(vcg::Point3f p0, double r0, vcg::Point3f p1, double r1, MyMesh& mesh,
                                             QMap<uint, QVector<uint>>& cells, int offset,
                                             QMultiMap<float, QPair<int, vcg::Point3f>>& hits, float density)
{
    return supportcollide::CheckCollisionConeAllX(p0, r0, p1, r1, mesh, cells, offset, hits, density);
}

vcg::Point3f VSLModelPainter::FindNearestNormalSphere(vcg::Point3f c, double r, MyMesh& mesh,
                                                      QMap<uint, QVector<uint>>& cells, int offset, float density)
{
    return supportcollide::FindNearestNormalSphere(c, r, mesh, cells, offset, density);
}
