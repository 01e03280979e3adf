// The painter's manual support columns, their trusses, the raft layers and
// the older collision tests.
#include "VSLModelPainter.h"

#include "VSL3DScene.h"
#include "layers/platelayers.h"
#include "support/DLPSupportStructure.h"
#include "support/DLPSupportTruss.h"
#include "support/SupportCollision.h"

#include <QMutexLocker>

#include <GL/gl.h>

#include <algorithm>
#include <cmath>
#include <utility>

// ---------------------------------------------------------------- columns

DLPSupportStructure* VSLModelPainter::AddSupport(QVector3D top, QVector3D bottom)
{
    auto* s = new DLPSupportStructure(this);
    s->AssignPickId();
    s->SetBottomPoint(bottom);
    s->SetTopPoint(top);
    s->m_nNumber = m_nSupportStructureId++;
    m_vSupportStructures.append(s);
    return s;
}

void VSLModelPainter::RemoveSupport(DLPSupportStructure* s)
{
    if (!m_vSupportStructures.contains(s))
        return;
    QVector<DLPSupportStructure*> kept;
    kept.reserve(m_vSupportStructures.size());
    for (DLPSupportStructure* c : qAsConst(m_vSupportStructures))
        if (c != s)
            kept.append(c);
    m_vSupportStructures = kept;
    // The scene's selection must not keep a pointer to a deleted column.
    if (m_pScene)
        m_pScene->DeSelectSupport(s);
    delete s;
}

void VSLModelPainter::RemoveAllSupportSelModel()
{
    for (DLPSupportStructure* s : qAsConst(m_vSupportStructures)) {
        if (m_pScene)
            m_pScene->DeSelectSupport(s);
        delete s;
    }
    m_vSupportStructures.clear();
    m_bLifted = false;
    DropOntoPlate();
}

void VSLModelPainter::RenderSupportsGL(bool pick, float upperAlpha, float lowerAlpha)
{
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glMultMatrixf(m_matrix.constData());
    for (DLPSupportStructure* s : qAsConst(m_vSupportStructures))
        s->RenderUpper(pick, upperAlpha);
    for (DLPSupportStructure* s : qAsConst(m_vSupportStructures)) {
        s->RenderLower(pick, lowerAlpha);
        s->RenderTrusses();
    }
    glPopMatrix();
}

void VSLModelPainter::GenerateAutoTruss()
{
    const QVector<DLPSupportStructure*>& cols = m_vSupportStructures;
    const int n = cols.size();
    for (int i = 0; i < n; ++i) {
        for (int j = 0; j < n; ++j) {
            if (i == j)
                continue;
            const QVector3D d = m_matrix.mapVector(cols[j]->GetBottomPivot() - cols[i]->GetBottomPivot());
            const double h = std::hypot(double(d.x()), double(d.y()));
            if (h <= 10.0 && h <= cols[j]->GetTrussSection())
                cols[i]->SetNeighborSupports(unsigned(j), h);
        }
    }
    for (int i = 0; i < n; ++i) {
        DLPSupportStructure* ci = cols[i];
        if (ci->GetNeighborSupports().size() >= 2)
            ci->SortNeighborSupports();
        const QVector<QPair<unsigned int, double>> neighbours = ci->GetNeighborSupports().mid(0, 2);
        const double interval = ci->GetTrussPointInterval();
        const QVector<QVector3D> pi = ci->GetTrussPoints();
        const int ni = std::min(ci->GetNumTrussPoints(), pi.size());
        for (const auto& nb : neighbours) {
            // Lists of an earlier run may name a column removed since.
            if (nb.first >= unsigned(n))
                continue;
            DLPSupportStructure* cj = cols[int(nb.first)];
            const QVector<QVector3D> pj = cj->GetTrussPoints();
            const int nj = std::min(cj->GetNumTrussPoints(), pj.size());
            const double stepsD = std::ceil(nb.second / interval);
            const double dzD =
                double(m_matrix.mapVector(cj->GetBottomPivot() - ci->GetBottomPivot()).z()) / interval;
            // Column sizes are far below these bounds; they keep the integer
            // conversions defined for degenerate input.
            if (!std::isfinite(stepsD) || !std::isfinite(dzD) || std::fabs(stepsD) > 1e6 || std::fabs(dzD) > 1e6)
                continue;
            const int steps = int(stepsD);
            const int s = int(dzD);
            const int count = std::min(ci->GetNumTrussPoints(), cj->GetNumTrussPoints() - steps);
            for (int k = 0; k < count; ++k) {
                const int ia = std::max(s, 0) + k;
                const int ja = std::max(-s, 0) + steps + k;
                if (ja < 0 || ia < 0 || ja >= nj || ia >= ni)
                    continue;
                DLPSupportTruss* t = ci->AddTruss(pj[ja], pi[ia]);
                t->SetTrussPointTo(pj[ja]);
                t->SetTrussPointFrom(pi[ia]);
            }
        }
    }
}

// ---------------------------------------------------------------- raft layers

bool VSLModelPainter::AddPlatform(int n)
{
    // The slice threads append to these layers; they must all be done.
    if (!m_pScene || m_pScene->runningSliceJobs() > 0)
        return false;
    QMutexLocker lock(m_pScene->sceneMutex());
    int applied = 0;
    layers::AddPlateLayers(m_pScene->m_modelSliceLayers, applied, m_pScene->m_sliceMaxPt, m_pScene->m_sliceMinPt, n);
    return true;
}

// ---------------------------------------------------------------- older collision tests

namespace {

using supportcollide::CellIndex;
using supportcollide::FaceGrid;

// Cell range with the axes indexable, for the loops below.
struct Range {
    int lo[3], hi[3];
};

template <class Fn> bool Walk(const FaceGrid& cells, const Range& r, Fn&& fn)
{
    return supportcollide::WalkCells(cells, {r.lo[0], r.hi[0], r.lo[1], r.hi[1], r.lo[2], r.hi[2]},
                                     std::forward<Fn>(fn));
}

struct OldCone {
    vcg::Point3f p0, p1, a;
    float L = 0;
    double r0 = 0, r1 = 0;

    OldCone(const vcg::Point3f& q0, double s0, const vcg::Point3f& q1, double s1) : p0(q0), p1(q1), r0(s0), r1(s1)
    {
        L = (p1 - p0).Norm();
        a = (p1 - p0) / L;
    }
    bool HasAxis() const { return L > 0.f && std::isfinite(L); }
    // Radial distance of q from the axis when q is inside, else -1.
    double Radial(const vcg::Point3f& q) const
    {
        const vcg::Point3f v = q - p0;
        const float t = v * a;
        if (!(t >= 0.f && t <= L))
            return -1.0;
        const double radial = (v ^ a).Norm();
        return radial < r0 + (double(t) / L) * (r1 - r0) ? radial : -1.0;
    }
    Range Cells(int offset) const
    {
        Range r;
        for (int k = 0; k < 3; ++k) {
            const double e = std::sqrt(std::max(0.0, 1.0 - double(a[k]) * a[k]));
            r.lo[k] = CellIndex(float(std::min(p0[k] - e * r0, p1[k] - e * r1)), offset);
            r.hi[k] = CellIndex(float(std::max(p0[k] + e * r0, p1[k] + e * r1)), offset);
        }
        return r;
    }
};

} // namespace

bool VSLModelPainter::CheckCollisionConeAll(vcg::Point3f p0, double r0, vcg::Point3f p1, double r1, MyMesh& mesh,
                                            QMap<unsigned int, QVector<unsigned int>>& cells, int offset,
                                            QMultiMap<int, vcg::Point3f>& hits, float density)
{
    hits.clear();
    const OldCone cone(p0, r0, p1, r1);
    // Without an axis there is no cone; callers never pass such a one.
    if (!cone.HasAxis())
        return false;
    Walk(cells, cone.Cells(offset), [&](uint f) {
        supportcollide::SampleFace(mesh, f, density, [&](const vcg::Point3f& s) {
            if (cone.Radial(s) >= 0.0)
                hits.insert(int(f), s);
            return false;
        });
        return false;
    });
    return !hits.isEmpty();
}

double VSLModelPainter::SumCollisionCone(vcg::Point3f p0, double r0, vcg::Point3f p1, double r1, MyMesh& mesh,
                                         QMap<unsigned int, QVector<unsigned int>>& cells, int offset)
{
    const OldCone cone(p0, r0, p1, r1);
    if (!cone.HasAxis())
        return 0.0;
    double sum = 0.0;
    Walk(cells, cone.Cells(offset), [&](uint f) {
        const vcg::Point3f &a = mesh.P(f, 0), &b = mesh.P(f, 1), &c = mesh.P(f, 2);
        for (const vcg::Point3f& q : {a, b, c, (a + b + c) / 3.f}) {
            const double radial = cone.Radial(q);
            if (radial >= 0.0)
                sum += radial;
        }
        return false;
    });
    return sum;
}

bool VSLModelPainter::CheckCollisionLine(vcg::Line3f line, double length, MyMesh& mesh,
                                         QMap<unsigned int, QVector<unsigned int>>& cells, int offset, float& t,
                                         float& u, float& v)
{
    const vcg::Point3f o = line.Origin();
    const vcg::Point3f e = o + line.Direction() * float(length);
    Range r;
    for (int k = 0; k < 3; ++k) {
        r.lo[k] = CellIndex(std::min(o[k], e[k]), offset);
        r.hi[k] = CellIndex(std::max(o[k], e[k]), offset);
    }
    int visited = 0;
    const bool refused = Walk(cells, r, [&](uint f) {
        float tt, uu, vv;
        const bool hit = vcg::IntersectionLineTriangle(line, mesh.P(f, 0), mesh.P(f, 1), mesh.P(f, 2), tt, uu, vv);
        ++visited;
        if (visited > 1 && hit)
            return true;
        t = tt;
        u = uu;
        v = vv;
        return false;
    });
    return !refused && visited == 1;
}
