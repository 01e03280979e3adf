#include "VSLModel3D.h"
#include "openshell.h"
#include "shelllabels.h"
#include "outlinetracer.h"
#include "slicegeometry.h"
#include "tracedlayers.h"

#include <QMutexLocker>

#include <climits>
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

// Each slot's storage laid out for the planes its faces reach (an open
// shell's go to `openSlot`), so that tracing never moves it, and `traced`
// told that readers may start.
void ReserveSlots(ShellLayerContours& out, const PlaneCandidates& candidates, const QVector<uint>& shellOfFace,
                  const std::vector<uint8_t>* openShell, int openSlot, TracedLayers* traced)
{
    const int slotCount = out.size();
    std::vector<int> first(size_t(slotCount), INT_MAX), last(size_t(slotCount), -1);
    for (int L = 0; L < candidates.PlaneCount(); ++L)
        for (const uint32_t* it = candidates.begin(L); it != candidates.end(L); ++it) {
            const uint shell = shellOfFace[int(*it)];
            const int slot = openShell && shell < openShell->size() && (*openShell)[shell] ? openSlot : int(shell);
            if (slot < 0 || slot >= slotCount)
                continue;
            first[size_t(slot)] = std::min(first[size_t(slot)], L);
            last[size_t(slot)] = L;
        }
    for (int slot = 0; slot < slotCount; ++slot)
        if (last[size_t(slot)] >= 0)
            out[slot].Reserve(first[size_t(slot)], last[size_t(slot)] + 1);
    if (traced)
        traced->Begin(candidates.PlaneCount(), openShell != nullptr);
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

int VSLModel3D::SilceMeshX(ShellLayerContours& out, QVector<float>& layerHeights, float thickness, float top, float base,
                           const std::atomic<bool>* stop, contour::TracedLayers* traced)
{
    contour::PlaneCandidates candidates;
    contour::BeginSlicing(*this, layerHeights, candidates, thickness, top, base);
    contour::ResetSlots(out, m_nShellCount, m_nLayerCount);
    contour::ReserveSlots(out, candidates, m_vShellOfFace, nullptr, -1, traced);

    contour::PlaneVisits visits(m_mesh.FaceCount());
    contour::OutlineTracer tracer(m_mesh, visits);
    ClipperLib::Path path;
    for (int L = 0; L < m_nLayerCount; ++L) {
        if (stop && stop->load(std::memory_order_relaxed))
            break;
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
        if (traced)
            traced->Traced(L + 1);
    }
    return m_nLayerCount;
}

int VSLModel3D::SilceMeshXX(ShellLayerContours& out, QVector<float>& layerHeights, float thickness, float top,
                            float base, const std::atomic<bool>* stop, contour::TracedLayers* traced)
{
    if (CheckHoles() == 0) {
        // The result has no open slot this time; say so to the caller.
        m_bSlicedOpenMesh = false;
        return SilceMeshX(out, layerHeights, thickness, top, base, stop, traced);
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
    contour::ReserveSlots(out, candidates, m_vShellOfFace, &openShell, m_nShellCount, traced);

    contour::PlaneVisits visits(m_mesh.FaceCount());
    contour::OutlineTracer tracer(m_mesh, visits);
    contour::OpenShellChainer chainer(m_mesh, m_vShellOfFace, openShell);
    ClipperLib::Path path;
    ClipperLib::Paths openOutlines;
    for (int L = 0; L < m_nLayerCount; ++L) {
        if (stop && stop->load(std::memory_order_relaxed))
            break;
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
        if (traced)
            traced->Traced(L + 1);
    }
    return m_nLayerCount;
}
