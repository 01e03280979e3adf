// Whole-mesh slicer: one outline list per plane for a closed manifold mesh,
// with the planes, candidate lists and bounded walks of the shell slicer.
#include "VSLModel3D.h"
#include "outlinetracer.h"
#include "slicegeometry.h"

int VSLModel3D::SilceMesh(QVector<VSLTriangle3D>& triangles, MyMesh& mesh, LayerContours& out)
{
    if (mesh.fn != triangles.size())
        return -1;
    if (m_fLayerThick < 0.f || m_fSliceBase + m_fLayerThick > m_fSliceTop)
        return -2;
    if (!m_bNoHoles)
        return -3;
    if (!m_bManifold)
        return -4;

    const QVector<float> planes = contour::LayerPlanes::Heights(m_fLayerThick, m_fSliceTop, m_fSliceBase);
    m_vLayerZ.assign(planes.begin(), planes.end());
    m_nLayerCount = planes.size();
    contour::PlaneCandidates candidates;
    candidates.Build(mesh, planes);

    out.clear();
    out.reserve(m_nLayerCount);
    contour::PlaneVisits visits(mesh.FaceCount());
    contour::OutlineTracer tracer(mesh, visits);
    ClipperLib::Path path;
    for (int L = 0; L < m_nLayerCount; ++L) {
        ClipperLib::Paths layer;
        if (!candidates.empty(L)) {
            visits.StartPlane();
            for (const uint32_t* it = candidates.begin(L); it != candidates.end(L); ++it) {
                if (visits.IsVisited(*it))
                    continue;
                if (tracer.Trace(*it, planes[L], path))
                    layer.push_back(path);
            }
        }
        out.append(std::move(layer));
    }
    return m_nLayerCount;
}

int VSLModel3D::SliceModel() { return SilceMesh(m_vTriangles, m_mesh, m_vModelContours); }

int VSLModel3D::SliceSupport() { return SilceMesh(m_vSupportTriangles, m_supportMesh, m_vSupportContours); }
