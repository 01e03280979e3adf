#include "VSLModel3D.h"
#include "openshell.h"
#include "shelllabels.h"
#include "slicegeometry.h"

#include <QMutexLocker>

#include <deque>

namespace contour {

int LabelShells(const MyMesh& mesh, QVector<uint>& shellOfFace)
{
    const uint32_t n = mesh.FaceCount();
    shellOfFace.fill(0, int(n));
    std::vector<uint8_t> seen(n, 0);
    std::deque<uint32_t> queue;
    int shells = 0;
    for (uint32_t i = 0; i < n; ++i) {
        if (seen[i])
            continue;
        const uint shell = uint(shells++);
        seen[i] = 1;
        shellOfFace[int(i)] = shell;
        queue.push_back(i);
        while (!queue.empty()) {
            const MyFace& f = mesh.face[queue.front()];
            queue.pop_front();
            for (int e = 0; e < 3; ++e) {
                const uint32_t g = f.ff[e];
                if (g >= n || seen[g])
                    continue;
                seen[g] = 1;
                shellOfFace[int(g)] = shell;
                queue.push_back(g);
            }
        }
    }
    return shells;
}

namespace {

// Walks one outline of a closed shell from face `start` across shared edges.
// The walk ends at the start face, or early when it meets a face already
// used in this plane or a missing link (non-manifold or damaged shells);
// the partial outline is then kept only when it still encloses an area
// (three points or more).
class OutlineTracer {
public:
    OutlineTracer(const MyMesh& mesh, PlaneVisits& visits) : m_mesh(mesh), m_visits(visits) {}

    bool Trace(uint32_t start, float h, ClipperLib::Path& path)
    {
        path.clear();
        int e;
        if (EdgeReaches(start, 0, h))
            e = 0;
        else if (EdgeReaches(start, 1, h))
            e = 1;
        else
            return false;
        path.push_back(Crossing(start, e, h));
        uint32_t c = start;
        for (;;) {
            const int x = EdgeReaches(c, (e + 1) % 3, h) ? (e + 1) % 3 : (e + 2) % 3;
            path.push_back(Crossing(c, x, h));
            m_visits.Visit(c);
            const MyFace& fc = m_mesh.face[c];
            const uint32_t next = fc.ff[x];
            const int nextEdge = fc.ffi[x];
            if (next == start)
                return true;
            if (next == c || next >= m_mesh.FaceCount() || nextEdge < 0 || nextEdge > 2 ||
                m_mesh.face[next].IsD() || m_visits.IsVisited(next))
                return path.size() >= 3;
            c = next;
            e = nextEdge;
        }
    }

private:
    bool EdgeReaches(uint32_t f, int e, float h) const
    {
        return Reaches(m_mesh.P(f, e).Z(), m_mesh.P(f, (e + 1) % 3).Z(), h);
    }
    ClipperLib::IntPoint Crossing(uint32_t f, int e, float h) const
    {
        return CrossingPoint(m_mesh.P(f, e), m_mesh.P(f, (e + 1) % 3), h);
    }

    const MyMesh& m_mesh;
    PlaneVisits& m_visits;
};

// Every slot reads as `layers` empty layers; storage appears only where an
// outline is written.
void ResetSlots(ShellLayerContours& out, int slotCount, int layers)
{
    out = ShellLayerContours(slotCount, layers);
}

// Both slicers: record the job, lay out the planes, collect each plane's
// candidate faces and make sure the shell labels describe this face list
// (relabel rather than index past them when the caller skipped CountShells).
void BeginSlicing(VSLModel3D& model, QVector<float>& layerHeights, PlaneCandidates& candidates, float thickness,
                  float top, float base)
{
    model.m_fLayerThick = thickness;
    model.m_fSliceTop = top;
    model.m_fSliceBase = base;
    layerHeights = LayerPlanes::Heights(thickness, top, base);
    model.m_nLayerCount = layerHeights.size();
    candidates.Build(model.m_mesh, layerHeights);
    if (model.m_vShellOfFace.size() != int(model.m_mesh.FaceCount()))
        model.m_nShellCount = LabelShells(model.m_mesh, model.m_vShellOfFace);
}

} // namespace
} // namespace contour

void VSLModel3D::CountShells()
{
    QMutexLocker lock(m_pDataMutex);
    if (m_vShellOfFace.size() == int(m_mesh.FaceCount()))
        return;
    m_nShellCount = contour::LabelShells(m_mesh, m_vShellOfFace);
}

bool VSLModel3D::Z_Intersect(const vcg::Point3f& a, const vcg::Point3f& b, const float& z, ClipperLib::IntPoint& out)
{
    if (!contour::Reaches(a.Z(), b.Z(), z))
        return false;
    out = contour::CrossingPoint(a, b, z);
    return true;
}

int VSLModel3D::SilceMeshX(ShellLayerContours& out, QVector<float>& layerHeights, float thickness, float top, float base)
{
    contour::PlaneCandidates candidates;
    contour::BeginSlicing(*this, layerHeights, candidates, thickness, top, base);
    contour::ResetSlots(out, m_nShellCount, m_nLayerCount);

    contour::PlaneVisits visits(m_mesh.FaceCount());
    contour::OutlineTracer tracer(m_mesh, visits);
    ClipperLib::Path path;
    for (int L = 0; L < m_nLayerCount; ++L) {
        if (candidates.empty(L))
            continue;
        visits.StartPlane();
        const float h = layerHeights[L];
        for (const uint32_t* it = candidates.begin(L); it != candidates.end(L); ++it) {
            if (visits.IsVisited(*it))
                continue;
            if (tracer.Trace(*it, h, path))
                out[int(m_vShellOfFace[int(*it)])][L].push_back(path);
        }
    }
    return m_nLayerCount;
}

int VSLModel3D::SilceMeshXX(ShellLayerContours& out, QVector<float>& layerHeights, float thickness, float top, float base)
{
    if (CheckHoles() == 0) {
        // The result has no open slot this time; say so to the caller.
        m_bSlicedOpenMesh = false;
        return SilceMeshX(out, layerHeights, thickness, top, base);
    }
    m_bSlicedOpenMesh = true;
    contour::PlaneCandidates candidates;
    contour::BeginSlicing(*this, layerHeights, candidates, thickness, top, base);
    contour::ResetSlots(out, m_nShellCount + 1, m_nLayerCount);

    std::vector<uint8_t> openShell(size_t(m_nShellCount), 0);
    for (uint32_t f = 0; f < m_mesh.FaceCount(); ++f) {
        const MyFace& fc = m_mesh.face[f];
        if (!fc.IsD() && (fc.ff[0] == f || fc.ff[1] == f || fc.ff[2] == f))
            openShell[m_vShellOfFace[int(f)]] = 1;
    }

    contour::PlaneVisits visits(m_mesh.FaceCount());
    contour::OutlineTracer tracer(m_mesh, visits);
    contour::OpenShellChainer chainer(m_mesh, m_vShellOfFace, openShell);
    ClipperLib::Path path;
    ClipperLib::Paths openOutlines;
    for (int L = 0; L < m_nLayerCount; ++L) {
        if (candidates.empty(L))
            continue;
        visits.StartPlane();
        const float h = layerHeights[L];
        for (const uint32_t* it = candidates.begin(L); it != candidates.end(L); ++it) {
            const uint shell = m_vShellOfFace[int(*it)];
            if (visits.IsVisited(*it) || openShell[shell])
                continue;
            if (tracer.Trace(*it, h, path))
                out[int(shell)][L].push_back(path);
        }
        openOutlines.clear();
        chainer.Run(h, candidates.begin(L), candidates.end(L), visits, openOutlines);
        if (!openOutlines.empty())
            out[m_nShellCount][L] = std::move(openOutlines);
    }
    return m_nLayerCount;
}
